#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <utility>

#include "base/DateTimeText.h"
#include "device/zor/ZorDataLogFiles.h"
#include "support/TempDir.h"

namespace zm::test {

// The logs use local time; one fixed zone (UTC+1, no summer time) makes the expected
// texts independent of the machine.
class FixedZone {
  public:
    FixedZone() {
        if (const char* tz = std::getenv("TZ")) {
            saved_ = tz;
            hadTz_ = true;
        }
        setenv("TZ", "ZMT-1", 1);
        tzset();
    }
    ~FixedZone() {
        if (hadTz_) {
            setenv("TZ", saved_.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

  private:
    std::string saved_;
    bool hadTz_ = false;
};

// Seconds since 1970 of a local time in the fixed zone.
inline std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    return timegm(&parts) - 3600;
}

inline std::uint64_t FileTimeOf(std::time_t t) {
    return FileTimeFromTime(TimePointMs(std::chrono::seconds(t)));
}

// Text left-aligned in a field, as the expected columns are written.
inline std::string Col(const std::string& text, size_t width) {
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

inline std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Every regular file below the folder, as paths relative to it.
inline std::vector<std::string> FilesBelow(const std::filesystem::path& folder) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            files.push_back(std::filesystem::relative(entry.path(), folder).string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

// A device on TCP/IP named Pier-2 with sensor number ZS-0042 and readable sensor values.
inline ZorLogSnapshot PierSnapshot(const TempDir& dir) {
    ZorLogSnapshot s;
    s.logFolder = dir.folder();
    s.deviceName = "Pier-2";
    s.linkType = "TCP/IP";
    s.pause = 10;
    s.tcpTimeoutMs = 3000;
    s.contrType.bytes = {5, 2, 0, 1};
    s.params = DefaultZorParams("ZS-0042");
    s.state.SetFluoBkg(123.4f);
    s.state.SetI16(4, 1013);  // pressure 101.3 kPa
    s.state.SetI16(6, -55);   // -5.5 degC
    s.state.SetI16(8, 1234);  // sea level 123.4 cm
    s.latitude = 54.123456789;
    s.longitude = 18.5;
    s.deviceStatus = 1;
    return s;
}

// Gives the snapshot a new batch taken at the moment t.
inline void SetBatch(ZorLogSnapshot& s, std::initializer_list<std::pair<float, float>> records,
                     std::time_t t) {
    s.batch.clear();
    for (auto [signal, background] : records) {
        AppendDataRecord(s.batch, signal, background);
    }
    s.statusTime = FileTimeOf(t);
    s.now = t;
    ++s.batchSerial;
}

}  // namespace zm::test
