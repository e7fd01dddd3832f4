#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace zm {

// Local midnight at the start of a "YYYY-MM-DD" date; none for any other text or a date
// that does not exist.
std::optional<std::int64_t> ParseLocalDate(const std::string& text);

// `--alarm-history`: the alarms opened from the first day to the last (both whole, local
// time), of one device when named, as CSV on standard output. Reads the journal beside a
// running server without disturbing it. Exit code: 0 printed, 1 no journal or unreadable,
// 2 bad dates (the reason on standard error).
int RunAlarmHistoryCommand(const std::string& journalPath, const std::string& from,
                           const std::string& to, const std::string& device);

}  // namespace zm
