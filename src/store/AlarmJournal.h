#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "alarms/AlarmTypes.h"
#include "store/Schema.h"

namespace zm::store {

class CDatabase;

// One alarm as the journal keeps it: the record and whether people were told of it
// (false while its device was suppressed; a restored alarm is not announced twice).
struct JournalAlarm {
    alarms::AlarmRecord record;
    bool announced = false;
};

// One entry of an alarm's journal: the event, the state after it, who and from where.
struct JournalTransition {
    std::int64_t alarmId = 0;
    std::int64_t at = 0;
    std::string event;  // "opened", "acknowledged", "returned", "comm_lost", ...
    alarms::AlarmState state = alarms::AlarmState::ActiveUnacked;
    alarms::Actor actor;
    std::string comment;
};

// One change of a device's suppression.
struct JournalSuppressionEvent {
    std::string device;
    std::int64_t at = 0;
    std::string event;  // "shelved", "unshelved", "expired", "out_of_service", "in_service"
    alarms::DeviceSuppression suppression;  // after the change
    alarms::Actor actor;
};

// The SQL of the alarm journal: alarms, their transitions and acknowledgements, and the
// devices' suppressions with their history. Writes take the writer's connection inside
// its transaction; reads take any connection.
namespace journal {

std::span<const Migration> Migrations();

bool SaveAlarm(CDatabase& db, const JournalAlarm& alarm);  // insert or replace by id
bool AddTransition(CDatabase& db, const JournalTransition& transition);
// Kind None removes the device's suppression.
bool SaveSuppression(CDatabase& db, const std::string& device,
                     const alarms::DeviceSuppression& suppression);
bool AddSuppressionEvent(CDatabase& db, const JournalSuppressionEvent& event);
// Removes closed alarms opened before `before` (with their transitions) and older
// suppression events; the number of alarms removed, -1 on failure.
int Prune(CDatabase& db, std::int64_t before);

// The alarms that are not closed, oldest first.
std::vector<JournalAlarm> LoadOpen(CDatabase& db);
std::map<std::string, alarms::DeviceSuppression> LoadSuppressions(CDatabase& db);
// The largest id ever given (ids are never reused, not even after pruning).
std::int64_t LastAlarmId(CDatabase& db);
// Opened in [from, to) (to 0: open end), by device when named, oldest first.
std::vector<alarms::AlarmRecord> History(CDatabase& db, const alarms::HistoryQuery& query);
std::optional<alarms::AlarmRecord> FindAlarm(CDatabase& db, std::int64_t id);
std::vector<JournalTransition> Transitions(CDatabase& db, std::int64_t alarmId);
std::vector<JournalSuppressionEvent> SuppressionEvents(CDatabase& db, const std::string& device);

}  // namespace journal

}  // namespace zm::store
