#pragma once

#include <span>

#include "base/MlsEntry.h"

// The desktop's texts of the alarm lifecycle: the alarm window's acknowledgement, the
// device list's suppression commands and dialogs, the alarm history and its statistics.
namespace zm::texts {

// Section "AlarmView".
extern const CMlsEntry tpAlarmView_State;
extern const CMlsEntry tpAlarmView_Acknowledge;
extern const CMlsEntry tpAlarmView_AcknowledgeAll;
extern const CMlsEntry tpAlarmView_Comment;
extern const CMlsEntry tpAlarmView_ActiveUnacked;
extern const CMlsEntry tpAlarmView_ActiveAcked;
extern const CMlsEntry tpAlarmView_RtnUnacked;
extern const CMlsEntry tpAlarmView_Closed;
extern const CMlsEntry tpAlarmView_CommLost;
extern const CMlsEntry tpAlarmView_NotAcknowledged;

// Section "ZorDevsView".
extern const CMlsEntry tpZorDevsView_AcknowledgeAlarm;
extern const CMlsEntry tpZorDevsView_ShelveAlarms;
extern const CMlsEntry tpZorDevsView_Unshelve;
extern const CMlsEntry tpZorDevsView_TakeOutOfService;
extern const CMlsEntry tpZorDevsView_ReturnToService;
extern const CMlsEntry tpZorDevsView_ShelvedUntil;
extern const CMlsEntry tpZorDevsView_OutOfService;
extern const CMlsEntry tpZorDevsView_NotDone;

// Section "SuppressDlg".
extern const CMlsEntry tpSuppressDlg_ShelveTitle;
extern const CMlsEntry tpSuppressDlg_OutOfServiceTitle;
extern const CMlsEntry tpSuppressDlg_Duration;
extern const CMlsEntry tpSuppressDlg_15Minutes;
extern const CMlsEntry tpSuppressDlg_1Hour;
extern const CMlsEntry tpSuppressDlg_4Hours;
extern const CMlsEntry tpSuppressDlg_8Hours;
extern const CMlsEntry tpSuppressDlg_Custom;
extern const CMlsEntry tpSuppressDlg_Minutes;
extern const CMlsEntry tpSuppressDlg_Reason;
extern const CMlsEntry tpSuppressDlg_ReasonRequired;
extern const CMlsEntry tpSuppressDlg_ReasonTooLong;
extern const CMlsEntry tpSuppressDlg_MinutesOutOfRange;
extern const CMlsEntry tpSuppressDlg_Devices;

// Section "Menu".
extern const CMlsEntry tpMenu_AlarmHistory;
extern const CMlsEntry tpMenu_RepeatSound;

// Section "AlarmHistory".
extern const CMlsEntry tpAlarmHistory_Title;
extern const CMlsEntry tpAlarmHistory_Device;
extern const CMlsEntry tpAlarmHistory_AllDevices;
extern const CMlsEntry tpAlarmHistory_From;
extern const CMlsEntry tpAlarmHistory_To;
extern const CMlsEntry tpAlarmHistory_Show;
extern const CMlsEntry tpAlarmHistory_ExportCsv;
extern const CMlsEntry tpAlarmHistory_Loading;
extern const CMlsEntry tpAlarmHistory_Alarms;
extern const CMlsEntry tpAlarmHistory_Day;
extern const CMlsEntry tpAlarmHistory_AlarmsTitle;
extern const CMlsEntry tpAlarmHistory_ColId;
extern const CMlsEntry tpAlarmHistory_ColDevice;
extern const CMlsEntry tpAlarmHistory_ColOpened;
extern const CMlsEntry tpAlarmHistory_ColReturned;
extern const CMlsEntry tpAlarmHistory_ColDuration;
extern const CMlsEntry tpAlarmHistory_ColMaximum;
extern const CMlsEntry tpAlarmHistory_ColState;
extern const CMlsEntry tpAlarmHistory_ColAckedBy;
extern const CMlsEntry tpAlarmHistory_ColAckedAt;
extern const CMlsEntry tpAlarmHistory_ColComment;
extern const CMlsEntry tpAlarmHistory_Statistics;
extern const CMlsEntry tpAlarmHistory_Days;
extern const CMlsEntry tpAlarmHistory_Total;
extern const CMlsEntry tpAlarmHistory_PerDay;
extern const CMlsEntry tpAlarmHistory_Max10Minutes;
extern const CMlsEntry tpAlarmHistory_FloodShare;
extern const CMlsEntry tpAlarmHistory_Chattering;
extern const CMlsEntry tpAlarmHistory_Stale;
extern const CMlsEntry tpAlarmHistory_TopDevices;
extern const CMlsEntry tpAlarmHistory_None;
extern const CMlsEntry tpAlarmHistory_Exported;
extern const CMlsEntry tpAlarmHistory_ExportFailed;
extern const CMlsEntry tpAlarmHistory_BadRange;

// Every entry of this file.
std::span<const CMlsEntry* const> LifecycleTexts();

}  // namespace zm::texts
