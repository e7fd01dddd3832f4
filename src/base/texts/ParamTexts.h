#pragma once

#include <span>

#include "base/MlsEntry.h"

// PC and sensor parameter blocks as rendered into logs and dialogs.
namespace zm::texts {

extern const CMlsEntry tpPcParams_SoftwareVersion;
extern const CMlsEntry tpPcParams_DeviceVersion;
extern const CMlsEntry tpPcParams_DeviceID;
extern const CMlsEntry tpPcParams_LinkType;
extern const CMlsEntry tpCp_DeviceNum;
extern const CMlsEntry tpCp_DeviceName;
extern const CMlsEntry tpCp_DeviceAddress;
extern const CMlsEntry tpCp_LinkSpeedIndex;
extern const CMlsEntry tpCp_VersionOfParams;
extern const CMlsEntry tpCp_IncludedTerminatingResistors;
extern const CMlsEntry tpCp_DefaultParams;
extern const CMlsEntry tpMp_RefCalibrationDisabled;
extern const CMlsEntry tpMp_DistanceCalibrationDisabled;
extern const CMlsEntry tpMp_RemoveSpikesOfChannelsOffset;
extern const CMlsEntry tpMp_RemoveSpikesOfSignals;
extern const CMlsEntry tpMp_LedDisable;
extern const CMlsEntry tpMp_NotSubstructBackground;
extern const CMlsEntry tpMp_LowSpeedModeOfAdc;
extern const CMlsEntry tpMp_TestModeOfAdc;
extern const CMlsEntry tpMp_PauseInMsBetweenBatch;
extern const CMlsEntry tpMp_IntegrationTimeInUs;
extern const CMlsEntry tpMp_SignalAccumulation;
extern const CMlsEntry tpMp_RangeOfAdc;
extern const CMlsEntry tpMp_RefCalibrationCoefficient;
extern const CMlsEntry tpMp_BackgroundOffset;
extern const CMlsEntry tpMp_SignalOffset;
extern const CMlsEntry tpMp_DacToBkgCoefficient;
extern const CMlsEntry tpMp_DistanceFromZorToSealevelInMm;
extern const CMlsEntry tpMp_DistanceFromRangeFinderToSealevelInMm;
// The key and its text begin with the Cyrillic capital A (U+0410), as existing language
// files have them.
extern const CMlsEntry tpAp_AlarmForbidden;
// The key is "tpAp_Use AlarmRelayAsOpen", with a blank.
extern const CMlsEntry tpAp_Use_AlarmRelayAsOpen;
extern const CMlsEntry tpAp_UseAnalogOutput;
extern const CMlsEntry tpAp_UseAnalogOutputAsDigit;
extern const CMlsEntry tpAp_ReverceAnalogOutput;
extern const CMlsEntry tpAp_UseInternalPowerForAnalogOutput;
extern const CMlsEntry tpAp_Use0mAForLowLimit;
extern const CMlsEntry tpAp_SendSignalBkgInsteadBkg;
extern const CMlsEntry tpAp_UseAlarmEmulation;
extern const CMlsEntry tpAp_VersionOfAnalysisParameters;
extern const CMlsEntry tpAp_MaxSigThr;
extern const CMlsEntry tpAp_MinSigThr;
extern const CMlsEntry tpAp_MaxBkgChangeForSetAlarm;
extern const CMlsEntry tpAp_TauRcFilterForFluoPolutionInHrs;
extern const CMlsEntry tpAp_SignalLevelFor20mAOutput;
extern const CMlsEntry tpAp_SignalLevelFor4mAOutput;
extern const CMlsEntry tpAp_ChipAD5412ControlRegister;
extern const CMlsEntry tpAp_TimerForAlarmIsIssued;
extern const CMlsEntry tpGp_GeoDefaultParams;
extern const CMlsEntry tpGp_VersionOfGeoParams;
extern const CMlsEntry tpGp_Latitude;
extern const CMlsEntry tpGp_Longitude;
extern const CMlsEntry tpPcParameters;
extern const CMlsEntry tpDeviceParameters;
extern const CMlsEntry tpCommonParameters;
extern const CMlsEntry tpMeasureParameters;
extern const CMlsEntry tpAnalysisParameters;
extern const CMlsEntry tpGeographicParameters;

// Every entry of this file, in catalogue order.
std::span<const CMlsEntry* const> ParamTexts();

}  // namespace zm::texts
