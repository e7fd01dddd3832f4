// SIGTERM while the server polls: it must end promptly, write its closing entries, and
// leave no thread behind. The server checks its own threads at the end of the shutdown
// and names any that are left in the run log.
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/DaemonPeers.h"
#include "app/ThreadsLeft.h"
#include "base/Log.h"
#include "notify/TestPeers.h"
#include "platform/ProcessInfo.h"
#include "support/ChildProcess.h"
#include "support/Loopback.h"
#include "zor/ZorTestPeers.h"

namespace zm {
namespace {

using namespace std::chrono_literals;
using test::WaitUntil;

// A loopback TCP port whose connections are taken by the system and never answered.
class MutePort {
  public:
    MutePort() : listening_(socket_.fd() >= 0 && listen(socket_.fd(), 16) == 0) {}
    int port() const { return listening_ ? socket_.port() : 0; }

  private:
    test::LoopbackSocket socket_{SOCK_STREAM};
    bool listening_;
};

// The count of `text` in `log`.
int Count(const std::string& log, const std::string& text) {
    int count = 0;
    for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) {
        ++count;
    }
    return count;
}

TEST(ThreadsLeft, ARunningThreadIsNamedAndAnEndedOneIsNot) {
    test::TempDir dir;
    CLog log;
    log.SetFolder(dir.folder());
    ASSERT_TRUE(log.Open("RunLog", true));
    const auto before = ThreadsLeft(300ms);

    std::mutex mutex;
    std::condition_variable wake;
    bool release = false;
    int strayId = 0;
    std::thread stray([&] {
        platform::NameCurrentThread("stray-worker-with-a-long-name");
        std::unique_lock lock(mutex);
        strayId = static_cast<int>(gettid());
        wake.notify_all();
        wake.wait(lock, [&] { return release; });
    });
    {
        std::unique_lock lock(mutex);
        wake.wait(lock, [&] { return strayId != 0; });
    }
    EXPECT_FALSE(ReportThreadsLeft(log, 50ms));
    {
        std::lock_guard lock(mutex);
        release = true;
    }
    wake.notify_all();
    stray.join();
    const auto after = ThreadsLeft(300ms);
    log.Close();

    const std::string text = test::ReadBytes(log.GetPath());
    // The system keeps 15 bytes of a name.
    const std::string named = "stray-worker-wi [" + std::to_string(strayId) + "]";
    EXPECT_NE(text.find(named), std::string::npos) << text;
    EXPECT_NE(text.find(std::to_string(before.size() + 1) + " thread(s) running: "),
              std::string::npos)
        << text;
    EXPECT_EQ(after.size(), before.size());
    for (const auto& thread : after) {
        EXPECT_NE(thread.tid, strayId) << "the joined thread is still listed";
    }
}

class DaemonShutdown : public ::testing::Test {
  protected:
    test::DaemonHome home;
};

// Ten devices poll: one on a sensor that answers at once; one on a sensor whose replies
// come so late that its poll cycle outlasts a thread's stop wait; two sharing a converter
// that takes the connection and never answers (one waits in a read, the other for the
// shared channel); six more on mute converters of their own. SIGTERM lands in the middle.
// Stopped one after the other, the devices still polling would start further exchanges;
// asked together, each only finishes the exchange under way.
TEST_F(DaemonShutdown, SigtermWhilePollingEndsPromptlyWithTheClosingEntriesAndNoThreadLeft) {
    test::SimProcess fast({"--tcp-port", "0", "--sensor", "addr=5,devnum=ZOR-0101,value=100"});
    test::SimProcess slow({"--tcp-port", "0", "--sensor", "addr=6,devnum=ZOR-0102,value=100"});
    ASSERT_TRUE(fast.Ready());
    ASSERT_TRUE(slow.Ready());
    ASSERT_EQ(slow.Control("fault delay 100000 1900").rfind("OK", 0), 0u);
    MutePort shared;
    ASSERT_GT(shared.port(), 0);
    std::vector<std::unique_ptr<MutePort>> own;
    for (int i = 0; i < 6; ++i) {
        own.push_back(std::make_unique<MutePort>());
        ASSERT_GT(own.back()->port(), 0);
    }

    // The registry stops its devices last first: the late sensor's device comes first.
    std::vector<test::HomeDevice> devices = {
        {.name = "Fast-1", .tcpPort = fast.tcpPort, .address = 5, .timeoutMs = 500},
        {.name = "Mute-2", .tcpPort = shared.port(), .address = 6, .timeoutMs = 2000},
        {.name = "Mute-3", .tcpPort = shared.port(), .address = 7, .timeoutMs = 2000}};
    for (size_t i = 0; i < own.size(); ++i) {
        const int n = static_cast<int>(i) + 4;
        devices.push_back({.name = StrPrintf("Mute-%d", n),
                           .tcpPort = own[i]->port(),
                           .address = n + 4,
                           .timeoutMs = 2000});
    }
    devices.push_back(
        {.name = "Slow-10", .tcpPort = slow.tcpPort, .address = 6, .timeoutMs = 2500});
    std::string names;
    for (const test::HomeDevice& d : devices) {
        names += d.name + ";";
    }
    ManagerSettings s;
    s.bHttpServ = true;
    home.WriteSettings(s, devices);

    test::ChildProcess daemon(home.Args(), home.home.file("daemon.out"));
    ASSERT_GT(daemon.Pid(), 0);
    // Polling runs: the quick sensor has data, the late one has been asked.
    ASSERT_TRUE(WaitUntil(
        [&] { return !test::FilesText(home.Documents(), "DataLog_ZOR-0101_Fast-1_").empty(); },
        10s))
        << home.RunLog();
    ASSERT_TRUE(WaitUntil(
        [&] { return slow.Control("stats").find("requests=0") == std::string::npos; }, 5s));
    // A browser has been served by the web server as well.
    EXPECT_EQ(test::CurlGet(home.BaseUrl() + "/device-list", 5), names);
    std::this_thread::sleep_for(700ms);

    const auto signalled = std::chrono::steady_clock::now();
    ASSERT_EQ(kill(daemon.Pid(), SIGTERM), 0);
    const int status = daemon.Wait(15s);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - signalled).count();
    ASSERT_EQ(status, 0) << home.RunLog();
    RecordProperty("shutdown_ms", static_cast<int>(seconds * 1000));
    const std::string runLog = home.RunLog();
    const std::string devLog = home.DeviceLog();
    // The promise is 5 s; the exchanges under way take at most 2 s.
    EXPECT_LT(seconds, 5.0) << runLog;

    for (const auto& d : devices) {
        EXPECT_EQ(Count(runLog, "Thread_Live: " + d.name + " terminating: OK"), 1) << d.name << "\n"
                                                                                   << runLog;
        EXPECT_EQ(Count(runLog, "Thread_Event: " + d.name + " terminating: OK"), 1) << d.name;
    }
    EXPECT_EQ(runLog.find("terminating: FAILED"), std::string::npos) << runLog;
    EXPECT_EQ(runLog.find("Shutdown left"), std::string::npos) << runLog;
    EXPECT_EQ(Count(runLog, "Application ended (ID:"), 1);
    EXPECT_EQ(Count(devLog, "Application ended."), 1);
    // The closing entry is the last one of each log.
    EXPECT_EQ(runLog.find("<li>", runLog.find("Application ended (ID:")), std::string::npos);
    EXPECT_EQ(devLog.find("<li>", devLog.find("Application ended.")), std::string::npos);
}

// A mail that cannot be delivered (the server takes the connection and never greets)
// holds the mail sender past its stop bound: the shutdown still ends, and the thread it
// had to leave is named in the run log.
TEST_F(DaemonShutdown, AThreadLeftByABoundedStopIsNamed) {
    test::SimProcess sim({"--tcp-port", "0", "--sensor",
                          "addr=5,devnum=ZOR-0201,value=800,alarm=1,param.MinSigThr=500,"
                          "param.MaxSigThr=10000"});
    ASSERT_TRUE(sim.Ready());
    MutePort smtp;
    test::UdpSink udp;
    ManagerSettings s = test::MailAndUdpSettings(smtp.port(), udp.port());
    s.sMailRecipients = "duty@harbour.test";
    home.WriteSettings(s, {{.name = "Pier-9", .tcpPort = sim.tcpPort}});

    test::ChildProcess daemon(home.Args(), home.home.file("daemon.out"));
    ASSERT_GT(daemon.Pid(), 0);
    ASSERT_TRUE(WaitUntil(
        [&] { return home.DeviceLog().find("Pier-9: Alarm reported") != std::string::npos; }, 10s))
        << home.RunLog();
    std::this_thread::sleep_for(300ms);  // the mail sender is inside its dialogue now

    ASSERT_EQ(kill(daemon.Pid(), SIGTERM), 0);
    EXPECT_EQ(daemon.Wait(15s), 0) << home.RunLog();
    const std::string runLog = home.RunLog();
    EXPECT_NE(runLog.find("Mail sender FAILED to stop"), std::string::npos) << runLog;
    const std::regex left("Shutdown left 1 thread\\(s\\) running: mail-sender \\[[0-9]+\\]\\.");
    EXPECT_TRUE(std::regex_search(runLog, left)) << runLog;
    EXPECT_LT(runLog.find("Shutdown left"), runLog.find("Application ended (ID:"));
}

}  // namespace
}  // namespace zm
