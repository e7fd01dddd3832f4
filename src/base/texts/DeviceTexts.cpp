#include "base/texts/DeviceTexts.h"

namespace zm::texts {

constinit const CMlsEntry tpTavDevice_No_connection{"tpTavDevice_No_connection", "No connection",
                                                    true, "TavDevice"};
constinit const CMlsEntry tpTavDevice_Online_and_Ok{"tpTavDevice_Online_and_Ok", "Online and Ok",
                                                    true, "TavDevice"};
constinit const CMlsEntry tpTavDevice_Monitoring_OFF{"tpTavDevice_Monitoring_OFF", "Monitoring OFF",
                                                     true, "TavDevice"};
constinit const CMlsEntry tpTavDevice_Data_is_absent{"tpTavDevice_Data_is_absent", "Data is absent",
                                                     true, "TavDevice"};
constinit const CMlsEntry tpTavDevice_Emulation_mode{"tpTavDevice_Emulation_mode", "Emulation mode",
                                                     true, "TavDevice"};
constinit const CMlsEntry tpTavDevice_Alarm_reported{"tpTavDevice_Alarm_reported", "Alarm reported",
                                                     true, "TavDevice"};
constinit const CMlsEntry tpTavDevice_Unknown_status{"tpTavDevice_Unknown_status", "Unknown status",
                                                     true, "TavDevice"};
constinit const CMlsEntry tpTavDevice_DevStatus{"tpTavDevice_DevStatus", "DevStatus", true,
                                                "TavDevice"};
constinit const CMlsEntry tpTavDevice_Status{"tpTavDevice_Status", "Status", true, "TavDevice"};
constinit const CMlsEntry tpTavDevice_DatStatus{"tpTavDevice_DatStatus", "DatStatus", true,
                                                "TavDevice"};
constinit const CMlsEntry tpTavDevice_Data4Sets{"tpTavDevice_Data4Sets", "Data4Sets", true,
                                                "TavDevice"};
constinit const CMlsEntry tpTavDevice_Data4Ctrl{"tpTavDevice_Data4Ctrl", "Data4Ctrl", true,
                                                "TavDevice"};
constinit const CMlsEntry tpTavDevice_No{"tpTavDevice_No", "No", true, "TavDevice"};
constinit const CMlsEntry tpTavDevice_data{"tpTavDevice_data", "data", true, "TavDevice"};
constinit const CMlsEntry tpTavDevice_Data1Line{"tpTavDevice_Data1Line", "Data1Line", true,
                                                "TavDevice"};
constinit const CMlsEntry tpTavDevice_DataDateTime{"tpTavDevice_DataDateTime", "DataDateTime", true,
                                                   "TavDevice"};
constinit const CMlsEntry tpTavDevice_TrackString{"tpTavDevice_TrackString", "TrackString", true,
                                                  "TavDevice"};
constinit const CMlsEntry tpTavDevice_LastRMC{"tpTavDevice_LastRMC", "LastRMC", true, "TavDevice"};
constinit const CMlsEntry tpTavDevice_Link{"tpTavDevice_Link", "Link", true, "TavDevice"};
constinit const CMlsEntry tpTavDevice_Current_value{"tpTavDevice_Current_value", "Current value",
                                                    true, "TavDevice"};
constinit const CMlsEntry tpDeviceStatus_ALARM{"tpDeviceStatus_ALARM", "ALARM", true,
                                               "Device Statuses"};
constinit const CMlsEntry tpDeviceStatus_Connection{"tpDeviceStatus_Connection", "Connection", true,
                                                    "Device Statuses"};

namespace {
constexpr const CMlsEntry* kAll[] = {
    &tpTavDevice_No_connection,
    &tpTavDevice_Online_and_Ok,
    &tpTavDevice_Monitoring_OFF,
    &tpTavDevice_Data_is_absent,
    &tpTavDevice_Emulation_mode,
    &tpTavDevice_Alarm_reported,
    &tpTavDevice_Unknown_status,
    &tpTavDevice_DevStatus,
    &tpTavDevice_Status,
    &tpTavDevice_DatStatus,
    &tpTavDevice_Data4Sets,
    &tpTavDevice_Data4Ctrl,
    &tpTavDevice_No,
    &tpTavDevice_data,
    &tpTavDevice_Data1Line,
    &tpTavDevice_DataDateTime,
    &tpTavDevice_TrackString,
    &tpTavDevice_LastRMC,
    &tpTavDevice_Link,
    &tpTavDevice_Current_value,
    &tpDeviceStatus_ALARM,
    &tpDeviceStatus_Connection,
};
}  // namespace

std::span<const CMlsEntry* const> DeviceTexts() {
    return kAll;
}

}  // namespace zm::texts
