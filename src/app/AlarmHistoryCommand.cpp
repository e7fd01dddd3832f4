#include "app/AlarmHistoryCommand.h"

#include <cstdio>
#include <ctime>

#include "alarms/AlarmOperations.h"
#include "store/AlarmJournal.h"
#include "store/Database.h"

namespace zm {

std::optional<std::int64_t> ParseLocalDate(const std::string& text) {
    int year = 0, month = 0, day = 0;
    char tail = 0;
    if (text.size() != 10 || text[4] != '-' || text[7] != '-' ||
        std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &year, &month, &day, &tail) != 3) {
        return std::nullopt;
    }
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_isdst = -1;
    const std::time_t when = std::mktime(&t);
    // mktime moves 2026-02-30 to March: such a date is not one.
    if (when == -1 || t.tm_year != year - 1900 || t.tm_mon != month - 1 || t.tm_mday != day) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(when);
}

namespace {

std::optional<std::int64_t> NextDay(const std::string& text) {
    auto start = ParseLocalDate(text);
    if (!start) {
        return std::nullopt;
    }
    const std::time_t t = static_cast<std::time_t>(*start);
    std::tm local{};
    localtime_r(&t, &local);
    local.tm_mday += 1;
    local.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&local));
}

}  // namespace

int RunAlarmHistoryCommand(const std::string& journalPath, const std::string& from,
                           const std::string& to, const std::string& device) {
    const auto start = ParseLocalDate(from);
    const auto end = NextDay(to);
    if (!start || !end) {
        std::fprintf(stderr, "zormanagerd: --from and --to take dates as YYYY-MM-DD\n");
        return 2;
    }
    if (*end <= *start) {
        std::fprintf(stderr, "zormanagerd: --to is before --from\n");
        return 2;
    }
    if (::access(journalPath.c_str(), R_OK) != 0) {
        std::fprintf(stderr, "zormanagerd: no alarm journal at %s\n", journalPath.c_str());
        return 1;
    }
    store::CDatabase db;
    store::OpenOptions options;
    options.readOnly = true;
    if (!db.Open(journalPath, options)) {
        std::fprintf(stderr, "zormanagerd: the alarm journal %s cannot be read: %s\n",
                     journalPath.c_str(), db.LastError().c_str());
        return 1;
    }
    const std::string csv =
        alarms::HistoryCsv(store::journal::History(db, {*start, *end, device, 0}));
    std::fwrite(csv.data(), 1, csv.size(), stdout);
    std::fflush(stdout);
    return 0;
}

}  // namespace zm
