// The demonstration configuration, written by the real server binary into an empty home
// and then served by it.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "app/DaemonPeers.h"
#include "app/DemoConfig.h"
#include "app/DeviceRegistry.h"
#include "app/ManagerSettings.h"
#include "base/Ini.h"
#include "device/zor/ZorDevice.h"
#include "links/DeviceLink.h"
#include "support/Loopback.h"
#include "support/TempDir.h"

extern char** environ;

namespace zm {
namespace {

using namespace std::chrono_literals;

std::string Curl(const std::string& url) {
    return zm::test::CurlGet(url, 3);
}

// zormanagerd on loopback; ended with SIGTERM (SIGKILL when that is not enough) and reaped.
class Daemon {
  public:
    Daemon(const test::DaemonHome& home, const std::string& out, bool demo,
           const std::string& server = test::kServer) {
        std::vector<std::string> args = home.Args();
        args[0] = server;
        if (demo) {
            args.push_back("--demo");
        }
        std::vector<char*> argv;
        for (auto& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Daemon() { Stop(); }
    Daemon(const Daemon&) = delete;
    Daemon& operator=(const Daemon&) = delete;
    // The exit status after SIGTERM; -1 when it had to be killed.
    int Stop() {
        if (pid_ <= 0) {
            return -1;
        }
        kill(pid_, SIGTERM);
        int status = 0;
        const auto end = std::chrono::steady_clock::now() + 8s;
        while (std::chrono::steady_clock::now() < end) {
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(20ms);
        }
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return -1;
    }

  private:
    pid_t pid_ = -1;
};

using test::WaitUntil;

class DemoConfig : public ::testing::Test {
  protected:
    std::string Settings() const { return home.SettingsPath(); }
    test::DaemonHome home;
    test::TempDir scratch;
};

TEST_F(DemoConfig, EmptyHomeGetsThreeEmulatedSensorsOnTheSea) {
    // A server without the simulator beside it: the demo without its bus.
    const std::string lone = scratch.file("zormanagerd");
    std::filesystem::copy_file(test::kServer, lone);
    std::filesystem::permissions(lone, std::filesystem::perms::owner_all);
    const std::string base = home.BaseUrl();
    {
        Daemon daemon(home, scratch.file("out.txt"), true, lone);
        EXPECT_TRUE(WaitUntil(
            [&] { return Curl(base + "/device-list") == "Demo-North;Demo-Fairway;Demo-South;"; },
            8s))
            << Curl(base + "/device-list");
        // Each sensor its own colour and its own signal, so that the trend's series and
        // the map's marks can be told apart.
        std::set<std::string> colours;
        std::set<double> values;
        EXPECT_TRUE(WaitUntil(
            [&] {
                const nlohmann::json devices =
                    nlohmann::json::parse(Curl(base + "/api/devices"), nullptr, false);
                if (!devices.is_object() || !devices["devices"].is_array()) {
                    return false;
                }
                colours.clear();
                values.clear();
                for (const nlohmann::json& device : devices["devices"]) {
                    colours.insert(device.value("colour", std::string()));
                    if (device["value"].is_number() && device["value"].get<double>() != 0) {
                        values.insert(device["value"].get<double>());
                    }
                }
                return devices["devices"].size() == 3 && values.size() == 3;
            },
            10s))
            << Curl(base + "/api/devices");
        EXPECT_EQ(colours.size(), 3u) << Curl(base + "/api/devices");
        EXPECT_EQ(colours.count("#000000"), 0u) << Curl(base + "/api/devices");
        EXPECT_EQ(daemon.Stop(), 0);
    }
    CIni ini(Settings());
    ManagerSettings settings;
    settings.Load(ini);
    EXPECT_EQ(settings.udp_enabled, 0);
    EXPECT_TRUE(settings.bAlarmPopup) << "the desktop program shows the demo's alarm";
    std::set<std::pair<double, double>> positions;
    std::set<std::string> numbers;
    for (int n = 1; n <= 3; ++n) {
        SCOPED_TRACE(n);
        const std::string section = CDeviceRegistry::SectionName(n);
        ASSERT_TRUE(ini.IsSectionExist(section));
        CZorDevice device(scratch.file("Zor-Device.ini"), nullptr, "probe");
        ASSERT_TRUE(device.ImportCfg(section, &ini));
        ZorDeviceCfg cfg;
        device.GetZorSettings(cfg);
        EXPECT_EQ(cfg.sLinkType, kLinkTypeEmul);
        EXPECT_TRUE(cfg.bScanning);
        EXPECT_NE(cfg.dLatitude, 0.0);
        EXPECT_NE(cfg.dLongitude, 0.0);
        EXPECT_EQ(cfg.crColor, CDeviceRegistry::DeviceColor(n - 1));
        numbers.insert(cfg.params.DeviceNum());
        positions.insert({cfg.dLatitude, cfg.dLongitude});
    }
    EXPECT_EQ(positions.size(), 3u);
    EXPECT_EQ(numbers.size(), 3u);
    EXPECT_FALSE(ini.IsSectionExist(CDeviceRegistry::SectionName(4)));
    EXPECT_FALSE(std::filesystem::exists(home.ConfigFolder() + kDemoBusFile));
}

TEST_F(DemoConfig, ExistingSettingsAreKept) {
    // The operator's own configuration, without devices: --demo must not add any.
    std::filesystem::create_directories(home.ConfigFolder());
    {
        CIni ini(Settings());
        ManagerSettings settings;
        settings.udp_enabled = 1;
        settings.udp_port = 9191;
        settings.Save(ini);
    }
    Daemon daemon(home, scratch.file("out.txt"), true);
    const std::string base = home.BaseUrl();
    // The web server answers once start-up is over; the list stays empty.
    ASSERT_TRUE(WaitUntil([&] { return !Curl(base + "/preview").empty(); }, 8s));
    EXPECT_EQ(Curl(base + "/device-list"), "");
    EXPECT_EQ(daemon.Stop(), 0);
    CIni ini(Settings());
    ManagerSettings settings;
    settings.Load(ini);
    EXPECT_EQ(settings.udp_enabled, 1);
    EXPECT_EQ(settings.udp_port, 9191);
    EXPECT_FALSE(ini.IsSectionExist(CDeviceRegistry::SectionName(1)));
}

}  // namespace
}  // namespace zm
