#pragma once

#include <cstdint>
#include <vector>

#include "alarms/AlarmTypes.h"

namespace zm::alarms {

inline constexpr std::int64_t kFloodWindowSeconds = 600;
inline constexpr int kFloodThreshold = 10;  // more than this many alarms in 10 minutes
inline constexpr std::int64_t kChatterWindowSeconds = 60;
inline constexpr int kChatterThreshold = 3;  // this many alarms within a minute
inline constexpr std::int64_t kStaleSeconds = 24 * 3600;
inline constexpr std::size_t kTopDevices = 10;

// The alarm-load figures of the period [from, to) from the alarms opened in it, and the
// stale ones among `open` (the alarms not closed) as of `now`. Days are local dates; a
// chattering device's count is the most alarms it raised within one minute.
AlarmStatistics ComputeStatistics(const std::vector<AlarmRecord>& alarms,
                                  const std::vector<AlarmRecord>& open, std::int64_t from,
                                  std::int64_t to, std::int64_t now);

// "YYYY-MM-DD" of a time in local time.
std::string LocalDate(std::int64_t when);

}  // namespace zm::alarms
