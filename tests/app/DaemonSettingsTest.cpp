// The settings file across runs of the real server: a first run completes it with every
// key, keeps the operator's foreign sections and drops device sections past a gap; a run
// without changes leaves the file as it found it, so an operator's edit survives.
#include <signal.h>

#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/DaemonPeers.h"
#include "support/ChildProcess.h"
#include "support/Loopback.h"

namespace zm {
namespace {

using namespace std::chrono_literals;

// One run of the server until the web server lists the devices, then SIGTERM.
std::string RunOnce(const test::DaemonHome& home) {
    const int httpPort = test::FreeTcpPort();
    test::ChildProcess daemon(home.Args(httpPort), home.home.file("daemon.out"));
    const std::string url = "http://127.0.0.1:" + std::to_string(httpPort) + "/device-list";
    std::string list;
    test::WaitUntil(
        [&] {
            list = test::CurlGet(url, 2);
            return !list.empty();
        },
        8s);
    kill(daemon.Pid(), SIGTERM);
    EXPECT_EQ(daemon.Wait(8s), 0);
    return list;
}

TEST(DaemonSettings, FirstRunCompletesTheFileAndLaterRunsKeepTheOperatorsEdits) {
    test::DaemonHome home;
    const int nobody = test::FreeTcpPort();  // the devices need not reach a sensor here
    test::HomeDevice device;
    device.tcpPort = nobody;
    for (const char* name : {"Zor-01", "Zor-02", "Zor-04"}) {
        device.name = std::string("Buoy") + (name + 4);
        home.WriteDevice(name, device);
    }
    {
        CIni ini(home.SettingsPath());
        ini.WriteString("Zor-Test", "sNote", "kept");
        ini.WriteString("Zor-X1", "sNote", "kept");
        ini.WriteString("Zor-7", "sNote", "dropped");
    }

    // No settings section yet: the run loads the devices up to the gap and writes the
    // whole file at its end.
    EXPECT_EQ(RunOnce(home), "Buoy01;Buoy02;");
    CIni ini(home.SettingsPath());
    std::vector<std::string> keys;
    ini.GetKeyNames(ManagerSettings::kSection, keys);
    EXPECT_EQ(keys, ManagerSettings::KeyNames());
    EXPECT_EQ(ini.GetString(ManagerSettings::kSection, "bHttpServ"), "1");
    EXPECT_EQ(ini.GetString(ManagerSettings::kSection, "bNoConnectionSms"), "0");
    EXPECT_EQ(ini.GetString(ManagerSettings::kSection, "udp_port"), "8181");
    EXPECT_EQ(ini.GetString(ManagerSettings::kSection, "Current Lang"), "English");
    EXPECT_EQ(ini.GetString("Zor-01", "sName"), "Buoy01");
    EXPECT_EQ(ini.GetString("Zor-02", "sName"), "Buoy02");
    EXPECT_FALSE(ini.IsSectionExist("Zor-04"));
    EXPECT_FALSE(ini.IsSectionExist("Zor-7"));
    EXPECT_EQ(ini.GetString("Zor-Test", "sNote"), "kept");
    EXPECT_EQ(ini.GetString("Zor-X1", "sNote"), "kept");

    // The operator switches an action on in the file; two more runs change nothing.
    ini.WriteString(ManagerSettings::kSection, "bNoConnectionSms", "1");
    const std::string edited = test::ReadBytes(home.SettingsPath());
    EXPECT_EQ(RunOnce(home), "Buoy01;Buoy02;");
    EXPECT_EQ(RunOnce(home), "Buoy01;Buoy02;");
    EXPECT_EQ(test::ReadBytes(home.SettingsPath()), edited);
    EXPECT_EQ(CIni(home.SettingsPath()).GetString(ManagerSettings::kSection, "bNoConnectionSms"),
              "1");
}

}  // namespace
}  // namespace zm
