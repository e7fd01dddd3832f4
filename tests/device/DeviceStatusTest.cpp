#include "device/DeviceStatus.h"

#include <gtest/gtest.h>

namespace zm {
namespace {

struct DataRow {
    int code;
    const char* shortText;
    const char* longText;
    int deviceStatus;
};

TEST(DeviceStatus, DataStatusTableGivesTextsAndDeviceStatus) {
    const DataRow rows[] = {
        {0, "no errors", "Data Available", 1},
        {1, "waiting", "Connecting ...", 3},
        {2, "scanning off", "Scanning OFF", 2},
        {3, "port error", "No Connection", 0},
        {4, "no response", "No Response", 0},
        {5, "crc failure", "ERR_CRCFAIL", 0},
        {6, "parse error", "Wrong Device", 3},
        {7, "wrong device", "Wrong Device", 3},
        {8, "device-flag", "Initialization", 3},
        {9, "emulation", "Data Emulated", 4},
        {10, "- achtung -", "Alarm Reported", 5},
        // Outside the table: the nearer end.
        {11, "- achtung -", "Alarm Reported", 5},
        {1000, "- achtung -", "Alarm Reported", 5},
        {-1, "no errors", "Data Available", 1},
    };
    for (const DataRow& row : rows) {
        SCOPED_TRACE(row.code);
        EXPECT_STREQ(DataStatusText(row.code, false), row.shortText);
        EXPECT_STREQ(DataStatusText(row.code, true), row.longText);
        EXPECT_EQ(DeviceStatusForData(row.code), row.deviceStatus);
    }
}

TEST(DeviceStatus, DeviceStatusTextsOnlineFlagsAndIcons) {
    struct Row {
        int code;
        const char* text;
        bool online;
        int icon;
    };
    const Row rows[] = {
        {0, "No connection", false, 0},  {1, "Online and Ok", true, 1},
        {2, "Monitoring OFF", false, 2}, {3, "Data is absent", false, 3},
        {4, "Emulation mode", true, 4},  {5, "Alarm reported", true, 5},
        {6, "Unknown status", false, 6}, {-1, "Unknown status", false, 6},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.code);
        EXPECT_EQ(DeviceStatusText(row.code), row.text);
        EXPECT_EQ(IsOnlineStatus(row.code), row.online);
        EXPECT_EQ(StatusIconIndex(row.code), row.icon);
    }
}

TEST(DeviceStatus, DataIsPresentOnlyForAvailableEmulatedAndAlarmData) {
    for (int code = 0; code <= 10; ++code) {
        EXPECT_EQ(IsDataPresent(code), code == 0 || code == 9 || code == 10) << code;
    }
    // Codes outside the table count as its nearest end, as for the texts and the status.
    for (int code : {-1000, -1, 11, 12345}) {
        EXPECT_TRUE(IsDataPresent(code)) << code;
        EXPECT_EQ(IsDataPresent(code), IsDataPresent(ClampDataStatus(code))) << code;
    }
}

}  // namespace
}  // namespace zm
