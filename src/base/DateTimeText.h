#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace zm {

// A moment in time, to the millisecond (UTC inside; shown in local time where asked).
using TimePointMs = std::chrono::sys_time<std::chrono::milliseconds>;

TimePointMs NowMs();

// Platform file times (100-ns units since 1601, UTC), as the device data status keeps them.
TimePointMs TimeFromFileTime(std::uint64_t fileTime);
std::uint64_t FileTimeFromTime(TimePointMs time);

// Date and time as text. No time given means now. The date is year, month, day with
// yearFirst ("%04d%s%02d%s%02d"), else day, month, year ("%02d%s%02d%s%04d"); the time
// follows after dateTimeSep (only when a date was written) as hours, minutes, seconds,
// with ".%03d" milliseconds when asked. toLocal shows local time, otherwise UTC. A time
// the system cannot convert, or outside the years 1601 to 30827, gives "<wrong time>".
std::string FormatDateTime(std::optional<TimePointMs> when = std::nullopt, bool toLocal = true,
                           bool withDate = true, bool withTime = true,
                           bool withMilliseconds = false, std::string_view dateSep = "-",
                           std::string_view dateTimeSep = " ", std::string_view timeSep = ":",
                           bool yearFirst = true);

// A duration as "1 day, 01 hour, 01 minute, 01 second": zero parts left out, zero gives
// the empty text, a negative duration its size after "-".
std::string FormatDuration(std::int64_t seconds);

// Time stamps appended to file names; a stamp of the same kind already at the end of the
// name is replaced, not repeated.
enum StampMode {
    kStampUnderscore = 0,  // "_2013-04-05_06-07-08" (every mode other than 1 and 2)
    kStampBracketed = 1,   // "(2013-04-05 06-07-08)"
    kStampDate = 2,        // "2013-04-05"
};
std::string StampName(const std::string& name, std::optional<TimePointMs> when, int mode);

// strftime into a string, in local time (now when no time is given). The format must be
// a literal. Empty when the time cannot be converted.
[[gnu::format(strftime, 1, 0)]] std::string LocalTimeText(
    const char* format, std::optional<std::time_t> when = std::nullopt);

// The C library's own date and time form ("%c") in local time, as the logs show it.
std::string LocalDateTimeC(std::optional<std::time_t> when = std::nullopt);

}  // namespace zm
