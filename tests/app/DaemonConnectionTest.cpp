// A sensor that stops answering and comes back, seen through the real server: the device
// log, the state datagrams, the mails and SMS, and the connection-lost popup (a run-log
// line in the headless server). Whether a lost connection is acted on at all is the
// operator's "bNoConnectionSms" switch.
#include <signal.h>

#include <chrono>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "app/DaemonPeers.h"
#include "device/DeviceStatus.h"
#include "notify/Clickatell.h"
#include "notify/TestPeers.h"
#include "support/ChildProcess.h"
#include "support/Loopback.h"
#include "zor/ZorTestPeers.h"

namespace zm {
namespace {

using namespace std::chrono_literals;
using test::WaitUntil;

struct LossCase {
    const char* label;
    bool bNoConnectionSms;
};

void PrintTo(const LossCase& c, std::ostream* out) {
    *out << c.label;
}

class ConnectionLoss : public ::testing::TestWithParam<LossCase> {};

// Index of the first datagram that matches, or -1.
int IndexOf(const test::UdpSink& udp, const std::string& text) {
    for (size_t i = 0; i < udp.datagrams.size(); ++i) {
        if (udp.datagrams[i].find(text) != std::string::npos) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

TEST_P(ConnectionLoss, LostAndRestoredConnectionActions) {
    const LossCase& c = GetParam();
    test::DaemonHome home;
    const std::string sensor = "addr=5,devnum=ZOR-0077,value=100";
    auto sim = std::make_unique<test::SimProcess>(
        std::vector<std::string>{"--tcp-port", "0", "--sensor", sensor});
    ASSERT_TRUE(sim->Ready());
    const int simPort = sim->tcpPort;
    test::SmtpTestServer smtp({});
    test::UdpSink udp;

    ManagerSettings s = test::MailSmsAndUdpSettings(smtp.port(), udp.port());
    s.bConnPopup = true;
    s.bNoConnectionSms = c.bNoConnectionSms;
    s.sMailRecipients = "duty@harbour.test,4791234567";
    home.WriteSettings(s, {{.name = "Quay-3", .tcpPort = simPort}});

    test::ChildProcess daemon(home.Args(), home.home.file("daemon.out"));
    ASSERT_GT(daemon.Pid(), 0);
    const std::string online = "Quay-3: Online and Ok";
    const std::string lost = "Quay-3: No connection";
    ASSERT_TRUE(WaitUntil([&] { return !test::LogLineWith(home.DeviceLog(), online).empty(); }, 8s))
        << home.RunLog();
    EXPECT_EQ(test::LogLineWith(home.DeviceLog(), online).rfind(test::ColourTagOf(kDevOnlineOk), 0),
              0u);

    // The sensor goes silent: after the silence time the device reports the lost
    // connection. The state-change test logs it in the status's colour in any case.
    EXPECT_EQ(sim->Stop(), 0);
    sim.reset();
    ASSERT_TRUE(WaitUntil([&] { return !test::LogLineWith(home.DeviceLog(), lost).empty(); }, 14s))
        << home.DeviceLog();
    EXPECT_EQ(
        test::LogLineWith(home.DeviceLog(), lost).rfind(test::ColourTagOf(kDevNoConnection), 0), 0u)
        << home.DeviceLog();
    const std::string lostDatagram = "| Quay-3 | Status = 'No connection";
    if (c.bNoConnectionSms) {
        EXPECT_TRUE(udp.WaitFor(
            [&](const std::string& d) { return d.find(lostDatagram) != std::string::npos; }, 3s));
        EXPECT_TRUE(WaitUntil(
            [&] {
                return home.RunLog().find("Connection-lost popup: CONNECTION LOST Quay-3") !=
                       std::string::npos;
            },
            3s))
            << home.RunLog();
        EXPECT_TRUE(
            smtp.WaitFor(std::string("RCPT TO:<") + CClickatell::GatewayAddress() + ">", 8000))
            << smtp.Transcript();
        EXPECT_TRUE(WaitUntil([&] { return !smtp.Message(2).empty(); }, 3s));
        EXPECT_NE(smtp.Message(1).find("\r\nSubject: Quay-3: No connection\r\n"), std::string::npos)
            << smtp.Message(1);
        EXPECT_NE(smtp.Message(1).find("To: <duty@harbour.test>\r\n"), std::string::npos)
            << smtp.Message(1);
        EXPECT_NE(smtp.Message(2).find("\r\nto:4791234567\r\n"), std::string::npos)
            << smtp.Message(2);
        EXPECT_NE(smtp.Message(2).find("text:Device status: "), std::string::npos);
        EXPECT_TRUE(WaitUntil(
            [&] {
                return home.DeviceLog().find("Alarm sms was successfully sent") !=
                       std::string::npos;
            },
            3s));
        // The log entry comes first, then the mail, then the SMS.
        const std::string log = home.DeviceLog();
        EXPECT_LT(log.find(lost), log.find("Alarm mail was successfully sent (recipients: 1)."));
        EXPECT_LT(log.find("Alarm mail was successfully sent"),
                  log.find("Alarm sms was successfully sent (recipients: 1)."));
    } else {
        // Nothing beyond the log entry: no datagram, no popup, no mail, no SMS.
        std::this_thread::sleep_for(1500ms);
        udp.Drain(100);
        EXPECT_EQ(IndexOf(udp, lostDatagram), -1);
        EXPECT_EQ(home.RunLog().find("Connection-lost popup: CONNECTION LOST"), std::string::npos);
        EXPECT_EQ(smtp.Transcript().find("MAIL FROM"), std::string::npos) << smtp.Transcript();
        EXPECT_EQ(home.DeviceLog().find("was successfully sent"), std::string::npos);
    }

    // The sensor answers again on the same endpoint: the device is online again, logged
    // in green with a state datagram; the popup loses the device's entry. No mail.
    sim = std::make_unique<test::SimProcess>(
        std::vector<std::string>{"--tcp-port", std::to_string(simPort), "--sensor", sensor});
    ASSERT_TRUE(sim->Ready());
    const size_t lostAt = home.DeviceLog().find(lost);
    ASSERT_TRUE(WaitUntil(
        [&] { return !test::LogLineWith(home.DeviceLog(), online, lostAt).empty(); }, 10s))
        << home.DeviceLog();
    EXPECT_EQ(test::LogLineWith(home.DeviceLog(), online, lostAt)
                  .rfind(test::ColourTagOf(kDevOnlineOk), 0),
              0u);
    const std::string onlineDatagram = "| Quay-3 | Status = 'Online and Ok";
    EXPECT_TRUE(udp.WaitFor(
        [&](const std::string& d) { return d.find(onlineDatagram) != std::string::npos; }, 3s));
    if (c.bNoConnectionSms) {
        // The restored state's datagram follows the lost one.
        int lastOnline = -1;
        for (size_t i = 0; i < udp.datagrams.size(); ++i) {
            if (udp.datagrams[i].find(onlineDatagram) != std::string::npos) {
                lastOnline = static_cast<int>(i);
            }
        }
        EXPECT_LT(IndexOf(udp, lostDatagram), lastOnline);
        EXPECT_TRUE(WaitUntil(
            [&] {
                return home.RunLog().find("Connection-lost popup: Quay-3 connected again") !=
                       std::string::npos;
            },
            3s))
            << home.RunLog();
    }

    ASSERT_EQ(kill(daemon.Pid(), SIGTERM), 0);
    EXPECT_EQ(daemon.Wait(8s), 0);
    EXPECT_EQ(smtp.Message(c.bNoConnectionSms ? 3 : 1), "") << "a mail for the restored state";
    EXPECT_NE(home.DeviceLog().find("Application ended."), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(NoConnectionSms, ConnectionLoss,
                         ::testing::Values(LossCase{"On", true}, LossCase{"Off", false}),
                         [](const auto& param) { return std::string(param.param.label); });

}  // namespace
}  // namespace zm
