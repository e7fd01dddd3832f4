#include "ui/alarms/AlarmTexts.h"

#include "base/DateTimeText.h"
#include "base/MlsPrgMsg.h"
#include "base/Printf.h"
#include "ui/alarms/LifecycleTexts.h"

namespace zm {
namespace {

std::string TimeOrEmpty(std::int64_t seconds) {
    return seconds > 0 ? LocalTimeText("%Y-%m-%d %H:%M:%S", std::time_t(seconds)) : std::string();
}

std::string CountList(const std::vector<alarms::DeviceCount>& counts) {
    std::string text;
    for (const alarms::DeviceCount& c : counts) {
        text += (text.empty() ? "" : ", ") + StrPrintf("%s (%d)", c.device.c_str(), c.count);
    }
    return text.empty() ? Translate(texts::tpAlarmHistory_None) : text;
}

}  // namespace

std::string AlarmStateText(const alarms::AlarmRecord& alarm) {
    using alarms::AlarmState;
    const CMlsEntry* entry = &texts::tpAlarmView_Closed;
    switch (alarm.state) {
        case AlarmState::ActiveUnacked:
            entry = &texts::tpAlarmView_ActiveUnacked;
            break;
        case AlarmState::ActiveAcked:
            entry = &texts::tpAlarmView_ActiveAcked;
            break;
        case AlarmState::RtnUnacked:
            entry = &texts::tpAlarmView_RtnUnacked;
            break;
        case AlarmState::Closed:
            break;
    }
    std::string text = Translate(*entry);
    if (alarm.commLost && alarms::IsActive(alarm.state)) {
        text += ", " + Translate(texts::tpAlarmView_CommLost);
    }
    return text;
}

bool AlarmRowFlashes(alarms::AlarmState state) {
    return !alarms::IsAcknowledged(state);
}

std::string HistoryColumnTitle(int column) {
    using namespace texts;
    static const CMlsEntry* const titles[kHistColumns] = {
        &tpAlarmHistory_ColId,       &tpAlarmHistory_ColDevice,   &tpAlarmHistory_ColOpened,
        &tpAlarmHistory_ColReturned, &tpAlarmHistory_ColDuration, &tpAlarmHistory_ColMaximum,
        &tpAlarmHistory_ColState,    &tpAlarmHistory_ColAckedBy,  &tpAlarmHistory_ColAckedAt,
        &tpAlarmHistory_ColComment};
    return column >= 0 && column < kHistColumns ? Translate(*titles[column]) : std::string();
}

std::array<std::string, kHistColumns> HistoryCells(const alarms::AlarmRecord& alarm,
                                                   std::time_t now) {
    std::array<std::string, kHistColumns> cells;
    cells[kHistId] = std::to_string(alarm.id);
    cells[kHistDevice] = alarm.device;
    cells[kHistOpened] = TimeOrEmpty(alarm.opened);
    cells[kHistReturned] = TimeOrEmpty(alarm.returned);
    // An alarm still active has lasted until now; one that never had an open time has none.
    const std::int64_t end = alarm.returned > 0 ? alarm.returned : std::int64_t(now);
    if (alarm.opened > 0 && end >= alarm.opened) {
        cells[kHistDuration] =
            end == alarm.opened ? "0 seconds" : FormatDuration(end - alarm.opened);
    }
    cells[kHistMaximum] = StrPrintf("%.1f", alarm.maxValue);
    cells[kHistState] = AlarmStateText(alarm);
    cells[kHistAckedBy] = alarm.ackedBy;
    cells[kHistAckedAt] = TimeOrEmpty(alarm.ackedAt);
    cells[kHistComment] = alarm.comment;
    return cells;
}

std::vector<std::pair<std::string, std::string>> StatisticsLines(
    const alarms::AlarmStatistics& stats) {
    using namespace texts;
    std::vector<std::pair<std::string, std::string>> lines;
    lines.emplace_back(Translate(tpAlarmHistory_Total), std::to_string(stats.total));
    const std::size_t days = stats.perDay.size();
    lines.emplace_back(
        Translate(tpAlarmHistory_PerDay),
        days == 0 ? std::string("0") : StrPrintf("%.1f", double(stats.total) / double(days)));
    lines.emplace_back(Translate(tpAlarmHistory_Max10Minutes),
                       std::to_string(stats.maxPer10Minutes));
    lines.emplace_back(Translate(tpAlarmHistory_FloodShare),
                       StrPrintf("%.1f %%", stats.floodShare * 100.0));
    lines.emplace_back(Translate(tpAlarmHistory_Chattering), CountList(stats.chattering));
    std::string stale;
    for (const alarms::AlarmRecord& alarm : stats.stale) {
        stale += (stale.empty() ? "" : ", ") +
                 StrPrintf("#%lld %s", static_cast<long long>(alarm.id), alarm.device.c_str());
    }
    lines.emplace_back(Translate(tpAlarmHistory_Stale),
                       stale.empty() ? Translate(tpAlarmHistory_None) : stale);
    lines.emplace_back(Translate(tpAlarmHistory_TopDevices), CountList(stats.topDevices));
    return lines;
}

}  // namespace zm
