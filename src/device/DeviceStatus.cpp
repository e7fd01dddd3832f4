#include "device/DeviceStatus.h"

#include "device/TavTexts.h"

namespace zm {

namespace {

struct DataStatusRow {
    const char* shortText;
    const char* longText;
    int32_t deviceStatus;
};

constexpr DataStatusRow kDataStatusRows[] = {
    {"no errors", "Data Available", kDevOnlineOk},
    {"waiting", "Connecting ...", kDevDataAbsent},
    {"scanning off", "Scanning OFF", kDevMonitoringOff},
    {"port error", "No Connection", kDevNoConnection},
    {"no response", "No Response", kDevNoConnection},
    {"crc failure", "ERR_CRCFAIL", kDevNoConnection},
    {"parse error", "Wrong Device", kDevDataAbsent},
    {"wrong device", "Wrong Device", kDevDataAbsent},
    {"device-flag", "Initialization", kDevDataAbsent},
    {"emulation", "Data Emulated", kDevEmulation},
    {"- achtung -", "Alarm Reported", kDevAlarm},
};

}  // namespace

int32_t ClampDataStatus(int32_t code) {
    if (code < kDataOk) {
        return kDataOk;
    }
    if (code > kDataAlarm) {
        return kDataAlarm;
    }
    return code;
}

const char* DataStatusText(int32_t code, bool longText) {
    const DataStatusRow& row = kDataStatusRows[ClampDataStatus(code)];
    return longText ? row.longText : row.shortText;
}

int32_t DeviceStatusForData(int32_t dataStatus) {
    return kDataStatusRows[ClampDataStatus(dataStatus)].deviceStatus;
}

bool IsDataPresent(int32_t dataStatus) {
    // Outside 0 to 10 a code counts as the nearest end, as everywhere else.
    const int32_t code = ClampDataStatus(dataStatus);
    return code == kDataOk || code == kDataEmulation || code == kDataAlarm;
}

bool IsOnlineStatus(int32_t deviceStatus) {
    return deviceStatus == kDevOnlineOk || deviceStatus == kDevEmulation ||
           deviceStatus == kDevAlarm;
}

std::string DeviceStatusText(int32_t deviceStatus) {
    switch (deviceStatus) {
        case kDevNoConnection:
            return TavText(tavtext::kNoConnection);
        case kDevOnlineOk:
            return TavText(tavtext::kOnlineAndOk);
        case kDevMonitoringOff:
            return TavText(tavtext::kMonitoringOff);
        case kDevDataAbsent:
            return TavText(tavtext::kDataIsAbsent);
        case kDevEmulation:
            return TavText(tavtext::kEmulationMode);
        case kDevAlarm:
            return TavText(tavtext::kAlarmReported);
        default:
            return TavText(tavtext::kUnknownStatus);
    }
}

int StatusIconIndex(int32_t deviceStatus) {
    return (deviceStatus >= kDevNoConnection && deviceStatus <= kDevAlarm) ? deviceStatus : 6;
}

}  // namespace zm
