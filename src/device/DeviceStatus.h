#pragma once

#include <cstdint>
#include <string>

namespace zm {

// Device status codes: what a device reports about itself as a whole.
enum DeviceStatusCode : int32_t {
    kDevNoConnection = 0,
    kDevOnlineOk = 1,
    kDevMonitoringOff = 2,
    kDevDataAbsent = 3,
    kDevEmulation = 4,
    kDevAlarm = 5,
};

// Data status codes: the outcome of the latest data exchange.
enum DataStatusCode : int32_t {
    kDataOk = 0,
    kDataWaiting = 1,
    kDataScanningOff = 2,
    kDataPortError = 3,
    kDataNoResponse = 4,
    kDataCrcFailure = 5,
    kDataParseError = 6,
    kDataWrongDevice = 7,
    kDataDeviceFlag = 8,
    kDataEmulation = 9,
    kDataAlarm = 10,
};

// Codes outside 0..10 behave as the nearer end of the table.
int32_t ClampDataStatus(int32_t code);

// Short ("no errors") or long ("Data Available") fixed text of a data status.
const char* DataStatusText(int32_t code, bool longText);

// The device status that a data status stands for.
int32_t DeviceStatusForData(int32_t dataStatus);

// Data counts as present for statuses 0, 9 and 10.
bool IsDataPresent(int32_t dataStatus);

// Codes 1, 4 and 5 count as online.
bool IsOnlineStatus(int32_t deviceStatus);

// Translated text of a device status ("No connection" ... "Unknown status").
std::string DeviceStatusText(int32_t deviceStatus);

// Index of the status icon for a device status: the code itself for 0..5, 6 for any
// other code (an "unknown" image after the six status images).
int StatusIconIndex(int32_t deviceStatus);

}  // namespace zm
