#include "base/texts/ParamTexts.h"

// Some texts hold Cyrillic letters that look Latin (U+0410, U+0441); they are kept, since
// existing language files use these keys and texts byte for byte.
namespace zm::texts {

constinit const CMlsEntry tpPcParams_SoftwareVersion{"tpPcParams_SoftwareVersion",
                                                     "Software Version", true, "PC_params"};
constinit const CMlsEntry tpPcParams_DeviceVersion{"tpPcParams_DeviceVersion", "Device version",
                                                   true, "PC_params"};
constinit const CMlsEntry tpPcParams_DeviceID{"tpPcParams_DeviceID", "Device ID", true,
                                              "PC_params"};
constinit const CMlsEntry tpPcParams_LinkType{"tpPcParams_LinkType", "Link type", true,
                                              "PC_params"};
constinit const CMlsEntry tpCp_DeviceNum{"tpCp_DeviceNum", "Device number", true, "Device_params"};
constinit const CMlsEntry tpCp_DeviceName{"tpCp_DeviceName", "Device name", true, "Device_params"};
constinit const CMlsEntry tpCp_DeviceAddress{"tpCp_DeviceAddress", "DeviceAddress", true,
                                             "Device_params"};
constinit const CMlsEntry tpCp_LinkSpeedIndex{"tpCp_LinkSpeedIndex", "Link speed index", true,
                                              "Device_params"};
constinit const CMlsEntry tpCp_VersionOfParams{"tpCp_VersionOfParams", "Version of Parameters",
                                               true, "Device_params"};
constinit const CMlsEntry tpCp_IncludedTerminatingResistors{
    "tpCp_IncludedTerminatingResistors", "Included terminating resistors", true, "Device_params"};
constinit const CMlsEntry tpCp_DefaultParams{
    "tpCp_DefaultParams", "It uses the default settings of params", true, "Device_params"};
constinit const CMlsEntry tpMp_RefCalibrationDisabled{"tpMp_RefCalibrationDisabled",
                                                      "Reference \xD1\x81"
                                                      "alibration disabled",
                                                      true, "Device_params"};
constinit const CMlsEntry tpMp_DistanceCalibrationDisabled{"tpMp_DistanceCalibrationDisabled",
                                                           "Distance \xD1\x81"
                                                           "alibration disabled",
                                                           true, "Device_params"};
constinit const CMlsEntry tpMp_RemoveSpikesOfChannelsOffset{
    "tpMp_RemoveSpikesOfChannelsOffset", "Remove spikes of channels offset", true, "Device_params"};
constinit const CMlsEntry tpMp_RemoveSpikesOfSignals{
    "tpMp_RemoveSpikesOfSignals", "Remove spikes of signals", true, "Device_params"};
constinit const CMlsEntry tpMp_LedDisable{"tpMp_LedDisable", "LED disable", true, "Device_params"};
constinit const CMlsEntry tpMp_NotSubstructBackground{
    "tpMp_NotSubstructBackground", "Not substruct background", true, "Device_params"};
constinit const CMlsEntry tpMp_LowSpeedModeOfAdc{"tpMp_LowSpeedModeOfAdc", "Low speed mode of ADC",
                                                 true, "Device_params"};
constinit const CMlsEntry tpMp_TestModeOfAdc{"tpMp_TestModeOfAdc", "Test mode of ADC", true,
                                             "Device_params"};
constinit const CMlsEntry tpMp_PauseInMsBetweenBatch{
    "tpMp_PauseInMsBetweenBatch", "Pause in ms between batch", true, "Device_params"};
constinit const CMlsEntry tpMp_IntegrationTimeInUs{"tpMp_IntegrationTimeInUs",
                                                   "Integration time in us", true, "Device_params"};
constinit const CMlsEntry tpMp_SignalAccumulation{"tpMp_SignalAccumulation", "Signal accumulation",
                                                  true, "Device_params"};
constinit const CMlsEntry tpMp_RangeOfAdc{"tpMp_RangeOfAdc", "Range of ADC", true, "Device_params"};
constinit const CMlsEntry tpMp_RefCalibrationCoefficient{
    "tpMp_RefCalibrationCoefficient", "Reference calibration coefficient", true, "Device_params"};
constinit const CMlsEntry tpMp_BackgroundOffset{"tpMp_BackgroundOffset", "Background offset", true,
                                                "Device_params"};
constinit const CMlsEntry tpMp_SignalOffset{"tpMp_SignalOffset", "Signal offset", true,
                                            "Device_params"};
constinit const CMlsEntry tpMp_DacToBkgCoefficient{
    "tpMp_DacToBkgCoefficient", "Dac to background coefficient", true, "Device_params"};
constinit const CMlsEntry tpMp_DistanceFromZorToSealevelInMm{
    "tpMp_DistanceFromZorToSealevelInMm", "The distance from the ZOR-sensor to the sealevel in mm",
    true, "Device_params"};
constinit const CMlsEntry tpMp_DistanceFromRangeFinderToSealevelInMm{
    "tpMp_DistanceFromRangeFinderToSealevelInMm",
    "The distance from the RangeFinder to the sealevel in mm", true, "Device_params"};
constinit const CMlsEntry tpAp_AlarmForbidden{
    "tpAp_\xD0\x90"
    "larmForbidden",
    "\xD0\x90"
    "larm forbidden",
    true, "Device_params"};
constinit const CMlsEntry tpAp_Use_AlarmRelayAsOpen{
    "tpAp_Use AlarmRelayAsOpen", "Use ALARM relay as open", true, "Device_params"};
constinit const CMlsEntry tpAp_UseAnalogOutput{"tpAp_UseAnalogOutput", "Use analogue output", true,
                                               "Device_params"};
constinit const CMlsEntry tpAp_UseAnalogOutputAsDigit{
    "tpAp_UseAnalogOutputAsDigit", "Use analogue output as digit", true, "Device_params"};
constinit const CMlsEntry tpAp_ReverceAnalogOutput{
    "tpAp_ReverceAnalogOutput", "Reverce analogue output", true, "Device_params"};
constinit const CMlsEntry tpAp_UseInternalPowerForAnalogOutput{
    "tpAp_UseInternalPowerForAnalogOutput", "Use internal power for analogue output", true,
    "Device_params"};
constinit const CMlsEntry tpAp_Use0mAForLowLimit{"tpAp_Use0mAForLowLimit", "Use 0mA for low limit",
                                                 true, "Device_params"};
constinit const CMlsEntry tpAp_SendSignalBkgInsteadBkg{
    "tpAp_SendSignalBkgInsteadBkg", "Send SignalBkg instead Bkg", true, "Device_params"};
constinit const CMlsEntry tpAp_UseAlarmEmulation{"tpAp_UseAlarmEmulation", "Use Alarm emulation",
                                                 true, "Device_params"};
constinit const CMlsEntry tpAp_VersionOfAnalysisParameters{
    "tpAp_VersionOfAnalysisParameters", "Version of analysis parameters", true, "Device_params"};
constinit const CMlsEntry tpAp_MaxSigThr{
    "tpAp_MaxSigThr", "The maximum value of the signal in whitch can still be detected the ALARM",
    true, "Device_params"};
constinit const CMlsEntry tpAp_MinSigThr{
    "tpAp_MinSigThr", "The minimum value of the signal in whitch can still be detected the ALARM",
    true, "Device_params"};
constinit const CMlsEntry tpAp_MaxBkgChangeForSetAlarm{
    "tpAp_MaxBkgChangeForSetAlarm",
    "Max background change for set ALARM when signal enter to threshold's corridor", true,
    "Device_params"};
constinit const CMlsEntry tpAp_TauRcFilterForFluoPolutionInHrs{
    "tpAp_TauRcFilterForFluoPolutionInHrs",
    "TAU of RC-filter which used for get fluosignal polution background in hrs", true,
    "Device_params"};
constinit const CMlsEntry tpAp_SignalLevelFor20mAOutput{
    "tpAp_SignalLevelFor20mAOutput", "Signal level for 20 mA Output", true, "Device_params"};
constinit const CMlsEntry tpAp_SignalLevelFor4mAOutput{
    "tpAp_SignalLevelFor4mAOutput", "Signal level for  4 mA Output", true, "Device_params"};
constinit const CMlsEntry tpAp_ChipAD5412ControlRegister{
    "tpAp_ChipAD5412ControlRegister", "Analog output chip AD5412AREZ 'Control Register' value",
    true, "Device_params"};
constinit const CMlsEntry tpAp_TimerForAlarmIsIssued{
    "tpAp_TimerForAlarmIsIssued",
    "Installation time alarm conditions in sec after whitch an Alarm is issued", true,
    "Device_params"};
constinit const CMlsEntry tpGp_GeoDefaultParams{
    "tpGp_GeoDefaultParams", "It uses the default settings of Geo params", true, "Device_params"};
constinit const CMlsEntry tpGp_VersionOfGeoParams{
    "tpGp_VersionOfGeoParams", "Version of Geo parameters", true, "Device_params"};
constinit const CMlsEntry tpGp_Latitude{"tpGp_Latitude", "Latitude", true, "Device_params"};
constinit const CMlsEntry tpGp_Longitude{"tpGp_Longitude", "Longitude", true, "Device_params"};
constinit const CMlsEntry tpPcParameters{"tpPcParameters", "PC Parameters", true, "PC_params"};
constinit const CMlsEntry tpDeviceParameters{"tpDeviceParameters", "Device Parameters", true,
                                             "Device_params"};
constinit const CMlsEntry tpCommonParameters{"tpCommonParameters", "Common Parameters", true,
                                             "Device_params"};
constinit const CMlsEntry tpMeasureParameters{"tpMeasureParameters", "Measure Parameters", true,
                                              "Device_params"};
constinit const CMlsEntry tpAnalysisParameters{"tpAnalysisParameters", "Analysis Parameters", true,
                                               "Device_params"};
constinit const CMlsEntry tpGeographicParameters{"tpGeographicParameters", "Geographic Parameters",
                                                 true, "Device_params"};

namespace {
constexpr const CMlsEntry* kAll[] = {
    &tpPcParams_SoftwareVersion,
    &tpPcParams_DeviceVersion,
    &tpPcParams_DeviceID,
    &tpPcParams_LinkType,
    &tpCp_DeviceNum,
    &tpCp_DeviceName,
    &tpCp_DeviceAddress,
    &tpCp_LinkSpeedIndex,
    &tpCp_VersionOfParams,
    &tpCp_IncludedTerminatingResistors,
    &tpCp_DefaultParams,
    &tpMp_RefCalibrationDisabled,
    &tpMp_DistanceCalibrationDisabled,
    &tpMp_RemoveSpikesOfChannelsOffset,
    &tpMp_RemoveSpikesOfSignals,
    &tpMp_LedDisable,
    &tpMp_NotSubstructBackground,
    &tpMp_LowSpeedModeOfAdc,
    &tpMp_TestModeOfAdc,
    &tpMp_PauseInMsBetweenBatch,
    &tpMp_IntegrationTimeInUs,
    &tpMp_SignalAccumulation,
    &tpMp_RangeOfAdc,
    &tpMp_RefCalibrationCoefficient,
    &tpMp_BackgroundOffset,
    &tpMp_SignalOffset,
    &tpMp_DacToBkgCoefficient,
    &tpMp_DistanceFromZorToSealevelInMm,
    &tpMp_DistanceFromRangeFinderToSealevelInMm,
    &tpAp_AlarmForbidden,
    &tpAp_Use_AlarmRelayAsOpen,
    &tpAp_UseAnalogOutput,
    &tpAp_UseAnalogOutputAsDigit,
    &tpAp_ReverceAnalogOutput,
    &tpAp_UseInternalPowerForAnalogOutput,
    &tpAp_Use0mAForLowLimit,
    &tpAp_SendSignalBkgInsteadBkg,
    &tpAp_UseAlarmEmulation,
    &tpAp_VersionOfAnalysisParameters,
    &tpAp_MaxSigThr,
    &tpAp_MinSigThr,
    &tpAp_MaxBkgChangeForSetAlarm,
    &tpAp_TauRcFilterForFluoPolutionInHrs,
    &tpAp_SignalLevelFor20mAOutput,
    &tpAp_SignalLevelFor4mAOutput,
    &tpAp_ChipAD5412ControlRegister,
    &tpAp_TimerForAlarmIsIssued,
    &tpGp_GeoDefaultParams,
    &tpGp_VersionOfGeoParams,
    &tpGp_Latitude,
    &tpGp_Longitude,
    &tpPcParameters,
    &tpDeviceParameters,
    &tpCommonParameters,
    &tpMeasureParameters,
    &tpAnalysisParameters,
    &tpGeographicParameters,
};
}  // namespace

std::span<const CMlsEntry* const> ParamTexts() {
    return kAll;
}

}  // namespace zm::texts
