#pragma once
// Helpers of the tests that run the real server: its home with a settings file, the logs
// it writes, and a UDP socket that keeps the datagrams it is sent.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/ManagerSettings.h"
#include "app/StatusLevel.h"
#include "base/Ini.h"
#include "base/Printf.h"
#include "device/zor/ZorDevice.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"

namespace zm::test {

inline const std::string kServer =
    std::string(ZM_TEST_BINARY_DIR) + "/apps/zormanagerd/zormanagerd";

// A UDP socket on 127.0.0.1 that keeps every datagram it was sent.
class UdpSink {
  public:
    UdpSink() {
        fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
        socklen_t len = sizeof sa;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&sa), &len);
        port_ = ntohs(sa.sin_port);
    }
    ~UdpSink() { close(fd_); }
    UdpSink(const UdpSink&) = delete;
    UdpSink& operator=(const UdpSink&) = delete;
    int port() const { return port_; }
    // Reads what has arrived so far (waiting at most waitMs for the first datagram).
    void Drain(int waitMs) {
        pollfd p{fd_, POLLIN, 0};
        while (poll(&p, 1, waitMs) > 0) {
            char buffer[65536];
            ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
            if (n < 0) {
                break;
            }
            datagrams.emplace_back(buffer, static_cast<size_t>(n));
            waitMs = 0;
        }
    }
    bool Has(const std::function<bool(const std::string&)>& match) const {
        for (const auto& d : datagrams) {
            if (match(d)) {
                return true;
            }
        }
        return false;
    }
    // Waits (bounded) for a datagram that matches.
    bool WaitFor(const std::function<bool(const std::string&)>& match,
                 std::chrono::milliseconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        do {
            Drain(100);
            if (Has(match)) {
                return true;
            }
        } while (std::chrono::steady_clock::now() < end);
        return false;
    }
    std::vector<std::string> datagrams;

  private:
    int fd_ = -1;
    int port_ = 0;
};

inline bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (done()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return done();
}

// Every file below `root` whose name begins with `prefix`, read whole and joined.
inline std::string FilesText(const std::filesystem::path& root, const std::string& prefix,
                             int* count = nullptr) {
    std::string text;
    int n = 0;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file() && it->path().filename().string().rfind(prefix, 0) == 0) {
            text += ReadBytes(it->path().string());
            ++n;
        }
    }
    if (count != nullptr) {
        *count = n;
    }
    return text;
}

// The log line that holds `text`, from its colour tag on; empty when there is none.
inline std::string LogLineWith(const std::string& log, const std::string& text, size_t from = 0) {
    const size_t at = log.find(text, from);
    if (at == std::string::npos) {
        return {};
    }
    size_t start = log.rfind("<font color=#", at);
    start = start == std::string::npos ? 0 : start;
    return log.substr(start, at + text.size() - start);
}

// The colour tag a log entry of this device status begins with.
inline std::string ColourTagOf(int status) {
    const StatusLevel level = GetStatusLevel(status);
    return StrPrintf("<font color=#%02X%02X%02X>", level.r, level.g, level.b);
}

// A home folder for the server (--home), with its settings file and logs.
class DaemonHome {
  public:
    std::string ConfigFolder() const { return home.folder() + "AppData/Config/"; }
    std::string SettingsPath() const { return ConfigFolder() + "ZorManager__All_Ver-Lang.ini"; }
    std::filesystem::path Documents() const { return home.path() / "Documents"; }
    std::string DeviceLog() const { return FilesText(Documents(), "DevLog_"); }
    std::string RunLog() const { return FilesText(Documents(), "RunLog_"); }

    // Writes the operator's settings (and creates the configuration folder).
    void WriteSettings(const ManagerSettings& settings) const {
        std::filesystem::create_directories(ConfigFolder());
        CIni ini(SettingsPath());
        settings.Save(ini);
    }

    // A ZOR device on a TCP endpoint of 127.0.0.1, polled without pause.
    struct Device {
        std::string sName;
        int nPort = 0;
        int nAddress = 5;
        int nTimeOutMs = 500;
        double dLatitude = 59.9375;
        double dLongitude = 30.3086;
    };
    void WriteDevice(const std::string& section, const Device& d) const {
        std::filesystem::create_directories(ConfigFolder());
        CIni ini(SettingsPath());
        CZorDevice device(ConfigFolder() + "Zor-Device.ini", nullptr, d.sName);
        ZorDeviceCfg cfg;
        device.GetZorSettings(cfg);
        cfg.sName = d.sName;
        cfg.bScanning = true;
        cfg.sLinkType = kLinkTypeTcpIp;
        cfg.xSocket.sAddress = "127.0.0.1";
        cfg.xSocket.nPort = d.nPort;
        cfg.xSocket.nTimeOut = d.nTimeOutMs;
        cfg.nPause = 0;
        cfg.params.SetAddress(static_cast<std::uint8_t>(d.nAddress));
        cfg.dLatitude = d.dLatitude;
        cfg.dLongitude = d.dLongitude;
        device.SetZorSettings(cfg, false);
        device.ExportCfg(section, &ini);
    }

    // The server's command line on this home: web server on its own loopback port, no
    // Internet check, no network share.
    std::vector<std::string> Args(int httpPort) const {
        return {kServer,
                "--home",
                home.folder(),
                "--http-port",
                std::to_string(httpPort),
                "--http-bind",
                "127.0.0.1",
                "--no-internet-check",
                "--no-share"};
    }

    TempDir home;
};

// Mail settings for the SMTP server of the test (plain, no TLS) and UDP to the sink.
inline ManagerSettings MailAndUdpSettings(int smtpPort, int udpPort) {
    ManagerSettings s;
    s.bAlarmMails = true;
    s.smtp_server = "127.0.0.1";
    s.smtp_port = smtpPort;
    s.smtp_sec = 0;
    s.smtp_tls_verify = 0;
    s.udp_enabled = 1;
    s.udp_ip_address = "127.0.0.1";
    s.udp_port = udpPort;
    return s;
}

}  // namespace zm::test
