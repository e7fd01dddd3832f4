// The running server with two sensors of the same name in its settings file, both in
// alarm: the second is loaded as "Pier-2", and when the operator removes it from the
// settings file (SIGHUP), the other does not report its alarm again.
#include <signal.h>

#include <chrono>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "app/DaemonPeers.h"
#include "zor/ZorTestPeers.h"

namespace zm {
namespace {

using namespace std::chrono_literals;

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

TEST(DaemonAlarmMemory, RemovingOneOfTwoSameNamedDevicesLeavesTheOthersAlarmReported) {
    test::SimProcess sim({"--tcp-port", "0", "--sensor",
                          "addr=5,devnum=ZOR-0501,value=800,alarm=1,param.MinSigThr=500,"
                          "param.MaxSigThr=10000",
                          "--sensor",
                          "addr=6,devnum=ZOR-0601,value=800,alarm=1,param.MinSigThr=500,"
                          "param.MaxSigThr=10000"});
    ASSERT_TRUE(sim.Ready());
    test::DaemonHome home;
    ManagerSettings settings;
    settings.bAlarmPopup = true;
    const test::HomeDevice first{.name = "Pier", .tcpPort = sim.tcpPort, .address = 5};
    const test::HomeDevice second{.name = "Pier", .tcpPort = sim.tcpPort, .address = 6};
    home.WriteSettings(settings, {first, second});
    {
        // A state event every second, so that a forgotten alarm would show at once.
        CIni ini(home.SettingsPath());
        ini.WriteString("Zor-01", "sUpdFreq", "1");
        ini.WriteString("Zor-02", "sUpdFreq", "1");
    }
    // Both devices' alarm entries and popups, whatever the second is called.
    const auto alarms = [&] {
        const std::string log = home.DeviceLog();
        return Count(log, "Pier: Alarm reported") + Count(log, "Pier-2: Alarm reported");
    };
    const auto popupsOf = [&] {
        const std::string log = home.RunLog();
        return Count(log, ": ALARM Pier,") + Count(log, ": ALARM Pier-2,");
    };
    test::ChildProcess daemon(home.Args(), home.home.file("daemon.out"));
    ASSERT_GT(daemon.Pid(), 0);
    ASSERT_TRUE(test::WaitUntil([&] { return alarms() == 2; }, 15s)) << home.DeviceLog();
    std::this_thread::sleep_for(2s);  // state events keep coming; nothing new to report
    ASSERT_EQ(alarms(), 2u) << home.DeviceLog();
    EXPECT_EQ(Count(home.DeviceLog(), "Pier-2: Alarm reported"), 1u) << home.DeviceLog();
    const size_t popups = popupsOf();
    ASSERT_EQ(popups, 2u) << home.RunLog();

    {
        CIni ini(home.SettingsPath());
        CIniBatch batch(home.SettingsPath());
        ini.DeleteSection("Zor-02");
    }
    ASSERT_EQ(kill(daemon.Pid(), SIGHUP), 0);
    ASSERT_TRUE(test::WaitUntil(
        [&] {
            return home.RunLog().find("1 unchanged, 0 changed, 0 added, 1 removed") !=
                   std::string::npos;
        },
        10s))
        << home.RunLog();
    std::this_thread::sleep_for(3s);  // three more state events of the one that stays
    EXPECT_EQ(alarms(), 2u) << home.DeviceLog();
    EXPECT_EQ(popupsOf(), popups) << home.RunLog();
    ASSERT_EQ(kill(daemon.Pid(), SIGTERM), 0);
    EXPECT_EQ(daemon.Wait(10s), 0);
}

}  // namespace
}  // namespace zm
