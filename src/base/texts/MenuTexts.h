#pragma once

#include <span>

#include "base/MlsEntry.h"

// Captions of the main menu; the menu resource carries the keys as captions.
namespace zm::texts {

extern const CMlsEntry tpMenu_File;
extern const CMlsEntry tpMenu_OpenDatabase;
extern const CMlsEntry tpMenu_CloseDatabase;
extern const CMlsEntry tpMenu_SaveListOfDevicesAs;
extern const CMlsEntry tpMenu_LoadListOfDevices;
extern const CMlsEntry tpMenu_PrintExportDeviceLog;
extern const CMlsEntry tpMenu_Exit;
extern const CMlsEntry tpMenu_AlarmActions;
extern const CMlsEntry tpMenu_ShowPopupWindow;
extern const CMlsEntry tpMenu_PlayAlertSound;
extern const CMlsEntry tpMenu_SendAlertMails;
extern const CMlsEntry tpMenu_SendAlertSMS;
extern const CMlsEntry tpMenu_SendConnectionLostSMS;
extern const CMlsEntry tpMenu_MailSmsSettings;
extern const CMlsEntry tpMenu_MailSettings;
extern const CMlsEntry tpMenu_SmsSettings;
extern const CMlsEntry tpMenu_Recipients;
extern const CMlsEntry tpMenu_ExtraText;
extern const CMlsEntry tpMenu_UdpSettings;
extern const CMlsEntry tpMenu_ShowConnectionLostWindow;
extern const CMlsEntry tpMenu_GeoPreview;
extern const CMlsEntry tpMenu_AllowEmbeddedServer;
extern const CMlsEntry tpMenu_AllowEmbeddedViewer;
extern const CMlsEntry tpMenu_CacheManagment;
extern const CMlsEntry tpMenu_PreviewInDefaultBrowser;
extern const CMlsEntry tpMenu_PreviewInGoogleEarth;
extern const CMlsEntry tpMenu_Help;
extern const CMlsEntry tpMenu_AdvancedMode;
extern const CMlsEntry tpMenu_Directories;
extern const CMlsEntry tpMenu_Application;
extern const CMlsEntry tpMenu_Configuration;
extern const CMlsEntry tpMenu_AppDocuments;
extern const CMlsEntry tpMenu_LogFiles;
extern const CMlsEntry tpMenu_Cache;
extern const CMlsEntry tpMenu_EmbeddedHelp;
extern const CMlsEntry tpMenu_About;

// Every entry of this file, in catalogue order.
std::span<const CMlsEntry* const> MenuTexts();

}  // namespace zm::texts
