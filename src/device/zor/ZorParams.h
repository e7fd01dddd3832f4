#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "device/zor/ZorTexts.h"

namespace zm {

// How a parameter field is stored in the block. All multi-byte fields are little-endian.
enum class ZorFieldType { kU8, kFlags8, kU16, kFlags16, kI16, kF32, kF64, kText };

// One field of the parameter block: its name (the key without its group prefix, or the
// flag word's name), offset, size and type, and its catalogue text.
struct ZorParamField {
    const char* name;
    uint16_t offset;
    uint16_t size;
    ZorFieldType type;
    ZorText label;
};

// A flag of one of the flag words: which word (by field name), which bit, and its text.
struct ZorParamFlag {
    const char* word;
    int bit;
    ZorText label;
};

// Every named field, in block order, and every named flag, in bit order per word.
std::span<const ZorParamField> ZorParamFields();
std::span<const ZorParamFlag> ZorParamFlags();
const ZorParamField* FindZorParamField(std::string_view name);

// The byte ranges stored separately in the configuration.
struct ZorParamRange {
    const char* key;
    uint16_t first;
    uint16_t size;
};
inline constexpr ZorParamRange kZorCommParams{"CommParams", 6, 54};
inline constexpr ZorParamRange kZorMeasParams{"MeasParams", 60, 44};
inline constexpr ZorParamRange kZorAnlParams{"AnlParams", 104, 44};
inline constexpr ZorParamRange kZorGeoParams{"GeoParams", 148, 32};

// The sensor's 182-byte parameter block. Bytes this system does not interpret are carried
// unchanged; the accessors read and write the fields in place.
struct ZorParams {
    static constexpr size_t kSize = 182;
    static constexpr size_t kOldSize = 180;
    static constexpr size_t kDeviceNumOffset = 12;
    static constexpr size_t kDeviceNumSize = 48;  // up to the end of the common parameters
    std::array<uint8_t, kSize> bytes{};

    uint8_t GetU8(size_t offset) const { return bytes[offset]; }
    uint16_t GetU16(size_t offset) const;
    int16_t GetI16(size_t offset) const { return static_cast<int16_t>(GetU16(offset)); }
    float GetF32(size_t offset) const;
    double GetF64(size_t offset) const;
    void SetU8(size_t offset, uint8_t value) { bytes[offset] = value; }
    void SetU16(size_t offset, uint16_t value);
    void SetI16(size_t offset, int16_t value) { SetU16(offset, static_cast<uint16_t>(value)); }
    void SetF32(size_t offset, float value);
    void SetF64(size_t offset, double value);

    // A named field as a number (text fields excluded); false for an unknown name.
    std::optional<double> GetField(std::string_view name) const;
    bool SetField(std::string_view name, double value);

    uint8_t Address() const { return bytes[10]; }
    void SetAddress(uint8_t address) { bytes[10] = address; }
    float MaxSigThr() const { return GetF32(108); }  // upper alarm threshold
    float MinSigThr() const { return GetF32(112); }  // lower alarm threshold
    float MaxBkgChange() const { return GetF32(116); }
    double Latitude() const { return GetF64(152); }
    double Longitude() const { return GetF64(160); }

    // The device number: the bytes up to the zero byte (never past the common parameters),
    // each 8-bit character made UTF-8.
    std::string DeviceNum() const;
    // Stores at most kDeviceNumSize - 1 bytes and clears the rest of the field.
    void SetDeviceNum(std::string_view text);

    bool operator==(const ZorParams&) const = default;
};

// The placeholder device number of a block that was never read from a sensor.
inline constexpr const char* kZorDefaultDeviceNum = "ZOR-0000";

// The default block; the device number is the given text (at most 16 characters) or the
// placeholder.
void SetDefaultParams(ZorParams& params, std::optional<std::string_view> deviceNum = {});
ZorParams DefaultZorParams(std::optional<std::string_view> deviceNum = {});

// The 182-byte block from the older 180-byte layout.
ZorParams ConvertOldParams(std::span<const uint8_t, ZorParams::kOldSize> old);
// The older layout of a block, for simulating old controllers. Distances are stored in
// decimetres in signed bytes, so they survive the round trip only to the decimetre.
std::array<uint8_t, ZorParams::kOldSize> ToOldParams(const ZorParams& params);

// The answer to the parameter request: 182 bytes taken as they are, 180 bytes converted;
// any other length fails and leaves the block unchanged.
bool DecodeDevParams(std::span<const uint8_t> payload, ZorParams& params);

// The identification text: the device number cut to at most 16 characters.
std::string GetDeviceIdText(const ZorParams& params);

// The block as a text for the data log header, the alarm report and the information texts.
std::string RenderParams(const ZorParams& params, std::string_view deviceName,
                         const ZorTranslate& translate = {});

}  // namespace zm
