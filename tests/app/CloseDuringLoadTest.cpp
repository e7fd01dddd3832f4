// SIGTERM while "Load device list" replaces 50 devices. The stops of the old devices wait
// while pumping the dispatcher; the signal's close is run from that pump, as the desktop
// program's signal notifier runs it from the event loop. The close must wait for the whole
// load: the list it saves is the new one, never what is left of the old.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/DeviceRegistry.h"
#include "app/HeadlessDispatcher.h"
#include "app/HeadlessUiPort.h"
#include "app/ManagerEngine.h"
#include "base/AppLogs.h"
#include "base/Ini.h"
#include "base/Printf.h"
#include "device/TavDevice.h"
#include "support/TempDir.h"

namespace zm {
namespace {

using namespace std::chrono_literals;

// A sensor exchange that takes a while and cannot be cut short: every stop waits for it.
class SlowPollDevice : public CTavDevice {
  public:
    using CTavDevice::CTavDevice;
    ~SlowPollDevice() override { StopThreads(); }
    void Poll() override {
        std::this_thread::sleep_for(1s);
        CTavDevice::Poll();
    }
};

class SlowPollFactory final : public DeviceFactory {
  public:
    std::shared_ptr<CTavDevice> CreateDevice(const DeviceContext& context) override {
        return std::make_shared<SlowPollDevice>(context.ownCfgPath, context.runLog,
                                                context.initialName, context.familyCode);
    }
};

class YesUi : public HeadlessUiPort {
  public:
    MsgResult Ask(const std::string&, MessageBoxType, MsgResult, const std::string&) override {
        ++asked;
        return MsgResult::kYes;  // "Save changes?"
    }
    std::atomic<int> asked{0};
};

int g_signalPipe[2] = {-1, -1};

void OnSigterm(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

void WriteDevices(const std::string& path, const std::string& prefix, int count) {
    CIni ini(path);
    CIniBatch batch(path);
    for (int n = 1; n <= count; ++n) {
        const std::string section = CDeviceRegistry::SectionName(n);
        ini.WriteString(section, "sName", StrPrintf("%s %02d", prefix.c_str(), n));
        ini.WriteString(section, "sLinkType", "EMUL");
        ini.WriteBool(section, "bScanning", true);
    }
}

TEST(CloseDuringLoad, SigtermWaitsForTheLoadAndSavesTheWholeNewList) {
    constexpr int kDevices = 50;
    test::TempDir dir;
    RunLog().SetFolder(dir.folder());
    RunLog().Open("RunLog", true);
    const std::string settingsPath = dir.file("settings.ini");
    const std::string listPath = dir.file("list.ini");
    WriteDevices(settingsPath, "Old", kDevices);
    WriteDevices(listPath, "New", kDevices);

    ASSERT_EQ(::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK), 0);
    struct sigaction action {
    }, previous{};
    action.sa_handler = OnSigterm;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ASSERT_EQ(sigaction(SIGTERM, &action, &previous), 0);

    HeadlessDispatcher dispatcher;
    dispatcher.Start();
    YesUi ui;
    CIni settings(settingsPath);
    CDeviceGate gate;
    SlowPollFactory factory;
    DeviceKindOps ops;
    CDeviceRegistry registry(gate, factory);
    registry.SetContext(dir.file("Zor-Device.ini"), nullptr, nullptr);
    std::unique_ptr<CManagerEngine> engine;
    std::atomic<bool> pumping{false};
    std::atomic<int> closesDuringLoad{0};
    std::atomic<bool> loading{false};
    std::atomic<bool> closed{false};
    // The event loop's share of a pumped wait: the signal's byte closes the window.
    registry.SetStopPump([&] {
        pumping = true;
        char bytes[8];
        if (::read(g_signalPipe[0], bytes, sizeof bytes) > 0) {
            closesDuringLoad += loading ? 1 : 0;
            if (engine->Close()) {
                closed = true;
            }
        }
        dispatcher.Pump(50);
    });
    dispatcher.Call([&] {
        engine = std::make_unique<CManagerEngine>(dispatcher, ui, gate, registry, ops, settings);
        engine->SetInternetCheck([] { return false; });
        EngineHooks hooks;
        hooks.closeAfterOperation = [&] { closed = engine->Close(); };
        engine->SetHooks(hooks);
        engine->Create();
        engine->Apply();
    });
    ASSERT_EQ(registry.GetCount(), static_cast<size_t>(kDevices));
    std::this_thread::sleep_for(300ms);  // the old devices are inside their polls

    std::thread signaller([&] {
        for (int i = 0; i < 500 && !pumping; ++i) {
            std::this_thread::sleep_for(2ms);
        }
        ::kill(::getpid(), SIGTERM);
    });
    bool loaded = false;
    dispatcher.Call([&] {
        loading = true;
        loaded = engine->LoadDeviceList(listPath);
        loading = false;
    });
    signaller.join();
    EXPECT_TRUE(loaded);
    EXPECT_GE(closesDuringLoad.load(), 1) << "the signal did not arrive during the load";
    for (int i = 0; i < 500 && !closed; ++i) {
        dispatcher.Call([] {});
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_TRUE(closed.load()) << "the close asked for during the load never ran";
    EXPECT_EQ(ui.asked.load(), 1);

    CIni saved(settingsPath);
    std::vector<std::string> names;
    for (int n = 1; saved.IsSectionExist(CDeviceRegistry::SectionName(n)); ++n) {
        names.push_back(saved.GetString(CDeviceRegistry::SectionName(n), "sName"));
    }
    ASSERT_EQ(names.size(), static_cast<size_t>(kDevices)) << "a partial list was saved";
    EXPECT_EQ(names.front(), "New 01");
    EXPECT_EQ(names.back(), StrPrintf("New %02d", kDevices));

    dispatcher.Call([&] {
        registry.RemoveAllDevices();
        engine.reset();
    });
    dispatcher.Stop();
    sigaction(SIGTERM, &previous, nullptr);
    ::close(g_signalPipe[0]);
    ::close(g_signalPipe[1]);
    RunLog().Close();
}

}  // namespace
}  // namespace zm
