#pragma once

// Pieces shared by the drivers that measure the real server from outside: its settings
// file, a UDP socket that stamps what arrives, files followed as they grow, /proc figures
// and the percentile table. The peers themselves (zor-sim, the SMTP server, the server
// process) come from the test helpers.

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "app/DaemonPeers.h"
#include "app/ManagerSettings.h"
#include "support/Loopback.h"

namespace zm::bench {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

inline double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Python's time.monotonic() and steady_clock both read CLOCK_MONOTONIC on Linux.
inline Clock::time_point FromMonotonicSeconds(double seconds) {
    return Clock::time_point(
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds)));
}

inline std::string LoadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string a, b, c;
    in >> a >> b >> c;
    return a + " " + b + " " + c;
}

// Nearest-rank percentile of the values (NaN when there are none).
inline double Percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return std::nan("");
    }
    std::sort(values.begin(), values.end());
    size_t rank = static_cast<size_t>(std::ceil(p / 100.0 * static_cast<double>(values.size())));
    rank = std::clamp<size_t>(rank, 1, values.size());
    return values[rank - 1];
}

// One device of the settings file: a simulator's sensor on 127.0.0.1, with the link
// time-out the device has by default.
inline test::HomeDevice BenchDevice(const std::string& name, int port, int address, int pause) {
    return {.name = name, .tcpPort = port, .address = address, .timeoutMs = 2000, .pause = pause};
}

struct BenchSettings {
    int nUdpPort = 0;   // 0: UDP off
    int nSmtpPort = 0;  // 0: alarm mails off
    std::string sRecipient = "duty@harbour.test";
    std::vector<test::HomeDevice> devices;
};

// The settings file of `home` as the operator would leave it: UDP to the driver's
// socket, mails to the driver's SMTP server, one TCP device per entry.
inline void WriteSettings(const test::DaemonHome& home, const BenchSettings& b) {
    ManagerSettings s;
    s.bAlarmMails = b.nSmtpPort != 0;
    s.sMailRecipients = b.sRecipient;
    s.smtp_server = "127.0.0.1";
    s.smtp_port = b.nSmtpPort != 0 ? b.nSmtpPort : 25;
    s.smtp_sec = 0;
    s.smtp_tls_verify = 0;
    s.udp_enabled = b.nUdpPort != 0 ? 1 : 0;
    s.udp_ip_address = "127.0.0.1";
    s.udp_port = b.nUdpPort != 0 ? b.nUdpPort : 8181;
    std::vector<test::HomeDevice> devices = b.devices;
    for (size_t n = 0; n < devices.size(); ++n) {
        devices[n].latitude = 59.9 + 0.001 * static_cast<double>(n);
        devices[n].longitude = 30.3;
    }
    home.WriteSettings(s, devices);
}

struct Stamped {
    Clock::time_point t;
    std::string text;
};

// A UDP socket on 127.0.0.1; every datagram is kept with the time it was read.
class StampedUdp {
  public:
    StampedUdp() {
        int size = 8 << 20;
        setsockopt(fd(), SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    }

    int port() const { return socket_.port(); }
    int fd() const { return socket_.fd(); }

    // Reads everything waiting; the number of datagrams read.
    size_t Drain() {
        size_t n = 0;
        char buffer[65536];
        for (;;) {
            ssize_t got = recv(fd(), buffer, sizeof buffer, 0);
            if (got < 0) {
                return n;
            }
            const auto t = Clock::now();
            if (keep) {
                datagrams.push_back({t, std::string(buffer, static_cast<size_t>(got))});
            }
            ++count;
            if (onDatagram) {
                onDatagram(std::string_view(buffer, static_cast<size_t>(got)));
            }
            ++n;
        }
    }

    std::vector<Stamped> datagrams;
    bool keep = true;
    size_t count = 0;
    std::function<void(std::string_view)> onDatagram;

  private:
    test::LoopbackSocket socket_{SOCK_DGRAM | SOCK_NONBLOCK};
};

// A text file followed as it grows (the program only appends to its logs). Each read
// remembers when it was made, so that the first sight of any text can be timed.
class GrowingFile {
  public:
    GrowingFile() = default;
    explicit GrowingFile(std::string path) : path_(std::move(path)) {}
    void SetPath(const std::string& path) {
        if (path != path_) {
            path_ = path;
            text_.clear();
            chunks_.clear();
        }
    }
    const std::string& path() const { return path_; }
    const std::string& text() const { return text_; }

    // Reads what was appended since the last call; true when something was.
    bool Update() {
        struct stat st {};
        if (path_.empty() || ::stat(path_.c_str(), &st) != 0 ||
            static_cast<size_t>(st.st_size) <= text_.size()) {
            return false;
        }
        std::ifstream in(path_, std::ios::binary);
        in.seekg(static_cast<std::streamoff>(text_.size()));
        std::string more((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (more.empty()) {
            return false;
        }
        text_ += more;
        chunks_.push_back({text_.size(), Clock::now()});
        return true;
    }

    // The first occurrence of `needle` that begins at or after `from`: its position and
    // the time it was first seen whole.
    std::optional<std::pair<size_t, Clock::time_point>> Find(const std::string& needle,
                                                             size_t from) const {
        const size_t at = text_.find(needle, from);
        if (at == std::string::npos) {
            return std::nullopt;
        }
        const size_t end = at + needle.size();
        auto it = std::lower_bound(chunks_.begin(), chunks_.end(), end,
                                   [](const Chunk& c, size_t e) { return c.end < e; });
        return std::make_pair(at, it == chunks_.end() ? Clock::now() : it->t);
    }

    size_t Count(const std::string& needle) const {
        size_t n = 0;
        for (size_t at = text_.find(needle); at != std::string::npos;
             at = text_.find(needle, at + needle.size())) {
            ++n;
        }
        return n;
    }

  private:
    struct Chunk {
        size_t end;
        Clock::time_point t;
    };
    std::string path_;
    std::string text_;
    std::vector<Chunk> chunks_;
};

// Regular files below `root` whose names begin with `prefix`.
inline std::vector<std::filesystem::path> FilesNamed(const std::filesystem::path& root,
                                                     const std::string& prefix) {
    std::vector<std::filesystem::path> found;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file(ec) && it->path().filename().string().rfind(prefix, 0) == 0) {
            found.push_back(it->path());
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

inline std::uintmax_t TotalSize(const std::vector<std::filesystem::path>& files) {
    std::uintmax_t total = 0;
    for (const auto& f : files) {
        std::error_code ec;
        const auto size = std::filesystem::file_size(f, ec);
        total += ec ? 0 : size;
    }
    return total;
}

// CPU time (user + system) of a process in seconds, from /proc/<pid>/stat.
inline double ProcessCpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(in, line);
    const size_t paren = line.rfind(')');
    if (paren == std::string::npos) {
        return std::nan("");
    }
    std::istringstream fields(line.substr(paren + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    // Fields from the state (3rd) on; utime and stime are the 14th and 15th.
    for (int n = 3; n <= 15 && fields >> field; ++n) {
        if (n == 14) {
            utime = std::stoull(field);
        } else if (n == 15) {
            stime = std::stoull(field);
        }
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// A "Key:" line of /proc/<pid>/status, as its number (kB for the memory lines).
inline long ProcessStatusValue(pid_t pid, const std::string& key) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(key + ":", 0) == 0) {
            return std::strtol(line.c_str() + key.size() + 1, nullptr, 10);
        }
    }
    return -1;
}

// The wall time of a zor-sim log line ("YYYY-MM-DD HH:MM:SS.uuuuuu", local time).
inline std::optional<std::chrono::system_clock::time_point> SimLogTime(const std::string& line) {
    std::tm tm{};
    long micros = 0;
    if (std::sscanf(line.c_str(), "%d-%d-%d %d:%d:%d.%ld", &tm.tm_year, &tm.tm_mon, &tm.tm_mday,
                    &tm.tm_hour, &tm.tm_min, &tm.tm_sec, &micros) != 7) {
        return std::nullopt;
    }
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    tm.tm_isdst = -1;
    const std::time_t seconds = std::mktime(&tm);
    return std::chrono::system_clock::from_time_t(seconds) + std::chrono::microseconds(micros);
}

}  // namespace zm::bench
