#pragma once

#include <ctime>
#include <functional>
#include <mutex>
#include <string>

#include "base/Log.h"

namespace zm {

// Keeps the run log and the device log in the files of the current local day, in the
// day's month folder: a station runs for months, and one file per day keeps each small
// enough to open and each month's folder complete. Devices take the folder of their data
// and alarm logs from the device log, so they follow it.
class CDailyLogs {
  public:
    using Clock = std::function<std::time_t()>;

    // No clock: the system's.
    CDailyLogs(CLog& runLog, CLog& deviceLog, Clock clock = {});
    ~CDailyLogs();
    CDailyLogs(const CDailyLogs&) = delete;
    CDailyLogs& operator=(const CDailyLogs&) = delete;

    // Start-up: today's files in today's month folder, the run log with its start-up
    // block. From now on these are the logs RollLogsIfNewDay keeps current.
    void Open(bool overwrite);
    // When the local date is no longer the one of the open files, both logs go on in the
    // new day's files in that day's month folder, each beginning with the page header and
    // a line naming the file it continues. True when they moved.
    bool RollOver();
    // The local date of the open files, "%Y-%m-%d".
    std::string Day() const;

  private:
    std::time_t Now() const;

    CLog& runLog_;
    CLog& deviceLog_;
    Clock clock_;
    mutable std::mutex mutex_;
    std::string day_;
};

// RollOver of the logs opened last, for a writer that must not run ahead of the periodic
// check: a device writing its data log a moment after midnight writes into the new
// month's folder, never a new day's file into the old one. False when nothing moved.
bool RollLogsIfNewDay();

}  // namespace zm
