#pragma once
// Helpers of the tests that run the real server: its home with a settings file of ZOR
// devices, the logs it writes, and bounded waits on what it does.
#include <chrono>
#include <cstdint>
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
#include "links/DeviceLink.h"
#include "support/ChildProcess.h"
#include "support/FileBytes.h"
#include "support/Loopback.h"
#include "support/TempDir.h"
#include "support/UdpSink.h"

namespace zm::test {

inline const std::string kServer =
    std::string(ZM_TEST_BINARY_DIR) + "/apps/zormanagerd/zormanagerd";

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

// A ZOR device of the settings file.
struct HomeDevice {
    std::string name;
    double latitude = 59.9375;
    double longitude = 30.3086;
    std::string linkType = kLinkTypeTcpIp;
    int tcpPort = 0;  // TCP/IP only: the simulator on 127.0.0.1
    int address = 5;
    int timeoutMs = 500;
    int pause = 0;  // seconds between poll cycles
    // The alarm corridor; lower above upper leaves it empty, so that an emulated sensor
    // never raises an alarm.
    float lowerThreshold = 500.0f;
    float upperThreshold = 10000.0f;
};

// The server's command line on a home: web server on its own loopback port, no Internet
// check, no network share.
inline std::vector<std::string> ServerArgs(const std::string& homeFolder, int httpPort) {
    return {kServer,
            "--home",
            homeFolder,
            "--http-port",
            std::to_string(httpPort),
            "--http-bind",
            "127.0.0.1",
            "--no-internet-check",
            "--no-share"};
}

// A home folder for the server (--home), with its settings file and logs.
class DaemonHome {
  public:
    std::string ConfigFolder() const { return home.folder() + "AppData/Config/"; }
    std::string SettingsPath() const { return ConfigFolder() + "ZorManager__All_Ver-Lang.ini"; }
    std::filesystem::path Documents() const { return home.path() / "Documents"; }
    std::string DeviceLog() const { return FilesText(Documents(), "DevLog_"); }
    std::string RunLog() const { return FilesText(Documents(), "RunLog_"); }

    // The operator's settings and the devices as sections "Zor-01", "Zor-02" ...
    void WriteSettings(const ManagerSettings& settings,
                       const std::vector<HomeDevice>& devices = {}) const {
        std::filesystem::create_directories(ConfigFolder());
        CIni ini(SettingsPath());
        CIniBatch batch(SettingsPath());
        settings.Save(ini);
        for (size_t i = 0; i < devices.size(); ++i) {
            WriteDevice(ini, StrPrintf("Zor-%02d", static_cast<int>(i) + 1), devices[i]);
        }
    }

    // One device section as the server itself writes it.
    void WriteDevice(const std::string& section, const HomeDevice& d) const {
        std::filesystem::create_directories(ConfigFolder());
        CIni ini(SettingsPath());
        WriteDevice(ini, section, d);
    }
    void WriteDevice(CIni& ini, const std::string& section, const HomeDevice& d) const {
        CZorDevice device(ConfigFolder() + "Zor-Device.ini", nullptr, d.name);
        ZorDeviceCfg cfg;
        device.GetZorSettings(cfg);
        cfg.sName = d.name;
        cfg.bScanning = true;
        cfg.sLinkType = d.linkType;
        cfg.xSocket.sAddress = "127.0.0.1";
        cfg.xSocket.nPort = d.tcpPort;
        cfg.xSocket.nTimeOut = d.timeoutMs;
        cfg.nPause = d.pause;
        cfg.params.SetAddress(static_cast<std::uint8_t>(d.address));
        cfg.params.SetField("MinSigThr", d.lowerThreshold);
        cfg.params.SetField("MaxSigThr", d.upperThreshold);
        cfg.dLatitude = d.latitude;
        cfg.dLongitude = d.longitude;
        device.SetZorSettings(cfg, false);
        device.ExportCfg(section, &ini);
    }

    std::vector<std::string> Args(int port) const { return ServerArgs(home.folder(), port); }
    std::vector<std::string> Args() const { return Args(httpPort); }
    std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(httpPort); }

    TempDir home;
    int httpPort = FreeTcpPort();
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

// The same with SMS on, through the gateway's mail address with a test account.
inline ManagerSettings MailSmsAndUdpSettings(int smtpPort, int udpPort) {
    ManagerSettings s = MailAndUdpSettings(smtpPort, udpPort);
    s.bAlarmSms = true;
    s.clickatell_user_name = "harbour";
    s.clickatell_pass = "s3cret";
    s.clickatell_client_id = "client-7";
    s.clickatell_api_id = "3456789";
    return s;
}

}  // namespace zm::test
