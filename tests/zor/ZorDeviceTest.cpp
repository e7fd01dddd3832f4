// The ZOR device against the simulator over loopback TCP and a pseudo-terminal.

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ZorTestPeers.h"
#include "base/Ini.h"
#include "base/Log.h"
#include "base/MessageSink.h"
#include "device/zor/ZorDevice.h"
#include "device/zor/ZorFrame.h"
#include "support/TempDir.h"

namespace zm {
namespace {

using test::ReadLines;
using test::SimProcess;

// Requests the simulator logged (one per exchange).
int CountRequests(const std::string& log) {
    int n = 0;
    for (const std::string& line : ReadLines(log)) {
        n += line.find(" REQ ") != std::string::npos ? 1 : 0;
    }
    return n;
}

class ZorDeviceTest : public ::testing::Test {
  protected:
    std::string LogPath() const { return (dir.path() / "sim.log").string(); }

    std::unique_ptr<SimProcess> StartSim(std::vector<std::string> args, bool pty = false) {
        args.insert(args.begin(), {"--log", LogPath()});
        if (pty) {
            args.insert(args.begin(), {"--pty", "--no-tcp"});
        } else {
            args.insert(args.begin(), {"--tcp-port", "0"});
        }
        auto sim = std::make_unique<SimProcess>(args);
        EXPECT_TRUE(sim->Ready());
        return sim;
    }

    // A device on the simulator's TCP port (or pty), selected and with no threads running,
    // so that the test drives the poll cycles itself.
    template <typename Edit>
    std::shared_ptr<CZorDevice> MakeDevice(const SimProcess& sim, uint8_t address, Edit edit,
                                           const std::string& name = "Pier-1") {
        auto dev =
            std::make_shared<CZorDevice>((dir.path() / "Zor-Device.ini").string(), nullptr, name);
        dev->SetChannelLockPrefix("zdt-" + std::to_string(getpid()) + "-");
        if (!keepPause) {
            dev->SetPauseBeforeExchangeMs(0);
        }
        ZorDeviceCfg cfg;
        dev->GetZorSettings(cfg);
        cfg.sName = name;
        if (!sim.ptyPath.empty()) {
            cfg.sLinkType = kLinkTypeCom;
            cfg.comPort.sPortName = sim.ptyPath;
        } else {
            cfg.sLinkType = kLinkTypeTcpIp;
            cfg.xSocket.sAddress = "127.0.0.1";
            cfg.xSocket.nPort = sim.tcpPort;
            cfg.xSocket.nTimeOut = 500;
        }
        cfg.nPause = 0;
        cfg.params.SetAddress(address);
        edit(cfg);
        dev->SetZorSettings(cfg, true);
        dev->StopThreads();
        return dev;
    }
    std::shared_ptr<CZorDevice> MakeDevice(const SimProcess& sim, uint8_t address) {
        return MakeDevice(sim, address, [](ZorDeviceCfg&) {});
    }

    test::TempDir dir;
    bool keepPause = false;  // the 100 ms before each exchange, which most tests skip
};

// The microseconds of the day of a simulator log line ("YYYY-MM-DD HH:MM:SS.uuuuuu ...").
long long LogLineMicros(const std::string& line) {
    int h = 0, m = 0, sec = 0;
    long us = 0;
    if (std::sscanf(line.c_str(), "%*d-%*d-%*d %d:%d:%d.%ld", &h, &m, &sec, &us) != 4) {
        return -1;
    }
    return ((h * 60LL + m) * 60 + sec) * 1000000 + us;
}

// The bus is left alone for 100 ms before each exchange of a poll cycle, as the sensors
// need between two requests.
TEST_F(ZorDeviceTest, EveryExchangeWaitsItsPauseFirst) {
    auto sim = StartSim({"--sensor", "addr=7,value=100,type=5.2.0.1,devnum=ZOR-4711"});
    keepPause = true;
    auto dev = MakeDevice(*sim, 7);
    const auto start = std::chrono::steady_clock::now();
    dev->Poll();
    const auto took = std::chrono::steady_clock::now() - start;
    long long lastReply = -1;
    int exchanges = 0;
    for (const std::string& line : ReadLines(LogPath())) {
        const long long at = LogLineMicros(line);
        if (line.find(" REQ ") != std::string::npos) {
            ++exchanges;
            if (lastReply >= 0) {
                EXPECT_GE(at - lastReply, 100000) << line;
            }
        } else if (line.find(" REP ") != std::string::npos) {
            lastReply = at;
        }
    }
    ASSERT_GE(exchanges, 3) << dev->GetTrackText();
    EXPECT_GE(took, std::chrono::milliseconds(100) * exchanges);
}

// A new data status starts afresh: no value, and no batch of the status before that a
// data log or an alarm check could still take for current data.
TEST_F(ZorDeviceTest, SetDataStatusEmptiesTheBatch) {
    auto sim = StartSim({"--sensor", "addr=7,value=800,type=5.2.0.1,devnum=ZOR-4711"});
    auto dev = MakeDevice(*sim, 7);
    dev->Poll();
    ASSERT_FALSE(dev->GetLatestBatch().empty()) << dev->GetTrackText();
    ASSERT_GT(dev->GetValue(), 0.0);
    const std::uint64_t before = dev->GetStatusTime();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    dev->SetDataStatus(kDataNoResponse);
    EXPECT_TRUE(dev->GetLatestBatch().empty());
    EXPECT_EQ(dev->GetValue(), 0.0);
    EXPECT_EQ(dev->GetDataStatus(), kDataNoResponse);
    EXPECT_GT(dev->GetStatusTime(), before);
}

// ---------------------------------------------------------------------------------------
// Reading modes

struct ModeCase {
    const char* type;
    bool pty;
    int firstCycle;  // controller type and parameters come first
    int nextCycle;
};

class ZorDeviceModeTest : public ZorDeviceTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(ZorDeviceModeTest, TransactionsPerCycleFollowTheControllerVersion) {
    const ModeCase c = GetParam();
    auto sim = StartSim({"--sensor", std::string("addr=7,value=100,type=") + c.type + ",devnum=" +
                                         "ZOR-4711,param.MinSigThr=500,param.MaxSigThr=10000"},
                        c.pty);
    auto dev = MakeDevice(*sim, 7);
    EXPECT_TRUE(dev->ParamsPending());
    dev->Poll();
    EXPECT_FALSE(dev->ParamsPending()) << dev->GetTrackText();
    EXPECT_EQ(CountRequests(LogPath()), c.firstCycle);
    EXPECT_EQ(dev->GetIdText(), "ZOR-4711");
    EXPECT_EQ(dev->GetVersionText(false), c.type);
    EXPECT_EQ(dev->GetStatus(), kDevOnlineOk) << dev->GetTrackText();
    EXPECT_EQ(dev->GetRunningTotal(), 5u);

    dev->Poll();
    EXPECT_EQ(CountRequests(LogPath()), c.firstCycle + c.nextCycle);
    EXPECT_EQ(dev->GetRunningTotal(), 10u);
    EXPECT_EQ(dev->GetDataStatus(), kDataOk);
    EXPECT_DOUBLE_EQ(dev->GetValue(), 100.0);
    // The track text starts with the first exchange's lines.
    EXPECT_EQ(dev->GetTrackText().rfind("\r\n", 0), 0u);
}

INSTANTIATE_TEST_SUITE_P(Versions, ZorDeviceModeTest,
                         ::testing::Values(ModeCase{"5.1.0.0", false, 4, 2},
                                           ModeCase{"5.2.0.1", false, 3, 1},
                                           ModeCase{"5.1.0.0", true, 4, 2},
                                           ModeCase{"5.2.0.1", true, 3, 1}));

// A failed link check skips the separate reads; the combined read is still tried.
TEST_F(ZorDeviceTest, FailedLinkCheckSkipsOnlySeparateReads) {
    struct Case {
        const char* type;
        int requestsAfterCheck;  // requests of the cycle whose link check is dropped
        int total;
    };
    for (const Case c : {Case{"5.1.0.0", 0, 0}, Case{"5.2.0.1", 1, 5}}) {
        auto sim = StartSim({"--sensor", std::string("addr=5,value=100,type=") + c.type});
        auto dev = MakeDevice(*sim, 5, [](ZorDeviceCfg& cfg) { cfg.bTestLink = true; });
        dev->Poll();
        ASSERT_FALSE(dev->ParamsPending()) << dev->GetTrackText();
        const int before = CountRequests(LogPath());
        const uint32_t total = dev->GetRunningTotal();
        ASSERT_EQ(sim->Control("fault drop").rfind("OK", 0), 0u);
        dev->Poll();
        EXPECT_EQ(CountRequests(LogPath()) - before, 1 + c.requestsAfterCheck) << c.type;
        EXPECT_EQ(dev->GetRunningTotal() - total, static_cast<uint32_t>(c.total)) << c.type;
        sim.reset();
        std::filesystem::remove(LogPath());
    }
}

TEST_F(ZorDeviceTest, OldLayoutsAreConvertedOnArrival) {
    auto sim = StartSim({"--sensor",
                         "addr=9,type=5.1.0.0,params=180,state=10,value=50,pressure=101,"
                         "temperature=-10,sealevel=3,param.MinSigThr=300,param.MaxSigThr=900"});
    auto dev = MakeDevice(*sim, 9);
    dev->Poll();
    ASSERT_FALSE(dev->ParamsPending()) << dev->GetTrackText();
    float lower, upper, bkg;
    dev->GetThresholds(lower, upper, bkg);
    EXPECT_FLOAT_EQ(lower, 300.0f);
    EXPECT_FLOAT_EQ(upper, 900.0f);
    double p, t, s;
    ASSERT_TRUE(dev->GetSensorValues(p, t, s));
    EXPECT_DOUBLE_EQ(p, 101.0);
    EXPECT_DOUBLE_EQ(t, -10.0);
    EXPECT_EQ(dev->GetInfoText("Pressure"), "101.0 kPa");
    EXPECT_EQ(dev->GetInfoText("Temperature"), "-10.0 °C");
}

// ---------------------------------------------------------------------------------------
// Status from data and from the alarm bit

TEST_F(ZorDeviceTest, StatusFollowsTheThresholdsWithoutStateReads) {
    auto sim = StartSim({"--sensor",
                         "addr=5,type=5.1.0.0,records=2,source=list:100;600;10000;700;100,"
                         "param.MinSigThr=500,param.MaxSigThr=10000"});
    auto dev = MakeDevice(*sim, 5, [](ZorDeviceCfg& c) { c.bGetState = false; });
    std::vector<int> statuses;
    for (int i = 0; i < 5; ++i) {
        dev->Poll();
        statuses.push_back(dev->GetStatus());
    }
    // 10000 sits on the upper threshold: not an alarm.
    EXPECT_EQ(statuses, (std::vector<int>{1, 5, 1, 5, 1})) << dev->GetTrackText();
}

TEST_F(ZorDeviceTest, AlarmBitDecidesOverTheData) {
    auto sim = StartSim({"--sensor", "addr=5,type=5.2.0.1,value=100"});
    auto dev = MakeDevice(*sim, 5);
    dev->Poll();
    EXPECT_EQ(dev->GetStatus(), kDevOnlineOk);
    EXPECT_EQ(sim->Control("set 5 alarm=1").rfind("OK", 0), 0u);
    dev->Poll();
    EXPECT_EQ(dev->GetStatus(), kDevAlarm) << dev->GetTrackText();
    EXPECT_NE(dev->GetTrackText().find("Ok, State: Alarm"), std::string::npos);
    EXPECT_EQ(dev->GetDataStatus(), kDataOk);  // the value itself is below the thresholds
    sim->Control("set 5 alarm=0");
    dev->Poll();
    EXPECT_EQ(dev->GetStatus(), kDevOnlineOk);
}

// ---------------------------------------------------------------------------------------
// Faults

struct FaultCase {
    const char* fault;
};

class ZorDeviceFaultTest : public ZorDeviceTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(ZorDeviceFaultTest, FaultIsInTheTrackAndTheNextCycleRecovers) {
    auto sim = StartSim({"--sensor", "addr=5,type=5.2.0.1,value=100"});
    auto dev = MakeDevice(*sim, 5);
    dev->Poll();
    ASSERT_EQ(dev->GetRunningTotal(), 5u) << dev->GetTrackText();
    ASSERT_EQ(sim->Control(std::string("fault ") + GetParam().fault).rfind("OK", 0), 0u);
    dev->Poll();
    const std::string track = dev->GetTrackText();
    EXPECT_EQ(dev->GetRunningTotal(), 5u) << track;
    EXPECT_TRUE(track.find("failed") != std::string::npos ||
                track.find("Error") != std::string::npos)
        << track;
    dev->Poll();
    EXPECT_EQ(dev->GetRunningTotal(), 10u) << dev->GetTrackText();
    EXPECT_EQ(dev->GetStatus(), kDevOnlineOk);
}

INSTANTIATE_TEST_SUITE_P(Faults, ZorDeviceFaultTest,
                         ::testing::Values(FaultCase{"drop"}, FaultCase{"crc"},
                                           FaultCase{"truncate"}, FaultCase{"garbage"},
                                           FaultCase{"len600"}, FaultCase{"close"},
                                           FaultCase{"delay 1 1200"}),
                         [](const auto& param) {
                             std::string n = param.param.fault;
                             return n.substr(0, n.find(' '));
                         });

// ---------------------------------------------------------------------------------------
// Silence

TEST_F(ZorDeviceTest, SilenceGivesDataAbsentOrNoConnection) {
    auto simA = StartSim({"--sensor", "addr=5,type=5.2.0.1,value=100"});
    auto quiet = MakeDevice(*simA, 5);
    const std::string logA = LogPath();
    test::TempDir other;
    // The second device talks to a simulator that goes away.
    auto simB = std::make_unique<SimProcess>(
        std::vector<std::string>{"--tcp-port", "0", "--sensor", "addr=6,type=5.2.0.1,value=100"});
    ASSERT_TRUE(simB->Ready());
    auto lost = MakeDevice(
        *simB, 6, [](ZorDeviceCfg&) {}, "Pier-2");
    quiet->Poll();
    lost->Poll();
    ASSERT_EQ(quiet->GetStatus(), kDevOnlineOk);
    ASSERT_EQ(lost->GetStatus(), kDevOnlineOk);

    ZorDeviceCfg cfg;
    quiet->GetZorSettings(cfg);
    cfg.bGetState = cfg.bGetData = false;  // polls, but asks for nothing
    quiet->SetZorSettings(cfg, false);
    simB->Stop();

    // Pause 0 + 7 s: one cycle inside the grace keeps the status, one past it does not.
    std::this_thread::sleep_for(std::chrono::seconds(6));
    quiet->Poll();
    EXPECT_EQ(quiet->GetStatus(), kDevOnlineOk);
    std::this_thread::sleep_for(std::chrono::milliseconds(2100));
    quiet->Poll();
    lost->Poll();
    EXPECT_EQ(quiet->GetStatus(), kDevDataAbsent);
    EXPECT_EQ(lost->GetStatus(), kDevNoConnection) << lost->GetTrackText();
}

// ---------------------------------------------------------------------------------------
// Two masters on one bus

TEST_F(ZorDeviceTest, TwoDevicesOnOneBusNeverInterleave) {
    auto sim = StartSim(
        {"--sensor", "addr=5,type=5.1.0.0,value=100", "--sensor", "addr=6,type=5.1.0.0,value=200"},
        true);
    auto a = MakeDevice(
        *sim, 5, [](ZorDeviceCfg&) {}, "Pier-1");
    auto b = MakeDevice(
        *sim, 6, [](ZorDeviceCfg&) {}, "Pier-2");
    constexpr int kCycles = 6;
    std::thread ta([&] {
        for (int i = 0; i < kCycles; ++i) {
            a->Poll();
        }
    });
    std::thread tb([&] {
        for (int i = 0; i < kCycles; ++i) {
            b->Poll();
        }
    });
    ta.join();
    tb.join();
    EXPECT_EQ(a->GetRunningTotal(), 5u * kCycles) << a->GetTrackText();
    EXPECT_EQ(b->GetRunningTotal(), 5u * kCycles) << b->GetTrackText();
    // Both name the channel after the configured port from the first exchange on, so
    // neither finds the port taken by the other.
    EXPECT_EQ(a->OpenFailures() + b->OpenFailures(), 0);
    EXPECT_EQ(a->ChannelBusy() + b->ChannelBusy(), 0);
    EXPECT_DOUBLE_EQ(a->GetValue(), 100.0);
    EXPECT_DOUBLE_EQ(b->GetValue(), 200.0);
    // Every request is answered before the next one starts; no frame was skipped.
    int requests = 0;
    bool open = false;
    for (const std::string& line : ReadLines(LogPath())) {
        if (line.find(" REQ ") != std::string::npos) {
            EXPECT_FALSE(open) << line;
            open = true;
            ++requests;
        } else if (line.find(" REP ") != std::string::npos) {
            EXPECT_TRUE(open) << line;
            open = false;
        }
        EXPECT_EQ(line.find(" SKIP "), std::string::npos) << line;
    }
    EXPECT_EQ(requests, 2 * (2 + 2 * kCycles));
}

// ---------------------------------------------------------------------------------------
// Running on its own threads: events, data log, alarm files

TEST_F(ZorDeviceTest, LiveThreadRaisesEventsAndTheLogsAreWritten) {
    auto sim = StartSim({"--sensor",
                         "addr=5,type=5.2.0.1,value=800,alarm=1,devnum=ZOR-0042,"
                         "param.MinSigThr=500,param.MaxSigThr=10000"});
    CLog deviceLog;
    deviceLog.SetFolder(dir.path().string());
    ASSERT_TRUE(deviceLog.Open("Devices", true));
    auto dev = MakeDevice(*sim, 5, [](ZorDeviceCfg& c) { c.bScanning = true; });
    dev->SetDeviceLog(&deviceLog);
    EXPECT_EQ(dev->GetLogFolder(), dir.path().string() + "/");
    std::atomic<int> data{0}, state{0}, track{0};
    // Connecting raises every event with no batch yet; those data events write nothing.
    std::atomic<int> logged{0};
    int owner = 0;
    dev->NewDataEvent.Subscribe(&owner, [&](CTavDevice*) {
        logged += dev->WriteDataLog(false) ? 1 : 0;
        dev->ProcessAlarm();
        ++data;
    });
    dev->NewStateEvent.Subscribe(&owner, [&](CTavDevice*) { ++state; });
    dev->NewTrackEvent.Subscribe(&owner, [&](CTavDevice*) { ++track; });
    dev->ApplyCfg();
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (logged.load() < 3 && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(dev->StopThreads());
    dev->NewDataEvent.UnsubscribeAll(&owner);
    dev->NewStateEvent.UnsubscribeAll(&owner);
    dev->NewTrackEvent.UnsubscribeAll(&owner);
    EXPECT_GE(data.load(), 3);
    EXPECT_GE(track.load(), 3);
    EXPECT_GE(state.load(), 1);
    EXPECT_GE(logged.load(), 2);
    EXPECT_EQ(dev->GetStatus(), kDevAlarm);
    // The data log sits in the device's folder under the device log's folder.
    bool dataLog = false, alarmFiles = false;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir.path())) {
        const std::string name = e.path().filename().string();
        dataLog = dataLog || name.rfind("DataLog_ZOR-0042_Pier-1_", 0) == 0;
        alarmFiles = alarmFiles || e.path().string().find("/Alarms/") != std::string::npos;
    }
    EXPECT_TRUE(dataLog);

    EXPECT_TRUE(alarmFiles);
    EXPECT_TRUE(dev->AlarmProcessor().InAlarm());
}

// ---------------------------------------------------------------------------------------
// Emulation

TEST_F(ZorDeviceTest, EmulationWandersAroundTheLowerThreshold) {
    // With the default thresholds (500, 10000) the values stay within 50 and 750, and an
    // emulated device goes into "Alarm reported" above 500 and out of it again: the
    // operator can watch the whole alarm road without a sensor.
    for (const char* name : {"Emu-1", "Pier-3", "Buoy North"}) {
        SCOPED_TRACE(name);
        auto dev =
            std::make_shared<CZorDevice>((dir.path() / "Zor-Device.ini").string(), nullptr, name);
        ZorDeviceCfg cfg;
        dev->GetZorSettings(cfg);
        ASSERT_EQ(cfg.params.MinSigThr(), 500.0f);
        ASSERT_EQ(cfg.params.MaxSigThr(), 10000.0f);
        cfg.sLinkType = kLinkTypeEmul;
        dev->SetZorSettings(cfg, true);
        dev->StopThreads();
        int polls = 0, intoAlarm = 0, outOfAlarm = 0;
        int last = dev->GetStatus();
        // A random walk of steps up to 7 over 700: bounded, and long enough to cross.
        for (; polls < 20000 && (intoAlarm < 2 || outOfAlarm < 2); ++polls) {
            dev->Poll();
            const double v = dev->GetValue();
            ASSERT_GE(v, 50.0);
            ASSERT_LE(v, 750.0);
            const int status = dev->GetStatus();
            ASSERT_EQ(status, v > 500.0 ? kDevAlarm : kDevEmulation) << v;
            intoAlarm += status == kDevAlarm && last != kDevAlarm ? 1 : 0;
            outOfAlarm += status != kDevAlarm && last == kDevAlarm ? 1 : 0;
            last = status;
            ASSERT_EQ(dev->GetLatestBatch().size(), 40u);
        }
        EXPECT_GE(intoAlarm, 2) << "after " << polls << " polls";
        EXPECT_GE(outOfAlarm, 2) << "after " << polls << " polls";
        EXPECT_EQ(dev->GetRunningTotal(), 5u * static_cast<unsigned>(polls));
        EXPECT_NE(dev->GetTrackText().find("Value: "), std::string::npos);
        EXPECT_NE(dev->GetTrackText().find("Threshs: [500.0,10000.0]"), std::string::npos)
            << dev->GetTrackText();
    }
}

// ---------------------------------------------------------------------------------------
// Configuration

TEST_F(ZorDeviceTest, ConfigurationSurvivesExportAndImport) {
    const std::string path = (dir.path() / "ZorManager.ini").string();
    auto dev = std::make_shared<CZorDevice>((dir.path() / "Zor-Device.ini").string(), nullptr);
    ZorDeviceCfg cfg;
    dev->GetZorSettings(cfg);
    cfg.sName = "Pier-7";
    cfg.sLinkType = kLinkTypeTcpIp;
    cfg.xSocket.sAddress = "127.0.0.2";
    cfg.xSocket.nPort = 4001;
    cfg.bKeepLink = true;
    cfg.bPingSenix = true;
    cfg.bGetData = false;
    cfg.nPause = 15;
    cfg.params.SetAddress(42);
    cfg.params.SetF32(112, 321.5f);
    cfg.params.SetDeviceNum("ZOR-77");
    cfg.dLatitude = 59.5;
    cfg.dLongitude = 30.25;
    cfg.contrType = ZorContrType::FromValue(0x01000205);
    cfg.state.SetAlarm(true);
    dev->SetZorSettings(cfg, false);
    {
        CIni ini(path);
        dev->ExportCfg("Zor-01", &ini);
    }
    auto back = std::make_shared<CZorDevice>((dir.path() / "Zor-Device.ini").string(), nullptr);
    CIni ini(path);
    EXPECT_TRUE(back->ImportCfg("Zor-01", &ini));
    ZorDeviceCfg got;
    back->GetZorSettings(got);
    // Controller type and state record are not stored.
    cfg.contrType = {};
    cfg.state = {};
    EXPECT_TRUE(got == cfg);
    EXPECT_EQ(got.sName, "Pier-7");
    EXPECT_EQ(got.xSocket.nPort, 4001);
    EXPECT_EQ(got.nPause, 15);
    EXPECT_EQ(got.params.Address(), 42);
    EXPECT_DOUBLE_EQ(got.dLatitude, 59.5);
    EXPECT_EQ(ini.GetString("Zor-01", "dDegLat"), "59.500000");
}

TEST_F(ZorDeviceTest, ShortParameterBlockGivesDefaultsWithPartialBlocksOver) {
    const std::string path = (dir.path() / "ZorManager.ini").string();
    ZorParams stored = DefaultZorParams();
    stored.SetF64(152, 60.1);  // Geo latitude
    stored.SetF32(112, 777.0f);
    stored.SetAddress(33);
    {
        CIni ini(path);
        ini.WriteDataBlock("Zor-02", "DevParams", stored.bytes.data(), 180);
        ini.WriteDataBlock("Zor-02", "GeoParams", stored.bytes.data() + 148, 32);
        // A measurement block cut short leaves the rest of its range as it was.
        ini.WriteDataBlock("Zor-02", "AnlParams", stored.bytes.data() + 104, 12);
        ini.WriteDouble("Zor-02", "dDegLat", 59.5);
        ini.WriteString("Zor-02", "nPause", "-4");
    }
    auto dev = std::make_shared<CZorDevice>((dir.path() / "Zor-Device.ini").string(), nullptr);
    CIni ini(path);
    dev->ImportCfg("Zor-02", &ini);
    ZorDeviceCfg got;
    dev->GetZorSettings(got);
    const ZorParams defaults = DefaultZorParams();
    EXPECT_EQ(got.params.Address(), defaults.Address());  // from the default block
    EXPECT_DOUBLE_EQ(got.params.Latitude(), 60.1);        // from GeoParams
    EXPECT_FLOAT_EQ(got.params.MinSigThr(), 777.0f);      // within the first 12 bytes
    EXPECT_FLOAT_EQ(got.params.MaxBkgChange(), defaults.MaxBkgChange());
    // The position is taken before the partial blocks, so GeoParams does not move it.
    EXPECT_DOUBLE_EQ(got.dLatitude, 59.5);
    EXPECT_EQ(got.sLinkType, kLinkTypeNone);
    EXPECT_EQ(dev->GetPollPeriod(), 2000);  // a negative pause counts as 2 s
}

TEST_F(ZorDeviceTest, DefaultsAndLinkDefaults) {
    auto dev =
        std::make_shared<CZorDevice>((dir.path() / "Zor-Device.ini").string(), nullptr, "Zor-05");
    dev->DefaultCfg();
    ZorDeviceCfg cfg;
    dev->GetZorSettings(cfg);
    EXPECT_EQ(cfg.sName, "Zor-Device");
    EXPECT_TRUE(cfg.bGetState && cfg.bGetData);
    EXPECT_FALSE(cfg.bKeepLink || cfg.bTestLink || cfg.bPingSenix);
    EXPECT_EQ(cfg.nPause, 2);
    EXPECT_TRUE(cfg.params == DefaultZorParams());
    EXPECT_EQ(cfg.comPort.nBaudRate, 57600);
    EXPECT_EQ(cfg.xSocket.nPort, 11221);
    EXPECT_EQ(cfg.xSocket.nTimeOut, 2000);
    EXPECT_EQ(dev->GetPollPeriod(), 2000);
    EXPECT_DOUBLE_EQ(dev->ScaleValue(500.0), 50.0);
    EXPECT_DOUBLE_EQ(dev->ScaleValue(10000.0), 150.0);
    EXPECT_NEAR(dev->UnscaleValue(dev->ScaleValue(1234.5)), 1234.5, 1e-9);
}

// ---------------------------------------------------------------------------------------
// Names, texts, position

TEST_F(ZorDeviceTest, UniqueNameRefusesAnExactMatchWithAMessage) {
    std::vector<std::string> shown;
    SetMessageSink([&](const std::string& text, MessageBoxType type, const std::string&) {
        shown.push_back(text);
        EXPECT_EQ(type.icon, MsgIcon::kWarning);
        return MsgResult::kOk;
    });
    auto dev = std::make_shared<CZorDevice>((dir.path() / "Zor-Device.ini").string(), nullptr);
    dev->SetOtherNames({"Pier-1", "Port-2"});
    EXPECT_FALSE(dev->SetUniqueName("Pier-1"));
    EXPECT_TRUE(dev->SetUniqueName("pier-1"));  // letter case counts
    EXPECT_EQ(dev->GetName(), "pier-1");
    SetMessageSink({});
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], "Device with name 'Pier-1' already exists.\r\nPlease select another name.");
}

TEST_F(ZorDeviceTest, InformationTexts) {
    auto sim = StartSim({"--sensor",
                         "addr=12,type=5.2.0.1,value=750,invalid=1,"
                         "param.MinSigThr=500,param.MaxSigThr=1000"});
    auto dev = MakeDevice(*sim, 12);
    dev->SetPosition(59.5, 30.25);
    dev->Poll();
    EXPECT_EQ(dev->GetInfoText("Position"), "59.500000°, 30.250000°");
    EXPECT_EQ(dev->GetInfoText("Parameters"), "Zor.v5 [5.2.0.1] [Thr:500,1000]");
    EXPECT_EQ(dev->GetInfoText("CurValue"), "750.0");
    EXPECT_EQ(dev->GetInfoText("Data4Ctrl"), "\r\nBatch size: 5 points. Current value: 750.0");
    EXPECT_EQ(dev->GetInfoText("Statistics"), "750.0 [100] (5 pts, 5 total, 3/0/0)");
    EXPECT_EQ(dev->GetInfoText("Pressure"), "-");
    EXPECT_EQ(dev->GetInfoText("Link"), "127.0.0.1:" + std::to_string(sim->tcpPort) + " [12]");
    EXPECT_EQ(dev->GetInfoText("Lat,Lon,Val"), "59.500000,30.250000,750.000000");
}

TEST_F(ZorDeviceTest, EmulatedPositionMovesByAtMostHalfAHundredthOfADegree) {
    auto dev = std::make_shared<CZorDevice>((dir.path() / "Zor-Device.ini").string(), nullptr);
    dev->SetName("Sensor-03");
    dev->EmulatePosition(true);
    double lat0, lon0;
    dev->GetPosition(lat0, lon0);
    EXPECT_NE(lat0, 0.0);  // a preset for the number 03
    dev->EmulatePosition(false);
    double lat, lon;
    dev->GetPosition(lat, lon);
    EXPECT_LE(std::fabs(lat - lat0), 0.005);
    EXPECT_LE(std::fabs(lon - lon0), 0.005);
    EXPECT_FALSE(lat == lat0 && lon == lon0);
}

// ---------------------------------------------------------------------------------------
// The operator's side and a busy link

// A sensor that takes seconds to answer holds the device's link for the whole exchange.
// What the operator's side asks of the device meanwhile (the status and link texts, the
// configuration written to and read from the settings file, applying a new configuration)
// returns while the exchange still runs, and the new link is taken up once it ended.
TEST_F(ZorDeviceTest, OperatorSideNeverWaitsForABusyLink) {
    auto sim = StartSim({"--latency", "3000", "--sensor", "addr=5,type=5.2.0.1,value=800"});
    auto dev = MakeDevice(*sim, 5, [](ZorDeviceCfg& c) { c.xSocket.nTimeOut = 6000; });
    const std::string tcpName = "127.0.0.1:" + std::to_string(sim->tcpPort);

    dev->SetStatus(kDevDataAbsent, std::string("Data is absent"));
    std::atomic<bool> pollDone{false};
    std::thread poller([&] {
        dev->Poll();
        pollDone = true;
    });
    // Wait (bounded) until the sensor has the request: the exchange now holds the link.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (CountRequests(LogPath()) == 0 && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_GE(CountRequests(LogPath()), 1);

    std::string status, link;
    auto calls = std::async(std::launch::async, [&] {
        status = dev->GetInfoText("Status");
        link = dev->GetInfoText("Link");
        CIni ini((dir.path() / "settings.ini").string());
        dev->ExportCfg("Zor-01", &ini);
        ini.WriteString("Zor-01", "sLinkType", kLinkTypeEmul);
        dev->ImportCfg("Zor-01", &ini);
        dev->ApplyCfg();
    });
    const bool returned = calls.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
    const bool beforeTheSensorAnswered = !pollDone;
    poller.join();
    ASSERT_TRUE(returned) << "a call waited for the link";
    calls.get();
    EXPECT_TRUE(beforeTheSensorAnswered) << "the calls waited for the exchange";
    EXPECT_EQ(status, "ZOR on '" + tcpName + "' : Data is absent.");
    EXPECT_EQ(link, tcpName + " [5]");

    // The link the exchange held is replaced by the emulation once the live thread uses it.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (dev->GetInfoText("Link") != "EMUL [5]" && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(dev->GetInfoText("Link"), "EMUL [5]");
    EXPECT_TRUE(dev->StopThreads());
}

}  // namespace
}  // namespace zm
