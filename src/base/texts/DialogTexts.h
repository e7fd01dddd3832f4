#pragma once

#include <span>

#include "base/MlsEntry.h"

// Device settings, link settings and bus scan dialogs.
namespace zm::texts {

extern const CMlsEntry tpZorDevDlg_Name;
extern const CMlsEntry tpZorDevDlg_Latitude;
extern const CMlsEntry tpZorDevDlg_Longitude;
extern const CMlsEntry tpZorDevDlg_Set_Color;
extern const CMlsEntry tpZorDevDlg_Link_Settings;
extern const CMlsEntry tpZorDevDlg_Receive_basic_data;
extern const CMlsEntry tpZorDevDlg_Receive_detailed_data;
extern const CMlsEntry tpZorDevDlg_BasicSettings;
extern const CMlsEntry tpZorDevDlg_SamplePause;
extern const CMlsEntry tpZorDevDlg_DeviceTypeWait;
extern const CMlsEntry tpZorDevDlg_ReadParams;
extern const CMlsEntry tpZorDevDlg_DeviceTypeUnknown;
extern const CMlsEntry tpZorDevDlg_24h;
extern const CMlsEntry tpZorSetsDlg_SearchingDevice;
extern const CMlsEntry tpZorSetsDlg_total;
extern const CMlsEntry tpZorSetsDlg_FoundSoFar;
extern const CMlsEntry tpZorSetsDlg_SureToCancel;
extern const CMlsEntry tpZorSetsDlg_DoYouWantContinue;
extern const CMlsEntry tpZorSetsDlg_PleaseWait;
extern const CMlsEntry tpZorSetsDlg_WasCanceled;
extern const CMlsEntry tpZorSetsDlg_ReadTimeoutError;
extern const CMlsEntry tpZorSetsDlg_Addr;
extern const CMlsEntry tpZorSetsDlg_AvailableDevices;
extern const CMlsEntry tpZorSetsDlg_NoAvailableDevices;
extern const CMlsEntry tpZorSetsDlg_LinkSettings;
extern const CMlsEntry tpZorSetsDlg_ScanForDevices;
extern const CMlsEntry tpTavSettings_TavSettings;
extern const CMlsEntry tpTavSettings_LinkSettings;
extern const CMlsEntry tpTavSettings_DataStream;
extern const CMlsEntry tpTavSettings_dev_sets_view;
extern const CMlsEntry tpTavSettings_link_sets_view;
extern const CMlsEntry tpTavSettings_DeviceStatus;
extern const CMlsEntry tpTavSettings_START;
extern const CMlsEntry tpTavSettings_STOP;
extern const CMlsEntry tpTavSettings_LinkStatus;
extern const CMlsEntry tpTavSettings_DecodedData;
extern const CMlsEntry tpTavSettings_DeviceSettings;
extern const CMlsEntry tpTavSettings_SetDefaults;
extern const CMlsEntry tpZorSetsView_;
extern const CMlsEntry tpZorSetsView_KeepLink;
extern const CMlsEntry tpZorSetsView_DevName;
extern const CMlsEntry tpZorSetsView_DevAddress;
extern const CMlsEntry tpZorSetsView_TestLink;
extern const CMlsEntry tpZorSetsView_LinkState;

// Every entry of this file, in catalogue order.
std::span<const CMlsEntry* const> DialogTexts();

}  // namespace zm::texts
