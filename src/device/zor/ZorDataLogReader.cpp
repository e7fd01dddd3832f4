#include "device/zor/ZorDataLogReader.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "device/zor/ZorDataLogFiles.h"

namespace zm {

namespace {

// Columns of a data line, counted from 0: date, time, FluoBkg, Signal, Background, Status,
// Thresh-Low, Thesh-High, ..., SignalMin (13), BackgroundMin, SignalMax (15).
constexpr int kSignal = 3, kLow = 6, kHigh = 7, kSignalMin = 13, kSignalMax = 15;
constexpr int kColumns = 18;

bool Digits(std::string_view s, size_t at, size_t count, int& value) {
    if (at + count > s.size())
        return false;
    value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (s[i] < '0' || s[i] > '9')
            return false;
        value = value * 10 + (s[i] - '0');
    }
    return true;
}

bool Number(std::string_view field, float& value) {
    size_t first = field.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return false;
    const char* begin = field.data() + first;
    const char* end = field.data() + field.size();
    auto [ptr, ec] = std::from_chars(begin, end, value);
    return ec == std::errc() && (ptr == end || *ptr == ' ');
}

// Local time to UTC through mktime once per local hour: daylight saving changes on the
// hour, and mktime for every line would cost more than the rest of the parse.
class LocalClock {
  public:
    bool ToUtc(int day, int month, int year, int hour, int minute, int second, std::int64_t& utc) {
        if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 ||
            second > 60)
            return false;
        const long key = ((static_cast<long>(year) * 100 + month) * 100 + day) * 100 + hour;
        if (key != key_) {
            std::tm tm{};
            tm.tm_year = year - 1900;
            tm.tm_mon = month - 1;
            tm.tm_mday = day;
            tm.tm_hour = hour;
            tm.tm_isdst = -1;
            hourStart_ = static_cast<std::int64_t>(std::mktime(&tm));
            key_ = key;
        }
        utc = hourStart_ + minute * 60 + second;
        return true;
    }

  private:
    long key_ = -1;
    std::int64_t hourStart_ = 0;
};

bool ParseLine(std::string_view line, LocalClock& clock, ZorLogSample& sample) {
    // "dd.mm.yyyy\tHH:MM:SS  \t..."
    int day, month, year, hour, minute, second;
    if (line.size() < 20 || line[2] != '.' || line[5] != '.' || line[10] != '\t' ||
        line[13] != ':' || line[16] != ':' || !Digits(line, 0, 2, day) ||
        !Digits(line, 3, 2, month) || !Digits(line, 6, 4, year) || !Digits(line, 11, 2, hour) ||
        !Digits(line, 14, 2, minute) || !Digits(line, 17, 2, second))
        return false;
    std::string_view fields[kColumns];
    int n = 0;
    for (size_t start = 0; n < kColumns;) {
        size_t tab = line.find('\t', start);
        fields[n++] = line.substr(start, tab == std::string_view::npos ? tab : tab - start);
        if (tab == std::string_view::npos)
            break;
        start = tab + 1;
    }
    if (n < kColumns)
        return false;
    return clock.ToUtc(day, month, year, hour, minute, second, sample.time) &&
           Number(fields[kSignal], sample.signal) && Number(fields[kLow], sample.lowThreshold) &&
           Number(fields[kHigh], sample.highThreshold) &&
           Number(fields[kSignalMin], sample.signalMin) &&
           Number(fields[kSignalMax], sample.signalMax);
}

}  // namespace

size_t ParseZorDataLog(std::string_view text, std::vector<ZorLogSample>& out) {
    LocalClock clock;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            return start;
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        ZorLogSample sample;
        if (!line.empty() && line[0] >= '0' && line[0] <= '9' && ParseLine(line, clock, sample))
            out.push_back(sample);
        start = end + 1;
    }
}

std::vector<ZorDataLogFile> FindZorDataLogs(const std::string& logsFolder,
                                            const std::string& deviceName, int firstDate,
                                            int lastDate) {
    namespace fs = std::filesystem;
    const std::string name = ZorFileNamePart(deviceName);
    const std::string tail = "_" + name + "_";  // then "YYYY-MM-DD.txt"
    std::vector<ZorDataLogFile> files;
    std::error_code ec;
    for (fs::directory_iterator month(logsFolder, ec), end; !ec && month != end;
         month.increment(ec)) {
        std::error_code inner;
        const fs::path folder = month->path() / name;
        for (fs::directory_iterator it(folder, inner); !inner && it != end; it.increment(inner)) {
            const std::string file = it->path().filename().string();
            // "DataLog_" + id + tail + "YYYY-MM-DD.txt"
            constexpr size_t kDateAndExtension = 14;
            if (file.rfind("DataLog_", 0) != 0 ||
                file.size() < 8 + tail.size() + kDateAndExtension ||
                file.compare(file.size() - kDateAndExtension - tail.size(), tail.size(), tail) !=
                    0 ||
                file.compare(file.size() - 4, 4, ".txt") != 0)
                continue;
            const std::string_view date =
                std::string_view(file).substr(file.size() - kDateAndExtension, 10);
            int y, m, d;
            if (date[4] != '-' || date[7] != '-' || !Digits(date, 0, 4, y) ||
                !Digits(date, 5, 2, m) || !Digits(date, 8, 2, d))
                continue;
            const int value = y * 10000 + m * 100 + d;
            if (value >= firstDate && value <= lastDate)
                files.push_back({it->path().string(), value});
        }
    }
    std::sort(files.begin(), files.end(), [](const ZorDataLogFile& a, const ZorDataLogFile& b) {
        return a.date != b.date ? a.date < b.date : a.path < b.path;
    });
    return files;
}

}  // namespace zm
