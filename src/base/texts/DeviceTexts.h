#pragma once

#include <span>

#include "base/MlsEntry.h"

// The generic device: status words and the keys of its information query.
namespace zm::texts {

extern const CMlsEntry tpTavDevice_No_connection;
extern const CMlsEntry tpTavDevice_Online_and_Ok;
extern const CMlsEntry tpTavDevice_Monitoring_OFF;
extern const CMlsEntry tpTavDevice_Data_is_absent;
extern const CMlsEntry tpTavDevice_Emulation_mode;
extern const CMlsEntry tpTavDevice_Alarm_reported;
extern const CMlsEntry tpTavDevice_Unknown_status;
extern const CMlsEntry tpTavDevice_DevStatus;
extern const CMlsEntry tpTavDevice_Status;
extern const CMlsEntry tpTavDevice_DatStatus;
extern const CMlsEntry tpTavDevice_Data4Sets;
extern const CMlsEntry tpTavDevice_Data4Ctrl;
extern const CMlsEntry tpTavDevice_No;
extern const CMlsEntry tpTavDevice_data;
extern const CMlsEntry tpTavDevice_Data1Line;
extern const CMlsEntry tpTavDevice_DataDateTime;
extern const CMlsEntry tpTavDevice_TrackString;
extern const CMlsEntry tpTavDevice_LastRMC;
extern const CMlsEntry tpTavDevice_Link;
extern const CMlsEntry tpTavDevice_Current_value;
extern const CMlsEntry tpDeviceStatus_ALARM;
extern const CMlsEntry tpDeviceStatus_Connection;

// Every entry of this file, in catalogue order.
std::span<const CMlsEntry* const> DeviceTexts();

}  // namespace zm::texts
