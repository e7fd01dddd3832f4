#include "base/texts/LogTexts.h"

namespace zm::texts {

constinit const CMlsEntry tp_LogHeader_1{
    "tp_LogHeader_1",
    "Date      \tTime    \tFluoBkg     \tSignal      \tBackground  \tStatus          \tThresh-Low  "
    "\tThesh-High  \tTresh-Bkg   \tTime delay  \tSealevel(cm)  \tTemperature   \tPressure(kPa)  "
    "\tSignalMin   \tBackgroundMin \tSignalMax   \tBackgroundMax \tCnt\t\r\n",
    true, "Log"};
constinit const CMlsEntry tp_AlarmLogHeader_1{
    "tp_AlarmLogHeader_1",
    "DeviceName   \tSerial       \tLatitude     \tLongitude    \tStart date\tStart Time  \tEnd "
    "date   \tEnd Time   \tMax. Signal  \tAvg. Signal  \tThresholdLo  \tThresholdHi  "
    "\tDuration(s)\r\n",
    true, "Log"};
constinit const CMlsEntry tp_AlarmReportHeader_1{
    "tp_AlarmReportHeader_1",
    "Alarm report of %s\r\nDevice name: \t%s\r\nDevice serial no.: \t%s\r\nLatitude: "
    "\t%-12.8f\r\nLongitude: \t%-12.8f\r\nThreshold low:  \t%-12.0f\r\nThreshold high: "
    "\t%-12.0f\r\nSignal values before the alarm:\r\nNr\tSignal   \tBackground\r\n",
    true, "Log"};
constinit const CMlsEntry tp_AlarmReportHeader_6{"tp_AlarmReportHeader_6",
                                                 "Connection recovered at: %s", true, "Log"};
constinit const CMlsEntry tp_AlarmReportHeader_2{
    "tp_AlarmReportHeader_2",
    "\r\nSignals during the alarm:\r\nAverage Signal\tAvg Background\t  Min Signal  \tMin "
    "Background\t  Max Signal  \tMax Background\r\n",
    true, "Log"};
constinit const CMlsEntry tp_AlarmReportHeader_3{
    "tp_AlarmReportHeader_3",
    "\r\nSignal/Background values during the end of the alarm:\r\nNr\tSignal   \tBackground\r\n",
    true, "Log"};
constinit const CMlsEntry tp_AlarmReportHeader_4{
    "tp_AlarmReportHeader_4",
    "\r\nAlarm Start Time: \t%s\r\nAlarm End Time: \t%s\r\nAlarm duration (s): \t%-10.0f", true,
    "Log"};
constinit const CMlsEntry tp_AlarmReportHeader_5{
    "tp_AlarmReportHeader_5", "Connection lost or manually aborted at: %s \t", true, "Log"};

namespace {
constexpr const CMlsEntry* kAll[] = {
    &tp_LogHeader_1,         &tp_AlarmLogHeader_1,    &tp_AlarmReportHeader_1,
    &tp_AlarmReportHeader_6, &tp_AlarmReportHeader_2, &tp_AlarmReportHeader_3,
    &tp_AlarmReportHeader_4, &tp_AlarmReportHeader_5,
};
}  // namespace

std::span<const CMlsEntry* const> LogTexts() {
    return kAll;
}

}  // namespace zm::texts
