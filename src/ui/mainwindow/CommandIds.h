#pragma once

// The main window's command ids. Operators' macros and the translators' menu resource know
// the menu by these numbers, so they stay as they always were.
namespace zm::cmd {

inline constexpr int kAddNewDevice = 1100;  // caption buttons 1100..1104, Alt+1..Alt+4
inline constexpr int kDeleteTheDevice = 1101;
inline constexpr int kDeviceSettings = 1102;
inline constexpr int kReservedButton3 = 1103;
inline constexpr int kReservedButton4 = 1104;
inline constexpr int kQuit = 1107;
inline constexpr int kOpenApplicationFolder = 1111;
inline constexpr int kOpenConfigurationFolder = 1112;
inline constexpr int kOpenDocumentsFolder = 1113;
inline constexpr int kOpenLogFolder = 1114;
inline constexpr int kEmbeddedServer = 1120;
inline constexpr int kEmbeddedViewer = 1121;
inline constexpr int kPreviewInBrowser = 1123;
inline constexpr int kSaveDeviceList = 1125;
inline constexpr int kLoadDeviceList = 1126;
inline constexpr int kAlarmHistory = 1127;  // the alarm lifecycle's, in numbers still free
inline constexpr int kRepeatAlarmSound = 1128;
inline constexpr int kConnectionLostSms = 1129;
inline constexpr int kAlarmPopup = 1130;
inline constexpr int kAlarmSound = 1131;
inline constexpr int kAlarmMails = 1132;
inline constexpr int kAlarmSms = 1133;
inline constexpr int kRecipients = 1134;
inline constexpr int kMailSettings = 1135;
inline constexpr int kSmsSettings = 1136;
inline constexpr int kAdvancedMode = 1137;
inline constexpr int kExtraText = 1138;
inline constexpr int kUdpSettings = 1139;
inline constexpr int kFirstDeviceLog = 1140;  // 1140..1169: one per date
inline constexpr int kMaxDeviceLogs = 29;
inline constexpr int kUpdateDeviceLogList = 1170;
inline constexpr int kConnectionLostWindow = 1310;
inline constexpr int kFirstLanguage = 1390;  // 1390..1394
inline constexpr int kMaxLanguages = 5;
inline constexpr int kAbout = 57664;
inline constexpr int kExit = 57665;
inline constexpr int kEmbeddedHelp = 57668;

}  // namespace zm::cmd
