#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>

#include "device/zor/ZorDataLogFiles.h"

namespace zm {

class CLog;

// The alarm report path of a device with its assigned flag. The alarm processor (device
// event thread) and the alarm popup (user-interface thread) both may assign it first; each
// reads and writes it whole.
class CAlarmReportPath {
  public:
    // The assigned path; otherwise the candidate, which becomes the assigned path.
    std::string GetOrAssign(const std::string& candidate);
    void Assign(const std::string& path);
    // Clears the flag; the path stays readable.
    void Clear();
    bool IsAssigned() const;
    std::string GetPath() const;

  private:
    mutable std::mutex mutex_;
    std::string path_;
    bool assigned_ = false;
};

// Follows the device status of one ZOR device over time and documents every alarm: one
// entry in the device's monthly alarm log and one report file per alarm. Each device owns
// its own processor; nothing is shared between devices.
class CAlarmProcessor {
  public:
    static constexpr int kHistorySize = 80;

    // Failures to write are reported to the run log (none: not reported).
    explicit CAlarmProcessor(CLog* runLog = nullptr) : appender_(runLog) {}

    // One run with the device's current status and latest batch. False when nothing was
    // done (no batch, or a value that is not a finite number) or a file could not be
    // written (its text waits for the next run).
    bool Process(const ZorLogSnapshot& snapshot);

    // The report path shared with the alarm popup.
    CAlarmReportPath& ReportPath() { return reportPath_; }

    bool InAlarm() const;
    bool ConnectionLost() const;

  private:
    struct HistoryEntry {
        float signal = 0;
        float background = 0;
    };
    void AddToHistory(std::span<const ZorDataRecord> records);
    std::string HistoryLines() const;
    bool Write(const std::string& path, const std::string& text);

    mutable std::mutex mutex_;  // runs and the state queries
    CZorLogAppender appender_;
    CAlarmReportPath reportPath_;

    bool inAlarm_ = false;
    bool connectionLost_ = false;
    std::int64_t startTime_ = 0;  // becomes the duration at the end
    std::string startText_ = "N/A";
    std::string connectionText_;
    std::int32_t batchCount_ = 0;
    double meanSum_ = 0;
    double maxSignal_ = 0;
    std::string report_ = " ";
    std::string alarmLog_;  // the file that holds the open entry's first half

    std::array<HistoryEntry, kHistorySize> history_{};  // a ring, oldest at historyFirst_
    int historyFirst_ = 0;
    int emptySlots_ = kHistorySize;
    bool seenBatch_ = false;
    std::uint64_t lastBatchSerial_ = 0;
    std::uint64_t lastBatchTime_ = 0;
    bool ok_ = true;  // every write of the current run succeeded
};

}  // namespace zm
