#include "base/texts/MenuTexts.h"

namespace zm::texts {

constinit const CMlsEntry tpMenu_File{"tpMenu_File", "&File", true, "Menu"};
constinit const CMlsEntry tpMenu_OpenDatabase{"tpMenu_OpenDatabase", "&Open Database", true,
                                              "Menu"};
constinit const CMlsEntry tpMenu_CloseDatabase{"tpMenu_CloseDatabase", "&Close Database", true,
                                               "Menu"};
constinit const CMlsEntry tpMenu_SaveListOfDevicesAs{"tpMenu_SaveListOfDevicesAs",
                                                     "&Save List of Devices as...", true, "Menu"};
constinit const CMlsEntry tpMenu_LoadListOfDevices{"tpMenu_LoadListOfDevices",
                                                   "&Load List of Devices...", true, "Menu"};
constinit const CMlsEntry tpMenu_PrintExportDeviceLog{"tpMenu_PrintExportDeviceLog",
                                                      "Print/export device log", true, "Menu"};
constinit const CMlsEntry tpMenu_Exit{"tpMenu_Exit", "E&xit", true, "Menu"};
constinit const CMlsEntry tpMenu_AlarmActions{"tpMenu_AlarmActions", "&Alarm actions", true,
                                              "Menu"};
constinit const CMlsEntry tpMenu_ShowPopupWindow{"tpMenu_ShowPopupWindow", "Show popup window",
                                                 true, "Menu"};
constinit const CMlsEntry tpMenu_PlayAlertSound{"tpMenu_PlayAlertSound", "Play alert sound", true,
                                                "Menu"};
constinit const CMlsEntry tpMenu_SendAlertMails{"tpMenu_SendAlertMails", "Send alert mails", true,
                                                "Menu"};
constinit const CMlsEntry tpMenu_SendAlertSMS{"tpMenu_SendAlertSMS", "Send alert SMS", true,
                                              "Menu"};
constinit const CMlsEntry tpMenu_SendConnectionLostSMS{"tpMenu_SendConnectionLostSMS",
                                                       "Send connection lost SMS", true, "Menu"};
constinit const CMlsEntry tpMenu_MailSmsSettings{"tpMenu_MailSmsSettings", "Mail/SMS settings",
                                                 true, "Menu"};
constinit const CMlsEntry tpMenu_MailSettings{"tpMenu_MailSettings", "Mail settings...", true,
                                              "Menu"};
constinit const CMlsEntry tpMenu_SmsSettings{"tpMenu_SmsSettings", "SMS settings...", true, "Menu"};
constinit const CMlsEntry tpMenu_Recipients{"tpMenu_Recipients", "Recipients...", true, "Menu"};
constinit const CMlsEntry tpMenu_ExtraText{"tpMenu_ExtraText", "Extra text...", true, "Menu"};
constinit const CMlsEntry tpMenu_UdpSettings{"tpMenu_UdpSettings", "UDP settings...", true, "Menu"};
constinit const CMlsEntry tpMenu_ShowConnectionLostWindow{
    "tpMenu_ShowConnectionLostWindow", "Show connection lost window", true, "Menu"};
constinit const CMlsEntry tpMenu_GeoPreview{"tpMenu_GeoPreview", "&GeoPreview", true, "Menu"};
constinit const CMlsEntry tpMenu_AllowEmbeddedServer{"tpMenu_AllowEmbeddedServer",
                                                     "Allow Embedded Server", true, "Menu"};
constinit const CMlsEntry tpMenu_AllowEmbeddedViewer{"tpMenu_AllowEmbeddedViewer",
                                                     "Allow Embedded Viewer (beta)", true, "Menu"};
constinit const CMlsEntry tpMenu_CacheManagment{"tpMenu_CacheManagment", "Cache Managment", true,
                                                "Menu"};
constinit const CMlsEntry tpMenu_PreviewInDefaultBrowser{
    "tpMenu_PreviewInDefaultBrowser", "Preview in Default Browser", true, "Menu"};
constinit const CMlsEntry tpMenu_PreviewInGoogleEarth{"tpMenu_PreviewInGoogleEarth",
                                                      "Preview in Google Earth", true, "Menu"};
constinit const CMlsEntry tpMenu_Help{"tpMenu_Help", "&Help", true, "Menu"};
constinit const CMlsEntry tpMenu_AdvancedMode{"tpMenu_AdvancedMode", "Advanced Mode", true, "Menu"};
constinit const CMlsEntry tpMenu_Directories{"tpMenu_Directories", "Directories", true, "Menu"};
constinit const CMlsEntry tpMenu_Application{"tpMenu_Application", "Application", true, "Menu"};
constinit const CMlsEntry tpMenu_Configuration{"tpMenu_Configuration", "Configuration", true,
                                               "Menu"};
constinit const CMlsEntry tpMenu_AppDocuments{"tpMenu_AppDocuments", "AppDocuments", true, "Menu"};
constinit const CMlsEntry tpMenu_LogFiles{"tpMenu_LogFiles", "LogFiles", true, "Menu"};
constinit const CMlsEntry tpMenu_Cache{"tpMenu_Cache", "Cache", true, "Menu"};
constinit const CMlsEntry tpMenu_EmbeddedHelp{"tpMenu_EmbeddedHelp", "&Embedded help...", true,
                                              "Menu"};
constinit const CMlsEntry tpMenu_About{"tpMenu_About", "&About...", true, "Menu"};

namespace {
constexpr const CMlsEntry* kAll[] = {
    &tpMenu_File,
    &tpMenu_OpenDatabase,
    &tpMenu_CloseDatabase,
    &tpMenu_SaveListOfDevicesAs,
    &tpMenu_LoadListOfDevices,
    &tpMenu_PrintExportDeviceLog,
    &tpMenu_Exit,
    &tpMenu_AlarmActions,
    &tpMenu_ShowPopupWindow,
    &tpMenu_PlayAlertSound,
    &tpMenu_SendAlertMails,
    &tpMenu_SendAlertSMS,
    &tpMenu_SendConnectionLostSMS,
    &tpMenu_MailSmsSettings,
    &tpMenu_MailSettings,
    &tpMenu_SmsSettings,
    &tpMenu_Recipients,
    &tpMenu_ExtraText,
    &tpMenu_UdpSettings,
    &tpMenu_ShowConnectionLostWindow,
    &tpMenu_GeoPreview,
    &tpMenu_AllowEmbeddedServer,
    &tpMenu_AllowEmbeddedViewer,
    &tpMenu_CacheManagment,
    &tpMenu_PreviewInDefaultBrowser,
    &tpMenu_PreviewInGoogleEarth,
    &tpMenu_Help,
    &tpMenu_AdvancedMode,
    &tpMenu_Directories,
    &tpMenu_Application,
    &tpMenu_Configuration,
    &tpMenu_AppDocuments,
    &tpMenu_LogFiles,
    &tpMenu_Cache,
    &tpMenu_EmbeddedHelp,
    &tpMenu_About,
};
}  // namespace

std::span<const CMlsEntry* const> MenuTexts() {
    return kAll;
}

}  // namespace zm::texts
