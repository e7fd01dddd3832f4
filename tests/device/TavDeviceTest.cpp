#include "device/TavDevice.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <memory>
#include <regex>
#include <thread>
#include <vector>

#include "device/DevicePane.h"
#include "device/DeviceStatus.h"

#include "TestDevices.h"

namespace zm {
namespace {

using namespace std::chrono_literals;
using test::CfgFor;
using test::EventRecorder;

// A device without threads: not owned by a shared_ptr, so ApplyCfg only selects the link.
std::unique_ptr<CTavDevice> MakeUnthreaded(const std::string& linkType, bool scanning) {
    auto dev = std::make_unique<CTavDevice>("", nullptr);
    dev->SetSettings(CfgFor(linkType, scanning), true);
    EXPECT_FALSE(dev->AreThreadsRunning());
    return dev;
}

TEST(TavDevice, StartsWithMonitoringOffAndNoLink) {
    CTavDevice dev("", nullptr);
    std::string text = "untouched";
    EXPECT_EQ(dev.GetStatus(&text, true), kDevMonitoringOff);
    EXPECT_EQ(text, "untouched");
    EXPECT_EQ(dev.GetDataStatus(), kDataScanningOff);
    EXPECT_EQ(dev.GetValue(), 0.0);
    EXPECT_FALSE(dev.IsOnline());
    EXPECT_EQ(dev.GetName(), "Tav-Device");
    EXPECT_EQ(dev.GetFamilyCode(), "TAV");
    EXPECT_EQ(dev.GetLinkText(), "====");
    EXPECT_FALSE(dev.OpenLink());
    std::string err;
    EXPECT_FALSE(dev.GetLinkError(&err));
    EXPECT_LE(dev.GetLastDataTime(), static_cast<std::int64_t>(std::time(nullptr)) - 2);
}

TEST(TavDevice, GetStatusGivesTheTextWithLinkExceptForMonitoringOff) {
    auto dev = MakeUnthreaded("EMUL", true);
    dev->SetStatus(kDevOnlineOk);
    std::string text;
    EXPECT_EQ(dev->GetStatus(&text, false), kDevOnlineOk);
    EXPECT_EQ(text, "Online and Ok");
    EXPECT_EQ(dev->GetStatus(&text, true), kDevOnlineOk);
    EXPECT_EQ(text, "TAV on 'EMUL' : Online and Ok.");
    dev->SetStatus(kDevOnlineOk, std::string("custom"));
    dev->GetStatus(&text, false);
    EXPECT_EQ(text, "custom");
    dev->SetStatus(kDevMonitoringOff);
    text = "kept";
    EXPECT_EQ(dev->GetStatus(&text, true), kDevMonitoringOff);
    EXPECT_EQ(text, "kept");
    dev->SetStatus(77);
    dev->GetStatus(&text, false);
    EXPECT_EQ(text, "Unknown status");
}

// Where a status is shown (the pane, the status query, the logs), Monitoring OFF has its
// text like every other status, never the text of the state before.
TEST(TavDevice, MonitoringOffIsShownWithItsOwnText) {
    struct Pane : CDevicePane {
        std::vector<DevicePaneTexts> seen;
        void ShowDeviceTexts(CTavDevice&, const DevicePaneTexts& texts) override {
            seen.push_back(texts);
        }
    } pane;
    CTavDevice fresh("", nullptr);  // status 2 with an empty text
    fresh.UpdateStatePane(&pane);
    ASSERT_EQ(pane.seen.size(), 1u);
    EXPECT_EQ(pane.seen[0].sStatus, "TAV on '====' : Monitoring OFF.");
    EXPECT_EQ(pane.seen[0].nStatusIcon, StatusIconIndex(kDevMonitoringOff));

    auto dev = MakeUnthreaded("EMUL", true);
    dev->SetStatus(kDevOnlineOk);
    dev->UpdateStatePane(&pane);
    dev->SetStatus(kDevMonitoringOff);
    dev->UpdateStatePane(&pane);
    ASSERT_EQ(pane.seen.size(), 3u);
    EXPECT_EQ(pane.seen[1].sStatus, "TAV on 'EMUL' : Online and Ok.");
    EXPECT_EQ(pane.seen[2].sStatus, "TAV on 'EMUL' : Monitoring OFF.");
    EXPECT_EQ(pane.seen[2].nStatusIcon, StatusIconIndex(kDevMonitoringOff));
    EXPECT_EQ(dev->GetInfoText("DevStatus"), "TAV on 'EMUL' : Monitoring OFF.");
    std::string text = "stale";
    EXPECT_EQ(dev->GetStatusWithText(text), kDevMonitoringOff);
    EXPECT_EQ(text, "Monitoring OFF");
}

TEST(TavDevice, EmulationCyclesFromOneToFiftyThenZero) {
    CTavDevice dev("", nullptr);
    for (int i = 1; i <= 102; ++i) {
        dev.Emulate();
        const int expected = i % 51;
        ASSERT_EQ(dev.GetValue(), expected) << "call " << i;
        EXPECT_EQ(dev.GetDataStatus(), expected < 40 ? kDataDeviceFlag : kDataEmulation)
            << "value " << expected;
    }
    EXPECT_EQ(dev.GetTrackText(), "m_BaseData.dValue => 0");
    EXPECT_EQ(dev.GetSecondLine(), "m_BaseData.dValue => 0");
    EXPECT_GE(dev.GetLastDataTime(), static_cast<std::int64_t>(std::time(nullptr)) - 1);
}

TEST(TavDevice, InformationQueryAnswersEachItem) {
    auto dev = MakeUnthreaded("EMUL", true);
    dev->Emulate();  // 1, data status 8
    EXPECT_EQ(dev->GetInfoText("DatStatus"), "Initialization");
    EXPECT_EQ(dev->GetInfoText("Data4Sets"), "\r\n\r\n1.0");
    EXPECT_EQ(dev->GetInfoText("Data4Ctrl"), "\r\n No TAV data ( device-flag ) ");
    for (int i = 0; i < 39; ++i) {
        dev->Emulate();
    }
    dev->PublishStatus();  // 40, data status 9: emulation mode
    struct Row {
        const char* item;
        std::string answer;
    };
    const Row rows[] = {
        {"DevStatus", "TAV on 'EMUL' : Emulation mode."},
        {"Status", "TAV on 'EMUL' : Emulation mode."},
        {"DatStatus", "Data Emulated"},
        {"Data4Sets", "\r\n\r\n40.0"},
        {"Data4Ctrl", "\r\nCurrent value: 40.0"},
        {"Data1Line", "40.0"},
        {"TrackString", "m_BaseData.dValue => 40"},
        {"LastRMC", "m_BaseData.dValue => 40"},
        {"Link", "EMUL"},
        {"GpsTime", "GpsTime(?)"},
        {"datstatus", "datstatus(?)"},  // exact comparison
        {"", "(?)"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(dev->GetInfoText(row.item), row.answer) << row.item;
    }
    const std::string hms = dev->GetInfoText("DataDateTime");
    ASSERT_TRUE(std::regex_match(hms, std::regex("[0-2][0-9]:[0-5][0-9]:[0-5][0-9]"))) << hms;
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    const int shown = std::stoi(hms.substr(0, 2)) * 3600 + std::stoi(hms.substr(3, 2)) * 60 +
                      std::stoi(hms.substr(6, 2));
    const int actual = utc.tm_hour * 3600 + utc.tm_min * 60 + utc.tm_sec;
    EXPECT_LE((actual - shown + 86400) % 86400, 5) << "status time not in UTC";
}

TEST(TavDevice, ConnectOpensTheSelectedLinkAndPublishes) {
    struct Row {
        const char* linkType;
        bool opens;
        int dataStatus;
        int deviceStatus;
    };
    const Row rows[] = {
        {"EMUL", true, kDataWaiting, kDevDataAbsent},
        {"LINK-1", true, kDataWaiting, kDevDataAbsent},
        {"====", false, kDataPortError, kDevNoConnection},
        // Selection is exact: letter case or a trailing blank select no link.
        {"emul", false, kDataPortError, kDevNoConnection},
        {"EMUL ", false, kDataPortError, kDevNoConnection},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.linkType);
        auto dev = MakeUnthreaded(row.linkType, true);
        EXPECT_EQ(dev->Connect(), row.opens);
        EXPECT_EQ(dev->GetDataStatus(), row.dataStatus);
        EXPECT_EQ(dev->GetStatus(), row.deviceStatus);
    }
}

TEST(TavDevice, ConnectOnAMissingSerialPortFailsWithNoConnection) {
    TavDeviceCfg cfg = CfgFor("COM", true);
    cfg.comPort.sPortName = "/dev/zm-no-such-port";
    CTavDevice dev("", nullptr);
    dev.SetSettings(cfg, true);
    EXPECT_TRUE(dev.IsComPortLink());
    EXPECT_FALSE(dev.Connect());
    EXPECT_EQ(dev.GetStatus(), kDevNoConnection);
    std::string err;
    EXPECT_FALSE(dev.GetLinkError(&err));
    EXPECT_EQ(err, "Port opening error");
    EXPECT_EQ(dev.GetLinkText(), "/dev/zm-no-such-port");
}

TEST(TavDevice, DisconnectPublishesScanningOffOnlyWhenScanningIsOff) {
    auto on = MakeUnthreaded("EMUL", true);
    on->SetStatus(kDevOnlineOk);
    on->Disconnect();
    EXPECT_EQ(on->GetStatus(), kDevOnlineOk);

    auto off = MakeUnthreaded("EMUL", false);
    off->SetStatus(kDevOnlineOk);
    off->Disconnect();
    EXPECT_EQ(off->GetDataStatus(), kDataScanningOff);
    EXPECT_EQ(off->GetStatus(), kDevMonitoringOff);
}

TEST(TavDevice, LinkTypePredicatesUsePrefixesWhileSelectionIsExact) {
    struct Row {
        const char* type;
        bool emul, ext, tcp, com;
    };
    const Row rows[] = {
        {"EMUL", true, false, false, false},   {"LINK-1", false, true, false, false},
        {"TCP/IP", false, false, true, false}, {"TCP/IP-2", false, false, true, false},
        {"COM", false, false, false, true},    {"COM ", false, false, false, true},
        {"com", false, false, false, false},   {"====", false, false, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.type);
        auto dev = MakeUnthreaded(row.type, true);
        EXPECT_EQ(dev->IsEmulation(), row.emul);
        EXPECT_EQ(dev->IsExternalData(), row.ext);
        EXPECT_EQ(dev->IsTcpIpLink(), row.tcp);
        EXPECT_EQ(dev->IsComPortLink(), row.com);
        EXPECT_EQ(dev->GetLinkType(), row.type);
    }
}

TEST(TavDevice, PollPeriodFollowsTheDeviceStatus) {
    CTavDevice dev("", nullptr);
    const int expected[] = {500, 100, 500, 100, 500, 100, 500};
    for (int code = 0; code <= 6; ++code) {
        dev.SetStatus(code);
        EXPECT_EQ(dev.GetPollPeriod(), expected[code]) << code;
    }
}

TEST(TavDevice, SetDataStatusExPublishesOnlyAChange) {
    CTavDevice dev("", nullptr);
    dev.SetStatus(kDevOnlineOk, std::string("marker"));
    dev.SetDataStatusEx(kDataScanningOff, true);  // unchanged: nothing published
    std::string text;
    dev.GetStatus(&text);
    EXPECT_EQ(text, "marker");
    dev.SetDataStatusEx(kDataAlarm, false);
    EXPECT_EQ(dev.GetDataStatus(), kDataAlarm);
    EXPECT_EQ(dev.GetStatus(), kDevOnlineOk);
    dev.SetDataStatusEx(kDataOk, true);
    EXPECT_EQ(dev.GetStatus(), kDevOnlineOk);
    dev.GetStatus(&text);
    EXPECT_EQ(text, "Online and Ok");
}

TEST(TavDevice, SettingsRoundTripAndEquality) {
    CTavDevice dev("", nullptr);
    TavDeviceCfg cfg = CfgFor("TCP/IP", true);
    cfg.crColor = 0x00FF8040;
    cfg.xSocket.sAddress = "127.0.0.1";
    cfg.xSocket.nPort = 4001;
    cfg.comPort.sPortName = "/dev/ttyUSB3";
    cfg.sUpdFreq = "15";
    dev.SetSettings(cfg, false);
    TavDeviceCfg back;
    dev.GetSettings(back);
    EXPECT_EQ(back, cfg);

    // Switching the link type keeps both link records.
    cfg.sLinkType = "COM";
    dev.SetSettings(cfg, false);
    dev.GetSettings(back);
    EXPECT_EQ(back.xSocket.nPort, 4001);
    EXPECT_EQ(back.comPort.sPortName, "/dev/ttyUSB3");

    TavDeviceCfg other = back;
    EXPECT_TRUE(other == back);
    other.comPort.nParity = 2;
    EXPECT_FALSE(other == back);
    other = back;
    other.sUpdFreq = "16";
    EXPECT_FALSE(other == back);
}

TEST(TavDevice, UpdateFrequencyTextParsesAsSeconds) {
    EXPECT_EQ(UpdFreqSeconds("60"), 60.0);
    EXPECT_EQ(UpdFreqSeconds("2.5"), 2.5);
    EXPECT_EQ(UpdFreqSeconds(" 7"), 7.0);
    EXPECT_EQ(UpdFreqSeconds("0"), 0.0);
    EXPECT_EQ(UpdFreqSeconds(""), 0.0);
    EXPECT_EQ(UpdFreqSeconds("abc"), 0.0);
    EXPECT_EQ(UpdFreqSeconds("-5"), 0.0);
}

TEST(TavDevice, EventsCallTheNewestHandlerFirstAndForgetUnsubscribed) {
    struct Sub {
        std::vector<std::string>* log;
        std::string name;
        void On(CTavDevice*) { log->push_back(name); }
        void Other(CTavDevice*) { log->push_back(name + "-other"); }
    };
    std::vector<std::string> calls;
    Sub a{&calls, "a"};
    Sub b{&calls, "b"};
    CTavDevice dev("", nullptr);
    dev.NewDataEvent.Subscribe(&a, &Sub::On);
    dev.NewDataEvent.Subscribe(&b, &Sub::On);
    dev.NewDataEvent.Subscribe(&a, &Sub::Other);
    dev.NewDataEvent.Raise(&dev);
    EXPECT_EQ(calls, (std::vector<std::string>{"a-other", "b", "a"}));

    calls.clear();
    dev.NewDataEvent.Unsubscribe(&a, &Sub::On);
    dev.NewDataEvent.Raise(&dev);
    EXPECT_EQ(calls, (std::vector<std::string>{"a-other", "b"}));

    calls.clear();
    dev.NewDataEvent.UnsubscribeAll(&a);
    dev.NewDataEvent.Raise(&dev);
    EXPECT_EQ(calls, (std::vector<std::string>{"b"}));
    EXPECT_EQ(dev.NewStateEvent.Count(), 0u);
}

TEST(TavDevice, AHandlerMayUnsubscribeItselfWhileTheEventIsRaised) {
    CTavDevice dev("", nullptr);
    int calls = 0;
    int owner = 0;
    dev.NewStateEvent.Subscribe(&owner, [&](CTavDevice* d) {
        ++calls;
        d->NewStateEvent.UnsubscribeAll(&owner);
    });
    dev.NewStateEvent.Raise(&dev);
    dev.NewStateEvent.Raise(&dev);
    EXPECT_EQ(calls, 1);
}

TEST(TavDevice, EditSettingsTakesChangesBackOnCancel) {
    CTavDevice dev("", nullptr);
    dev.SetSettings(CfgFor("====", false), false);
    EXPECT_FALSE(dev.EditSettings()) << "no dialog installed";

    CTavDevice::SetSettingsDialog([](CTavDevice& d) {
        d.SetName("Changed");
        return false;  // Cancel
    });
    EXPECT_FALSE(dev.EditSettings());
    EXPECT_EQ(dev.GetName(), "Unit");

    CTavDevice::SetSettingsDialog([](CTavDevice& d) {
        d.SetName("Kept");
        return true;
    });
    EXPECT_TRUE(dev.EditSettings());
    EXPECT_EQ(dev.GetName(), "Kept");

    CTavDevice::SetSettingsDialog([](CTavDevice&) { return true; });
    EXPECT_FALSE(dev.EditSettings()) << "OK without a change";
    CTavDevice::SetSettingsDialog({});
}

}  // namespace
}  // namespace zm
