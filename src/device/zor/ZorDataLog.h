#pragma once

#include <mutex>
#include <string>

#include "device/zor/ZorDataLogFiles.h"

namespace zm {

class CLog;

// The daily data log of one ZOR device: a tab-separated text file per device and local day,
// in a subfolder named after the device, with a header that describes the software, the
// link and the sensor's parameters, and one line per accepted data batch.
class CZorDataLog {
  public:
    // Failures to write are reported to the run log (none: not reported).
    explicit CZorDataLog(CLog* runLog = nullptr) : appender_(runLog) {}

    // Writes the snapshot's batch as one line; a new file first gets its header and the
    // column line, an existing one the column line again when asked. False when the batch
    // is empty or holds a value that is not a finite number (no line; a new file still gets
    // its header), or when the file could not be written (the text waits for the next
    // write).
    bool Write(const ZorLogSnapshot& snapshot, bool repeatColumnLine);

  private:
    std::mutex mutex_;  // one write at a time, should two threads ever ask
    CZorLogAppender appender_;
};

// The PC parameters block of the data log header.
std::string ZorPcParamsText(const ZorLogSnapshot& snapshot);

// The sensor protocol's texts through the translation service.
std::string ZorTranslateText(const ZorText& text);

}  // namespace zm
