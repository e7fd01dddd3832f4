#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "device/zor/ZorTexts.h"

namespace zm {

// The sensor's state record as the device keeps it: 20 bytes, little-endian fields.
struct ZorState {
    static constexpr size_t kSize = 20;
    static constexpr size_t kShortSize = 10;  // older controllers
    std::array<uint8_t, kSize> bytes{};

    bool Alarm() const { return (bytes[1] & 0x01) != 0; }
    // Bit 2 of byte 2: pressure, temperature and sea level are not valid.
    bool ValuesInvalid() const { return (bytes[2] & 0x04) != 0; }
    int16_t Pressure() const { return GetI16(4); }     // 0.1 kPa
    int16_t Temperature() const { return GetI16(6); }  // 0.1 degC
    int16_t SeaLevel() const { return GetI16(8); }     // 0.1 cm
    int16_t Value10() const { return GetI16(10); }
    int16_t Value12() const { return GetI16(12); }
    uint16_t Value14() const { return static_cast<uint16_t>(GetI16(14)); }
    float FluoBkg() const;

    void SetAlarm(bool on);
    void SetValuesInvalid(bool on);
    void SetI16(size_t offset, int16_t value);
    void SetFluoBkg(float value);

    int16_t GetI16(size_t offset) const {
        return static_cast<int16_t>(bytes[offset] | (bytes[offset + 1] << 8));
    }

    // The 20-byte form of a 10-byte short record.
    static ZorState FromShort(std::span<const uint8_t, kShortSize> old);
    // The 10-byte form a controller of the older kind sends (the inverse, as far as it goes).
    std::array<uint8_t, kShortSize> ToShort() const;
};

// One data record: 32-bit float signal, then 32-bit float background.
inline constexpr size_t kZorDataRecordSize = 8;
struct ZorDataRecord {
    float signal = 0;
    float background = 0;
};
std::vector<ZorDataRecord> SplitDataRecords(std::span<const uint8_t> data);
void AppendDataRecord(std::vector<uint8_t>& out, float signal, float background);

// Controller type: four bytes as received, read as a little-endian 32-bit value.
struct ZorContrType {
    std::array<uint8_t, 4> bytes{};
    uint32_t Value() const {
        return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) |
               (static_cast<uint32_t>(bytes[3]) << 24);
    }
    static ZorContrType FromValue(uint32_t value);
    int Major() const { return bytes[0]; }
    int Minor() const { return bytes[1]; }
    // "5.2.0.1" when byte 0 is 5 or more, empty when it is 1, else "unknown".
    std::string VersionText() const;
    // "Zor.v5 [5.2.0.1]": the version class and the text above.
    std::string LongVersionText() const;
    // Controllers from 5.2 on answer state and data in one exchange.
    bool SupportsStateData() const { return Major() > 5 || (Major() == 5 && Minor() >= 2); }
};

// Decoders of the command answers. Each appends its result line to the transcript (when one
// is given) and leaves its out record unchanged on failure, unless said otherwise.

// Command 2: 20 bytes taken as they are, 10 bytes converted; any other length fails.
bool DecodeDevState(std::span<const uint8_t> payload, ZorState& state, std::string* transcript,
                    const ZorTranslate& translate = {});

// Command 57: a state record followed by data records. May fill the state and then still
// report the data bytes empty; fails when the answer has 9 bytes or fewer.
bool DecodeDevStateData(std::span<const uint8_t> payload, ZorState& state,
                        std::vector<uint8_t>& data, std::string* transcript,
                        const ZorTranslate& translate = {});

// Command 3: one Modbus register, high byte first. The count is 0 and the distance 0.0 on
// failure; the line is written either way.
inline constexpr double kRangeFinderMetresPerCount = static_cast<double>(0.00034381438f);
struct ZorRange {
    int count = 0;
    double metres = 0;
};
bool DecodeRangeFinder(std::span<const uint8_t> payload, ZorRange& range, std::string* transcript,
                       const ZorTranslate& translate = {});

// Command 5: exactly four bytes.
bool DecodeContrType(std::span<const uint8_t> payload, ZorContrType& type);

// The data-portion rule: the batch is accepted from 8 bytes on; its last whole record gives
// the current value, and the value decides the data status against the two thresholds,
// strictly on both sides (10 alarm; otherwise 9 on the emulation link, else 0).
struct ZorDataPortion {
    bool accepted = false;
    int records = 0;     // whole records in the batch
    float value = 0;     // signal of the last whole record
    int dataStatus = 0;  // 0, 9 or 10 when accepted
};
ZorDataPortion EvaluateDataPortion(std::span<const uint8_t> data, float lowerThreshold,
                                   float upperThreshold, bool emulated, std::string* transcript,
                                   const ZorTranslate& translate = {});

}  // namespace zm
