// The demo's simulated bus: the real server with the simulator beside it, on homes of
// its own. The bus has to come and go with the server, come back on the next start, drift
// into an alarm, and never start for a home that the demo did not write.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/DaemonPeers.h"
#include "app/DemoConfig.h"
#include "app/DeviceRegistry.h"
#include "app/ManagerSettings.h"
#include "base/Ini.h"
#include "device/zor/ZorDevice.h"
#include "links/DeviceLink.h"
#include "support/ChildProcess.h"
#include "support/FileBytes.h"
#include "support/Loopback.h"
#include "support/TempDir.h"

namespace zm {
namespace {

using namespace std::chrono_literals;
using test::ChildProcess;
using test::FilesText;
using test::WaitUntil;

constexpr const char* kFiveDevices = "Demo-North;Demo-Fairway;Demo-South;Sim-Harbour;Sim-Outfall;";

// The number that follows `marker` in `text`, 0 when there is none.
int NumberAfter(const std::string& text, const std::string& marker) {
    const size_t at = text.find(marker);
    return at == std::string::npos ? 0 : std::atoi(text.c_str() + at + marker.size());
}

// The process is there and not a zombie.
bool Alive(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) {
        return false;
    }
    const size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z' &&
           line[close + 2] != 'X';
}

// Children of `parent` whose command name is zor-sim.
std::vector<pid_t> SimChildren(pid_t parent) {
    std::vector<pid_t> found;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line)) {
            continue;
        }
        const size_t open = line.find('(');
        const size_t close = line.rfind(')');
        if (open == std::string::npos || close == std::string::npos || close + 4 >= line.size()) {
            continue;
        }
        const std::string comm = line.substr(open + 1, close - open - 1);
        const int ppid = std::atoi(line.c_str() + close + 4);  // ") S PPID ..."
        if (comm == "zor-sim" && ppid == parent) {
            found.push_back(std::stoi(name));
        }
    }
    return found;
}

// One line to a control port on loopback and its answer line.
std::string ControlLine(int port, const std::string& line) {
    const int fd = test::ConnectLoopback(port);
    if (fd < 0) {
        return {};
    }
    timeval timeout{3, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    std::string answer;
    const std::string text = line + "\n";
    if (send(fd, text.data(), text.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(text.size())) {
        char c;
        while (recv(fd, &c, 1, 0) == 1 && c != '\n') {
            answer += c;
        }
    }
    close(fd);
    return answer;
}

class DemoBus : public ::testing::Test {
  protected:
    std::filesystem::path Documents() const { return home.Documents(); }
    std::string RunLog() const { return home.RunLog(); }
    std::string DeviceLog() const { return home.DeviceLog(); }
    std::string BusLog() const { return FilesText(Documents(), "DemoBus.log"); }
    std::string Config() const { return home.ConfigFolder(); }
    std::string BusFile() const { return Config() + kDemoBusFile; }
    std::string SettingsFile() const { return home.SettingsPath(); }
    std::string DeviceList() const { return test::CurlGet(home.BaseUrl() + "/device-list", 3); }

    std::unique_ptr<ChildProcess> Start(const std::string& out, bool demo = true) {
        std::vector<std::string> args = home.Args();
        if (demo) {
            args.push_back("--demo");
        }
        return std::make_unique<ChildProcess>(args, scratch.file(out));
    }
    std::string Out(const std::string& out) const { return test::ReadBytes(scratch.file(out)); }
    // The simulator's process, once the server has reported it.
    pid_t BusPid(const std::string& out) const {
        pid_t pid = 0;
        WaitUntil([&] { return (pid = NumberAfter(Out(out), "zor-sim (process ")) > 0; }, 8s);
        return pid;
    }
    static int Stop(ChildProcess& daemon) {
        kill(daemon.Pid(), SIGTERM);
        return daemon.Wait(8s);
    }

    test::DaemonHome home;
    test::TempDir scratch;
};

TEST_F(DemoBus, RunsWithTheServerAndComesBackOnTheNextStart) {
    auto daemon = Start("first.txt");
    ASSERT_TRUE(WaitUntil([&] { return DeviceList() == kFiveDevices; }, 8s)) << DeviceList();
    const pid_t bus = BusPid("first.txt");
    ASSERT_GT(bus, 0) << Out("first.txt");
    EXPECT_TRUE(Alive(bus));
    EXPECT_EQ(SimChildren(daemon->Pid()), std::vector<pid_t>{bus});
    EXPECT_EQ(getpgid(bus), bus) << "Ctrl-C at the terminal would reach the simulator first";
    // Both bus devices poll it: their data logs appear.
    EXPECT_TRUE(WaitUntil(
        [&] {
            return !FilesText(Documents(), "DataLog_SIM-HARBOUR_Sim-Harbour_").empty() &&
                   !FilesText(Documents(), "DataLog_SIM-OUTFALL_Sim-Outfall_").empty();
        },
        10s))
        << RunLog();

    // The settings file's bus devices use the port that the bus file gives the simulator.
    const int port = ReadDemoBusPort(BusFile());
    ASSERT_GT(port, 0);
    EXPECT_NE(Out("first.txt").find("127.0.0.1:" + std::to_string(port)), std::string::npos);
    {
        CIni ini(SettingsFile());
        const int addresses[] = {1, 2};
        for (int n : {4, 5}) {
            SCOPED_TRACE(n);
            CZorDevice device(scratch.file("Zor-Device.ini"), nullptr, "probe");
            ASSERT_TRUE(device.ImportCfg(CDeviceRegistry::SectionName(n), &ini));
            ZorDeviceCfg cfg;
            device.GetZorSettings(cfg);
            EXPECT_EQ(cfg.sLinkType, kLinkTypeTcpIp);
            EXPECT_EQ(cfg.xSocket.sAddress, "127.0.0.1");
            EXPECT_EQ(cfg.xSocket.nPort, port);
            EXPECT_EQ(cfg.params.Address(), addresses[n - 4]);
        }
        ManagerSettings settings;
        settings.Load(ini);
        EXPECT_EQ(settings.udp_enabled, 0);
    }

    // SIGTERM stops the simulator too, after the devices and before the closing entries,
    // and reaps it.
    EXPECT_EQ(Stop(*daemon), 0);
    errno = 0;
    EXPECT_EQ(kill(bus, 0), -1);
    EXPECT_EQ(errno, ESRCH) << "zor-sim is still there";
    const std::string runLog = RunLog();
    const size_t stopped = runLog.find("Demo bus: zor-sim stopped.");
    ASSERT_NE(stopped, std::string::npos) << runLog;
    EXPECT_LT(stopped, runLog.find("Application ended (ID:"));
    // Its output went to its own log, not to the terminal.
    EXPECT_NE(BusLog().find("ready"), std::string::npos);
    EXPECT_EQ(Out("first.txt").find("\nready\n"), std::string::npos);

    // The second start of the same home brings the bus back on the same port.
    const size_t dataBefore = FilesText(Documents(), "DataLog_SIM-OUTFALL_").size();
    auto again = Start("second.txt");
    const pid_t bus2 = BusPid("second.txt");
    ASSERT_GT(bus2, 0) << Out("second.txt");
    EXPECT_EQ(Out("second.txt").find("Demo configuration written"), std::string::npos);
    EXPECT_EQ(ReadDemoBusPort(BusFile()), port);
    EXPECT_TRUE(WaitUntil(
        [&] { return FilesText(Documents(), "DataLog_SIM-OUTFALL_").size() > dataBefore; }, 10s))
        << "the drifting sensor is not polled again";
    EXPECT_EQ(DeviceList(), kFiveDevices);
    EXPECT_EQ(Stop(*again), 0);
    EXPECT_FALSE(Alive(bus2));
}

TEST_F(DemoBus, DriftingSensorRaisesAndClearsAnAlarm) {
    auto daemon = Start("out.txt");
    ASSERT_GT(BusPid("out.txt"), 0) << Out("out.txt");
    const int control = NumberAfter(Out("out.txt"), "control port 127.0.0.1:");
    ASSERT_GT(control, 0) << Out("out.txt");
    ASSERT_TRUE(WaitUntil(
        [&] { return !FilesText(Documents(), "DataLog_SIM-OUTFALL_Sim-Outfall_").empty(); }, 10s));
    // Its next hump, at once and short: in the corridor from about 2 s to 6 s from now,
    // longer than the devices' poll pause of 2 s.
    ASSERT_EQ(ControlLine(control, "set 2 source=drift:150:900:60:8"), "OK");

    ASSERT_TRUE(
        WaitUntil([&] { return DeviceLog().find("Sim-Outfall: Alarm") != std::string::npos; }, 10s))
        << DeviceLog();
    EXPECT_TRUE(WaitUntil(
        [&] { return !FilesText(Documents(), "AlarmReport_SIM-OUTFALL_Sim-Outfall_").empty(); },
        5s));
    EXPECT_TRUE(WaitUntil(
        [&] {
            const std::string log = DeviceLog();
            return log.rfind("Sim-Outfall: Online and Ok") > log.find("Sim-Outfall: Alarm");
        },
        8s))
        << "the alarm did not end: " << DeviceLog();
    EXPECT_EQ(DeviceLog().find("Sim-Harbour: Alarm"), std::string::npos);
    EXPECT_EQ(Stop(*daemon), 0);
}

TEST_F(DemoBus, TakenPortIsReportedAndTheServerRunsOn) {
    ASSERT_TRUE(std::filesystem::create_directories(Config()));
    std::string error;
    ASSERT_TRUE(
        WriteDemoSettings(SettingsFile(), Config() + "Zor-Device.ini", BusFile(), true, &error))
        << error;
    const int port = ReadDemoBusPort(BusFile());
    ASSERT_GT(port, 0);
    // Another program listens on the bus port.
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(port));
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
    ASSERT_EQ(listen(fd, 4), 0);

    auto daemon = Start("out.txt");
    const std::string taken = "Port " + std::to_string(port) + " of the demo bus is taken";
    EXPECT_TRUE(WaitUntil([&] { return Out("out.txt").find(taken) != std::string::npos; }, 8s))
        << Out("out.txt");
    EXPECT_NE(Out("out.txt").find("Demo bus not started: "), std::string::npos);
    EXPECT_TRUE(WaitUntil([&] { return DeviceList() == kFiveDevices; }, 8s)) << DeviceList();
    EXPECT_NE(RunLog().find("Demo bus not started: "), std::string::npos) << RunLog();
    EXPECT_TRUE(SimChildren(daemon->Pid()).empty());
    // The simulator's own words are kept in its log.
    EXPECT_NE(BusLog().find("not started: zor-sim: TCP server: 127.0.0.1:" + std::to_string(port) +
                            ": Address already in use"),
              std::string::npos)
        << BusLog();
    EXPECT_EQ(Stop(*daemon), 0);
    EXPECT_EQ(RunLog().find("Demo bus: zor-sim stopped."), std::string::npos);
    close(fd);
}

TEST_F(DemoBus, SimulatorThatDiesIsLoggedAndTheServerRunsOn) {
    auto daemon = Start("out.txt");
    const pid_t bus = BusPid("out.txt");
    ASSERT_GT(bus, 0) << Out("out.txt");
    ASSERT_EQ(kill(bus, SIGKILL), 0);
    const std::string ended = "Demo bus: zor-sim ended unexpectedly (signal 9";
    EXPECT_TRUE(WaitUntil([&] { return RunLog().find(ended) != std::string::npos; }, 5s))
        << RunLog();
    EXPECT_NE(Out("out.txt").find(ended), std::string::npos) << Out("out.txt");
    EXPECT_FALSE(Alive(bus)) << "not reaped";
    EXPECT_EQ(DeviceList(), kFiveDevices);
    EXPECT_EQ(Stop(*daemon), 0);
}

TEST_F(DemoBus, KilledServerTakesTheSimulatorWithIt) {
    auto daemon = Start("out.txt");
    const pid_t bus = BusPid("out.txt");
    ASSERT_GT(bus, 0) << Out("out.txt");
    ASSERT_EQ(kill(daemon->Pid(), SIGKILL), 0);
    EXPECT_EQ(daemon->Wait(5s), 128 + SIGKILL);
    EXPECT_TRUE(WaitUntil([&] { return !Alive(bus); }, 5s)) << "zor-sim outlived the server";
    if (Alive(bus)) {
        kill(bus, SIGKILL);
    }
}

// Homes the demo did not write with a bus, or a start without --demo: no simulator.
TEST_F(DemoBus, OnlyADemoHomeStartedWithDemoRunsTheBus) {
    struct Case {
        const char* name;
        bool ownSettings;  // else the demo's settings and bus file
        bool demo;
        const char* printed;  // on standard output
    };
    const Case cases[] = {
        {"own settings with --demo", true, true, "a settings file without the demo's bus"},
        {"demo home without --demo", false, false, "start with --demo to run it"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(home.home.path() / "AppData");
        std::filesystem::remove_all(Documents());
        ASSERT_TRUE(std::filesystem::create_directories(Config()));
        if (c.ownSettings) {
            CIni ini(SettingsFile());
            ManagerSettings settings;
            settings.Save(ini);
        } else {
            std::string error;
            ASSERT_TRUE(WriteDemoSettings(SettingsFile(), Config() + "Zor-Device.ini", BusFile(),
                                          true, &error))
                << error;
        }
        auto daemon = Start("out.txt", c.demo);
        // Start-up is over (and a bus would run) once the web server answers.
        ASSERT_TRUE(
            WaitUntil([&] { return !test::CurlGet(home.BaseUrl() + "/preview", 3).empty(); }, 8s));
        EXPECT_TRUE(SimChildren(daemon->Pid()).empty());
        EXPECT_EQ(Stop(*daemon), 0);
        const std::string out = Out("out.txt");
        EXPECT_EQ(out.find("Demo bus"), std::string::npos) << out;
        if (c.printed != nullptr) {
            EXPECT_NE(out.find(c.printed), std::string::npos) << out;
        }
        EXPECT_EQ(RunLog().find("Demo bus"), std::string::npos);
        EXPECT_TRUE(BusLog().empty());
        EXPECT_EQ(std::filesystem::exists(BusFile()), !c.ownSettings);
    }
}

}  // namespace
}  // namespace zm
