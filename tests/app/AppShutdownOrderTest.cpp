// The application object on its way out while a device's event handler runs on the
// engine: the engine must outlive every handler inside the gate, on every way out.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "app/HeadlessDispatcher.h"
#include "app/HeadlessUiPort.h"
#include "app/ZorManagerApp.h"
#include "base/Folders.h"
#include "base/Ini.h"
#include "base/Paths.h"
#include "support/TempDir.h"

namespace zm {
namespace {

using namespace std::chrono_literals;

TEST(AppShutdownOrder, TheEngineOutlivesAHandlerThatIsInsideTheGate) {
    test::TempDir home;
    SetHomeRoot(home.folder());
    {
        CreateFolderChain(GetConfigFolder());
        CIni settings(GetSettingsFilePath());
        settings.WriteString("Zor-01", "sName", "Pier");
        settings.WriteString("Zor-01", "sLinkType", "EMUL");
        settings.WriteString("Zor-01", "bScanning", "1");
    }
    HeadlessDispatcher dispatcher;
    dispatcher.Start();
    HeadlessUiPort ui;
    auto app = std::make_unique<CZorManagerApp>(dispatcher, ui);

    std::promise<void> entered, release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> first{true};
    std::atomic<bool> engineGone{false};
    std::atomic<bool> goneWhileInside{false};
    app->SetEngineSetup([&](CManagerEngine& engine) {
        engine.SetInternetCheck([] { return false; });
        EngineHooks hooks;
        // Destroyed with the engine's hooks: tells when the engine went.
        std::shared_ptr<void> sentinel(nullptr, [&engineGone](void*) { engineGone = true; });
        hooks.refreshViews = [sentinel] {};
        hooks.deviceStateSeen = [&](CTavDevice&) {
            if (first.exchange(false)) {
                entered.set_value();
                released.wait();
                goneWhileInside = engineGone.load();
            }
        };
        engine.SetHooks(std::move(hooks));
    });
    auto result = CZorManagerApp::StartResult::kMainWindowFailed;
    dispatcher.Call([&] { result = app->InitInstance(false); });
    ASSERT_EQ(result, CZorManagerApp::StartResult::kStarted);
    ASSERT_EQ(entered.get_future().wait_for(10s), std::future_status::ready);

    // The way out without the closing sequence: the application object simply goes.
    std::promise<void> destroyed;
    dispatcher.Post([&] {
        app.reset();
        destroyed.set_value();
    });
    std::this_thread::sleep_for(500ms);
    release.set_value();
    ASSERT_EQ(destroyed.get_future().wait_for(20s), std::future_status::ready);
    EXPECT_FALSE(goneWhileInside.load()) << "the engine was destroyed under a running handler";
    EXPECT_TRUE(engineGone.load());
    dispatcher.Stop();
    SetHomeRoot("");
}

}  // namespace
}  // namespace zm
