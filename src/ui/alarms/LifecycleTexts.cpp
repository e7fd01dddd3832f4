#include "ui/alarms/LifecycleTexts.h"

namespace zm::texts {

constinit const CMlsEntry tpAlarmView_State{"tpAlarmView_State", "State", true, "AlarmView"};
constinit const CMlsEntry tpAlarmView_Acknowledge{"tpAlarmView_Acknowledge", "Acknowledge", true,
                                                  "AlarmView"};
constinit const CMlsEntry tpAlarmView_AcknowledgeAll{"tpAlarmView_AcknowledgeAll",
                                                     "Acknowledge all", true, "AlarmView"};
constinit const CMlsEntry tpAlarmView_Comment{"tpAlarmView_Comment", "Comment", true, "AlarmView"};
constinit const CMlsEntry tpAlarmView_ActiveUnacked{"tpAlarmView_ActiveUnacked",
                                                    "Active, not acknowledged", true, "AlarmView"};
constinit const CMlsEntry tpAlarmView_ActiveAcked{"tpAlarmView_ActiveAcked", "Active, acknowledged",
                                                  true, "AlarmView"};
constinit const CMlsEntry tpAlarmView_RtnUnacked{"tpAlarmView_RtnUnacked",
                                                 "Returned, not acknowledged", true, "AlarmView"};
constinit const CMlsEntry tpAlarmView_Closed{"tpAlarmView_Closed", "Closed", true, "AlarmView"};
constinit const CMlsEntry tpAlarmView_CommLost{"tpAlarmView_CommLost", "connection lost", true,
                                               "AlarmView"};
constinit const CMlsEntry tpAlarmView_NotAcknowledged{
    "tpAlarmView_NotAcknowledged", "The alarm was not acknowledged", true, "AlarmView"};
constinit const CMlsEntry tpZorDevsView_AcknowledgeAlarm{"tpZorDevsView_AcknowledgeAlarm",
                                                         "Acknowledge alarm", true, "ZorDevsView"};
constinit const CMlsEntry tpZorDevsView_ShelveAlarms{"tpZorDevsView_ShelveAlarms",
                                                     "Shelve alarms...", true, "ZorDevsView"};
constinit const CMlsEntry tpZorDevsView_Unshelve{"tpZorDevsView_Unshelve", "Unshelve", true,
                                                 "ZorDevsView"};
constinit const CMlsEntry tpZorDevsView_TakeOutOfService{
    "tpZorDevsView_TakeOutOfService", "Take out of service...", true, "ZorDevsView"};
constinit const CMlsEntry tpZorDevsView_ReturnToService{"tpZorDevsView_ReturnToService",
                                                        "Return to service", true, "ZorDevsView"};
constinit const CMlsEntry tpZorDevsView_ShelvedUntil{"tpZorDevsView_ShelvedUntil", "shelved until",
                                                     true, "ZorDevsView"};
constinit const CMlsEntry tpZorDevsView_OutOfService{"tpZorDevsView_OutOfService", "out of service",
                                                     true, "ZorDevsView"};
constinit const CMlsEntry tpZorDevsView_NotDone{"tpZorDevsView_NotDone", "Not done for", true,
                                                "ZorDevsView"};
constinit const CMlsEntry tpSuppressDlg_ShelveTitle{"tpSuppressDlg_ShelveTitle", "Shelve alarms",
                                                    true, "SuppressDlg"};
constinit const CMlsEntry tpSuppressDlg_OutOfServiceTitle{
    "tpSuppressDlg_OutOfServiceTitle", "Take out of service", true, "SuppressDlg"};
constinit const CMlsEntry tpSuppressDlg_Duration{"tpSuppressDlg_Duration", "Duration", true,
                                                 "SuppressDlg"};
constinit const CMlsEntry tpSuppressDlg_15Minutes{"tpSuppressDlg_15Minutes", "15 minutes", true,
                                                  "SuppressDlg"};
constinit const CMlsEntry tpSuppressDlg_1Hour{"tpSuppressDlg_1Hour", "1 hour", true, "SuppressDlg"};
constinit const CMlsEntry tpSuppressDlg_4Hours{"tpSuppressDlg_4Hours", "4 hours", true,
                                               "SuppressDlg"};
constinit const CMlsEntry tpSuppressDlg_8Hours{"tpSuppressDlg_8Hours", "8 hours", true,
                                               "SuppressDlg"};
constinit const CMlsEntry tpSuppressDlg_Custom{"tpSuppressDlg_Custom", "Custom", true,
                                               "SuppressDlg"};
constinit const CMlsEntry tpSuppressDlg_Minutes{"tpSuppressDlg_Minutes", "minutes", true,
                                                "SuppressDlg"};
constinit const CMlsEntry tpSuppressDlg_Reason{"tpSuppressDlg_Reason", "Reason", true,
                                               "SuppressDlg"};
constinit const CMlsEntry tpSuppressDlg_ReasonRequired{"tpSuppressDlg_ReasonRequired",
                                                       "A reason is required", true, "SuppressDlg"};
constinit const CMlsEntry tpSuppressDlg_ReasonTooLong{"tpSuppressDlg_ReasonTooLong",
                                                      "The reason may have at most 200 characters",
                                                      true, "SuppressDlg"};
constinit const CMlsEntry tpSuppressDlg_MinutesOutOfRange{
    "tpSuppressDlg_MinutesOutOfRange", "Shelving lasts 1 to 1440 minutes", true, "SuppressDlg"};
constinit const CMlsEntry tpSuppressDlg_Devices{"tpSuppressDlg_Devices", "Devices", true,
                                                "SuppressDlg"};
constinit const CMlsEntry tpMenu_AlarmHistory{"tpMenu_AlarmHistory", "Alarm &history...", true,
                                              "Menu"};
constinit const CMlsEntry tpMenu_RepeatSound{"tpMenu_RepeatSound",
                                             "Repeat sound until acknowledged", true, "Menu"};
constinit const CMlsEntry tpAlarmHistory_Title{"tpAlarmHistory_Title", "Alarm history", true,
                                               "AlarmHistory"};
constinit const CMlsEntry tpAlarmHistory_Device{"tpAlarmHistory_Device", "Device", true,
                                                "AlarmHistory"};
constinit const CMlsEntry tpAlarmHistory_AllDevices{"tpAlarmHistory_AllDevices", "All devices",
                                                    true, "AlarmHistory"};
constinit const CMlsEntry tpAlarmHistory_From{"tpAlarmHistory_From", "From", true, "AlarmHistory"};
constinit const CMlsEntry tpAlarmHistory_To{"tpAlarmHistory_To", "To", true, "AlarmHistory"};
constinit const CMlsEntry tpAlarmHistory_Show{"tpAlarmHistory_Show", "Show", true, "AlarmHistory"};
constinit const CMlsEntry tpAlarmHistory_ExportCsv{"tpAlarmHistory_ExportCsv", "Export CSV...",
                                                   true, "AlarmHistory"};
constinit const CMlsEntry tpAlarmHistory_Loading{"tpAlarmHistory_Loading", "Loading...", true,
                                                 "AlarmHistory"};
constinit const CMlsEntry tpAlarmHistory_Alarms{"tpAlarmHistory_Alarms", "alarms", true,
                                                "AlarmHistory"};
constinit const CMlsEntry tpAlarmHistory_Day{"tpAlarmHistory_Day", "Day", true, "AlarmHistory"};
constinit const CMlsEntry tpAlarmHistory_AlarmsTitle{"tpAlarmHistory_AlarmsTitle", "Alarms", true,
                                                     "AlarmHistory"};
constinit const CMlsEntry tpAlarmHistory_ColId{"tpAlarmHistory_ColId", "Id", true, "AlarmHistory"};
constinit const CMlsEntry tpAlarmHistory_ColDevice{"tpAlarmHistory_ColDevice", "Device", true,
                                                   "AlarmHistory"};
constinit const CMlsEntry tpAlarmHistory_ColOpened{"tpAlarmHistory_ColOpened", "Opened", true,
                                                   "AlarmHistory"};
constinit const CMlsEntry tpAlarmHistory_ColReturned{"tpAlarmHistory_ColReturned", "Returned", true,
                                                     "AlarmHistory"};
constinit const CMlsEntry tpAlarmHistory_ColDuration{"tpAlarmHistory_ColDuration", "Duration", true,
                                                     "AlarmHistory"};
constinit const CMlsEntry tpAlarmHistory_ColMaximum{"tpAlarmHistory_ColMaximum", "Maximum", true,
                                                    "AlarmHistory"};
constinit const CMlsEntry tpAlarmHistory_ColState{"tpAlarmHistory_ColState", "State", true,
                                                  "AlarmHistory"};
constinit const CMlsEntry tpAlarmHistory_ColAckedBy{"tpAlarmHistory_ColAckedBy", "Acknowledged by",
                                                    true, "AlarmHistory"};
constinit const CMlsEntry tpAlarmHistory_ColAckedAt{"tpAlarmHistory_ColAckedAt", "When", true,
                                                    "AlarmHistory"};
constinit const CMlsEntry tpAlarmHistory_ColComment{"tpAlarmHistory_ColComment", "Comment", true,
                                                    "AlarmHistory"};
constinit const CMlsEntry tpAlarmHistory_Statistics{"tpAlarmHistory_Statistics", "Statistics", true,
                                                    "AlarmHistory"};
constinit const CMlsEntry tpAlarmHistory_Days{"tpAlarmHistory_Days", "Days", true, "AlarmHistory"};
constinit const CMlsEntry tpAlarmHistory_Total{"tpAlarmHistory_Total", "Alarms in the period", true,
                                               "AlarmHistory"};
constinit const CMlsEntry tpAlarmHistory_PerDay{"tpAlarmHistory_PerDay", "Alarms per day", true,
                                                "AlarmHistory"};
constinit const CMlsEntry tpAlarmHistory_Max10Minutes{
    "tpAlarmHistory_Max10Minutes", "Largest count in any 10 minutes", true, "AlarmHistory"};
constinit const CMlsEntry tpAlarmHistory_FloodShare{
    "tpAlarmHistory_FloodShare", "10-minute intervals in flood (more than 10 alarms)", true,
    "AlarmHistory"};
constinit const CMlsEntry tpAlarmHistory_Chattering{
    "tpAlarmHistory_Chattering", "Chattering devices (3 or more alarms within a minute)", true,
    "AlarmHistory"};
constinit const CMlsEntry tpAlarmHistory_Stale{
    "tpAlarmHistory_Stale", "Stale alarms (active for more than 24 h)", true, "AlarmHistory"};
constinit const CMlsEntry tpAlarmHistory_TopDevices{
    "tpAlarmHistory_TopDevices", "Devices with the most alarms", true, "AlarmHistory"};
constinit const CMlsEntry tpAlarmHistory_None{"tpAlarmHistory_None", "none", true, "AlarmHistory"};
constinit const CMlsEntry tpAlarmHistory_Exported{"tpAlarmHistory_Exported",
                                                  "Alarm history written to", true, "AlarmHistory"};
constinit const CMlsEntry tpAlarmHistory_ExportFailed{
    "tpAlarmHistory_ExportFailed", "Could not write the file", true, "AlarmHistory"};
constinit const CMlsEntry tpAlarmHistory_BadRange{"tpAlarmHistory_BadRange",
                                                  "The date range is empty", true, "AlarmHistory"};

std::span<const CMlsEntry* const> LifecycleTexts() {
    static const CMlsEntry* const entries[] = {
        &tpAlarmView_State,
        &tpAlarmView_Acknowledge,
        &tpAlarmView_AcknowledgeAll,
        &tpAlarmView_Comment,
        &tpAlarmView_ActiveUnacked,
        &tpAlarmView_ActiveAcked,
        &tpAlarmView_RtnUnacked,
        &tpAlarmView_Closed,
        &tpAlarmView_CommLost,
        &tpAlarmView_NotAcknowledged,
        &tpZorDevsView_AcknowledgeAlarm,
        &tpZorDevsView_ShelveAlarms,
        &tpZorDevsView_Unshelve,
        &tpZorDevsView_TakeOutOfService,
        &tpZorDevsView_ReturnToService,
        &tpZorDevsView_ShelvedUntil,
        &tpZorDevsView_OutOfService,
        &tpZorDevsView_NotDone,
        &tpSuppressDlg_ShelveTitle,
        &tpSuppressDlg_OutOfServiceTitle,
        &tpSuppressDlg_Duration,
        &tpSuppressDlg_15Minutes,
        &tpSuppressDlg_1Hour,
        &tpSuppressDlg_4Hours,
        &tpSuppressDlg_8Hours,
        &tpSuppressDlg_Custom,
        &tpSuppressDlg_Minutes,
        &tpSuppressDlg_Reason,
        &tpSuppressDlg_ReasonRequired,
        &tpSuppressDlg_ReasonTooLong,
        &tpSuppressDlg_MinutesOutOfRange,
        &tpSuppressDlg_Devices,
        &tpMenu_AlarmHistory,
        &tpMenu_RepeatSound,
        &tpAlarmHistory_Title,
        &tpAlarmHistory_Device,
        &tpAlarmHistory_AllDevices,
        &tpAlarmHistory_From,
        &tpAlarmHistory_To,
        &tpAlarmHistory_Show,
        &tpAlarmHistory_ExportCsv,
        &tpAlarmHistory_Loading,
        &tpAlarmHistory_Alarms,
        &tpAlarmHistory_Day,
        &tpAlarmHistory_AlarmsTitle,
        &tpAlarmHistory_ColId,
        &tpAlarmHistory_ColDevice,
        &tpAlarmHistory_ColOpened,
        &tpAlarmHistory_ColReturned,
        &tpAlarmHistory_ColDuration,
        &tpAlarmHistory_ColMaximum,
        &tpAlarmHistory_ColState,
        &tpAlarmHistory_ColAckedBy,
        &tpAlarmHistory_ColAckedAt,
        &tpAlarmHistory_ColComment,
        &tpAlarmHistory_Statistics,
        &tpAlarmHistory_Days,
        &tpAlarmHistory_Total,
        &tpAlarmHistory_PerDay,
        &tpAlarmHistory_Max10Minutes,
        &tpAlarmHistory_FloodShare,
        &tpAlarmHistory_Chattering,
        &tpAlarmHistory_Stale,
        &tpAlarmHistory_TopDevices,
        &tpAlarmHistory_None,
        &tpAlarmHistory_Exported,
        &tpAlarmHistory_ExportFailed,
        &tpAlarmHistory_BadRange,
    };
    return entries;
}

}  // namespace zm::texts
