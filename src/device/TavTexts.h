#pragma once

#include <string>

#include "base/MlsPrgMsg.h"
#include "base/texts/DeviceTexts.h"

namespace zm {

// Translated text of an entry in the generic device's section.
inline std::string TavText(const CMlsEntry& entry) {
    return Translate(entry, "TavDevice");
}

namespace tavtext {
inline const CMlsEntry& kNoConnection = texts::tpTavDevice_No_connection;
inline const CMlsEntry& kOnlineAndOk = texts::tpTavDevice_Online_and_Ok;
inline const CMlsEntry& kMonitoringOff = texts::tpTavDevice_Monitoring_OFF;
inline const CMlsEntry& kDataIsAbsent = texts::tpTavDevice_Data_is_absent;
inline const CMlsEntry& kEmulationMode = texts::tpTavDevice_Emulation_mode;
inline const CMlsEntry& kAlarmReported = texts::tpTavDevice_Alarm_reported;
inline const CMlsEntry& kUnknownStatus = texts::tpTavDevice_Unknown_status;
inline const CMlsEntry& kDevStatus = texts::tpTavDevice_DevStatus;
inline const CMlsEntry& kStatus = texts::tpTavDevice_Status;
inline const CMlsEntry& kDatStatus = texts::tpTavDevice_DatStatus;
inline const CMlsEntry& kData4Sets = texts::tpTavDevice_Data4Sets;
inline const CMlsEntry& kData4Ctrl = texts::tpTavDevice_Data4Ctrl;
inline const CMlsEntry& kNo = texts::tpTavDevice_No;
inline const CMlsEntry& kData = texts::tpTavDevice_data;
inline const CMlsEntry& kData1Line = texts::tpTavDevice_Data1Line;
inline const CMlsEntry& kDataDateTime = texts::tpTavDevice_DataDateTime;
inline const CMlsEntry& kTrackString = texts::tpTavDevice_TrackString;
inline const CMlsEntry& kLastRmc = texts::tpTavDevice_LastRMC;
inline const CMlsEntry& kLink = texts::tpTavDevice_Link;
inline const CMlsEntry& kCurrentValue = texts::tpTavDevice_Current_value;
}  // namespace tavtext

}  // namespace zm
