#pragma once

// A home folder for the real server with a settings file of ZOR devices, and the
// server started on it: for the tests that watch a running server from outside.
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/ManagerSettings.h"
#include "base/Ini.h"
#include "base/Printf.h"
#include "device/zor/ZorDevice.h"
#include "links/DeviceLink.h"
#include "support/ChildProcess.h"
#include "support/FileBytes.h"
#include "support/Loopback.h"
#include "support/TempDir.h"

namespace zm::test {

inline const std::string kDaemonPath =
    std::string(ZM_TEST_BINARY_DIR) + "/apps/zormanagerd/zormanagerd";

struct HomeDevice {
    std::string name;
    double latitude = 0.0;
    double longitude = 0.0;
    std::string linkType = kLinkTypeEmul;
    int tcpPort = 0;  // TCP/IP only: the simulator on 127.0.0.1
    int address = 5;
    // The alarm corridor; lower above upper leaves it empty, so that an emulated sensor
    // never raises an alarm.
    float lowerThreshold = 500.0f;
    float upperThreshold = 10000.0f;
};

inline bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (done()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return done();
}

class DaemonHome {
  public:
    std::string ConfigFolder() const { return home.folder() + "AppData/Config/"; }
    std::string SettingsPath() const { return ConfigFolder() + "ZorManager__All_Ver-Lang.ini"; }

    // The operator's settings: defaults (no mails, no UDP), the web server on.
    void WriteSettings(const std::vector<HomeDevice>& devices) {
        std::filesystem::create_directories(ConfigFolder());
        CIni ini(SettingsPath());
        CIniBatch batch(SettingsPath());
        ManagerSettings settings;
        settings.Save(ini);
        for (size_t i = 0; i < devices.size(); ++i) {
            WriteDevice(ini, static_cast<int>(i) + 1, devices[i]);
        }
    }

    // One device section "Zor-%02d" as the server itself writes it.
    void WriteDevice(CIni& ini, int number, const HomeDevice& d) const {
        CZorDevice device(ConfigFolder() + "Zor-Device.ini", nullptr, d.name);
        ZorDeviceCfg cfg;
        device.GetZorSettings(cfg);
        cfg.sName = d.name;
        cfg.bScanning = true;
        cfg.sLinkType = d.linkType;
        cfg.xSocket.sAddress = "127.0.0.1";
        cfg.xSocket.nPort = d.tcpPort;
        cfg.xSocket.nTimeOut = 500;
        cfg.nPause = 0;
        cfg.params.SetAddress(static_cast<uint8_t>(d.address));
        cfg.params.SetField("MinSigThr", d.lowerThreshold);
        cfg.params.SetField("MaxSigThr", d.upperThreshold);
        cfg.dLatitude = d.latitude;
        cfg.dLongitude = d.longitude;
        device.SetZorSettings(cfg, false);
        device.ExportCfg(StrPrintf("Zor-%02d", number), &ini);
    }

    // Every run-log file of the home, joined.
    std::string RunLog() const {
        std::string text;
        std::error_code ec;
        for (auto it = std::filesystem::recursive_directory_iterator(home.path() / "Documents", ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
            if (it->is_regular_file() && it->path().filename().string().rfind("RunLog_", 0) == 0) {
                text += ReadBytes(it->path().string());
            }
        }
        return text;
    }

    // The server on this home, its web server on 127.0.0.1:httpPort.
    std::vector<std::string> DaemonArgs() const {
        return {kDaemonPath,
                "--home",
                home.folder(),
                "--http-port",
                std::to_string(httpPort),
                "--http-bind",
                "127.0.0.1",
                "--no-internet-check",
                "--no-share"};
    }
    std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(httpPort); }

    TempDir home;
    int httpPort = FreeTcpPort();
};

}  // namespace zm::test
