#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/DaemonPeers.h"
#include "app/HeadlessDispatcher.h"
#include "app/HeadlessUiPort.h"
#include "app/ZorManagerApp.h"
#include "base/AppLogs.h"
#include "base/Folders.h"
#include "base/Ini.h"
#include "platform/ProcessInfo.h"
#include "support/ChildProcess.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"

extern char** environ;

namespace zm {
namespace {

using namespace std::chrono_literals;

using Child = zm::test::ChildProcess;

bool WaitForText(const std::function<std::string()>& read, const std::string& text,
                 std::chrono::milliseconds limit = 10s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (read().find(text) != std::string::npos) {
            return true;
        }
        std::this_thread::sleep_for(20ms);
    }
    return false;
}

std::string LogText(const std::filesystem::path& home, const std::string& prefix) {
    return test::FilesText(home / "Documents", prefix);
}

using test::kServer;

TEST(Zormanagerd, RunsUntilSigtermAndRefusesASecondInstance) {
    test::TempDir home;
    Child first({kServer, "--home", home.folder()}, home.file("first.out"));
    ASSERT_GT(first.Pid(), 0);
    ASSERT_TRUE(WaitForText([&] { return LogText(home.path(), "DevLog_"); },
                            "Application started.</font>"));
    const std::string runLog = LogText(home.path(), "RunLog_");
    EXPECT_NE(runLog.find("ZorManager__All_Ver-Lang version 6.1.0.10"), std::string::npos);
    EXPECT_NE(runLog.find("Application started"), std::string::npos);

    Child second({kServer, "--home", home.folder()}, home.file("second.out"));
    EXPECT_EQ(second.Wait(10s), 1);
    EXPECT_NE(test::ReadBytes(home.file("second.out")).find("Application already launched."),
              std::string::npos);
    EXPECT_TRUE(first.Running()) << "the first instance was disturbed";

    ASSERT_EQ(kill(first.Pid(), SIGTERM), 0);
    EXPECT_EQ(first.Wait(5s), 0);
    const std::string devLog = LogText(home.path(), "DevLog_");
    EXPECT_NE(devLog.find("Application ended.</font>"), std::string::npos);
    EXPECT_EQ(devLog.find("Application started."), devLog.rfind("Application started."))
        << "the second instance wrote to the logs";
    EXPECT_NE(LogText(home.path(), "RunLog_").find("Application ended (ID:"), std::string::npos);
    // The first start leaves a settings file with every key to edit.
    CIni settings(home.folder() + "AppData/Config/ZorManager__All_Ver-Lang.ini");
    std::vector<std::string> keys;
    settings.GetKeyNames("ZorManagerWnd", keys);
    EXPECT_EQ(keys.size(), ManagerSettings::KeyNames().size());
}

// Ctrl-C closes down in the documented order: the devices stop, last first; then the web
// server; then the run log's closing entry and the device log's, each the last of its log.
TEST(Zormanagerd, SigintAlsoShutsDownInOrder) {
    test::DaemonHome home;
    const test::HomeDevice emulated{.name = "Emul-A",
                                    .linkType = kLinkTypeEmul,
                                    .lowerThreshold = 1000.0f,
                                    .upperThreshold = 500.0f};
    test::HomeDevice second = emulated;
    second.name = "Emul-B";
    ManagerSettings settings;
    settings.bHttpServ = true;
    home.WriteSettings(settings, {emulated, second});
    Child server(home.Args(), home.home.file("server.out"));
    ASSERT_TRUE(WaitForText([&] { return home.RunLog(); }, "CHttpServer::Start ("));
    ASSERT_TRUE(WaitForText([&] { return home.RunLog(); }, "Emul-A: Thread_Live start: OK"));
    ASSERT_EQ(kill(server.Pid(), SIGINT), 0);
    EXPECT_EQ(server.Wait(5s), 0);

    const std::string runLog = home.RunLog();
    const std::string devLog = home.DeviceLog();
    const std::vector<std::string> order = {
        "Thread_Live: Emul-B terminating: OK", "Thread_Event: Emul-B terminating: OK",
        "Thread_Live: Emul-A terminating: OK", "Thread_Event: Emul-A terminating: OK",
        "CHttpServer::Shutdown ... ",          "Application ended (ID:",
    };
    size_t previous = 0;
    for (const std::string& entry : order) {
        const size_t at = runLog.find(entry, previous);
        ASSERT_NE(at, std::string::npos) << entry << " not after the entry before it\n" << runLog;
        EXPECT_EQ(runLog.find(entry, at + 1), std::string::npos) << entry << " twice";
        previous = at;
    }
    EXPECT_EQ(runLog.find("<li>", previous), std::string::npos) << "entries after the last";
    EXPECT_NE(runLog.find("</body></html>", previous), std::string::npos);
    const size_t ended = devLog.find("Application ended.</font>");
    ASSERT_NE(ended, std::string::npos) << devLog;
    EXPECT_EQ(devLog.find("<font color", ended), std::string::npos) << "entries after the last";
    EXPECT_NE(devLog.find("</body></html>", ended), std::string::npos);
}

// Answers the configuration-tool question as the test says and remembers it.
class ScriptedPort : public HeadlessUiPort {
  public:
    std::function<MsgResult()> answer;
    std::vector<std::string> asked;
    MsgResult Ask(const std::string& text, MessageBoxType type, MsgResult safe,
                  const std::string& suffix) override {
        asked.push_back(text);
        EXPECT_EQ(type.buttons, MsgButtons::kRetryCancel);
        EXPECT_EQ(safe, MsgResult::kCancel);
        (void)suffix;
        return answer();
    }
};

class ConfiguratorTest : public ::testing::Test {
  protected:
    ConfiguratorTest() {
        SetHomeRoot(home.folder());
        dispatcher.Start();
    }
    ~ConfiguratorTest() override {
        dispatcher.Stop();
        SetHomeRoot("");
    }
    // A copy of sleep under the name given, so that the process list shows that name.
    std::string Tool(const std::string& name) {
        const std::string path = tools.file(name);
        std::filesystem::copy_file("/bin/sleep", path);
        return path;
    }
    CZorManagerApp::StartResult Start(CZorManagerApp& app) {
        auto result = CZorManagerApp::StartResult::kMainWindowFailed;
        dispatcher.Call([&] { result = app.InitInstance(false); });
        return result;
    }
    void Stop(CZorManagerApp& app) {
        dispatcher.Call([&] {
            EXPECT_TRUE(app.CloseMainWindow());
            app.ExitInstance();
        });
    }

    test::TempDir home;
    test::TempDir tools;
    HeadlessDispatcher dispatcher;
    ScriptedPort port;
};

const char* kToolQuestion =
    "ZorConfigurator is now running on your system.\r\nPlease close ZorConfigurator and press "
    "\"Retry\" to continue.\r\nOr press \"Cancel\" to exit.";

TEST_F(ConfiguratorTest, CancelEndsTheStartBeforeAnyLogIsWritten) {
    Child tool({Tool("ZorConfigurator.exe"), "30"});
    ASSERT_TRUE(WaitForText(
        [&] {
            return std::string(
                platform::IsProcessRunning("ZorConfigurator", tool.Pid(), false) ? "yes" : "");
        },
        "yes", 5s));
    port.answer = [] { return MsgResult::kCancel; };
    CZorManagerApp app(dispatcher, port);
    EXPECT_EQ(Start(app), CZorManagerApp::StartResult::kConfiguratorCancelled);
    ASSERT_EQ(port.asked.size(), 1u);
    EXPECT_EQ(port.asked[0], kToolQuestion);
    EXPECT_FALSE(std::filesystem::exists(home.path() / "Documents"));
}

TEST_F(ConfiguratorTest, RetryStartsOnceTheToolHasEnded) {
    auto tool = std::make_unique<Child>(std::vector<std::string>{Tool("ZorConfigurator"), "30"});
    ASSERT_TRUE(WaitForText(
        [&] {
            return std::string(
                platform::IsProcessRunning("ZorConfigurator", tool->Pid(), true) ? "yes" : "");
        },
        "yes", 5s));
    // A name that only contains the tool's name does not block.
    Child other({Tool("MyZorConfigurator"), "30"});
    port.answer = [&] {
        if (port.asked.size() == 1) {
            return MsgResult::kRetry;  // still running: asked again
        }
        tool.reset();  // the operator closed the tool
        return MsgResult::kRetry;
    };
    CZorManagerApp app(dispatcher, port);
    app.SetEngineSetup(
        [](CManagerEngine& engine) { engine.SetInternetCheck([] { return false; }); });
    EXPECT_EQ(Start(app), CZorManagerApp::StartResult::kStarted);
    EXPECT_EQ(port.asked.size(), 2u);
    Stop(app);
    const std::string devLog = LogText(home.path(), "DevLog_");
    EXPECT_NE(devLog.find("Application started."), std::string::npos);
    EXPECT_NE(devLog.find("Application ended."), std::string::npos);
}

}  // namespace
}  // namespace zm
