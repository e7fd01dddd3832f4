#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "app/AlarmLifecycle.h"
#include "app/HeadlessDispatcher.h"
#include "app/HeadlessUiPort.h"
#include "base/Log.h"
#include "device/DeviceStatus.h"
#include "store/AlarmJournal.h"
#include "store/Database.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"

namespace zm {
namespace {

using alarms::Actor;
using alarms::AlarmChange;
using alarms::AlarmRecord;
using alarms::AlarmState;
using alarms::DeviceSuppression;
using alarms::OpStatus;

class CountingUi : public HeadlessUiPort {
  public:
    void PlayAlarmSound() override { ++plays; }
    void StopAlarmSound() override { ++stops; }
    std::atomic<int> plays{0};
    std::atomic<int> stops{0};
};

// One run of the program: a lifecycle on the journal file, with a clock the test moves.
struct ProgramRun {
    explicit ProgramRun(const test::TempDir& dir, std::int64_t* clock)
        : lifecycle([clock] { return *clock; }) {
        runLog.SetFolder(dir.folder());
        runLog.Open("RunLog", false);
        deviceLog.SetFolder(dir.folder());
        deviceLog.Open("DeviceLog", false);
        lifecycle.SetDeviceDirectory(
            [](const std::string& name) { return name.rfind("Pier", 0) == 0; });
        lifecycle.Open(dir.file("AlarmJournal.sqlite"), &runLog, &deviceLog);
        token = lifecycle.AddChangeListener([this](const AlarmChange& c) { changes.push_back(c); });
    }
    std::vector<AlarmChange::Kind> Kinds() const {
        std::vector<AlarmChange::Kind> kinds;
        for (const auto& c : changes) {
            kinds.push_back(c.kind);
        }
        return kinds;
    }
    CLog runLog;
    CLog deviceLog;
    CAlarmLifecycle lifecycle;
    std::vector<AlarmChange> changes;
    ListenerToken token;
};

AlarmDeviceFacts Pier(int n, std::uint64_t id, int status = kDevAlarm, double value = 600) {
    return {id, "Pier-" + std::to_string(n), status, value};
}

// The device's processor opens an alarm on a data run, as the engine tells it.
void DataRun(CAlarmLifecycle& l, const AlarmDeviceFacts& d, bool inAlarm, bool opens = false,
             bool closes = false) {
    l.OnDeviceData(d);
    if (opens) {
        l.OnAlarmOpened(d, "/logs/report-" + d.name + ".txt");
    }
    if (closes) {
        l.OnAlarmClosed(d);
    }
    l.OnProcessorRun(d, inAlarm);
}

struct LifecycleFixture : ::testing::Test {
    test::TempDir dir;
    std::int64_t now = 1'800'000'000;
    const Actor anna{"anna", "127.0.0.1"};

    std::vector<store::JournalTransition> Journal(std::int64_t id) {
        store::CDatabase db;
        store::OpenOptions options;
        options.readOnly = true;
        EXPECT_TRUE(db.Open(dir.file("AlarmJournal.sqlite"), options));
        return store::journal::Transitions(db, id);
    }
};

TEST_F(LifecycleFixture, AcknowledgeAndReturnInEitherOrder) {
    ProgramRun run(dir, &now);
    CAlarmLifecycle& l = run.lifecycle;
    // Every change is in the journal before a listener hears of it.
    std::vector<std::size_t> journaledWhenTold;
    ListenerToken check = l.AddChangeListener(
        [&](const AlarmChange& c) { journaledWhenTold.push_back(Journal(c.alarm.id).size()); });

    DataRun(l, Pier(1, 11, kDevAlarm, 612), true, true);
    DataRun(l, Pier(2, 12, kDevAlarm, 700), true, true);
    ASSERT_EQ(l.OpenAlarms().size(), 2u);
    const AlarmRecord first = l.OpenAlarms()[0];
    const AlarmRecord second = l.OpenAlarms()[1];
    EXPECT_EQ(first.state, AlarmState::ActiveUnacked);
    EXPECT_EQ(first.openValue, 612);
    EXPECT_EQ(first.report, "/logs/report-Pier-1.txt");
    EXPECT_GT(second.id, first.id);
    EXPECT_EQ(l.UnackedAlarmsOf("Pier-1"), 1);
    DataRun(l, Pier(1, 11, kDevAlarm, 950), true);  // the largest value is followed

    // Pier-1: acknowledged, then back to normal: closed.
    now += 10;
    AlarmRecord after;
    ASSERT_TRUE(l.Acknowledge(first.id, anna, "crew on the way", &after));
    EXPECT_EQ(after.state, AlarmState::ActiveAcked);
    EXPECT_EQ(after.ackedBy, "anna");
    EXPECT_EQ(after.ackedAt, now);
    EXPECT_TRUE(l.Acknowledge(first.id, anna, "again"));  // nothing changes, no error
    EXPECT_EQ(l.UnackedAlarmsOf("Pier-1"), 0);
    now += 50;
    DataRun(l, Pier(1, 11, kDevOnlineOk, 20), false, false, true);
    EXPECT_FALSE(l.FindAlarm(first.id, nullptr) && l.OpenAlarms().front().id == first.id);

    // Pier-2: back to normal first, then acknowledged: closed.
    DataRun(l, Pier(2, 12, kDevOnlineOk, 10), false, false, true);
    ASSERT_EQ(l.OpenAlarms().size(), 1u);
    EXPECT_EQ(l.OpenAlarms()[0].state, AlarmState::RtnUnacked);
    EXPECT_EQ(l.UnackedAlarmsOf("Pier-2"), 1);
    ASSERT_TRUE(l.Acknowledge(second.id, {"ben", ""}, ""));
    EXPECT_TRUE(l.OpenAlarms().empty());
    EXPECT_EQ(l.Acknowledge(second.id, anna, "").status, OpStatus::NotFound);
    EXPECT_EQ(l.Acknowledge(999, anna, "").status, OpStatus::NotFound);
    EXPECT_EQ(l.Acknowledge(second.id, anna, std::string(201, 'c')).status, OpStatus::BadInput);

    using K = AlarmChange::Kind;
    EXPECT_EQ(run.Kinds(), (std::vector<K>{K::Opened, K::Opened, K::Acknowledged, K::Returned,
                                           K::Returned, K::Closed}));
    EXPECT_EQ(journaledWhenTold, (std::vector<std::size_t>{1, 1, 2, 3, 2, 3}));
    const auto journal = Journal(first.id);
    ASSERT_EQ(journal.size(), 3u);
    EXPECT_EQ(journal[1].event, "acknowledged");
    EXPECT_EQ(journal[1].actor.user, "anna");
    EXPECT_EQ(journal[1].actor.address, "127.0.0.1");
    EXPECT_EQ(journal[1].comment, "crew on the way");
    EXPECT_EQ(journal[2].state, AlarmState::Closed);

    AlarmRecord closed;
    ASSERT_TRUE(l.FindAlarm(first.id, &closed));
    EXPECT_EQ(closed.state, AlarmState::Closed);
    EXPECT_EQ(closed.maxValue, 950);
    EXPECT_EQ(closed.returned - closed.opened, 60);
    const auto history = l.History({0, 0, "Pier-2", 0});
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].ackedBy, "ben");
}

TEST_F(LifecycleFixture, LostConnectionFlagsTheAlarm) {
    ProgramRun run(dir, &now);
    CAlarmLifecycle& l = run.lifecycle;
    DataRun(l, Pier(1, 11), true, true);
    l.OnDeviceState(Pier(1, 11, kDevNoConnection));
    l.OnDeviceState(Pier(1, 11, kDevNoConnection));
    ASSERT_EQ(l.OpenAlarms().size(), 1u);
    EXPECT_TRUE(l.OpenAlarms()[0].commLost);
    EXPECT_EQ(l.OpenAlarms()[0].state, AlarmState::ActiveUnacked);
    l.OnDeviceState(Pier(1, 11, kDevAlarm));
    EXPECT_FALSE(l.OpenAlarms()[0].commLost);
    const auto journal = Journal(l.OpenAlarms()[0].id);
    ASSERT_EQ(journal.size(), 3u);
    EXPECT_EQ(journal[1].event, "comm_lost");
    EXPECT_EQ(journal[2].event, "comm_restored");
}

// A restart: each open state comes back, devices decide at their first data.
TEST_F(LifecycleFixture, RestoreEveryStateAfterARestart) {
    std::int64_t ids[4];
    {
        ProgramRun before(dir, &now);
        CAlarmLifecycle& l = before.lifecycle;
        for (int n = 1; n <= 4; ++n) {
            DataRun(l, Pier(n, 10 + n), true, true);
            ids[n - 1] = l.OpenAlarms().back().id;
        }
        l.Acknowledge(ids[1], anna, "seen");                        // Pier-2 active_acked
        DataRun(l, Pier(4, 14, kDevOnlineOk), false, false, true);  // Pier-4 rtn_unacked
        l.OnDeviceState(Pier(3, 13, kDevNoConnection));             // Pier-3 comm lost
        // Killed here: nothing closes the alarms.
    }
    now += 3600;
    ProgramRun after(dir, &now);
    CAlarmLifecycle& l = after.lifecycle;
    ASSERT_EQ(l.OpenAlarms().size(), 4u);
    EXPECT_EQ(l.OpenAlarms()[1].state, AlarmState::ActiveAcked);
    EXPECT_EQ(l.OpenAlarms()[1].ackedBy, "anna");
    EXPECT_TRUE(l.OpenAlarms()[2].commLost);
    EXPECT_EQ(l.OpenAlarms()[3].state, AlarmState::RtnUnacked);

    // New instance ids in the new process. Pier-1 is still in alarm: the same alarm goes on.
    DataRun(l, Pier(1, 21), true, true);
    // Pier-2 (acknowledged) and Pier-3 are back to normal: closed and rtn_unacked, once a
    // second portion confirms it (the first may come before the sensor's state).
    DataRun(l, Pier(2, 22, kDevOnlineOk), false);
    DataRun(l, Pier(3, 23, kDevOnlineOk), false);
    EXPECT_EQ(l.OpenAlarms().size(), 4u);
    DataRun(l, Pier(2, 22, kDevOnlineOk), false);
    DataRun(l, Pier(3, 23, kDevOnlineOk), false);
    const auto open = l.OpenAlarms();
    ASSERT_EQ(open.size(), 3u);
    EXPECT_EQ(open[0].id, ids[0]);
    EXPECT_EQ(open[0].state, AlarmState::ActiveUnacked);
    EXPECT_EQ(open[0].deviceId, 21u);
    EXPECT_EQ(open[1].id, ids[2]);
    EXPECT_EQ(open[1].state, AlarmState::RtnUnacked);
    EXPECT_EQ(open[2].id, ids[3]);
    using K = AlarmChange::Kind;
    ASSERT_EQ(after.Kinds(), (std::vector<K>{K::Opened, K::Returned, K::Returned}));
    EXPECT_TRUE(after.changes[0].restored);
    EXPECT_EQ(after.changes[1].alarm.state, AlarmState::Closed);
    // Once opened, always one alarm: the journal holds four, and a new one gets a new id.
    EXPECT_EQ(l.History({0, 0, "", 0}).size(), 4u);
    DataRun(l, Pier(2, 22), true, true);
    EXPECT_GT(l.OpenAlarms().back().id, ids[3]);
    // One run-log line per restored alarm.
    after.runLog.Close();
    const std::string log = test::ReadBytes(after.runLog.GetPath());
    std::size_t lines = 0;
    for (auto at = log.find("restored from the journal"); at != std::string::npos;
         at = log.find("restored from the journal", at + 1)) {
        ++lines;
    }
    EXPECT_EQ(lines, 4u);
}

TEST_F(LifecycleFixture, ShelvingWithholdsUntilItsForcedExpiry) {
    ProgramRun run(dir, &now);
    CAlarmLifecycle& l = run.lifecycle;
    struct Bad {
        const char* device;
        int minutes;
        const char* reason;
        OpStatus status;
    };
    for (const Bad& bad :
         {Bad{"Pier-1", 0, "x", OpStatus::BadInput}, Bad{"Pier-1", 1441, "x", OpStatus::BadInput},
          Bad{"Pier-1", 10, "  ", OpStatus::BadInput},
          Bad{"Buoy-9", 10, "x", OpStatus::NotFound}}) {
        EXPECT_EQ(l.Shelve(bad.device, bad.minutes, bad.reason, anna).status, bad.status);
    }
    EXPECT_FALSE(l.SuppressionOf("Pier-1").IsSuppressed());

    ASSERT_TRUE(l.Shelve("Pier-1", 1, "pump flushing", anna));
    EXPECT_EQ(l.SuppressionOf("Pier-1").until, now + 60);
    DataRun(l, Pier(1, 11), true, true);  // still opened and journaled
    ASSERT_EQ(l.OpenAlarms().size(), 1u);
    DeviceSnapshot snapshot;
    snapshot.id = 11;
    snapshot.sName = "Pier-1";
    snapshot.nStatus = kDevAlarm;
    ActionGate gate = l.GateFor(snapshot);
    EXPECT_FALSE(gate.alarm);
    EXPECT_TRUE(gate.connection);

    now += 59;
    l.Tick();
    EXPECT_TRUE(l.SuppressionOf("Pier-1").IsSuppressed());
    now += 1;
    l.Tick();
    EXPECT_FALSE(l.SuppressionOf("Pier-1").IsSuppressed());
    using K = AlarmChange::Kind;
    EXPECT_EQ(run.Kinds(), (std::vector<K>{K::Shelved, K::Opened, K::Unshelved, K::Announced}));
    // Announced once: a later feed update lets it through as a new alarm would be.
    gate = l.GateFor(snapshot);
    EXPECT_TRUE(gate.alarm && gate.alarmMail);
    l.Tick();
    EXPECT_EQ(run.changes.size(), 4u);
    run.deviceLog.Close();
    const std::string log = test::ReadBytes(run.deviceLog.GetPath());
    EXPECT_NE(log.find("Pier-1: shelved until"), std::string::npos);
    EXPECT_NE(log.find("pump flushing"), std::string::npos);
    EXPECT_NE(log.find("Pier-1: shelving expired"), std::string::npos);
}

TEST_F(LifecycleFixture, OutOfServiceAlsoWithholdsConnectionLoss) {
    ProgramRun run(dir, &now);
    CAlarmLifecycle& l = run.lifecycle;
    EXPECT_EQ(l.TakeOutOfService("Pier-2", "", anna).status, OpStatus::BadInput);
    ASSERT_TRUE(l.TakeOutOfService("Pier-2", "cleaning the optics", anna));
    now += 7 * 86400;  // no expiry
    l.Tick();
    const DeviceSuppression s = l.SuppressionOf("Pier-2");
    EXPECT_EQ(s.kind, DeviceSuppression::Kind::OutOfService);
    EXPECT_EQ(s.reason, "cleaning the optics");
    EXPECT_EQ(s.by, "anna");
    DeviceSnapshot snapshot;
    snapshot.id = 12;
    snapshot.sName = "Pier-2";
    snapshot.nStatus = kDevNoConnection;
    EXPECT_FALSE(l.GateFor(snapshot).connection);
    // Unshelving a device out of service changes nothing.
    ASSERT_TRUE(l.Unshelve("Pier-2", anna));
    EXPECT_TRUE(l.SuppressionOf("Pier-2").IsSuppressed());
    ASSERT_TRUE(l.ReturnToService("Pier-2", anna));
    EXPECT_TRUE(l.GateFor(snapshot).connection);
    using K = AlarmChange::Kind;
    EXPECT_EQ(run.Kinds(), (std::vector<K>{K::OutOfService, K::InService}));
}

// Suppressions come back after a restart; one that expired meanwhile ends at the first tick.
TEST_F(LifecycleFixture, SuppressionsSurviveARestartAndExpireAfterIt) {
    {
        ProgramRun before(dir, &now);
        ASSERT_TRUE(before.lifecycle.Shelve("Pier-1", 5, "flushing", anna));
        ASSERT_TRUE(before.lifecycle.Shelve("Pier-2", 120, "calibration", anna));
        ASSERT_TRUE(before.lifecycle.TakeOutOfService("Pier-3", "cleaning", anna));
    }
    now += 600;
    ProgramRun after(dir, &now);
    CAlarmLifecycle& l = after.lifecycle;
    EXPECT_FALSE(l.SuppressionOf("Pier-1").IsSuppressed());  // expired while away
    EXPECT_EQ(l.SuppressionOf("Pier-2").until, now - 600 + 7200);
    EXPECT_EQ(l.SuppressionOf("Pier-3").kind, DeviceSuppression::Kind::OutOfService);
    l.Tick();
    using K = AlarmChange::Kind;
    EXPECT_EQ(after.Kinds(), (std::vector<K>{K::Unshelved}));
    EXPECT_EQ(after.changes[0].device, "Pier-1");
    store::CDatabase db;
    store::OpenOptions options;
    options.readOnly = true;
    ASSERT_TRUE(db.Open(dir.file("AlarmJournal.sqlite"), options));
    const auto events = store::journal::SuppressionEvents(db, "Pier-1");
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].event, "expired");
}

// A restored alarm that reached people before the restart does not mail again; one that
// was withheld by a shelving which ended meanwhile does.
TEST_F(LifecycleFixture, RestoredAlarmsMailOnlyIfNeverAnnounced) {
    {
        ProgramRun before(dir, &now);
        CAlarmLifecycle& l = before.lifecycle;
        DataRun(l, Pier(1, 11), true, true);
        ASSERT_TRUE(l.Shelve("Pier-2", 1, "flushing", anna));
        DataRun(l, Pier(2, 12), true, true);
        DataRun(l, Pier(3, 13), true, true);
        l.Acknowledge(l.OpenAlarms()[2].id, anna, "");
    }
    now += 120;
    ProgramRun after(dir, &now);
    CAlarmLifecycle& l = after.lifecycle;
    l.Tick();
    // The feed update may come before the processor takes the alarm up again.
    DeviceSnapshot early;
    early.id = 21;
    early.sName = "Pier-1";
    early.nStatus = kDevAlarm;
    EXPECT_FALSE(l.GateFor(early).alarmMail);
    for (int n = 1; n <= 3; ++n) {
        DataRun(l, Pier(n, 20 + n), true, true);
    }
    struct Expect {
        int n;
        bool alarm;
        bool mail;
    };
    for (const Expect& e :
         {Expect{1, true, false}, Expect{2, true, true}, Expect{3, false, false}}) {
        DeviceSnapshot snapshot;
        snapshot.id = static_cast<std::uint64_t>(20 + e.n);
        snapshot.sName = "Pier-" + std::to_string(e.n);
        snapshot.nStatus = kDevAlarm;
        const ActionGate gate = l.GateFor(snapshot);
        EXPECT_EQ(gate.alarm, e.alarm) << e.n;
        EXPECT_EQ(gate.alarm && gate.alarmMail, e.mail) << e.n;
    }
}

TEST_F(LifecycleFixture, SoundRepeatsWhileAnyAlarmIsUnacknowledged) {
    ProgramRun run(dir, &now);
    CAlarmLifecycle& l = run.lifecycle;
    HeadlessDispatcher dispatcher;
    CountingUi ui;
    bool repeat = true;
    l.SetSoundRepeatSource([&] { return repeat; });
    l.Start(dispatcher, ui, 3'600'000);  // the test ticks by itself
    l.SoundTick();
    EXPECT_EQ(ui.plays.load(), 0);  // nothing to acknowledge
    DataRun(l, Pier(1, 11), true, true);
    ASSERT_TRUE(l.Shelve("Pier-2", 30, "flushing", anna));
    DataRun(l, Pier(2, 12), true, true);
    l.SoundTick();
    l.SoundTick();
    EXPECT_EQ(ui.plays.load(), 2);
    l.Acknowledge(l.OpenAlarms()[0].id, anna, "");
    l.SoundTick();  // only the shelved device's alarm is left: silence
    EXPECT_EQ(ui.plays.load(), 2);
    EXPECT_EQ(ui.stops.load(), 1);
    l.SoundTick();
    EXPECT_EQ(ui.stops.load(), 1);
    ASSERT_TRUE(l.Unshelve("Pier-2", anna));
    repeat = false;
    l.SoundTick();
    EXPECT_EQ(ui.plays.load(), 2);
    l.Stop();
}

TEST_F(LifecycleFixture, PruningKeepsOpenAlarmsAndTheRetention) {
    ProgramRun run(dir, &now);
    CAlarmLifecycle& l = run.lifecycle;
    int days = 0;  // below 1: the default of 400 days
    l.SetRetentionSource([&] { return days; });
    const std::int64_t start = now;
    DataRun(l, Pier(1, 11), true, true);  // stays open
    for (int i = 0; i < 3; ++i) {
        DataRun(l, Pier(2, 12), true, true);
        DataRun(l, Pier(2, 12, kDevOnlineOk), false, false, true);
        l.AcknowledgeAll(anna, "");
        now += 100 * 86400;
    }
    // 300 days on: nothing is older than 400 days.
    EXPECT_EQ(l.PruneNow(), 0);
    days = 150;
    EXPECT_EQ(l.PruneNow(), 2);
    const auto left = l.History({0, 0, "", 0});
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(left[0].opened, start);  // the open one, older than any
    EXPECT_EQ(left[0].state, AlarmState::ActiveAcked);
}

}  // namespace
}  // namespace zm
