#include "base/texts/WindowTexts.h"

namespace zm::texts {

constinit const CMlsEntry tpZorDevsView_EmbeddedViewerIsDisabled{
    "tpZorDevsView_EmbeddedViewerIsDisabled", "Embedded viewer is disabled", true, "ZorDevsView"};
constinit const CMlsEntry tpZorDevsView_MultipleSelect{"tpZorDevsView_MultipleSelect",
                                                       "Multiple select", true, "ZorDevsView"};
constinit const CMlsEntry tpZorDevsView_Settings{"tpZorDevsView_Settings", "Settings", true,
                                                 "ZorDevsView"};
constinit const CMlsEntry tpZorDevsView_LinkSettings{"tpZorDevsView_LinkSettings", "Link Settings",
                                                     true, "ZorDevsView"};
constinit const CMlsEntry tpZorDevsView_GetStatus{"tpZorDevsView_GetStatus", "GetStatus", true,
                                                  "ZorDevsView"};
constinit const CMlsEntry tpZorDevsView_Start{"tpZorDevsView_Start", "Start", true, "ZorDevsView"};
constinit const CMlsEntry tpZorDevsView_Stop{"tpZorDevsView_Stop", "Stop", true, "ZorDevsView"};
constinit const CMlsEntry tpZorDevsView_FlyToAllDevices{"tpZorDevsView_FlyToAllDevices",
                                                        "Fly to all devices", true, "ZorDevsView"};
constinit const CMlsEntry tpZorDevsView_FlyToThisDevice{"tpZorDevsView_FlyToThisDevice",
                                                        "Fly to this device", true, "ZorDevsView"};
constinit const CMlsEntry tpZorDevsView_FlyToDevices{"tpZorDevsView_FlyToDevices", "Fly to devices",
                                                     true, "ZorDevsView"};
constinit const CMlsEntry tpZorDevsView_AddNewDevice{"tpZorDevsView_AddNewDevice", "Add new device",
                                                     true, "ZorDevsView"};
constinit const CMlsEntry tpZorDevsView_RemoveThisDevice{"tpZorDevsView_RemoveThisDevice",
                                                         "Remove this device", true, "ZorDevsView"};
constinit const CMlsEntry tpZorDevsView_RemoveDevices{"tpZorDevsView_RemoveDevices",
                                                      "Remove devices", true, "ZorDevsView"};
constinit const CMlsEntry tpZorDevsView_OpenDataLog{"tpZorDevsView_OpenDataLog", "Open Data Log",
                                                    true, "ZorDevsView"};
constinit const CMlsEntry tpZorDevsView_SelectedDevice{"tpZorDevsView_SelectedDevice",
                                                       "Selected device(s):", true, "ZorDevsView"};
constinit const CMlsEntry tpZorDevsView_status{"tpZorDevsView_status", "status", true,
                                               "ZorDevsView"};
constinit const CMlsEntry tpZorDevsView_since{"tpZorDevsView_since", "since", true, "ZorDevsView"};
constinit const CMlsEntry tpZorDevsView_DeleteThisDevice{
    "tpZorDevsView_DeleteThisDevice", "Are you sure to delete this device", true, "ZorDevsView"};
constinit const CMlsEntry tpZorDevsView_DeviceStatus{"tpZorDevsView_DeviceStatus", "Device status",
                                                     true, "ZorDevsView"};
constinit const CMlsEntry tpZorDevsView_local_time{"tpZorDevsView_local_time", "local time", true,
                                                   "ZorDevsView"};
constinit const CMlsEntry tpZorDevsView_DeviceInfo{"tpZorDevsView_DeviceInfo", "Device info", true,
                                                   "ZorDevsView"};
constinit const CMlsEntry tpZorDevsView_Location{"tpZorDevsView_Location", "Location", true,
                                                 "ZorDevsView"};
constinit const CMlsEntry tpZorDevsView_Value{"tpZorDevsView_Value", "Value", true, "ZorDevsView"};
constinit const CMlsEntry tpZorDevsView_CanModifyOnlyFirst{
    "tpZorDevsView_CanModifyOnlyFirst", "You can modify only first selected device", true,
    "ZorDevsView"};
constinit const CMlsEntry tpZorDevsView_SelectTheDevice{
    "tpZorDevsView_SelectTheDevice", "Please select the device", true, "ZorDevsView"};
constinit const CMlsEntry tpDevListCols_Sensor{"tpDevListCols_Sensor", "Sensor", true,
                                               "DevListCols"};
constinit const CMlsEntry tpDevListCols_Status{"tpDevListCols_Status", "Status", true,
                                               "DevListCols"};
constinit const CMlsEntry tpDevListCols_Pressure{"tpDevListCols_Pressure", "Pressure", true,
                                                 "DevListCols"};
constinit const CMlsEntry tpDevListCols_Temperature{"tpDevListCols_Temperature", "Temperature",
                                                    true, "DevListCols"};
constinit const CMlsEntry tpDevListCols_Sealevel{"tpDevListCols_Sealevel", "Sealevel", true,
                                                 "DevListCols"};
constinit const CMlsEntry tpDevListCols_Position{"tpDevListCols_Position", "Position", true,
                                                 "DevListCols"};
constinit const CMlsEntry tpDevListCols_Link{"tpDevListCols_Link", "Link", true, "DevListCols"};
constinit const CMlsEntry tpDevListCols_Statistics{"tpDevListCols_Statistics", "Statistics", true,
                                                   "DevListCols"};
constinit const CMlsEntry tpDevListCols_Parameters{"tpDevListCols_Parameters", "Parameters", true,
                                                   "DevListCols"};
constinit const CMlsEntry tpDevListCols_Lat_Lon_Val{"tpDevListCols_Lat_Lon_Val", "Lat,Lon,Val",
                                                    true, "DevListCols"};
constinit const CMlsEntry tpGeoMapView_GeographicVisualization{
    "tpGeoMapView_GeographicVisualization",
    "Real-time geographic visualization (click to open in browser)", true, "GeoMapView"};
constinit const CMlsEntry tpGeoMapView_EmbeddedViewerIsDisabled{
    "tpGeoMapView_EmbeddedViewerIsDisabled", "Embedded viewer is disabled", true, "GeoMapView"};
constinit const CMlsEntry tpZorManagerWnd_Advanced_mode_allows{
    "tpZorManagerWnd_Advanced_mode_allows",
    "Advanced mode allows you to see additional technical properties of your devices, which are "
    "not required for the normal operation of sensors. Do you wish to proceed?",
    true, "ZorManagerWnd"};
constinit const CMlsEntry tpZorManagerWnd_Advanced_mode_now{
    "tpZorManagerWnd_Advanced_mode_now", "Advanced mode is now", true, "ZorManagerWnd"};
constinit const CMlsEntry tpZorManagerWnd_ON{"tpZorManagerWnd_ON", "ON", true, "ZorManagerWnd"};
constinit const CMlsEntry tpZorManagerWnd_OFF{"tpZorManagerWnd_OFF", "OFF", true, "ZorManagerWnd"};
constinit const CMlsEntry tpZorManagerWndBtn_ControlPanel{"tpZorManagerWndBtn_ControlPanel",
                                                          "Control Panel", true, "ButtsCaptions"};
constinit const CMlsEntry tpZorManagerWndBtn_ReservedFeature{
    "tpZorManagerWndBtn_ReservedFeature", "Reserved feature", true, "ButtsCaptions"};
constinit const CMlsEntry tpZorManagerWndBtn_AddNewDevice{"tpZorManagerWndBtn_AddNewDevice",
                                                          "Add new device", true, "ButtsCaptions"};
constinit const CMlsEntry tpZorManagerWndBtn_DeleteTheDevice{
    "tpZorManagerWndBtn_DeleteTheDevice", "Delete the device", true, "ButtsCaptions"};
constinit const CMlsEntry tpZorManagerWndBtn_DeviceSettings{
    "tpZorManagerWndBtn_DeviceSettings", "Device settings", true, "ButtsCaptions"};
constinit const CMlsEntry tpAlarmView_NoAlarms{"tpAlarmView_NoAlarms", "NO ALARMS", true,
                                               "AlarmView"};
constinit const CMlsEntry tpAlarmView_LastDevice{"tpAlarmView_LastDevice", "Last device", true,
                                                 "AlarmView"};
constinit const CMlsEntry tpAlarmView_Sensor{"tpAlarmView_Sensor", "Sensor", true, "AlarmView"};
constinit const CMlsEntry tpAlarmView_Substance{"tpAlarmView_Substance", "Substance", true,
                                                "AlarmView"};
constinit const CMlsEntry tpAlarmView_Time{"tpAlarmView_Time", "Time", true, "AlarmView"};
constinit const CMlsEntry tpAlarmView_Positions{"tpAlarmView_Positions", "Positions", true,
                                                "AlarmView"};
constinit const CMlsEntry tpAlarmView_Details{"tpAlarmView_Details", "Details", true, "AlarmView"};
constinit const CMlsEntry tpAlarmView_ClearAlarmHistory{
    "tpAlarmView_ClearAlarmHistory", "Really clear alarm history", true, "AlarmView"};
constinit const CMlsEntry tpAlarmView_ClearLogFile{
    "tpAlarmView_ClearLogFile", "This will clear current log-file data as well", true, "AlarmView"};
constinit const CMlsEntry tpAlarmViewHeader_Nr{"tpAlarmViewHeader_Nr", "Nr", true,
                                               "AlarmViewHeader"};
constinit const CMlsEntry tpAlarmViewHeader_Time{"tpAlarmViewHeader_Time", "Time", true,
                                                 "AlarmViewHeader"};
constinit const CMlsEntry tpAlarmViewHeader_Substance{"tpAlarmViewHeader_Substance", "Substance",
                                                      true, "AlarmViewHeader"};
constinit const CMlsEntry tpAlarmViewHeader_AlarmLogStarted{
    "tpAlarmViewHeader_AlarmLogStarted", "Alarm log started", true, "AlarmViewHeader"};
constinit const CMlsEntry tpAlarmViewHeader_Latitude{"tpAlarmViewHeader_Latitude", "Latitude", true,
                                                     "AlarmViewHeader"};
constinit const CMlsEntry tpAlarmViewHeader_Longitude{"tpAlarmViewHeader_Longitude", "Longitude",
                                                      true, "AlarmViewHeader"};
constinit const CMlsEntry tpAlarmViewHeader_Speed{"tpAlarmViewHeader_Speed", "Speed", true,
                                                  "AlarmViewHeader"};
constinit const CMlsEntry tpAlarmViewHeader_Course{"tpAlarmViewHeader_Course", "Course", true,
                                                   "AlarmViewHeader"};
constinit const CMlsEntry tpAlarmViewHeader_Altitude{"tpAlarmViewHeader_Altitude", "Altitude", true,
                                                     "AlarmViewHeader"};
constinit const CMlsEntry tpAlarmViewHeader_GMT{"tpAlarmViewHeader_GMT", "GMT", true,
                                                "AlarmViewHeader"};

namespace {
constexpr const CMlsEntry* kAll[] = {
    &tpZorDevsView_EmbeddedViewerIsDisabled,
    &tpZorDevsView_MultipleSelect,
    &tpZorDevsView_Settings,
    &tpZorDevsView_LinkSettings,
    &tpZorDevsView_GetStatus,
    &tpZorDevsView_Start,
    &tpZorDevsView_Stop,
    &tpZorDevsView_FlyToAllDevices,
    &tpZorDevsView_FlyToThisDevice,
    &tpZorDevsView_FlyToDevices,
    &tpZorDevsView_AddNewDevice,
    &tpZorDevsView_RemoveThisDevice,
    &tpZorDevsView_RemoveDevices,
    &tpZorDevsView_OpenDataLog,
    &tpZorDevsView_SelectedDevice,
    &tpZorDevsView_status,
    &tpZorDevsView_since,
    &tpZorDevsView_DeleteThisDevice,
    &tpZorDevsView_DeviceStatus,
    &tpZorDevsView_local_time,
    &tpZorDevsView_DeviceInfo,
    &tpZorDevsView_Location,
    &tpZorDevsView_Value,
    &tpZorDevsView_CanModifyOnlyFirst,
    &tpZorDevsView_SelectTheDevice,
    &tpDevListCols_Sensor,
    &tpDevListCols_Status,
    &tpDevListCols_Pressure,
    &tpDevListCols_Temperature,
    &tpDevListCols_Sealevel,
    &tpDevListCols_Position,
    &tpDevListCols_Link,
    &tpDevListCols_Statistics,
    &tpDevListCols_Parameters,
    &tpDevListCols_Lat_Lon_Val,
    &tpGeoMapView_GeographicVisualization,
    &tpGeoMapView_EmbeddedViewerIsDisabled,
    &tpZorManagerWnd_Advanced_mode_allows,
    &tpZorManagerWnd_Advanced_mode_now,
    &tpZorManagerWnd_ON,
    &tpZorManagerWnd_OFF,
    &tpZorManagerWndBtn_ControlPanel,
    &tpZorManagerWndBtn_ReservedFeature,
    &tpZorManagerWndBtn_AddNewDevice,
    &tpZorManagerWndBtn_DeleteTheDevice,
    &tpZorManagerWndBtn_DeviceSettings,
    &tpAlarmView_NoAlarms,
    &tpAlarmView_LastDevice,
    &tpAlarmView_Sensor,
    &tpAlarmView_Substance,
    &tpAlarmView_Time,
    &tpAlarmView_Positions,
    &tpAlarmView_Details,
    &tpAlarmView_ClearAlarmHistory,
    &tpAlarmView_ClearLogFile,
    &tpAlarmViewHeader_Nr,
    &tpAlarmViewHeader_Time,
    &tpAlarmViewHeader_Substance,
    &tpAlarmViewHeader_AlarmLogStarted,
    &tpAlarmViewHeader_Latitude,
    &tpAlarmViewHeader_Longitude,
    &tpAlarmViewHeader_Speed,
    &tpAlarmViewHeader_Course,
    &tpAlarmViewHeader_Altitude,
    &tpAlarmViewHeader_GMT,
};
}  // namespace

std::span<const CMlsEntry* const> WindowTexts() {
    return kAll;
}

}  // namespace zm::texts
