#pragma once

#include <span>

#include "base/MlsEntry.h"

// Main window, device list, map view and alarm windows.
namespace zm::texts {

extern const CMlsEntry tpZorDevsView_EmbeddedViewerIsDisabled;
extern const CMlsEntry tpZorDevsView_MultipleSelect;
extern const CMlsEntry tpZorDevsView_Settings;
extern const CMlsEntry tpZorDevsView_LinkSettings;
extern const CMlsEntry tpZorDevsView_GetStatus;
extern const CMlsEntry tpZorDevsView_Start;
extern const CMlsEntry tpZorDevsView_Stop;
extern const CMlsEntry tpZorDevsView_FlyToAllDevices;
extern const CMlsEntry tpZorDevsView_FlyToThisDevice;
extern const CMlsEntry tpZorDevsView_FlyToDevices;
extern const CMlsEntry tpZorDevsView_AddNewDevice;
extern const CMlsEntry tpZorDevsView_RemoveThisDevice;
extern const CMlsEntry tpZorDevsView_RemoveDevices;
extern const CMlsEntry tpZorDevsView_OpenDataLog;
extern const CMlsEntry tpZorDevsView_SelectedDevice;
extern const CMlsEntry tpZorDevsView_status;
extern const CMlsEntry tpZorDevsView_since;
extern const CMlsEntry tpZorDevsView_DeleteThisDevice;
extern const CMlsEntry tpZorDevsView_DeviceStatus;
extern const CMlsEntry tpZorDevsView_local_time;
extern const CMlsEntry tpZorDevsView_DeviceInfo;
extern const CMlsEntry tpZorDevsView_Location;
extern const CMlsEntry tpZorDevsView_Value;
extern const CMlsEntry tpZorDevsView_CanModifyOnlyFirst;
extern const CMlsEntry tpZorDevsView_SelectTheDevice;
extern const CMlsEntry tpDevListCols_Sensor;
extern const CMlsEntry tpDevListCols_Status;
extern const CMlsEntry tpDevListCols_Pressure;
extern const CMlsEntry tpDevListCols_Temperature;
extern const CMlsEntry tpDevListCols_Sealevel;
extern const CMlsEntry tpDevListCols_Position;
extern const CMlsEntry tpDevListCols_Link;
extern const CMlsEntry tpDevListCols_Statistics;
extern const CMlsEntry tpDevListCols_Parameters;
extern const CMlsEntry tpDevListCols_Lat_Lon_Val;
extern const CMlsEntry tpGeoMapView_GeographicVisualization;
extern const CMlsEntry tpGeoMapView_EmbeddedViewerIsDisabled;
extern const CMlsEntry tpZorManagerWnd_Advanced_mode_allows;
extern const CMlsEntry tpZorManagerWnd_Advanced_mode_now;
extern const CMlsEntry tpZorManagerWnd_ON;
extern const CMlsEntry tpZorManagerWnd_OFF;
extern const CMlsEntry tpZorManagerWndBtn_ControlPanel;
extern const CMlsEntry tpZorManagerWndBtn_ReservedFeature;
extern const CMlsEntry tpZorManagerWndBtn_AddNewDevice;
extern const CMlsEntry tpZorManagerWndBtn_DeleteTheDevice;
extern const CMlsEntry tpZorManagerWndBtn_DeviceSettings;
extern const CMlsEntry tpAlarmView_NoAlarms;
extern const CMlsEntry tpAlarmView_LastDevice;
extern const CMlsEntry tpAlarmView_Sensor;
extern const CMlsEntry tpAlarmView_Substance;
extern const CMlsEntry tpAlarmView_Time;
extern const CMlsEntry tpAlarmView_Positions;
extern const CMlsEntry tpAlarmView_Details;
extern const CMlsEntry tpAlarmView_ClearAlarmHistory;
extern const CMlsEntry tpAlarmView_ClearLogFile;
extern const CMlsEntry tpAlarmViewHeader_Nr;
extern const CMlsEntry tpAlarmViewHeader_Time;
extern const CMlsEntry tpAlarmViewHeader_Substance;
extern const CMlsEntry tpAlarmViewHeader_AlarmLogStarted;
extern const CMlsEntry tpAlarmViewHeader_Latitude;
extern const CMlsEntry tpAlarmViewHeader_Longitude;
extern const CMlsEntry tpAlarmViewHeader_Speed;
extern const CMlsEntry tpAlarmViewHeader_Course;
extern const CMlsEntry tpAlarmViewHeader_Altitude;
extern const CMlsEntry tpAlarmViewHeader_GMT;

// Every entry of this file, in catalogue order.
std::span<const CMlsEntry* const> WindowTexts();

}  // namespace zm::texts
