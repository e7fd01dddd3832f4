#pragma once

#include <array>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "alarms/AlarmTypes.h"

namespace zm {

// The operator's words for an alarm's state, with "connection lost" where it applies.
std::string AlarmStateText(const alarms::AlarmRecord& alarm);
// Rows that still want the operator's attention flash: not acknowledged, active or not.
bool AlarmRowFlashes(alarms::AlarmState state);

// The columns of the alarm history.
enum HistoryColumn : int {
    kHistId,
    kHistDevice,
    kHistOpened,
    kHistReturned,
    kHistDuration,
    kHistMaximum,
    kHistState,
    kHistAckedBy,
    kHistAckedAt,
    kHistComment,
    kHistColumns
};
std::string HistoryColumnTitle(int column);
// One alarm as the history shows it: local times, the duration up to `now` for an alarm
// that has not returned, the maximum with one decimal.
std::array<std::string, kHistColumns> HistoryCells(const alarms::AlarmRecord& alarm,
                                                   std::time_t now);

// The statistics as label and value, in the order the window lists them.
std::vector<std::pair<std::string, std::string>> StatisticsLines(
    const alarms::AlarmStatistics& stats);

}  // namespace zm
