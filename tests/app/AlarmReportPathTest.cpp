// The alarm popup and the device's own alarm processor name the same report file, in the
// log folder's alarm folder, whichever of them asks first and whatever the device is
// called.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <string>

#include "ActionsFixture.h"
#include "app/AlarmActions.h"
#include "app/MailSender.h"
#include "app/ZorDeviceKind.h"
#include "base/DateTimeText.h"
#include "device/zor/ZorDevice.h"
#include "device/zor/ZorRecords.h"
#include "notify/UdpFun.h"

namespace zm::test {
namespace {

namespace fs = std::filesystem;

enum class First { kPopup, kDevice };

struct PathCase {
    const char* name;
    First first;
};

class AlarmReportPathTest : public LogsFixture, public ::testing::WithParamInterface<PathCase> {
  protected:
    // The device's alarm processor sees an alarm batch (data event, device status 5).
    void DeviceOpensTheAlarm(CZorDevice& device) {
        ZorLogSnapshot s = device.TakeLogSnapshot();
        s.deviceStatus = 5;
        s.batch.clear();
        for (int i = 0; i < 5; ++i) {
            AppendDataRecord(s.batch, 800.0f, 200.0f);
        }
        s.now = std::time(nullptr);
        s.statusTime = FileTimeFromTime(TimePointMs(std::chrono::seconds(s.now)));
        ++s.batchSerial;
        ASSERT_TRUE(device.AlarmProcessor().Process(s));
        ASSERT_TRUE(device.AlarmProcessor().InAlarm());
    }
    // The feed update shows the alarm popup; the path it shows.
    std::string PopupShowsTheAlarm(CZorDevice& device) {
        DeviceSnapshot snapshot = SnapshotOf(device);
        FillZorSnapshot(device, snapshot);
        snapshot.nStatus = 5;
        actions_.ShowAlarm(snapshot, true);
        return ui_.alarms.empty() ? std::string() : ui_.alarms.back().reportPath;
    }

    RecordingUi ui_{trail_};
    CUdpFun udp_;
    CMailSender mail_;
    AlarmActions actions_{ui_, udp_, mail_, [] { return AlarmActionSettings{}; }};
};

TEST_P(AlarmReportPathTest, PopupAndDeviceNameOneFileInsideTheAlarmFolder) {
    const PathCase c = GetParam();
    auto device = std::make_shared<CZorDevice>(home_.file("Zor-Device.ini"), &RunLog(), c.name);
    device->SetDeviceLog(&DeviceLog());
    ZorDeviceCfg cfg;
    device->GetZorSettings(cfg);
    cfg.sName = c.name;
    device->SetZorSettings(cfg, false);

    std::string shown;
    if (c.first == First::kPopup) {
        shown = PopupShowsTheAlarm(*device);
        DeviceOpensTheAlarm(*device);
    } else {
        DeviceOpensTheAlarm(*device);
        shown = PopupShowsTheAlarm(*device);
    }
    const std::string written = device->AlarmProcessor().ReportPath().GetPath();
    EXPECT_EQ(shown, written);
    // The report is a file of its own device's folder right inside the alarm folder.
    const fs::path alarms = fs::weakly_canonical(fs::path(DeviceLog().GetFolder()) / "Alarms");
    const fs::path report = fs::weakly_canonical(written);
    EXPECT_TRUE(fs::is_regular_file(report)) << written;
    EXPECT_EQ(report.parent_path().parent_path(), alarms) << written;
    EXPECT_EQ(report.parent_path().filename().string().rfind("Reports_", 0), 0u) << written;
    EXPECT_EQ(report.filename().string().rfind("AlarmReport_", 0), 0u) << written;
    // Nothing was written anywhere else in the home.
    int files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(home_.path())) {
        if (entry.is_regular_file() &&
            entry.path().filename().string().rfind("AlarmReport_", 0) == 0) {
            ++files;
            EXPECT_EQ(fs::weakly_canonical(entry.path()), report);
        }
    }
    EXPECT_EQ(files, 1);
}

INSTANTIATE_TEST_SUITE_P(NamesAndOrders, AlarmReportPathTest,
                         ::testing::Values(PathCase{"Pier 2/North", First::kPopup},
                                           PathCase{"Pier 2/North", First::kDevice},
                                           PathCase{"../../x", First::kPopup},
                                           PathCase{"../../x", First::kDevice},
                                           PathCase{"..", First::kPopup},
                                           PathCase{"Pier-2", First::kDevice}));

}  // namespace
}  // namespace zm::test
