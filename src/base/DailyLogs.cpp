#include "base/DailyLogs.h"

#include <atomic>
#include <filesystem>

#include "base/DateTimeText.h"
#include "base/Folders.h"
#include "base/Paths.h"

namespace zm {

namespace {

std::atomic<CDailyLogs*> g_current{nullptr};

}  // namespace

CDailyLogs::CDailyLogs(CLog& runLog, CLog& deviceLog, Clock clock)
    : runLog_(runLog), deviceLog_(deviceLog), clock_(std::move(clock)) {}

CDailyLogs::~CDailyLogs() {
    CDailyLogs* self = this;
    g_current.compare_exchange_strong(self, nullptr);
}

bool RollLogsIfNewDay() {
    CDailyLogs* logs = g_current.load();
    return logs != nullptr && logs->RollOver();
}

std::time_t CDailyLogs::Now() const {
    return clock_ ? clock_() : std::time(nullptr);
}

void CDailyLogs::Open(bool overwrite) {
    const std::time_t now = Now();
    std::lock_guard lock(mutex_);
    day_ = LocalTimeText("%Y-%m-%d", now);
    SetLogMonth(now);
    const std::string folder = GetLogFolder();
    CreateFolderChain(folder);
    runLog_.SetFolder(folder);
    runLog_.Open(LocalTimeText("RunLog_%Y-%m-%d", now), overwrite);
    runLog_.AddStartupInfo();
    deviceLog_.SetFolder(folder);
    deviceLog_.Open(LocalTimeText("DevLog_%Y-%m-%d", now), overwrite);
    deviceLog_.AddText("<li><dt> Application started.</li>");
    g_current = this;
}

bool CDailyLogs::RollOver() {
    const std::time_t now = Now();
    const std::string day = LocalTimeText("%Y-%m-%d", now);
    std::lock_guard lock(mutex_);
    // A clock set back (by hand or by a time server) is a new day too: the entries
    // belong in the file of the date they carry.
    if (day.empty() || day == day_) {
        return false;
    }
    day_ = day;
    SetLogMonth(now);
    const std::string folder = GetLogFolder();
    CreateFolderChain(folder);
    const auto move = [&](CLog& log, const std::string& name) {
        const std::string previous = std::filesystem::path(log.GetPath()).filename().string();
        if (log.Reopen(folder, name)) {
            log.AddText("<li><dt> Continued from %s; the application runs on.</li>",
                        previous.c_str());
        }
    };
    move(runLog_, LocalTimeText("RunLog_%Y-%m-%d", now));
    move(deviceLog_, LocalTimeText("DevLog_%Y-%m-%d", now));
    return true;
}

std::string CDailyLogs::Day() const {
    std::lock_guard lock(mutex_);
    return day_;
}

}  // namespace zm
