#include "store/AlarmJournal.h"

#include <algorithm>

#include "alarms/Suppression.h"
#include "store/Database.h"

namespace zm::store::journal {

namespace {

using alarms::AlarmRecord;
using alarms::AlarmState;
using alarms::DeviceSuppression;

const Migration kMigrations[] = {
    {1,
     "CREATE TABLE alarm ("
     " id INTEGER PRIMARY KEY AUTOINCREMENT,"
     " device TEXT NOT NULL,"
     " state TEXT NOT NULL,"
     " opened INTEGER NOT NULL,"
     " open_value REAL NOT NULL DEFAULT 0,"
     " max_value REAL NOT NULL DEFAULT 0,"
     " returned INTEGER NOT NULL DEFAULT 0,"
     " report TEXT NOT NULL DEFAULT '',"
     " comm_lost INTEGER NOT NULL DEFAULT 0,"
     " acked_by TEXT NOT NULL DEFAULT '',"
     " acked_at INTEGER NOT NULL DEFAULT 0,"
     " comment TEXT NOT NULL DEFAULT '',"
     " announced INTEGER NOT NULL DEFAULT 0);"
     "CREATE INDEX alarm_opened ON alarm (opened);"
     "CREATE INDEX alarm_device_opened ON alarm (device, opened);"
     "CREATE INDEX alarm_not_closed ON alarm (state) WHERE state <> 'closed';"
     "CREATE TABLE alarm_transition ("
     " id INTEGER PRIMARY KEY,"
     " alarm_id INTEGER NOT NULL REFERENCES alarm (id) ON DELETE CASCADE,"
     " at INTEGER NOT NULL,"
     " event TEXT NOT NULL,"
     " state TEXT NOT NULL,"
     " user TEXT NOT NULL DEFAULT '',"
     " address TEXT NOT NULL DEFAULT '',"
     " comment TEXT NOT NULL DEFAULT '');"
     "CREATE INDEX alarm_transition_alarm ON alarm_transition (alarm_id);"
     "CREATE TABLE device_suppression ("
     " device TEXT PRIMARY KEY,"
     " kind TEXT NOT NULL,"
     " since INTEGER NOT NULL,"
     " until INTEGER NOT NULL,"
     " reason TEXT NOT NULL,"
     " by TEXT NOT NULL);"
     "CREATE TABLE suppression_event ("
     " id INTEGER PRIMARY KEY,"
     " device TEXT NOT NULL,"
     " at INTEGER NOT NULL,"
     " event TEXT NOT NULL,"
     " kind TEXT NOT NULL,"
     " until INTEGER NOT NULL DEFAULT 0,"
     " reason TEXT NOT NULL DEFAULT '',"
     " user TEXT NOT NULL DEFAULT '',"
     " address TEXT NOT NULL DEFAULT '');"
     "CREATE INDEX suppression_event_device ON suppression_event (device, at);"
     "CREATE INDEX suppression_event_at ON suppression_event (at);"},
};

constexpr const char* kAlarmColumns =
    "id, device, state, opened, open_value, max_value, returned, report, comm_lost, acked_by, "
    "acked_at, comment, announced";

AlarmRecord ReadAlarm(const CStatement& row) {
    AlarmRecord a;
    a.id = row.Int(0);
    a.device = row.Text(1);
    a.state = alarms::ParseStateName(row.Text(2)).value_or(AlarmState::Closed);
    a.opened = row.Int(3);
    a.openValue = row.Real(4);
    a.maxValue = row.Real(5);
    a.returned = row.Int(6);
    a.report = row.Text(7);
    a.commLost = row.Int(8) != 0;
    a.ackedBy = row.Text(9);
    a.ackedAt = row.Int(10);
    a.comment = row.Text(11);
    return a;
}

}  // namespace

std::span<const Migration> Migrations() {
    return kMigrations;
}

bool SaveAlarm(CDatabase& db, const JournalAlarm& alarm) {
    const AlarmRecord& a = alarm.record;
    CStatement save = db.Prepare(
        "INSERT INTO alarm (id, device, state, opened, open_value, max_value, "
        "returned, report, comm_lost, acked_by, acked_at, comment, announced) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    // An update first: replacing the row would cascade its transitions away.
    CStatement update = db.Prepare(
        "UPDATE alarm SET device = ?2, state = ?3, opened = ?4, open_value = ?5, max_value = ?6, "
        "returned = ?7, report = ?8, comm_lost = ?9, acked_by = ?10, acked_at = ?11, "
        "comment = ?12, announced = ?13 WHERE id = ?1");
    for (CStatement* stmt : {&update, &save}) {
        stmt->Bind(1, a.id)
            .Bind(2, a.device)
            .Bind(3, alarms::StateName(a.state))
            .Bind(4, a.opened)
            .Bind(5, a.openValue)
            .Bind(6, a.maxValue)
            .Bind(7, a.returned)
            .Bind(8, a.report)
            .Bind(9, a.commLost ? 1 : 0)
            .Bind(10, a.ackedBy)
            .Bind(11, a.ackedAt)
            .Bind(12, a.comment)
            .Bind(13, alarm.announced ? 1 : 0);
        if (!stmt->Run()) {
            return false;
        }
        if (db.Changes() > 0) {
            return true;
        }
    }
    return false;
}

bool AddTransition(CDatabase& db, const JournalTransition& t) {
    return db
        .Prepare(
            "INSERT INTO alarm_transition (alarm_id, at, event, state, user, address, comment) "
            "VALUES (?, ?, ?, ?, ?, ?, ?)")
        .Bind(1, t.alarmId)
        .Bind(2, t.at)
        .Bind(3, t.event)
        .Bind(4, alarms::StateName(t.state))
        .Bind(5, t.actor.user)
        .Bind(6, t.actor.address)
        .Bind(7, t.comment)
        .Run();
}

bool SaveSuppression(CDatabase& db, const std::string& device, const DeviceSuppression& s) {
    if (s.kind == DeviceSuppression::Kind::None) {
        return db.Prepare("DELETE FROM device_suppression WHERE device = ?").Bind(1, device).Run();
    }
    return db
        .Prepare(
            "INSERT OR REPLACE INTO device_suppression (device, kind, since, until, reason, by) "
            "VALUES (?, ?, ?, ?, ?, ?)")
        .Bind(1, device)
        .Bind(2, alarms::SuppressionKindName(s.kind))
        .Bind(3, s.since)
        .Bind(4, s.until)
        .Bind(5, s.reason)
        .Bind(6, s.by)
        .Run();
}

bool AddSuppressionEvent(CDatabase& db, const JournalSuppressionEvent& e) {
    return db
        .Prepare(
            "INSERT INTO suppression_event (device, at, event, kind, until, reason, user, "
            "address) VALUES (?, ?, ?, ?, ?, ?, ?, ?)")
        .Bind(1, e.device)
        .Bind(2, e.at)
        .Bind(3, e.event)
        .Bind(4, alarms::SuppressionKindName(e.suppression.kind))
        .Bind(5, e.suppression.until)
        .Bind(6, e.suppression.reason)
        .Bind(7, e.actor.user)
        .Bind(8, e.actor.address)
        .Run();
}

int Prune(CDatabase& db, std::int64_t before) {
    if (!db.Prepare("DELETE FROM alarm WHERE state = 'closed' AND opened < ?")
             .Bind(1, before)
             .Run()) {
        return -1;
    }
    const int removed = db.Changes();
    if (!db.Prepare("DELETE FROM suppression_event WHERE at < ?").Bind(1, before).Run()) {
        return -1;
    }
    return removed;
}

std::vector<JournalAlarm> LoadOpen(CDatabase& db) {
    std::vector<JournalAlarm> open;
    CStatement rows = db.Prepare(
        "SELECT id, device, state, opened, open_value, max_value, returned, report, comm_lost, "
        "acked_by, acked_at, comment, announced FROM alarm WHERE state <> 'closed' ORDER BY "
        "opened, id");
    while (rows.Step()) {
        open.push_back({ReadAlarm(rows), rows.Int(12) != 0});
    }
    return open;
}

std::map<std::string, DeviceSuppression> LoadSuppressions(CDatabase& db) {
    std::map<std::string, DeviceSuppression> all;
    CStatement rows =
        db.Prepare("SELECT device, kind, since, until, reason, by FROM device_suppression");
    while (rows.Step()) {
        DeviceSuppression s;
        s.kind = alarms::ParseSuppressionKind(rows.Text(1));
        s.since = rows.Int(2);
        s.until = rows.Int(3);
        s.reason = rows.Text(4);
        s.by = rows.Text(5);
        if (s.kind != DeviceSuppression::Kind::None) {
            all[rows.Text(0)] = s;
        }
    }
    return all;
}

std::int64_t LastAlarmId(CDatabase& db) {
    const std::int64_t inTable = db.QueryInt("SELECT coalesce(max(id), 0) FROM alarm").value_or(0);
    const std::int64_t given =
        db.QueryInt("SELECT coalesce(max(seq), 0) FROM sqlite_sequence WHERE name = 'alarm'")
            .value_or(0);
    return std::max(inTable, given);
}

std::vector<AlarmRecord> History(CDatabase& db, const alarms::HistoryQuery& q) {
    std::string sql = std::string("SELECT ") + kAlarmColumns +
                      " FROM alarm WHERE opened >= ?1 AND (?2 = 0 OR opened < ?2)"
                      " AND (?3 = '' OR device = ?3) ORDER BY opened, id";
    if (q.limit > 0) {
        sql += " LIMIT ?4";
    }
    CStatement rows = db.Prepare(sql.c_str());
    rows.Bind(1, q.from).Bind(2, q.to).Bind(3, q.device);
    if (q.limit > 0) {
        rows.Bind(4, static_cast<std::int64_t>(q.limit));
    }
    std::vector<AlarmRecord> list;
    while (rows.Step()) {
        list.push_back(ReadAlarm(rows));
    }
    return list;
}

std::optional<AlarmRecord> FindAlarm(CDatabase& db, std::int64_t id) {
    const std::string sql = std::string("SELECT ") + kAlarmColumns + " FROM alarm WHERE id = ?";
    CStatement row = db.Prepare(sql.c_str());
    row.Bind(1, id);
    if (!row.Step()) {
        return std::nullopt;
    }
    return ReadAlarm(row);
}

std::vector<JournalTransition> Transitions(CDatabase& db, std::int64_t alarmId) {
    std::vector<JournalTransition> list;
    CStatement rows = db.Prepare(
        "SELECT at, event, state, user, address, comment FROM alarm_transition WHERE alarm_id = "
        "? ORDER BY id");
    rows.Bind(1, alarmId);
    while (rows.Step()) {
        JournalTransition t;
        t.alarmId = alarmId;
        t.at = rows.Int(0);
        t.event = rows.Text(1);
        t.state = alarms::ParseStateName(rows.Text(2)).value_or(AlarmState::Closed);
        t.actor.user = rows.Text(3);
        t.actor.address = rows.Text(4);
        t.comment = rows.Text(5);
        list.push_back(std::move(t));
    }
    return list;
}

std::vector<JournalSuppressionEvent> SuppressionEvents(CDatabase& db, const std::string& device) {
    std::vector<JournalSuppressionEvent> list;
    CStatement rows = db.Prepare(
        "SELECT at, event, kind, until, reason, user, address FROM suppression_event WHERE "
        "device = ? ORDER BY id");
    rows.Bind(1, device);
    while (rows.Step()) {
        JournalSuppressionEvent e;
        e.device = device;
        e.at = rows.Int(0);
        e.event = rows.Text(1);
        e.suppression.kind = alarms::ParseSuppressionKind(rows.Text(2));
        e.suppression.until = rows.Int(3);
        e.suppression.reason = rows.Text(4);
        e.actor.user = rows.Text(5);
        e.actor.address = rows.Text(6);
        list.push_back(std::move(e));
    }
    return list;
}

}  // namespace zm::store::journal
