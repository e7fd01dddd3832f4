#include "device/zor/ZorParams.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "base/Printf.h"

namespace zm {

namespace {

constexpr const char* kSection = "Device_params";

constexpr ZorText T(const char* key, const char* text) {
    return ZorText{kSection, key, text};
}

constexpr ZorParamField kFields[] = {
    {"VersionOfParams", 7, 1, ZorFieldType::kU8,
     T("tpCp_VersionOfParams", "Version of Parameters")},
    {"CommFlags", 8, 1, ZorFieldType::kFlags8, T("", "")},
    {"DeviceAddress", 10, 1, ZorFieldType::kU8, T("tpCp_DeviceAddress", "DeviceAddress")},
    {"LinkSpeedIndex", 11, 1, ZorFieldType::kU8, T("tpCp_LinkSpeedIndex", "Link speed index")},
    {"DeviceNum", 12, 48, ZorFieldType::kText, T("tpCp_DeviceNum", "Device number")},
    {"MeasFlags", 62, 2, ZorFieldType::kFlags16, T("", "")},
    {"PauseInMsBetweenBatch", 64, 2, ZorFieldType::kU16,
     T("tpMp_PauseInMsBetweenBatch", "Pause in ms between batch")},
    {"IntegrationTimeInUs", 66, 2, ZorFieldType::kU16,
     T("tpMp_IntegrationTimeInUs", "Integration time in us")},
    {"SignalAccumulation", 68, 2, ZorFieldType::kU16,
     T("tpMp_SignalAccumulation", "Signal accumulation")},
    {"RangeOfAdc", 70, 1, ZorFieldType::kU8, T("tpMp_RangeOfAdc", "Range of ADC")},
    {"RefCalibrationCoefficient", 72, 4, ZorFieldType::kF32,
     T("tpMp_RefCalibrationCoefficient", "Reference calibration coefficient")},
    {"BackgroundOffset", 76, 4, ZorFieldType::kF32,
     T("tpMp_BackgroundOffset", "Background offset")},
    {"SignalOffset", 80, 4, ZorFieldType::kF32, T("tpMp_SignalOffset", "Signal offset")},
    {"DacToBkgCoefficient", 84, 4, ZorFieldType::kF32,
     T("tpMp_DacToBkgCoefficient", "Dac to background coefficient")},
    {"DistanceFromZorToSealevelInMm", 88, 2, ZorFieldType::kI16,
     T("tpMp_DistanceFromZorToSealevelInMm",
       "The distance from the ZOR-sensor to the sealevel in mm")},
    {"DistanceFromRangeFinderToSealevelInMm", 90, 2, ZorFieldType::kI16,
     T("tpMp_DistanceFromRangeFinderToSealevelInMm",
       "The distance from the RangeFinder to the sealevel in mm")},
    {"VersionOfAnalysisParameters", 105, 1, ZorFieldType::kU8,
     T("tpAp_VersionOfAnalysisParameters", "Version of analysis parameters")},
    {"AnlFlags", 106, 2, ZorFieldType::kFlags16, T("", "")},
    {"MaxSigThr", 108, 4, ZorFieldType::kF32,
     T("tpAp_MaxSigThr",
       "The maximum value of the signal in whitch can still be detected the ALARM")},
    {"MinSigThr", 112, 4, ZorFieldType::kF32,
     T("tpAp_MinSigThr",
       "The minimum value of the signal in whitch can still be detected the ALARM")},
    {"MaxBkgChangeForSetAlarm", 116, 4, ZorFieldType::kF32,
     T("tpAp_MaxBkgChangeForSetAlarm",
       "Max background change for set ALARM when signal enter to threshold's corridor")},
    {"TauRcFilterForFluoPolutionInHrs", 120, 4, ZorFieldType::kF32,
     T("tpAp_TauRcFilterForFluoPolutionInHrs",
       "TAU of RC-filter which used for get fluosignal polution background in hrs")},
    {"SignalLevelFor20mAOutput", 124, 4, ZorFieldType::kF32,
     T("tpAp_SignalLevelFor20mAOutput", "Signal level for 20 mA Output")},
    {"SignalLevelFor4mAOutput", 128, 4, ZorFieldType::kF32,
     T("tpAp_SignalLevelFor4mAOutput", "Signal level for  4 mA Output")},
    {"ChipAD5412ControlRegister", 132, 2, ZorFieldType::kU16,
     T("tpAp_ChipAD5412ControlRegister", "Analog output chip AD5412AREZ 'Control Register' value")},
    {"TimerForAlarmIsIssued", 134, 1, ZorFieldType::kU8,
     T("tpAp_TimerForAlarmIsIssued",
       "Installation time alarm conditions in sec after whitch an Alarm is issued")},
    {"VersionOfGeoParams", 149, 1, ZorFieldType::kU8,
     T("tpGp_VersionOfGeoParams", "Version of Geo parameters")},
    {"GeoFlags", 150, 1, ZorFieldType::kFlags8, T("", "")},
    {"Latitude", 152, 8, ZorFieldType::kF64, T("tpGp_Latitude", "Latitude")},
    {"Longitude", 160, 8, ZorFieldType::kF64, T("tpGp_Longitude", "Longitude")},
};

constexpr ZorParamFlag kFlags[] = {
    {"CommFlags", 0, T("tpCp_DefaultParams", "It uses the default settings of params")},
    {"CommFlags", 1, T("tpCp_IncludedTerminatingResistors", "Included terminating resistors")},
    {"MeasFlags", 0,
     T("tpMp_RefCalibrationDisabled",
       "Reference \xD1\x81"
       "alibration disabled")},
    {"MeasFlags", 1,
     T("tpMp_DistanceCalibrationDisabled",
       "Distance \xD1\x81"
       "alibration disabled")},
    {"MeasFlags", 9, T("tpMp_RemoveSpikesOfChannelsOffset", "Remove spikes of channels offset")},
    {"MeasFlags", 10, T("tpMp_RemoveSpikesOfSignals", "Remove spikes of signals")},
    {"MeasFlags", 11, T("tpMp_LedDisable", "LED disable")},
    {"MeasFlags", 12, T("tpMp_NotSubstructBackground", "Not substruct background")},
    {"MeasFlags", 13, T("tpMp_LowSpeedModeOfAdc", "Low speed mode of ADC")},
    {"MeasFlags", 14, T("tpMp_TestModeOfAdc", "Test mode of ADC")},
    {"AnlFlags", 0, T("tpAp_\xD0\x90larmForbidden", "\xD0\x90larm forbidden")},
    {"AnlFlags", 1, T("tpAp_Use AlarmRelayAsOpen", "Use ALARM relay as open")},
    {"AnlFlags", 2, T("tpAp_UseAnalogOutput", "Use analogue output")},
    {"AnlFlags", 3, T("tpAp_UseAnalogOutputAsDigit", "Use analogue output as digit")},
    {"AnlFlags", 4, T("tpAp_ReverceAnalogOutput", "Reverce analogue output")},
    {"AnlFlags", 5,
     T("tpAp_UseInternalPowerForAnalogOutput", "Use internal power for analogue output")},
    {"AnlFlags", 6, T("tpAp_Use0mAForLowLimit", "Use 0mA for low limit")},
    {"AnlFlags", 12, T("tpAp_SendSignalBkgInsteadBkg", "Send SignalBkg instead Bkg")},
    {"AnlFlags", 14, T("tpAp_UseAlarmEmulation", "Use Alarm emulation")},
    {"GeoFlags", 0, T("tpGp_GeoDefaultParams", "It uses the default settings of Geo params")},
};

constexpr ZorText kDeviceName = T("tpCp_DeviceName", "Device name");
constexpr ZorText kDeviceParameters = T("tpDeviceParameters", "Device Parameters");
constexpr ZorText kCommonParameters = T("tpCommonParameters", "Common Parameters");
constexpr ZorText kMeasureParameters = T("tpMeasureParameters", "Measure Parameters");
constexpr ZorText kAnalysisParameters = T("tpAnalysisParameters", "Analysis Parameters");
constexpr ZorText kGeographicParameters = T("tpGeographicParameters", "Geographic Parameters");

// A stored float shown as an integer: truncated toward zero, and kept inside int's range so
// that a corrupt block cannot make the conversion undefined.
int Truncate(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value >= static_cast<double>(std::numeric_limits<int>::max())) {
        return std::numeric_limits<int>::max();
    }
    if (value <= static_cast<double>(std::numeric_limits<int>::min())) {
        return std::numeric_limits<int>::min();
    }
    return static_cast<int>(value);
}

// Length of a valid UTF-8 sequence starting at s[i], or 0.
size_t Utf8SequenceLength(std::string_view s, size_t i) {
    auto c = static_cast<unsigned char>(s[i]);
    size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (n == 0 || i + n > s.size()) {
        return 0;
    }
    for (size_t k = 1; k < n; ++k) {
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return n;
}

// The sensor's 8-bit text as UTF-8: what is already UTF-8 stays, any other byte is taken as
// the Latin-1 character of that value, so no byte is lost or turned into a question mark.
std::string EightBitToUtf8(std::string_view raw) {
    std::string out;
    for (size_t i = 0; i < raw.size();) {
        size_t n = Utf8SequenceLength(raw, i);
        if (n > 0) {
            out.append(raw.substr(i, n));
            i += n;
        } else {
            auto c = static_cast<unsigned char>(raw[i]);
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
            ++i;
        }
    }
    return out;
}

std::string FirstCharacters(std::string_view utf8, size_t count) {
    size_t i = 0;
    for (size_t taken = 0; i < utf8.size() && taken < count; ++taken) {
        size_t n = Utf8SequenceLength(utf8, i);
        i += n == 0 ? 1 : n;
    }
    return std::string(utf8.substr(0, i));
}

}  // namespace

std::span<const ZorParamField> ZorParamFields() {
    return kFields;
}
std::span<const ZorParamFlag> ZorParamFlags() {
    return kFlags;
}

const ZorParamField* FindZorParamField(std::string_view name) {
    for (const auto& field : kFields) {
        if (name == field.name) {
            return &field;
        }
    }
    return nullptr;
}

uint16_t ZorParams::GetU16(size_t offset) const {
    return static_cast<uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

float ZorParams::GetF32(size_t offset) const {
    uint32_t bits = 0;
    for (int i = 3; i >= 0; --i) {
        bits = (bits << 8) | bytes[offset + static_cast<size_t>(i)];
    }
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

double ZorParams::GetF64(size_t offset) const {
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) {
        bits = (bits << 8) | bytes[offset + static_cast<size_t>(i)];
    }
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void ZorParams::SetU16(size_t offset, uint16_t value) {
    bytes[offset] = static_cast<uint8_t>(value & 0xFF);
    bytes[offset + 1] = static_cast<uint8_t>(value >> 8);
}

void ZorParams::SetF32(size_t offset, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    for (size_t i = 0; i < 4; ++i) {
        bytes[offset + i] = static_cast<uint8_t>(bits >> (8 * i));
    }
}

void ZorParams::SetF64(size_t offset, double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    for (size_t i = 0; i < 8; ++i) {
        bytes[offset + i] = static_cast<uint8_t>(bits >> (8 * i));
    }
}

std::optional<double> ZorParams::GetField(std::string_view name) const {
    const ZorParamField* field = FindZorParamField(name);
    if (!field) {
        return std::nullopt;
    }
    switch (field->type) {
        case ZorFieldType::kU8:
        case ZorFieldType::kFlags8:
            return GetU8(field->offset);
        case ZorFieldType::kU16:
        case ZorFieldType::kFlags16:
            return GetU16(field->offset);
        case ZorFieldType::kI16:
            return GetI16(field->offset);
        case ZorFieldType::kF32:
            return GetF32(field->offset);
        case ZorFieldType::kF64:
            return GetF64(field->offset);
        case ZorFieldType::kText:
            return std::nullopt;
    }
    return std::nullopt;
}

bool ZorParams::SetField(std::string_view name, double value) {
    const ZorParamField* field = FindZorParamField(name);
    if (!field || field->type == ZorFieldType::kText || std::isnan(value)) {
        return false;
    }
    auto fits = [&](double lo, double hi) { return value >= lo && value <= hi; };
    switch (field->type) {
        case ZorFieldType::kU8:
        case ZorFieldType::kFlags8:
            if (!fits(0, 255)) {
                return false;
            }
            SetU8(field->offset, static_cast<uint8_t>(value));
            return true;
        case ZorFieldType::kU16:
        case ZorFieldType::kFlags16:
            if (!fits(0, 65535)) {
                return false;
            }
            SetU16(field->offset, static_cast<uint16_t>(value));
            return true;
        case ZorFieldType::kI16:
            if (!fits(-32768, 32767)) {
                return false;
            }
            SetI16(field->offset, static_cast<int16_t>(value));
            return true;
        case ZorFieldType::kF32:
            SetF32(field->offset, static_cast<float>(value));
            return true;
        case ZorFieldType::kF64:
            SetF64(field->offset, value);
            return true;
        case ZorFieldType::kText:
            return false;
    }
    return false;
}

std::string ZorParams::DeviceNum() const {
    const char* start = reinterpret_cast<const char*>(&bytes[kDeviceNumOffset]);
    std::string_view raw(start, kDeviceNumSize);
    raw = raw.substr(0, raw.find('\0'));
    return EightBitToUtf8(raw);
}

void ZorParams::SetDeviceNum(std::string_view text) {
    std::memset(&bytes[kDeviceNumOffset], 0, kDeviceNumSize);
    size_t n = std::min(text.size(), kDeviceNumSize - 1);
    n = std::min(n, text.find('\0'));
    if (n > 0)  // an empty view may carry no pointer at all
        std::memcpy(&bytes[kDeviceNumOffset], text.data(), n);
}

void SetDefaultParams(ZorParams& params, std::optional<std::string_view> deviceNum) {
    params.bytes.fill(0);
    std::string number = FirstCharacters(deviceNum.value_or(kZorDefaultDeviceNum), 16);
    params.SetDeviceNum(number);
    params.SetAddress(99);
    params.SetU16(64, 2);     // pause between batch
    params.SetU16(66, 100);   // integration time
    params.SetU16(68, 100);   // signal accumulation
    params.SetU8(70, 7);      // range of ADC
    params.SetF32(72, 1.0f);  // reference calibration coefficient
    params.SetI16(88, 1000);  // distance from the sensor to the sea level
    params.SetF32(108, 10000.0f);
    params.SetF32(112, 500.0f);
    params.SetF32(116, 10.0f);
    params.SetF32(124, 10000.0f);
    params.SetF32(128, 500.0f);
    params.SetU8(134, 5);  // alarm timer
}

ZorParams DefaultZorParams(std::optional<std::string_view> deviceNum) {
    ZorParams params;
    SetDefaultParams(params, deviceNum);
    return params;
}

ZorParams ConvertOldParams(std::span<const uint8_t, ZorParams::kOldSize> old) {
    ZorParams params;
    std::memcpy(params.bytes.data(), old.data(), 104);
    std::memcpy(params.bytes.data() + 104, old.data() + 102, 78);
    auto d88 = static_cast<int8_t>(old[88]);
    auto d89 = static_cast<int8_t>(old[89]);
    params.SetI16(88, static_cast<int16_t>((d89 + d88) * 100));
    params.SetI16(90, static_cast<int16_t>(d88 * 100));
    return params;
}

std::array<uint8_t, ZorParams::kOldSize> ToOldParams(const ZorParams& params) {
    std::array<uint8_t, ZorParams::kOldSize> old{};
    std::memcpy(old.data(), params.bytes.data(), 102);
    std::memcpy(old.data() + 102, params.bytes.data() + 104, 78);
    int rangeFinder = params.GetI16(90) / 100;
    int sensor = params.GetI16(88) / 100 - rangeFinder;
    old[88] = static_cast<uint8_t>(static_cast<int8_t>(rangeFinder));
    old[89] = static_cast<uint8_t>(static_cast<int8_t>(sensor));
    return old;
}

bool DecodeDevParams(std::span<const uint8_t> payload, ZorParams& params) {
    if (payload.size() == ZorParams::kSize) {
        std::memcpy(params.bytes.data(), payload.data(), ZorParams::kSize);
        return true;
    }
    if (payload.size() == ZorParams::kOldSize) {
        params = ConvertOldParams(payload.first<ZorParams::kOldSize>());
        return true;
    }
    return false;
}

std::string GetDeviceIdText(const ZorParams& params) {
    return FirstCharacters(params.DeviceNum(), 16);
}

std::string RenderParams(const ZorParams& params, std::string_view deviceName,
                         const ZorTranslate& translate) {
    auto label = [&](const ZorText& text) { return ZorTr(translate, text); };
    auto fieldLabel = [&](const char* name) { return label(FindZorParamField(name)->label); };
    std::string out;
    auto heading = [&](const ZorText& text) {
        out += StrPrintf("\r\n  %s:\r\n", label(text).c_str());
    };
    auto integer = [&](const char* name, int value) {
        out += StrPrintf("    %s: %d\r\n", fieldLabel(name).c_str(), value);
    };
    auto fixed3 = [&](const char* name, double value) {
        out += StrPrintf("    %s: %.3f\r\n", fieldLabel(name).c_str(), value);
    };
    auto flags = [&](const char* word, bool fullStop) {
        unsigned value = static_cast<unsigned>(*params.GetField(word));
        for (const auto& flag : kFlags) {
            if (std::string_view(flag.word) == word && (value >> flag.bit) & 1u) {
                out += StrPrintf("    %s%s\r\n", label(flag.label).c_str(), fullStop ? "." : "");
            }
        }
    };

    out += StrPrintf("\r\n%s:\r\n", label(kDeviceParameters).c_str());

    heading(kCommonParameters);
    out += StrPrintf("    %s: %s\r\n", fieldLabel("DeviceNum").c_str(), params.DeviceNum().c_str());
    out += StrPrintf("    %s: %s\r\n", label(kDeviceName).c_str(), std::string(deviceName).c_str());
    integer("DeviceAddress", params.GetU8(10));
    integer("LinkSpeedIndex", params.GetU8(11));
    integer("VersionOfParams", params.GetU8(7));
    // Terminating resistors before the default-settings flag, as the sensor's tools list them.
    if (params.GetU8(8) & 0x02) {
        out += StrPrintf("    %s\r\n", label(kFlags[1].label).c_str());
    }
    if (params.GetU8(8) & 0x01) {
        out += StrPrintf("    %s\r\n", label(kFlags[0].label).c_str());
    }
    out += "\r\n";

    heading(kMeasureParameters);
    flags("MeasFlags", true);
    integer("PauseInMsBetweenBatch", params.GetU16(64));
    integer("IntegrationTimeInUs", params.GetU16(66));
    integer("SignalAccumulation", params.GetU16(68));
    integer("RangeOfAdc", params.GetU8(70));
    fixed3("RefCalibrationCoefficient", params.GetF32(72));
    integer("BackgroundOffset", Truncate(params.GetF32(76)));
    integer("SignalOffset", Truncate(params.GetF32(80)));
    fixed3("DacToBkgCoefficient", params.GetF32(84));
    integer("DistanceFromZorToSealevelInMm", params.GetI16(88));
    integer("DistanceFromRangeFinderToSealevelInMm", params.GetI16(90));
    out += "\r\n";

    heading(kAnalysisParameters);
    flags("AnlFlags", true);
    integer("VersionOfAnalysisParameters", params.GetU8(105));
    integer("MaxSigThr", Truncate(params.GetF32(108)));
    integer("MinSigThr", Truncate(params.GetF32(112)));
    fixed3("MaxBkgChangeForSetAlarm", params.GetF32(116));
    fixed3("TauRcFilterForFluoPolutionInHrs", params.GetF32(120));
    integer("SignalLevelFor20mAOutput", Truncate(params.GetF32(124)));
    integer("SignalLevelFor4mAOutput", Truncate(params.GetF32(128)));
    integer("ChipAD5412ControlRegister", params.GetU16(132));
    integer("TimerForAlarmIsIssued", params.GetU8(134));
    out += "\r\n";

    heading(kGeographicParameters);
    flags("GeoFlags", false);
    integer("VersionOfGeoParams", params.GetU8(149));
    fixed3("Latitude", params.GetF64(152));
    fixed3("Longitude", params.GetF64(160));
    out += "\r\n";
    return out;
}

}  // namespace zm
