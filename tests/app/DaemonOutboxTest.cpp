// The outbox of the real server: killed with alert mails waiting while the mail server is
// down, started again with the server up, every mail arrives and none twice.
#include <signal.h>

#include <chrono>
#include <map>
#include <regex>
#include <set>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "app/DaemonPeers.h"
#include "app/ManagerIntegration.h"
#include "notify/TestPeers.h"
#include "store/OutboxStore.h"
#include "support/ChildProcess.h"
#include "support/Loopback.h"
#include "zor/ZorTestPeers.h"

namespace zm {
namespace {

using namespace std::chrono_literals;
using test::WaitUntil;

int Count(const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

TEST(DaemonOutbox, KilledWithMailsWaitingSendsEachOnceAfterTheRestart) {
    constexpr int kDevices = 20;
    test::DaemonHome home;
    // Twenty sensors nobody answers for: twenty lost connections, one alert mail each,
    // while no mail server listens.
    std::vector<test::HomeDevice> devices;
    for (int i = 1; i <= kDevices; ++i) {
        devices.push_back({.name = "Buoy-" + std::to_string(i), .tcpPort = test::FreeTcpPort()});
    }
    ManagerSettings s = test::MailAndUdpSettings(test::UnusedPort(), test::FreeTcpPort());
    s.udp_enabled = 0;
    s.bNoConnectionSms = true;
    s.sMailRecipients = "duty@harbour.test";
    home.WriteSettings(s, devices);
    const std::string outboxFile = home.home.folder() + "AppData/Outbox.sqlite";
    std::set<std::string> ids;
    {
        test::ChildProcess daemon(home.Args(), home.home.file("daemon-1.out"));
        ASSERT_GT(daemon.Pid(), 0);
        ASSERT_TRUE(WaitUntil(
            [&] { return Count(home.DeviceLog(), "Alarm mail was not sent:") == kDevices; }, 40s))
            << home.DeviceLog();
        EXPECT_EQ(Count(home.DeviceLog(), "; will retry."), kDevices);
        // A control room sees what waits; failing for less than 15 minutes is not yet news.
        const auto api = nlohmann::json::parse(test::CurlGet(home.BaseUrl() + "/api/devices", 5),
                                               nullptr, false);
        ASSERT_TRUE(api.is_object());
        EXPECT_EQ(api["outbox"]["pending"], kDevices) << api.dump();
        EXPECT_TRUE(api["outbox"]["oldestFailingSince"].is_null()) << api.dump();
        kill(daemon.Pid(), SIGKILL);
        EXPECT_EQ(daemon.Wait(5s), 128 + SIGKILL);
    }
    {
        store::COutboxStore store;
        store.Open(outboxFile, nullptr);
        ASSERT_TRUE(store.IsDurable());
        for (const auto& row : store.LoadPending()) {
            ids.insert(row.messageId);
        }
    }
    ASSERT_EQ(ids.size(), static_cast<size_t>(kDevices));

    // The next run has no devices and sends no alerts of its own: whatever arrives is
    // what the killed run left.
    test::SmtpTestServer smtp({});
    ManagerSettings again = test::MailAndUdpSettings(smtp.port(), test::FreeTcpPort());
    again.udp_enabled = 0;
    again.bAlarmMails = false;
    home.WriteSettings(again);
    test::ChildProcess daemon(home.Args(), home.home.file("daemon-2.out"));
    ASSERT_GT(daemon.Pid(), 0);
    ASSERT_TRUE(smtp.WaitFor("MESSAGE " + std::to_string(kDevices) + " ", 30000))
        << smtp.Transcript() << home.RunLog();
    ASSERT_TRUE(WaitUntil(
        [&] {
            return Count(home.DeviceLog(), "Alarm mail was successfully sent (recipients: 1).") ==
                   kDevices;
        },
        10s));
    EXPECT_FALSE(smtp.WaitFor("MESSAGE " + std::to_string(kDevices + 1) + " ", 1500));
    std::map<std::string, int> seen;
    const std::regex idLine("\r\nMessage-ID: <([^>]+)>\r\n");
    for (int n = 1; n <= kDevices; ++n) {
        std::smatch match;
        const std::string message = smtp.Message(n);
        ASSERT_TRUE(std::regex_search(message, match, idLine)) << message;
        ++seen[match[1].str()];
        EXPECT_NE(message.find("Subject: Buoy-"), std::string::npos);
    }
    for (const std::string& id : ids) {
        EXPECT_EQ(seen[id], 1) << id;
    }
    EXPECT_NE(home.RunLog().find("Outbox: 20 alert messages left by an earlier run are sent now."),
              std::string::npos);
}

// A sensor hovering at its threshold while the mail server is down: its alarms merge into
// the one notice waiting, which arrives with the latest state and the count once the
// server is back, instead of one mail per flip.
TEST(DaemonOutbox, AChatteringSensorCostsOneNoticeNotOnePerFlip) {
    constexpr int kFlips = 12;
    test::DaemonHome home;
    test::SimProcess sim({"--tcp-port", "0", "--sensor",
                          "addr=5,devnum=ZOR-0310,value=800,alarm=0,param.MinSigThr=500,"
                          "param.MaxSigThr=10000"});
    ASSERT_TRUE(sim.Ready());
    const uint16_t smtpPort = test::UnusedPort();
    ManagerSettings s = test::MailAndUdpSettings(smtpPort, test::FreeTcpPort());
    s.udp_enabled = 0;
    s.sMailRecipients = "duty@harbour.test";
    home.WriteSettings(s, {{.name = "Pier-7", .tcpPort = sim.tcpPort}});
    test::ChildProcess daemon(home.Args(), home.home.file("daemon.out"));
    ASSERT_GT(daemon.Pid(), 0);
    const std::string alarm = "Pier-7: Alarm reported";
    const std::string online = "Pier-7: Online and Ok";
    ASSERT_TRUE(WaitUntil([&] { return Count(home.DeviceLog(), online) == 1; }, 10s))
        << home.RunLog();
    const auto started = std::chrono::steady_clock::now();
    for (int i = 1; i <= kFlips; ++i) {
        ASSERT_EQ(sim.Control("set 5 alarm=1").rfind("OK", 0), 0u);
        ASSERT_TRUE(WaitUntil([&] { return Count(home.DeviceLog(), alarm) == i; }, 8s)) << i;
        ASSERT_EQ(sim.Control("set 5 alarm=0").rfind("OK", 0), 0u);
        ASSERT_TRUE(WaitUntil([&] { return Count(home.DeviceLog(), online) == i + 1; }, 8s)) << i;
    }
    EXPECT_EQ(Count(home.DeviceLog(), "Alarm mail was not sent:"), 1) << home.DeviceLog();

    // The server comes back on its port; the notice goes at its next turn (30 s after the
    // first failure).
    test::SmtpTestServer smtp({"--port", std::to_string(smtpPort)});
    ASSERT_TRUE(smtp.WaitFor("MESSAGE 1 ", 45000)) << home.RunLog();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 45s);
    EXPECT_FALSE(smtp.WaitFor("MESSAGE 2 ", 1500));
    const std::string message = smtp.Message(1);
    EXPECT_NE(message.find("Subject: " + alarm + "\r\n"), std::string::npos) << message;
    EXPECT_NE(message.find(std::to_string(kFlips - 1) + " further changes since "),
              std::string::npos)
        << message;
}

TEST(OutboxSummary, AMessageFailingForAQuarterOfAnHourIsShown) {
    constexpr std::int64_t kNow = 1'780'000'000'000;
    const struct {
        OutboxStatus status;
        std::int64_t shown;  // seconds since 1970, 0: not shown
    } cases[] = {
        {{0, 0}, 0},
        {{3, 0}, 0},                      // waiting, nothing failing
        {{3, kNow - 14 * 60 * 1000}, 0},  // failing, not for long
        {{3, kNow - 15 * 60 * 1000}, kNow / 1000 - 15 * 60},
    };
    for (const auto& c : cases) {
        const OutboxSummaryRecord summary = CManagerIntegration::Summarise(c.status, kNow);
        EXPECT_EQ(summary.pending, c.status.pending);
        EXPECT_EQ(summary.oldestFailingSince, c.shown);
    }
}

}  // namespace
}  // namespace zm
