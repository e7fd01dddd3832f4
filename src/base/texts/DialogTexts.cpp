#include "base/texts/DialogTexts.h"

namespace zm::texts {

constinit const CMlsEntry tpZorDevDlg_Name{"tpZorDevDlg_Name", "Name", true, "ZorDevDlg"};
constinit const CMlsEntry tpZorDevDlg_Latitude{"tpZorDevDlg_Latitude", "Latitude", true,
                                               "ZorDevDlg"};
constinit const CMlsEntry tpZorDevDlg_Longitude{"tpZorDevDlg_Longitude", "Longitude", true,
                                                "ZorDevDlg"};
constinit const CMlsEntry tpZorDevDlg_Set_Color{"tpZorDevDlg_Set_Color", "Set Color ...", true,
                                                "ZorDevDlg"};
constinit const CMlsEntry tpZorDevDlg_Link_Settings{"tpZorDevDlg_Link_Settings",
                                                    "Link Settings ...", true, "ZorDevDlg"};
constinit const CMlsEntry tpZorDevDlg_Receive_basic_data{
    "tpZorDevDlg_Receive_basic_data", "  Receive basic data (device state)", true, "ZorDevDlg"};
constinit const CMlsEntry tpZorDevDlg_Receive_detailed_data{
    "tpZorDevDlg_Receive_detailed_data", "  Receive detailed data (trend values)", true,
    "ZorDevDlg"};
constinit const CMlsEntry tpZorDevDlg_BasicSettings{"tpZorDevDlg_BasicSettings", "basic settings",
                                                    true, "ZorDevDlg"};
constinit const CMlsEntry tpZorDevDlg_SamplePause{"tpZorDevDlg_SamplePause", "Sample pause", true,
                                                  "ZorDevDlg"};
constinit const CMlsEntry tpZorDevDlg_DeviceTypeWait{"tpZorDevDlg_DeviceTypeWait",
                                                     "Device Type: (wait ...)", true, "ZorDevDlg"};
constinit const CMlsEntry tpZorDevDlg_ReadParams{"tpZorDevDlg_ReadParams",
                                                 "Read Params From Device", true, "ZorDevDlg"};
constinit const CMlsEntry tpZorDevDlg_DeviceTypeUnknown{
    "tpZorDevDlg_DeviceTypeUnknown", "Device Type: Unknown (click to update)", true, "ZorDevDlg"};
constinit const CMlsEntry tpZorDevDlg_24h{"tpZorDevDlg_24h", "24 h", true, "ZorDevDlg"};
constinit const CMlsEntry tpZorSetsDlg_SearchingDevice{
    "tpZorSetsDlg_SearchingDevice", "Searching device with address", true, "ZorSetsDlg"};
constinit const CMlsEntry tpZorSetsDlg_total{"tpZorSetsDlg_total", "total", true, "ZorSetsDlg"};
constinit const CMlsEntry tpZorSetsDlg_FoundSoFar{"tpZorSetsDlg_FoundSoFar", "Found so far", true,
                                                  "ZorSetsDlg"};
constinit const CMlsEntry tpZorSetsDlg_SureToCancel{
    "tpZorSetsDlg_SureToCancel", "Are you sure you want to cancel searching", true, "ZorSetsDlg"};
constinit const CMlsEntry tpZorSetsDlg_DoYouWantContinue{
    "tpZorSetsDlg_DoYouWantContinue",
    "Search operation for available devices linked to Com Port may take time approximately 5-10 "
    "minutes. Do you want to continue",
    true, "ZorSetsDlg"};
constinit const CMlsEntry tpZorSetsDlg_PleaseWait{"tpZorSetsDlg_PleaseWait", "Please wait...", true,
                                                  "ZorSetsDlg"};
constinit const CMlsEntry tpZorSetsDlg_WasCanceled{
    "tpZorSetsDlg_WasCanceled", "Searching was canceled by user", true, "ZorSetsDlg"};
constinit const CMlsEntry tpZorSetsDlg_ReadTimeoutError{"tpZorSetsDlg_ReadTimeoutError",
                                                        "Read timeout error", true, "ZorSetsDlg"};
constinit const CMlsEntry tpZorSetsDlg_Addr{"tpZorSetsDlg_Addr", "Addr", true, "ZorSetsDlg"};
constinit const CMlsEntry tpZorSetsDlg_AvailableDevices{
    "tpZorSetsDlg_AvailableDevices", "Available devices linked to Com Port", true, "ZorSetsDlg"};
constinit const CMlsEntry tpZorSetsDlg_NoAvailableDevices{
    "tpZorSetsDlg_NoAvailableDevices", "No available devices which are linked to Com Port", true,
    "ZorSetsDlg"};
constinit const CMlsEntry tpZorSetsDlg_LinkSettings{"tpZorSetsDlg_LinkSettings", "link settings",
                                                    true, "ZorSetsDlg"};
constinit const CMlsEntry tpZorSetsDlg_ScanForDevices{"tpZorSetsDlg_ScanForDevices",
                                                      "Scan for devices", true, "ZorSetsDlg"};
constinit const CMlsEntry tpTavSettings_TavSettings{"tpTavSettings_TavSettings", "TAV settings",
                                                    true, "TAV settings"};
constinit const CMlsEntry tpTavSettings_LinkSettings{"tpTavSettings_LinkSettings",
                                                     "Link settings:", true, "TAV settings"};
constinit const CMlsEntry tpTavSettings_DataStream{
    "tpTavSettings_DataStream", "Online (raw-) data stream:", true, "TAV settings"};
constinit const CMlsEntry tpTavSettings_dev_sets_view{"tpTavSettings_dev_sets_view",
                                                      "Device settings view", true, "TAV settings"};
constinit const CMlsEntry tpTavSettings_link_sets_view{"tpTavSettings_link_sets_view",
                                                       "Link settings view", true, "TAV settings"};
constinit const CMlsEntry tpTavSettings_DeviceStatus{"tpTavSettings_DeviceStatus",
                                                     "Device status  =>", true, "TAV settings"};
constinit const CMlsEntry tpTavSettings_START{"tpTavSettings_START", "START", true, "TAV settings"};
constinit const CMlsEntry tpTavSettings_STOP{"tpTavSettings_STOP", "STOP", true, "TAV settings"};
constinit const CMlsEntry tpTavSettings_LinkStatus{"tpTavSettings_LinkStatus", "Link Status  =>",
                                                   true, "TAV settings"};
constinit const CMlsEntry tpTavSettings_DecodedData{"tpTavSettings_DecodedData",
                                                    "Decoded data :", true, "TAV settings"};
constinit const CMlsEntry tpTavSettings_DeviceSettings{"tpTavSettings_DeviceSettings",
                                                       "Device settings:", true, "TAV settings"};
constinit const CMlsEntry tpTavSettings_SetDefaults{"tpTavSettings_SetDefaults", "Set Defaults",
                                                    true, "TAV settings"};
constinit const CMlsEntry tpZorSetsView_{"tpZorSetsView_", "", true, "ZorSetsView"};
constinit const CMlsEntry tpZorSetsView_KeepLink{"tpZorSetsView_KeepLink", "KeepLink", true,
                                                 "ZorSetsView"};
constinit const CMlsEntry tpZorSetsView_DevName{"tpZorSetsView_DevName", "Dev.Name", true,
                                                "ZorSetsView"};
constinit const CMlsEntry tpZorSetsView_DevAddress{"tpZorSetsView_DevAddress", "Dev.Address", true,
                                                   "ZorSetsView"};
constinit const CMlsEntry tpZorSetsView_TestLink{"tpZorSetsView_TestLink", "TestLink", true,
                                                 "ZorSetsView"};
constinit const CMlsEntry tpZorSetsView_LinkState{"tpZorSetsView_LinkState", "Link state", true,
                                                  "ZorSetsView"};

namespace {
constexpr const CMlsEntry* kAll[] = {
    &tpZorDevDlg_Name,
    &tpZorDevDlg_Latitude,
    &tpZorDevDlg_Longitude,
    &tpZorDevDlg_Set_Color,
    &tpZorDevDlg_Link_Settings,
    &tpZorDevDlg_Receive_basic_data,
    &tpZorDevDlg_Receive_detailed_data,
    &tpZorDevDlg_BasicSettings,
    &tpZorDevDlg_SamplePause,
    &tpZorDevDlg_DeviceTypeWait,
    &tpZorDevDlg_ReadParams,
    &tpZorDevDlg_DeviceTypeUnknown,
    &tpZorDevDlg_24h,
    &tpZorSetsDlg_SearchingDevice,
    &tpZorSetsDlg_total,
    &tpZorSetsDlg_FoundSoFar,
    &tpZorSetsDlg_SureToCancel,
    &tpZorSetsDlg_DoYouWantContinue,
    &tpZorSetsDlg_PleaseWait,
    &tpZorSetsDlg_WasCanceled,
    &tpZorSetsDlg_ReadTimeoutError,
    &tpZorSetsDlg_Addr,
    &tpZorSetsDlg_AvailableDevices,
    &tpZorSetsDlg_NoAvailableDevices,
    &tpZorSetsDlg_LinkSettings,
    &tpZorSetsDlg_ScanForDevices,
    &tpTavSettings_TavSettings,
    &tpTavSettings_LinkSettings,
    &tpTavSettings_DataStream,
    &tpTavSettings_dev_sets_view,
    &tpTavSettings_link_sets_view,
    &tpTavSettings_DeviceStatus,
    &tpTavSettings_START,
    &tpTavSettings_STOP,
    &tpTavSettings_LinkStatus,
    &tpTavSettings_DecodedData,
    &tpTavSettings_DeviceSettings,
    &tpTavSettings_SetDefaults,
    &tpZorSetsView_,
    &tpZorSetsView_KeepLink,
    &tpZorSetsView_DevName,
    &tpZorSetsView_DevAddress,
    &tpZorSetsView_TestLink,
    &tpZorSetsView_LinkState,
};
}  // namespace

std::span<const CMlsEntry* const> DialogTexts() {
    return kAll;
}

}  // namespace zm::texts
