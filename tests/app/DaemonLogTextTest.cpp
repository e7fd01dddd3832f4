// Text from outside (a device name from the settings file, a mail server's reply) reaches
// the HTML logs as text: a browser showing the logs renders no markup and runs no script.
#include <signal.h>

#include <chrono>
#include <string>

#include <gtest/gtest.h>

#include "app/DaemonPeers.h"
#include "notify/TestPeers.h"
#include "zor/ZorTestPeers.h"

namespace zm {
namespace {

using namespace std::chrono_literals;
using test::WaitUntil;

constexpr const char* kName = "Pier <b>&\"1\"";
constexpr const char* kShownName = "Pier &lt;b&gt;&amp;&quot;1&quot;";
constexpr const char* kReplyMarkup = "5.7.1 <script>alert('x')</script> <b>refused</b> & gone";
constexpr const char* kShownReply =
    "5.7.1 &lt;script&gt;alert('x')&lt;/script&gt; &lt;b&gt;refused&lt;/b&gt; &amp; gone";

TEST(DaemonLogText, DeviceNamesAndServerRepliesAreEscaped) {
    test::DaemonHome home;
    test::SimProcess sim({"--tcp-port", "0", "--log", home.home.file("sim.log"), "--sensor",
                          "addr=5,devnum=ZOR-0077,value=100,param.MinSigThr=500,"
                          "param.MaxSigThr=10000"});
    ASSERT_TRUE(sim.Ready());
    test::SmtpTestServer smtp({"--fail-mail", "550", "--fail-text", kReplyMarkup});
    test::UdpSink udp;
    ManagerSettings settings = test::MailAndUdpSettings(smtp.port(), udp.port());
    settings.sMailRecipients = "duty@harbour.test";
    settings.bAlarmPopup = true;
    home.WriteSettings(settings, {{.name = kName, .tcpPort = sim.tcpPort}});
    test::ChildProcess daemon(home.Args(), home.home.file("daemon.out"));
    ASSERT_GT(daemon.Pid(), 0);

    ASSERT_TRUE(WaitUntil(
        [&] {
            return home.DeviceLog().find(std::string(kShownName) + ": Online") != std::string::npos;
        },
        10s))
        << home.DeviceLog();
    ASSERT_EQ(sim.Control("set 5 value=800,alarm=1").rfind("OK", 0), 0u);
    EXPECT_TRUE(
        WaitUntil([&] { return home.RunLog().find(kShownReply) != std::string::npos; }, 10s))
        << home.RunLog();
    EXPECT_TRUE(WaitUntil(
        [&] {
            return home.DeviceLog().find(std::string(kShownName) + ": Alarm") != std::string::npos;
        },
        5s));
    ASSERT_EQ(kill(daemon.Pid(), SIGTERM), 0);
    EXPECT_EQ(daemon.Wait(8s), 0);

    const std::string logs[] = {home.DeviceLog(), home.RunLog()};
    for (const std::string& log : logs) {
        EXPECT_EQ(log.find("<b>"), std::string::npos) << log;
        EXPECT_EQ(log.find("<script>"), std::string::npos) << log;
        EXPECT_EQ(log.find(kName), std::string::npos) << log;
    }
    // The run log shows the device as the operator named it in the lines the device
    // itself writes (start of its threads) and in the alarm popup's line.
    EXPECT_NE(home.RunLog().find(std::string(kShownName) + ": Thread_Live start: OK"),
              std::string::npos)
        << home.RunLog();
    EXPECT_NE(home.RunLog().find(std::string(": ALARM ") + kShownName),
              std::string::npos)
        << home.RunLog();
    EXPECT_NE(home.DeviceLog().find("Alarm mail was not sent"), std::string::npos);
}

}  // namespace
}  // namespace zm
