#include "alarms/AlarmStatistics.h"

#include <algorithm>
#include <ctime>
#include <map>
#include <string>

namespace zm::alarms {

namespace {

// The largest number of the sorted times that fall in any window of this length.
int MaxInWindow(const std::vector<std::int64_t>& sorted, std::int64_t window) {
    int best = 0;
    std::size_t first = 0;
    for (std::size_t last = 0; last < sorted.size(); ++last) {
        while (sorted[last] - sorted[first] >= window) {
            ++first;
        }
        best = std::max(best, static_cast<int>(last - first + 1));
    }
    return best;
}

std::vector<DeviceCount> Ranked(std::map<std::string, int> counts) {
    std::vector<DeviceCount> ranked;
    ranked.reserve(counts.size());
    for (auto& [device, count] : counts) {
        ranked.push_back({device, count});
    }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const DeviceCount& a, const DeviceCount& b) { return a.count > b.count; });
    return ranked;
}

std::int64_t NextLocalMidnight(std::int64_t when) {
    const std::time_t t = static_cast<std::time_t>(when);
    std::tm local{};
    localtime_r(&t, &local);
    local.tm_hour = 0;
    local.tm_min = 0;
    local.tm_sec = 0;
    local.tm_mday += 1;
    local.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&local));
}

}  // namespace

std::string LocalDate(std::int64_t when) {
    const std::time_t t = static_cast<std::time_t>(when);
    std::tm local{};
    localtime_r(&t, &local);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &local);
    return text;
}

AlarmStatistics ComputeStatistics(const std::vector<AlarmRecord>& alarms,
                                  const std::vector<AlarmRecord>& open, std::int64_t from,
                                  std::int64_t to, std::int64_t now) {
    AlarmStatistics stats;
    stats.from = from;
    stats.to = to;
    if (to <= from) {
        return stats;
    }
    std::map<std::string, int> dayIndex;
    for (std::int64_t day = from; day < to; day = NextLocalMidnight(day)) {
        const std::string date = LocalDate(day);
        if (dayIndex.emplace(date, static_cast<int>(stats.perDay.size())).second) {
            stats.perDay.push_back({date, 0});
        }
    }
    std::vector<std::int64_t> times;
    times.reserve(alarms.size());
    std::map<std::string, std::vector<std::int64_t>> byDevice;
    std::map<std::string, int> perDevice;
    const std::int64_t intervals = (to - from + kFloodWindowSeconds - 1) / kFloodWindowSeconds;
    std::vector<int> perInterval(static_cast<std::size_t>(intervals), 0);
    for (const AlarmRecord& alarm : alarms) {
        if (alarm.opened < from || alarm.opened >= to) {
            continue;
        }
        ++stats.total;
        times.push_back(alarm.opened);
        byDevice[alarm.device].push_back(alarm.opened);
        ++perDevice[alarm.device];
        ++perInterval[static_cast<std::size_t>((alarm.opened - from) / kFloodWindowSeconds)];
        auto day = dayIndex.find(LocalDate(alarm.opened));
        if (day != dayIndex.end()) {
            ++stats.perDay[static_cast<std::size_t>(day->second)].count;
        }
    }
    std::sort(times.begin(), times.end());
    stats.maxPer10Minutes = MaxInWindow(times, kFloodWindowSeconds);
    const auto flooded = std::count_if(perInterval.begin(), perInterval.end(),
                                       [](int count) { return count > kFloodThreshold; });
    stats.floodShare = static_cast<double>(flooded) / static_cast<double>(intervals);

    std::map<std::string, int> chatter;
    for (auto& [device, deviceTimes] : byDevice) {
        std::sort(deviceTimes.begin(), deviceTimes.end());
        const int most = MaxInWindow(deviceTimes, kChatterWindowSeconds);
        if (most >= kChatterThreshold) {
            chatter[device] = most;
        }
    }
    stats.chattering = Ranked(std::move(chatter));
    stats.topDevices = Ranked(std::move(perDevice));
    if (stats.topDevices.size() > kTopDevices) {
        stats.topDevices.resize(kTopDevices);
    }
    for (const AlarmRecord& alarm : open) {
        if (IsActive(alarm.state) && now - alarm.opened > kStaleSeconds) {
            stats.stale.push_back(alarm);
        }
    }
    return stats;
}

}  // namespace zm::alarms
