// A sensor's answer as it comes off the wire: the head classification, the frame check and
// every decoder of the command answers, with the data-portion rule on whatever data bytes
// they give.
#include <array>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "device/zor/ZorFrame.h"
#include "device/zor/ZorRecords.h"

namespace {

constexpr std::array<uint8_t, 7> kCodes{
    zm::kCmdCheckDevLink, zm::kCmdGetDevState,       zm::kCmdPingSenix,      zm::kCmdGetContrType,
    zm::kCmdGetDevParams, zm::kCmdGetDevDataPortion, zm::kCmdGetDevStateData};

void CheckDataPortion(std::span<const uint8_t> data, float lower, float upper, bool emulated) {
    std::string transcript;
    zm::ZorDataPortion portion = zm::EvaluateDataPortion(data, lower, upper, emulated, &transcript);
    ZM_FUZZ_REQUIRE(portion.accepted == (data.size() >= zm::kZorDataRecordSize));
    if (!portion.accepted)
        return;
    ZM_FUZZ_REQUIRE(portion.records == static_cast<int>(data.size() / zm::kZorDataRecordSize));
    const bool alarm = lower < portion.value && portion.value < upper;
    ZM_FUZZ_REQUIRE(portion.dataStatus == (alarm ? 10 : (emulated ? 9 : 0)));
    ZM_FUZZ_REQUIRE(zm::SplitDataRecords(data).size() == static_cast<size_t>(portion.records));
}

void DecodeAll(std::span<const uint8_t> payload, float lower, float upper, bool emulated) {
    std::string transcript;
    zm::ZorState state;
    zm::DecodeDevState(payload, state, &transcript);
    std::vector<uint8_t> data;
    zm::ZorState stateData;
    if (zm::DecodeDevStateData(payload, stateData, data, &transcript) && !data.empty())
        CheckDataPortion(data, lower, upper, emulated);
    zm::ZorRange range;
    const bool rangeOk = zm::DecodeRangeFinder(payload, range, &transcript);
    ZM_FUZZ_REQUIRE(rangeOk || range.count == 0);
    zm::ZorContrType type;
    if (zm::DecodeContrType(payload, type)) {
        transcript += type.VersionText();
        transcript += type.LongVersionText();
    }
    CheckDataPortion(payload, lower, upper, emulated);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zm::fuzz::InputReader in(data, size);
    const uint8_t code = kCodes[in.Byte() % kCodes.size()];
    const uint8_t flags = in.Byte();
    // Thresholds from the input, so that odd ones (NaN, reversed, infinite) are tried too.
    float lower = 500.0f, upper = 10000.0f;
    if (flags & 0x02) {
        uint8_t raw[8];
        for (uint8_t& b : raw)
            b = in.Byte();
        std::memcpy(&lower, raw, 4);
        std::memcpy(&upper, raw + 4, 4);
    }
    // Nothing longer than the read buffer ever reaches the check.
    std::span<const uint8_t> bytes(in.Data(), std::min(in.Size(), zm::kZorBufferSize));

    if (bytes.size() >= 7) {
        zm::ZorResponseHead head = zm::ClassifyResponseHead(bytes.first<7>());
        ZM_FUZZ_REQUIRE(head.kind == zm::ZorResponseHead::kInvalid ||
                        head.total <= zm::kZorFrameOverhead + zm::kZorMaxPayload);
    }
    std::string transcript;
    std::vector<uint8_t> payload{0xAA};
    const bool ok = zm::CheckZorResponse(bytes, code, payload, &transcript);
    const size_t header = code == zm::kCmdPingSenix ? 3 : zm::kZorHeaderSize;
    if (ok)
        ZM_FUZZ_REQUIRE(payload.size() + header + 2 == bytes.size());
    else
        ZM_FUZZ_REQUIRE(payload.empty());
    zm::FormatByteList(bytes, (flags & 0x01) != 0);

    DecodeAll(ok ? std::span<const uint8_t>(payload) : bytes, lower, upper, (flags & 0x04) != 0);
    return 0;
}
