#include "device/zor/ZorRecords.h"

#include <cstring>

#include "base/Printf.h"

namespace zm {

namespace {

float LoadFloat(const uint8_t* p) {
    uint32_t bits = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void StoreFloat(uint8_t* p, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<uint8_t>(bits >> (8 * i));
    }
}

void StateLine(std::string* transcript, const ZorTranslate& translate, bool ok, bool alarm) {
    if (!transcript) {
        return;
    }
    const ZorText& result =
        !ok ? zortext::kStateUnknown : (alarm ? zortext::kStateAlarm : zortext::kStateNormal);
    *transcript += StrPrintf("\r\n%s: [%s]", ZorTr(translate, zortext::kParseState).c_str(),
                             ZorTr(translate, result).c_str());
}

}  // namespace

float ZorState::FluoBkg() const {
    return LoadFloat(&bytes[16]);
}

void ZorState::SetAlarm(bool on) {
    bytes[1] = static_cast<uint8_t>(on ? (bytes[1] | 0x01) : (bytes[1] & ~0x01));
}

void ZorState::SetValuesInvalid(bool on) {
    bytes[2] = static_cast<uint8_t>(on ? (bytes[2] | 0x04) : (bytes[2] & ~0x04));
}

void ZorState::SetI16(size_t offset, int16_t value) {
    bytes[offset] = static_cast<uint8_t>(value & 0xFF);
    bytes[offset + 1] = static_cast<uint8_t>((static_cast<uint16_t>(value) >> 8) & 0xFF);
}

void ZorState::SetFluoBkg(float value) {
    StoreFloat(&bytes[16], value);
}

ZorState ZorState::FromShort(std::span<const uint8_t, kShortSize> old) {
    ZorState state;
    std::memcpy(state.bytes.data(), old.data(), 4);
    state.SetI16(4, static_cast<int16_t>(old[7] * 10));
    state.SetI16(6, static_cast<int16_t>(static_cast<int8_t>(old[8]) * 10));
    state.SetI16(8, static_cast<int16_t>(static_cast<int8_t>(old[9]) * 100));
    state.SetI16(10, static_cast<int16_t>(old[6] * 1000 * 0.03125));
    state.SetI16(12, static_cast<int16_t>(static_cast<int8_t>(old[5])));
    state.SetI16(14, static_cast<int16_t>(old[4]));
    state.SetFluoBkg(0.0f);
    return state;
}

std::array<uint8_t, ZorState::kShortSize> ZorState::ToShort() const {
    std::array<uint8_t, kShortSize> old{};
    std::memcpy(old.data(), bytes.data(), 4);
    old[4] = static_cast<uint8_t>(Value14());
    old[5] = static_cast<uint8_t>(static_cast<int8_t>(Value12()));
    old[6] = static_cast<uint8_t>(Value10() / 31.25);
    old[7] = static_cast<uint8_t>(Pressure() / 10);
    old[8] = static_cast<uint8_t>(static_cast<int8_t>(Temperature() / 10));
    old[9] = static_cast<uint8_t>(static_cast<int8_t>(SeaLevel() / 100));
    return old;
}

std::vector<ZorDataRecord> SplitDataRecords(std::span<const uint8_t> data) {
    std::vector<ZorDataRecord> records(data.size() / kZorDataRecordSize);
    for (size_t i = 0; i < records.size(); ++i) {
        records[i].signal = LoadFloat(&data[i * kZorDataRecordSize]);
        records[i].background = LoadFloat(&data[i * kZorDataRecordSize + 4]);
    }
    return records;
}

void AppendDataRecord(std::vector<uint8_t>& out, float signal, float background) {
    uint8_t record[kZorDataRecordSize];
    StoreFloat(record, signal);
    StoreFloat(record + 4, background);
    out.insert(out.end(), record, record + kZorDataRecordSize);
}

ZorContrType ZorContrType::FromValue(uint32_t value) {
    ZorContrType type;
    for (int i = 0; i < 4; ++i) {
        type.bytes[static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
    }
    return type;
}

std::string ZorContrType::VersionText() const {
    if (bytes[0] >= 5) {
        return StrPrintf("%d.%d.%d.%d", bytes[0], bytes[1], bytes[2], bytes[3]);
    }
    if (bytes[0] == 1) {
        return {};
    }
    return "unknown";
}

std::string ZorContrType::LongVersionText() const {
    int versionClass = bytes[0] >= 5 ? bytes[0] : (bytes[0] == 1 ? 1 : 0);
    return StrPrintf("%s.v%d [", "Zor", versionClass) + VersionText() + "]";
}

bool DecodeDevState(std::span<const uint8_t> payload, ZorState& state, std::string* transcript,
                    const ZorTranslate& translate) {
    bool ok = true;
    if (payload.size() == ZorState::kSize) {
        std::memcpy(state.bytes.data(), payload.data(), ZorState::kSize);
    } else if (payload.size() == ZorState::kShortSize) {
        state = ZorState::FromShort(payload.first<ZorState::kShortSize>());
    } else {
        ok = false;
    }
    StateLine(transcript, translate, ok, ok && state.Alarm());
    return ok;
}

bool DecodeDevStateData(std::span<const uint8_t> payload, ZorState& state,
                        std::vector<uint8_t>& data, std::string* transcript,
                        const ZorTranslate& translate) {
    data.clear();
    if (payload.size() <= 9) {
        StateLine(transcript, translate, false, false);
        return false;
    }
    size_t stateSize;
    if (payload.size() >= ZorState::kSize && payload.size() % ZorState::kSize == 0) {
        std::memcpy(state.bytes.data(), payload.data(), ZorState::kSize);
        stateSize = ZorState::kSize;
    } else {
        state = ZorState::FromShort(payload.first<ZorState::kShortSize>());
        stateSize = ZorState::kShortSize;
    }
    data.assign(payload.begin() + static_cast<std::ptrdiff_t>(stateSize), payload.end());
    StateLine(transcript, translate, true, state.Alarm());
    return true;
}

bool DecodeRangeFinder(std::span<const uint8_t> payload, ZorRange& range, std::string* transcript,
                       const ZorTranslate& translate) {
    const bool ok = payload.size() == 2;
    range.count = ok ? (payload[0] << 8) | payload[1] : 0;
    range.metres = range.count * kRangeFinderMetresPerCount;
    if (transcript) {
        *transcript += StrPrintf(
            "\r\n%s: [%s, %s: %d => %.1lf m]", ZorTr(translate, zortext::kParseDistance).c_str(),
            ZorTr(translate, ok ? zortext::kOk : zortext::kError).c_str(),
            ZorTr(translate, zortext::kDistance).c_str(), range.count, range.metres);
    }
    return ok;
}

bool DecodeContrType(std::span<const uint8_t> payload, ZorContrType& type) {
    if (payload.size() != 4) {
        return false;
    }
    std::memcpy(type.bytes.data(), payload.data(), 4);
    return true;
}

ZorDataPortion EvaluateDataPortion(std::span<const uint8_t> data, float lowerThreshold,
                                   float upperThreshold, bool emulated, std::string* transcript,
                                   const ZorTranslate& translate) {
    ZorDataPortion portion;
    portion.records = static_cast<int>(data.size() / kZorDataRecordSize);
    if (data.size() >= kZorDataRecordSize) {
        portion.accepted = true;
        portion.value =
            LoadFloat(&data[(data.size() / kZorDataRecordSize - 1) * kZorDataRecordSize]);
        // A value that is not a number fails both comparisons and is no alarm.
        const bool alarm = lowerThreshold < portion.value && portion.value < upperThreshold;
        portion.dataStatus = alarm ? 10 : (emulated ? 9 : 0);
    }
    if (transcript) {
        *transcript +=
            StrPrintf("\r\n%s: [%s, %d %s]", ZorTr(translate, zortext::kParseData).c_str(),
                      ZorTr(translate, portion.accepted ? zortext::kOk : zortext::kError).c_str(),
                      portion.records, ZorTr(translate, zortext::kElements).c_str());
    }
    return portion;
}

}  // namespace zm
