// The alarm journal of the real server: killed with SIGKILL and started again, every open
// alarm and suppression comes back; a shelved device's alarm reaches the mail server only
// once its shelving ends. The simulator, the SMTP server and the command line are its peers.
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "alarms/AlarmTypes.h"
#include "app/AlarmLifecycle.h"
#include "app/DaemonPeers.h"
#include "notify/TestPeers.h"
#include "store/AlarmJournal.h"
#include "store/Database.h"
#include "store/StoreFile.h"
#include "support/ChildProcess.h"
#include "zor/ZorTestPeers.h"

namespace zm {
namespace {

using namespace std::chrono_literals;
using alarms::AlarmState;
using alarms::DeviceSuppression;

std::string SensorArg(int address, const std::string& devnum, int value, int alarm) {
    return "addr=" + std::to_string(address) + ",devnum=" + devnum +
           ",value=" + std::to_string(value) + ",alarm=" + std::to_string(alarm) +
           ",param.MinSigThr=500,param.MaxSigThr=10000";
}

int MailCount(const test::SmtpTestServer& smtp) {
    int n = 0;
    while (!smtp.Message(n + 1).empty()) {
        ++n;
    }
    return n;
}

const alarms::AlarmRecord& Of(const std::vector<alarms::AlarmRecord>& list,
                              const std::string& device) {
    static const alarms::AlarmRecord none;
    for (const auto& a : list) {
        if (a.device == device) {
            return a;
        }
    }
    return none;
}

std::int64_t Now() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

struct DaemonJournal : ::testing::Test {
    test::DaemonHome home;
    std::string JournalPath() const {
        return home.home.folder() + "AppData/" + CAlarmLifecycle::kJournalFile;
    }
    // The command line beside the running server.
    std::string HistoryCsv(const std::string& device = "") const {
        std::string command = "'" + test::kServer + "' --home '" + home.home.folder() +
                              "' --alarm-history --from 2000-01-01 --to 2100-12-31";
        if (!device.empty()) {
            command += " --device '" + device + "'";
        }
        std::string out;
        if (FILE* pipe = popen(command.c_str(), "r")) {
            char buffer[4096];
            std::size_t got;
            while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
                out.append(buffer, got);
            }
            pclose(pipe);
        }
        return out;
    }
    std::vector<alarms::AlarmRecord> History() const {
        store::CDatabase db;
        store::OpenOptions options;
        options.readOnly = true;
        if (!db.Open(JournalPath(), options)) {
            return {};
        }
        return store::journal::History(db, {0, 0, "", 0});
    }
    // A write the server committed before it died, as the journal holds it.
    void Journal(const std::function<void(store::CDatabase&)>& write) const {
        store::CDatabase db =
            store::OpenStoreFile(JournalPath(), store::journal::Migrations(), {}, nullptr);
        write(db);
    }
    static std::size_t Count(const std::string& text, const std::string& what) {
        std::size_t n = 0;
        for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
            ++n;
        }
        return n;
    }
};

TEST_F(DaemonJournal, EveryStateComesBackAfterSigkill) {
    test::SimProcess sim({"--tcp-port", "0", "--sensor", SensorArg(5, "ZOR-0501", 800, 1),
                          "--sensor", SensorArg(6, "ZOR-0601", 800, 1), "--sensor",
                          SensorArg(7, "ZOR-0701", 800, 1), "--sensor",
                          SensorArg(8, "ZOR-0801", 100, 0)});
    ASSERT_TRUE(sim.Ready());
    test::SmtpTestServer smtp({});
    ManagerSettings settings = test::MailAndUdpSettings(smtp.port(), test::FreeTcpPort());
    settings.udp_enabled = 0;
    settings.sMailRecipients = "duty@harbour.test";
    std::vector<test::HomeDevice> devices;
    for (int n = 1; n <= 4; ++n) {
        devices.push_back(
            {.name = "Pier-" + std::to_string(n), .tcpPort = sim.tcpPort, .address = 4 + n});
    }
    home.WriteSettings(settings, devices);

    std::vector<alarms::AlarmRecord> before;
    {
        test::ChildProcess daemon(home.Args(), home.home.file("daemon-1.out"));
        ASSERT_GT(daemon.Pid(), 0);
        // Three alarms, each in the journal and told by mail.
        ASSERT_TRUE(
            test::WaitUntil([&] { return Count(HistoryCsv(), "active_unacked") == 3; }, 20s))
            << HistoryCsv() << home.RunLog();
        ASSERT_TRUE(test::WaitUntil([&] { return MailCount(smtp) == 3; }, 15s)) << home.RunLog();
        // Pier-3 returns to normal before the kill.
        ASSERT_EQ(sim.Control("set 7 value=100,alarm=0").rfind("OK", 0), 0u);
        ASSERT_TRUE(test::WaitUntil(
            [&] { return HistoryCsv("Pier-3").find(",rtn_unacked,") != std::string::npos; }, 15s))
            << HistoryCsv();
        ASSERT_EQ(kill(daemon.Pid(), SIGKILL), 0);
        daemon.Wait(10s);
        before = History();
    }
    ASSERT_EQ(before.size(), 3u);
    // What the operators did before the kill, as it was committed: Pier-2 acknowledged,
    // Pier-4 shelved with an expiry that passes while the server is down.
    Journal([&](store::CDatabase& db) {
        store::JournalAlarm acked{Of(before, "Pier-2"), true};
        acked.record.state = AlarmState::ActiveAcked;
        acked.record.ackedBy = "anna";
        acked.record.ackedAt = Now();
        ASSERT_TRUE(store::journal::SaveAlarm(db, acked));
        DeviceSuppression shelved;
        shelved.kind = DeviceSuppression::Kind::Shelved;
        shelved.since = Now() - 120;
        shelved.until = Now() - 60;
        shelved.reason = "flushing";
        shelved.by = "anna";
        ASSERT_TRUE(store::journal::SaveSuppression(db, "Pier-4", shelved));
    });
    // While it is down: Pier-2 returns to normal, Pier-1 stays in alarm.
    ASSERT_EQ(sim.Control("set 6 value=100,alarm=0").rfind("OK", 0), 0u);

    test::ChildProcess daemon(home.Args(), home.home.file("daemon-2.out"));
    ASSERT_GT(daemon.Pid(), 0);
    ASSERT_TRUE(test::WaitUntil(
        [&] {
            const auto now = History();
            return now.size() == 3 && Of(now, "Pier-2").state == AlarmState::Closed &&
                   home.DeviceLog().find("Pier-4: shelving expired") != std::string::npos;
        },
        20s))
        << HistoryCsv() << home.DeviceLog();
    // The device log tells of Pier-1's alarm again, and nothing is mailed a second time.
    ASSERT_TRUE(test::WaitUntil(
        [&] { return Count(home.DeviceLog(), "Pier-1: Alarm reported") == 2; }, 15s))
        << home.DeviceLog();
    std::this_thread::sleep_for(3s);
    EXPECT_EQ(MailCount(smtp), 3) << smtp.Message(4);
    const auto after = History();
    ASSERT_EQ(after.size(), 3u)
        << HistoryCsv() << home.RunLog();  // Pier-1's alarm goes on: not opened a second time
    EXPECT_EQ(Of(after, "Pier-1").id, Of(before, "Pier-1").id);
    EXPECT_EQ(Of(after, "Pier-1").state, AlarmState::ActiveUnacked);
    EXPECT_EQ(Of(after, "Pier-2").ackedBy, "anna");
    EXPECT_EQ(Of(after, "Pier-3").state, AlarmState::RtnUnacked);
    const std::string runLog = home.RunLog();
    EXPECT_EQ(Count(runLog, "restored from the journal: "), 3u) << runLog;
    ASSERT_EQ(kill(daemon.Pid(), SIGTERM), 0);
    EXPECT_EQ(daemon.Wait(15s), 0);
}

TEST_F(DaemonJournal, ShelvedDeviceMailsOnlyOnceItsShelvingEnds) {
    test::SimProcess sim({"--tcp-port", "0", "--sensor", SensorArg(5, "ZOR-0501", 800, 1)});
    ASSERT_TRUE(sim.Ready());
    test::SmtpTestServer smtp({});
    ManagerSettings settings = test::MailAndUdpSettings(smtp.port(), test::FreeTcpPort());
    settings.udp_enabled = 0;
    settings.sMailRecipients = "duty@harbour.test";
    home.WriteSettings(settings, {{.name = "Pier-1", .tcpPort = sim.tcpPort, .address = 5}});
    // Shelved by an operator a moment ago, for a time short enough for the test.
    const std::int64_t until = Now() + 12;
    Journal([&](store::CDatabase& db) {
        DeviceSuppression shelved;
        shelved.kind = DeviceSuppression::Kind::Shelved;
        shelved.since = Now();
        shelved.until = until;
        shelved.reason = "pump flushing";
        shelved.by = "anna";
        ASSERT_TRUE(store::journal::SaveSuppression(db, "Pier-1", shelved));
    });

    test::ChildProcess daemon(home.Args(), home.home.file("daemon.out"));
    ASSERT_GT(daemon.Pid(), 0);
    // Opened, journaled and logged as ever ...
    ASSERT_TRUE(test::WaitUntil([&] { return History().size() == 1; }, 15s)) << home.RunLog();
    ASSERT_TRUE(test::WaitUntil(
        [&] { return home.DeviceLog().find("Pier-1: Alarm reported") != std::string::npos; }, 10s));
    // ... but no mail while shelved.
    while (Now() < until - 1) {
        ASSERT_EQ(MailCount(smtp), 0) << smtp.Transcript();
        std::this_thread::sleep_for(200ms);
    }
    // The shelving ends while the alarm lasts: the alarm is announced then.
    ASSERT_TRUE(test::WaitUntil([&] { return MailCount(smtp) == 1; }, 10s)) << home.RunLog();
    EXPECT_NE(smtp.Message(1).find("Pier-1"), std::string::npos);
    EXPECT_NE(home.DeviceLog().find("Pier-1: shelving expired"), std::string::npos);
    store::CDatabase db;
    store::OpenOptions options;
    options.readOnly = true;
    ASSERT_TRUE(db.Open(JournalPath(), options));
    const auto transitions = store::journal::Transitions(db, History()[0].id);
    ASSERT_EQ(transitions.size(), 2u);
    EXPECT_EQ(transitions[0].event, "opened");
    EXPECT_EQ(transitions[1].event, "announced");
    const auto events = store::journal::SuppressionEvents(db, "Pier-1");
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].event, "expired");
    std::this_thread::sleep_for(2s);
    EXPECT_EQ(MailCount(smtp), 1);
    ASSERT_EQ(kill(daemon.Pid(), SIGTERM), 0);
    EXPECT_EQ(daemon.Wait(15s), 0);
}

}  // namespace
}  // namespace zm
