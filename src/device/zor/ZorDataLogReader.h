#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zm {

// What a trend needs of one data-log line.
struct ZorLogSample {
    std::int64_t time = 0;  // seconds since 1970, UTC (the line holds local time)
    float signal = 0;       // mean of the batch
    float signalMin = 0;
    float signalMax = 0;
    float lowThreshold = 0;
    float highThreshold = 0;
};

// The data lines of a data-log text, in file order; the header, column lines and lines
// that do not read as data (a line cut by a power loss) are skipped. Only lines that end
// in a line break are read: returns the bytes up to the end of the last of them.
size_t ParseZorDataLog(std::string_view text, std::vector<ZorLogSample>& out);

// One day's data-log file of a device.
struct ZorDataLogFile {
    std::string path;
    int date = 0;  // local date as yyyymmdd, from the file name
};

// The device's data-log files for the local dates first..last (yyyymmdd) under the logs
// folder (its month folders "YYYY-MM/", each with the device's subfolder): a run keeps
// writing into the month folder of its start, so every month folder is looked in. Sorted
// by date; the same date twice (two month folders, or two identification texts) keeps
// both.
std::vector<ZorDataLogFile> FindZorDataLogs(const std::string& logsFolder,
                                            const std::string& deviceName, int firstDate,
                                            int lastDate);

}  // namespace zm
