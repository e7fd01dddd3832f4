#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/DeviceRegistry.h"
#include "app/HeadlessDispatcher.h"
#include "app/HeadlessUiPort.h"
#include "app/ManagerEngine.h"
#include "base/AppLogs.h"
#include "base/Ini.h"
#include "device/TavDevice.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"

namespace zm {
namespace {

using namespace std::chrono_literals;

class RecordingOps : public DeviceKindOps {
  public:
    void WriteDataLog(CTavDevice&) override { Note("datalog"); }
    void ProcessAlarm(CTavDevice&) override { Note("alarm"); }
    bool GetDataDatagram(CTavDevice&, UdpDeviceData*) override {
        Note("datagram");
        return false;
    }
    void Note(const std::string& what) {
        std::lock_guard lock(mutex);
        calls.push_back(what);
    }
    std::vector<std::string> Calls() {
        std::lock_guard lock(mutex);
        return calls;
    }
    std::mutex mutex;
    std::vector<std::string> calls;
};

// The engine on a real dispatcher, a temporary settings file and the device log of the
// test's folder; the Internet check answers what the test says.
class EngineTest : public ::testing::Test {
  protected:
    EngineTest() : settings(dir.file("settings.ini")), registry(gate, factory) {
        registry.SetContext(dir.file("Zor-Device.ini"), nullptr, nullptr);
        DeviceLog().SetFolder(dir.folder());
        DeviceLog().Open("DevLog", true);
        dispatcher.Start();
        engine = std::make_unique<CManagerEngine>(dispatcher, ui, gate, registry, ops, settings);
        EngineHooks hooks;
        hooks.startWebServer = [this] {
            ++serverStarts;
            return true;
        };
        hooks.stopWebServer = [this] { ++serverStops; };
        hooks.updateDevList = [this](CTavDevice*) { Posted("list"); };
        hooks.updateKmlView = [this](CTavDevice* d, int) { Posted(d ? "kml" : "kml-all"); };
        hooks.updateDevFeed = [this](CTavDevice*) { Posted("feed"); };
        engine->SetHooks(hooks);
        engine->SetInternetCheck([this] { return online.load(); });
    }
    ~EngineTest() override {
        dispatcher.Call([&] {
            engine->Close();
            registry.RemoveAllDevices();
            engine.reset();
        });
        dispatcher.Stop();
        DeviceLog().Close();
    }
    void Posted(const std::string& what) {
        EXPECT_TRUE(dispatcher.IsDispatcherThread()) << what;
        std::lock_guard lock(mutex);
        posted.push_back(what);
    }
    std::vector<std::string> Posted() {
        std::lock_guard lock(mutex);
        return posted;
    }
    std::string DeviceLogText() { return test::ReadBytes(DeviceLog().GetPath()); }

    test::TempDir dir;
    CIni settings;
    CDeviceGate gate;
    GenericDeviceFactory factory;
    RecordingOps ops;
    CDeviceRegistry registry;
    HeadlessDispatcher dispatcher;
    HeadlessUiPort ui;
    std::unique_ptr<CManagerEngine> engine;
    std::atomic<bool> online{false};
    std::atomic<int> serverStarts{0}, serverStops{0};
    std::mutex mutex;
    std::vector<std::string> posted;
};

TEST_F(EngineTest, InternetWatchCountsOutagesAndMovesTheServer) {
    dispatcher.Call([&] { engine->Create(); });  // offline at the start
    auto result = [&](bool available) {
        dispatcher.Call([&] { engine->InternetResult(available); });
    };
    result(true);  // access gained: the server stopped for lack of access starts
    EXPECT_EQ(serverStarts.load(), 1);
    result(false);
    EXPECT_EQ(serverStops.load(), 1);
    for (int i = 0; i < 11; ++i) {
        result(false);
    }
    EXPECT_EQ(engine->InternetPeriodMs(), 5000);
    EXPECT_EQ(DeviceLogText().find("No Internet access"), std::string::npos);
    result(false);  // the twelfth failed check
    EXPECT_EQ(engine->InternetPeriodMs(), 600000);
    EXPECT_EQ(engine->InternetFailures(), 0);
    EXPECT_NE(DeviceLogText().find("No Internet access more than 60 seconds!.<br>Checking of "
                                   "restoring Internet access will be carried out every 600 "
                                   "seconds. "),
              std::string::npos);
    for (int i = 0; i < 12; ++i) {
        result(false);
    }
    EXPECT_NE(DeviceLogText().find("No Internet access more than 7200 seconds!."),
              std::string::npos);
    result(true);
    EXPECT_EQ(serverStarts.load(), 2);
    EXPECT_EQ(engine->InternetPeriodMs(), 5000);
    EXPECT_NE(DeviceLogText().find("Internet access restored!"), std::string::npos);
}

// The first check, like every other, runs on its worker: a host that does not answer for
// seconds holds up neither the start nor the operator's side.
TEST_F(EngineTest, StartDoesNotWaitForTheFirstInternetCheck) {
    std::mutex gateMutex;
    std::condition_variable gateOpened;
    bool released = false;
    std::atomic<bool> checking{false};
    engine->SetInternetCheck([&] {
        checking = true;
        std::unique_lock lock(gateMutex);
        gateOpened.wait_for(lock, 10s, [&] { return released; });
        return true;
    });
    dispatcher.Call([&] {
        engine->Create();
        engine->Apply();
        EXPECT_FALSE(engine->IsInternetAvailable());
    });
    const auto asked = std::chrono::steady_clock::now() + 3s;
    while (!checking && std::chrono::steady_clock::now() < asked) {
        std::this_thread::sleep_for(5ms);
    }
    ASSERT_TRUE(checking);
    bool busyMeanwhile = false;
    dispatcher.Call([&] { busyMeanwhile = !engine->IsInternetAvailable(); });  // not stuck
    EXPECT_TRUE(busyMeanwhile);
    EXPECT_EQ(serverStarts.load(), 0);
    {
        std::lock_guard lock(gateMutex);
        released = true;
    }
    gateOpened.notify_all();
    const auto started = std::chrono::steady_clock::now() + 3s;
    while (serverStarts.load() == 0 && std::chrono::steady_clock::now() < started) {
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_EQ(serverStarts.load(), 1);
    bool available = false;
    dispatcher.Call([&] { available = engine->IsInternetAvailable(); });
    EXPECT_TRUE(available);
}

TEST_F(EngineTest, AServerSwitchedOffStaysOffWhenAccessReturns) {
    dispatcher.Call([&] {
        engine->Create();
        engine->Settings().bHttpServ = false;
        engine->InternetResult(true);
        engine->InternetResult(false);
        engine->InternetResult(true);
    });
    EXPECT_EQ(serverStarts.load(), 0);
}

TEST_F(EngineTest, DeviceEventsPostTheUpdatesInOrderAndRunTheDeviceWork) {
    online = true;
    dispatcher.Call([&] {
        engine->Create();
        engine->Apply();
    });
    // The first check answers from its worker; with access the server starts then.
    const auto started = std::chrono::steady_clock::now() + 3s;
    while (serverStarts.load() == 0 && std::chrono::steady_clock::now() < started) {
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_EQ(serverStarts.load(), 1) << "HTTP server on with Internet access";
    std::shared_ptr<CTavDevice> device;
    dispatcher.Call([&] {
        device = registry.AddDevice(false);
        ASSERT_TRUE(device->StartThreads());
    });
    // Let the start-up events of the device pass first.
    std::this_thread::sleep_for(300ms);
    dispatcher.Call([] {});
    {
        std::lock_guard lock(mutex);
        posted.clear();
    }
    {
        std::lock_guard lock(ops.mutex);
        ops.calls.clear();
    }
    device->SetEventObject(kEvNewState);
    const auto deadline = std::chrono::steady_clock::now() + 3s;
    while (Posted().size() < 3 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(5ms);
    }
    ASSERT_EQ(Posted(), (std::vector<std::string>{"list", "kml", "feed"}));
    // A device with monitoring off has its running alarm told.
    EXPECT_EQ(ops.Calls(), (std::vector<std::string>{"alarm"}));

    // After closing, events are dropped at the gate.
    dispatcher.Call([&] { EXPECT_TRUE(engine->Close()); });
    device->SetEventObject(kEvAll);
    std::this_thread::sleep_for(200ms);
    dispatcher.Call([] {});
    EXPECT_EQ(Posted().size(), 3u);
}

TEST_F(EngineTest, DataEventsWriteTheLogAndRunTheAlarmOnTheEventThread) {
    dispatcher.Call([&] { engine->Create(); });
    std::shared_ptr<CTavDevice> device;
    dispatcher.Call([&] {
        device = registry.AddDevice(false);
        ASSERT_TRUE(device->StartThreads());
    });
    std::this_thread::sleep_for(300ms);
    {
        std::lock_guard lock(ops.mutex);
        ops.calls.clear();
    }
    device->SetEventObject(kEvNewData);
    const auto deadline = std::chrono::steady_clock::now() + 3s;
    while (ops.Calls().size() < 3 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_EQ(ops.Calls(), (std::vector<std::string>{"datagram", "datalog", "alarm"}));
}

TEST_F(EngineTest, FirstStartWritesTheSettingsFileAndLoadsNoDevices) {
    dispatcher.Call([&] {
        engine->Create();
        EXPECT_EQ(registry.GetCount(), 0u);
        EXPECT_TRUE(engine->Close());
    });
    std::vector<std::string> keys;
    settings.GetKeyNames(ManagerSettings::kSection, keys);
    EXPECT_EQ(keys, ManagerSettings::KeyNames());
}

TEST_F(EngineTest, ASavedSwitchSurvivesARestartAndDeviceListsGoToOtherFiles) {
    dispatcher.Call([&] {
        engine->Create();
        registry.AddDevice(false)->SetName("Pier");
        engine->Settings().bNoConnectionSms = true;
        EXPECT_TRUE(engine->Close());  // the headless answer to "save?" is Yes
    });
    EXPECT_EQ(settings.GetString(ManagerSettings::kSection, "bNoConnectionSms"), "1");
    EXPECT_EQ(settings.GetString("Zor-01", "sName"), "Pier");

    // Export into a file with other sections, then import it on a fresh engine.
    const std::string listFile = dir.file("list.ini");
    CIni list(listFile);
    list.WriteString("Mine", "k", "v");
    list.WriteString("Zor-05", "sName", "stale");
    dispatcher.Call([&] { engine->SaveDeviceList(listFile); });
    EXPECT_EQ(list.GetString("Mine", "k"), "v");
    EXPECT_FALSE(list.IsSectionExist("Zor-05"));
    EXPECT_EQ(list.GetString("Zor-01", "sName"), "Pier");

    dispatcher.Call([&] {
        registry.RemoveAllDevices();
        engine = std::make_unique<CManagerEngine>(dispatcher, ui, gate, registry, ops, settings);
        engine->SetInternetCheck([] { return false; });
        engine->Create();
        EXPECT_TRUE(engine->Settings().bNoConnectionSms);
        EXPECT_EQ(registry.GetFirstDeviceName(), "Pier");
        registry.RemoveAllDevices();
        engine->LoadDeviceList(listFile);
        EXPECT_EQ(registry.GetDeviceNames(), "Pier;");
        EXPECT_TRUE(engine->IsConfigChanged());
    });
}

}  // namespace
}  // namespace zm
