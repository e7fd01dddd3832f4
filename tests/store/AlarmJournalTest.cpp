#include <gtest/gtest.h>

#include "store/AlarmJournal.h"
#include "store/Database.h"
#include "store/StoreFile.h"
#include "support/TempDir.h"

namespace {

using namespace zm::store;
using zm::alarms::AlarmRecord;
using zm::alarms::AlarmState;
using zm::alarms::DeviceSuppression;

struct JournalFixture : ::testing::Test {
    zm::test::TempDir dir;
    std::string path = dir.file("AlarmJournal.sqlite");
    CDatabase db = OpenStoreFile(path, journal::Migrations(), {}, nullptr);

    JournalAlarm Alarm(std::int64_t id, const std::string& device, std::int64_t opened,
                       AlarmState state) {
        JournalAlarm a;
        a.record.id = id;
        a.record.device = device;
        a.record.opened = opened;
        a.record.state = state;
        a.record.openValue = 510.5;
        a.record.maxValue = 700;
        a.record.report = "/logs/Alarms/Reports_" + device + "/r.txt";
        a.announced = id % 2 == 0;
        return a;
    }
};

TEST_F(JournalFixture, AlarmsTheirTransitionsAndWhatIsStillOpen) {
    ASSERT_TRUE(db.IsOpen());
    JournalAlarm first = Alarm(1, "Pier-1", 1000, AlarmState::ActiveUnacked);
    ASSERT_TRUE(journal::SaveAlarm(db, first));
    ASSERT_TRUE(journal::AddTransition(db, {1, 1000, "opened", AlarmState::ActiveUnacked, {}, ""}));
    // Saving again updates the row and keeps its transitions.
    first.record.state = AlarmState::ActiveAcked;
    first.record.ackedBy = "anna";
    first.record.ackedAt = 1010;
    first.record.comment = "crew informed; 'quoted' \"text\"";
    ASSERT_TRUE(journal::SaveAlarm(db, first));
    ASSERT_TRUE(journal::AddTransition(db, {1,
                                            1010,
                                            "acknowledged",
                                            AlarmState::ActiveAcked,
                                            {"anna", "127.0.0.1"},
                                            first.record.comment}));
    ASSERT_TRUE(journal::SaveAlarm(db, Alarm(2, "Pier-2", 900, AlarmState::RtnUnacked)));
    ASSERT_TRUE(journal::SaveAlarm(db, Alarm(3, "Pier-1", 800, AlarmState::Closed)));

    const std::vector<JournalAlarm> open = journal::LoadOpen(db);
    ASSERT_EQ(open.size(), 2u);
    EXPECT_EQ(open[0].record.id, 2);  // oldest first
    EXPECT_TRUE(open[0].announced);
    EXPECT_EQ(open[1].record.id, 1);
    EXPECT_FALSE(open[1].announced);
    EXPECT_EQ(open[1].record.state, AlarmState::ActiveAcked);
    EXPECT_EQ(open[1].record.comment, first.record.comment);
    EXPECT_EQ(open[1].record.openValue, 510.5);
    EXPECT_EQ(open[1].record.report, "/logs/Alarms/Reports_Pier-1/r.txt");

    const auto transitions = journal::Transitions(db, 1);
    ASSERT_EQ(transitions.size(), 2u);
    EXPECT_EQ(transitions[1].event, "acknowledged");
    EXPECT_EQ(transitions[1].actor.user, "anna");
    EXPECT_EQ(transitions[1].actor.address, "127.0.0.1");
    EXPECT_EQ(transitions[1].state, AlarmState::ActiveAcked);
}

TEST_F(JournalFixture, HistoryFiltersAndIdsOutlivePruning) {
    for (int i = 1; i <= 10; ++i) {
        ASSERT_TRUE(
            journal::SaveAlarm(db, Alarm(i, i % 2 ? "A" : "B", 100 * i,
                                         i == 2 ? AlarmState::RtnUnacked : AlarmState::Closed)));
        ASSERT_TRUE(
            journal::AddTransition(db, {i, 100 * i, "opened", AlarmState::ActiveUnacked, {}, ""}));
    }
    struct Case {
        zm::alarms::HistoryQuery query;
        std::vector<std::int64_t> ids;
    };
    const Case cases[] = {
        {{0, 0, "", 0}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
        {{300, 700, "", 0}, {3, 4, 5, 6}},  // from inclusive, to exclusive
        {{0, 0, "B", 0}, {2, 4, 6, 8, 10}},
        {{0, 0, "B", 2}, {2, 4}},
        {{0, 0, "' OR 1=1 --", 0}, {}},
    };
    for (const Case& c : cases) {
        std::vector<std::int64_t> ids;
        for (const AlarmRecord& a : journal::History(db, c.query)) {
            ids.push_back(a.id);
        }
        EXPECT_EQ(ids, c.ids) << c.query.from << ".." << c.query.to << " " << c.query.device;
    }
    // Closed alarms before 600 go with their transitions; the open one stays whatever its age.
    EXPECT_EQ(journal::Prune(db, 600), 4);
    EXPECT_EQ(db.QueryInt("SELECT count(*) FROM alarm").value_or(-1), 6);
    EXPECT_EQ(db.QueryInt("SELECT count(*) FROM alarm_transition").value_or(-1), 6);
    EXPECT_EQ(journal::LoadOpen(db).size(), 1u);
    // Removing the newest does not let its id come back.
    db.Exec("DELETE FROM alarm WHERE id = 10");
    EXPECT_EQ(journal::LastAlarmId(db), 10);
}

TEST_F(JournalFixture, SuppressionsAndTheirHistory) {
    DeviceSuppression shelved;
    shelved.kind = DeviceSuppression::Kind::Shelved;
    shelved.since = 100;
    shelved.until = 1000;
    shelved.reason = "pump flushing";
    shelved.by = "anna";
    DeviceSuppression service;
    service.kind = DeviceSuppression::Kind::OutOfService;
    service.since = 200;
    service.reason = "cleaning";
    service.by = "ben";
    ASSERT_TRUE(journal::SaveSuppression(db, "Pier-1", shelved));
    ASSERT_TRUE(journal::SaveSuppression(db, "Pier-2", service));
    ASSERT_TRUE(
        journal::AddSuppressionEvent(db, {"Pier-1", 100, "shelved", shelved, {"anna", ""}}));
    auto all = journal::LoadSuppressions(db);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all["Pier-1"].until, 1000);
    EXPECT_EQ(all["Pier-1"].reason, "pump flushing");
    EXPECT_EQ(all["Pier-2"].kind, DeviceSuppression::Kind::OutOfService);
    EXPECT_EQ(all["Pier-2"].by, "ben");
    ASSERT_TRUE(journal::SaveSuppression(db, "Pier-1", {}));
    all = journal::LoadSuppressions(db);
    EXPECT_EQ(all.count("Pier-1"), 0u);
    const auto events = journal::SuppressionEvents(db, "Pier-1");
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].event, "shelved");
    EXPECT_EQ(events[0].suppression.until, 1000);
}

}  // namespace
