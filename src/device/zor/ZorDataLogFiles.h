#pragma once

#include <cstdint>
#include <ctime>
#include <map>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "device/zor/ZorParams.h"
#include "device/zor/ZorRecords.h"

namespace zm {

class CLog;

// What a ZOR device hands to its data log and alarm processor for one run: plain copies
// taken under the device's own locks, so that neither writer touches the device.
struct ZorLogSnapshot {
    std::string logFolder;  // the device's GetLogFolder (" " or a folder ending in "/")
    std::string deviceName;
    std::string linkType;  // "COM", "TCP/IP", "EMUL", ...
    int pause = 0;         // seconds between poll cycles
    int tcpTimeoutMs = 0;  // time-out of the TCP settings
    ZorContrType contrType;
    ZorParams params;  // the real block; the writers blank what emulation must not show
    ZorState state;
    double latitude = 0;  // the device's position
    double longitude = 0;
    int deviceStatus = 0;           // GetStatus
    std::vector<uint8_t> batch;     // the latest data batch, records of 8 bytes
    std::uint64_t statusTime = 0;   // data status time: UTC file time (100 ns since 1601)
    std::uint64_t batchSerial = 0;  // changes with every accepted batch
    std::time_t now = 0;            // the moment of the run, seconds since 1970

    bool IsEmulation() const { return linkType == "EMUL"; }
};

// The device's log folder: the device log's path up to and including its last "/", or a
// single blank when the path has none (the value GetLogFolder answers).
std::string ZorLogFolderOf(const std::string& deviceLogPath);

// A text made safe as one file-name component: "/", "\", the characters other systems
// refuse (: * ? " < > |) and control characters become "_", a name of dots only cannot
// climb out of its folder, and a name longer than 100 bytes is cut at a character.
std::string ZorFileNamePart(std::string_view text);

// Where the files go (a blank log folder means the working folder, as an empty one does).
std::string ZorDataLogPath(const std::string& logFolder, const std::string& deviceName,
                           const std::string& idText, std::time_t now);
std::string ZorAlarmFolder(const std::string& logFolder);
std::string ZorAlarmLogPath(const std::string& logFolder, const std::string& idText,
                            const std::string& deviceName, std::time_t now);
std::string ZorAlarmReportPath(const std::string& logFolder, const std::string& deviceName,
                               const std::string& idText, std::time_t now);

// The data time of a line: day.month.year, a tab, hour:minute:second, in local time.
std::string ZorDataTimeText(std::uint64_t fileTime);

// The translated text of a device status code.
std::string ZorDeviceStatusText(int deviceStatus);

// Mean, minimum and maximum of signal and background over a batch. False, with the
// figures undefined, as soon as a value is not a finite number.
struct ZorBatchStats {
    int count = 0;
    double meanSignal = 0, meanBackground = 0;
    double minSignal = 0, minBackground = 0;
    double maxSignal = 0, maxBackground = 0;
};
bool ComputeBatchStats(std::span<const ZorDataRecord> records, ZorBatchStats& stats);

// Text left-aligned in a field of that many characters (not bytes), never cut.
std::string PadRight(std::string_view text, size_t width);

// Appends to the log files of one device and never drops text quietly: text that cannot be
// written stays queued for its file and goes out, in order, with the next append to any
// file. The first failure of a file and its recovery are run-log entries.
class CZorLogAppender {
  public:
    static constexpr size_t kMaxQueued = 1 << 20;  // bytes over all files

    explicit CZorLogAppender(CLog* runLog) : runLog_(runLog) {}

    // True when this text and everything queued for the file before it were written.
    bool Append(const std::string& path, std::string_view text);
    // The file exists or has text waiting for it.
    bool Exists(const std::string& path) const;
    bool HasQueued() const { return !queued_.empty(); }

  private:
    // False when the cap leaves no room and the text is lost (reported once).
    bool Enqueue(std::string& queued, const std::string& path, std::string_view text);
    bool Flush(const std::string& path, std::string& queued);
    void Retry(const std::string& except);

    CLog* runLog_;
    std::map<std::string, std::string> queued_;  // path -> text not yet written, never empty
    size_t queuedBytes_ = 0;
    bool overflowReported_ = false;
};

}  // namespace zm
