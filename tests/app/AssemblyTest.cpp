// The wiring both programs share, driven as a front end drives it: its hooks join the
// engine's, its window comes before the settings load, and the shutdown leaves nothing.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/HeadlessDispatcher.h"
#include "app/HeadlessUiPort.h"
#include "app/ManagerAssembly.h"
#include "base/Folders.h"
#include "base/Ini.h"
#include "base/Paths.h"
#include "device/TavDevice.h"
#include "support/FileBytes.h"
#include "support/Loopback.h"
#include "support/TempDir.h"

namespace zm {
namespace {

TEST(Assembly, FrontEndHooksJoinTheEngineAndTheOrderHolds) {
    test::TempDir home;
    SetHomeRoot(home.folder());
    {
        CreateFolderChain(GetConfigFolder());
        CIni settings(GetSettingsFilePath());
        settings.WriteString("Zor-01", "sName", "Pier");
        settings.WriteString("Zor-01", "sLinkType", "EMUL");
    }
    HeadlessUiPort ui;
    HeadlessDispatcher dispatcher;
    dispatcher.Start();
    AssemblyOptions options;
    options.httpPort = test::FreeTcpPort();
    options.httpBind = "127.0.0.1";
    options.noShare = true;
    options.noInternetCheck = true;
    auto assembly = std::make_unique<CManagerAssembly>(dispatcher, ui, options);

    std::mutex mutex;  // the steps are noted on the dispatcher thread
    std::vector<std::string> steps;
    auto note = [&](const std::string& step) {
        std::lock_guard lock(mutex);
        steps.push_back(step);
    };
    std::atomic<int> feeds{0};
    CManagerAssembly::FrontEnd frontEnd;
    frontEnd.setupEngine = [&](CManagerEngine&) { note("setup"); };
    frontEnd.addEngineHooks = [&](EngineHooks& hooks) {
        note("hooks");
        EXPECT_TRUE(hooks.updateDevFeed);  // the assembly's own are in already
        EXPECT_TRUE(hooks.startWebServer);
        auto feed = hooks.updateDevFeed;
        hooks.updateDevFeed = [&feeds, feed](CTavDevice* device) {
            ++feeds;
            feed(device);
        };
        hooks.refreshViews = [&] { note("refresh"); };
    };
    frontEnd.createMainWindow = [&](CManagerEngine& engine) {
        note("window");
        EXPECT_EQ(engine.Settings().sMailRecipients, "");  // before the settings load
        EXPECT_EQ(assembly->Registry().GetCount(), 0u);
        return true;
    };
    assembly->SetFrontEnd(frontEnd);

    auto result = CZorManagerApp::StartResult::kMainWindowFailed;
    dispatcher.Call([&] { result = assembly->Start(false); });
    ASSERT_EQ(result, CZorManagerApp::StartResult::kStarted);
    {
        std::lock_guard lock(mutex);
        ASSERT_GE(steps.size(), 4u);
        EXPECT_EQ((std::vector<std::string>(steps.begin(), steps.begin() + 4)),
                  (std::vector<std::string>{"hooks", "setup", "window", "refresh"}));
    }
    // The web server starts once the first Internet check (here: always yes) answered.
    bool serving = false;
    for (int i = 0; i < 300 && !serving; ++i) {
        dispatcher.Call([&] { serving = assembly->Web().IsRunning(); });
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(serving);
    dispatcher.Call([&] {
        EXPECT_EQ(assembly->Registry().GetDeviceNames(), "Pier;");
        // One owner of advanced mode: the actions see the engine's state.
        ASSERT_NE(assembly->Actions(), nullptr);
        EXPECT_FALSE(assembly->Actions()->IsAdvancedMode());
        assembly->Engine()->SetAdvancedMode(true, false);
        EXPECT_TRUE(assembly->Actions()->IsAdvancedMode());
    });
    // The emulated device's state events reach the front end's wrapped feed hook.
    EXPECT_TRUE(dispatcher.WaitPumping([&] { return feeds > 0; }, 10000));

    bool closed = false;
    int exitCode = -1;
    dispatcher.Call([&] { closed = assembly->Close(); });
    EXPECT_TRUE(closed);
    dispatcher.Call([&] { exitCode = assembly->Exit(); });
    EXPECT_EQ(exitCode, 0);
    dispatcher.Call([&] {
        EXPECT_EQ(assembly->Actions(), nullptr);  // gone with the mail sender
        EXPECT_EQ(assembly->Registry().GetCount(), 0u);
        EXPECT_FALSE(assembly->Web().IsRunning());
        assembly.reset();
    });
    dispatcher.Stop();
    std::string runLog;
    for (const auto& entry : std::filesystem::directory_iterator(GetLogFolder())) {
        if (entry.path().filename().string().starts_with("RunLog_")) {
            runLog = test::ReadBytes(entry.path().string());
        }
    }
    EXPECT_NE(runLog.find("Application ended"), std::string::npos);
    SetHomeRoot("");
}

}  // namespace
}  // namespace zm
