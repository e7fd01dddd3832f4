#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "device/zor/ZorRecords.h"

namespace zm {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Records(std::initializer_list<float> signals) {
    Bytes out;
    for (float s : signals) {
        AppendDataRecord(out, s, s / 4);
    }
    return out;
}

TEST(DecodeDevState, TakesTwentyBytesConvertsTenAndRejectsOthers) {
    Bytes twenty(20, 0);
    twenty[1] = 0x01;
    twenty[4] = 0xF5;  // pressure 1013 = 0x03F5
    twenty[5] = 0x03;
    ZorState state;
    std::string transcript;
    ASSERT_TRUE(DecodeDevState(twenty, state, &transcript));
    EXPECT_EQ(transcript, "\r\nParse state: [Ok, State: Alarm]");
    EXPECT_EQ(state.Pressure(), 1013);

    twenty[1] = 0x02;
    transcript.clear();
    ASSERT_TRUE(DecodeDevState(twenty, state, &transcript));
    EXPECT_EQ(transcript, "\r\nParse state: [Ok, State: Normal]");

    // Short record: bytes 0-3 kept; 7 -> pressure x10, 8 -> temperature x10 (signed),
    // 9 -> sea level x100 (signed), 6 -> x31.25 truncated, 5 signed, 4 unsigned.
    const Bytes ten{0x11, 0x01, 0x04, 0x33, 200, 0xFE, 32, 101, 0xF6, 0xFF};
    ASSERT_TRUE(DecodeDevState(ten, state, nullptr));
    EXPECT_EQ(state.bytes[0], 0x11);
    EXPECT_TRUE(state.Alarm());
    EXPECT_TRUE(state.ValuesInvalid());
    EXPECT_EQ(state.bytes[3], 0x33);
    EXPECT_EQ(state.Pressure(), 1010);
    EXPECT_EQ(state.Temperature(), -100);
    EXPECT_EQ(state.SeaLevel(), -100);
    EXPECT_EQ(state.Value10(), 1000);
    EXPECT_EQ(state.Value12(), -2);
    EXPECT_EQ(state.Value14(), 200);
    EXPECT_EQ(state.FluoBkg(), 0.0f);
    Bytes ten2 = ten;
    ten2[6] = 255;  // 7968.75 truncates toward zero
    ASSERT_TRUE(DecodeDevState(ten2, state, nullptr));
    EXPECT_EQ(state.Value10(), 7968);

    for (size_t size : {0, 9, 11, 19, 21, 40}) {
        ZorState kept;
        kept.bytes[0] = 0x5A;
        transcript.clear();
        EXPECT_FALSE(DecodeDevState(Bytes(size, 1), kept, &transcript)) << size;
        EXPECT_EQ(kept.bytes[0], 0x5A) << "unchanged on failure";
        EXPECT_EQ(transcript, "\r\nParse state: [Error, State: Unknown]");
    }
}

TEST(DecodeDevStateData, SplitsStateAndDataByLength) {
    struct Case {
        size_t size;
        bool ok;
        size_t stateSize;
        size_t dataSize;
    };
    const Case cases[] = {
        {9, false, 0, 0},   {10, true, 10, 0},  {19, true, 10, 9},  {20, true, 20, 0},
        {60, true, 20, 40}, {84, true, 10, 74}, {40, true, 20, 20}, {30, true, 10, 20},
    };
    for (const auto& c : cases) {
        Bytes payload(c.size);
        for (size_t i = 0; i < payload.size(); ++i) {
            payload[i] = static_cast<uint8_t>(i + 1);
        }
        ZorState state;
        Bytes data{9, 9};
        EXPECT_EQ(DecodeDevStateData(payload, state, data, nullptr), c.ok) << c.size;
        if (!c.ok) {
            continue;
        }
        EXPECT_EQ(data.size(), c.dataSize) << c.size;
        if (!data.empty()) {
            EXPECT_EQ(data.front(), c.stateSize + 1) << c.size;
        }
        EXPECT_EQ(state.bytes[0], 1);
        if (c.stateSize == 20) {
            EXPECT_EQ(state.bytes[19], 20) << c.size;
        } else {
            EXPECT_EQ(state.Pressure(), 8 * 10) << c.size;  // byte 7 of the short record
        }
    }
}

TEST(EvaluateDataPortion, StrictThresholdsAndWholeRecords) {
    struct Case {
        Bytes data;
        bool emulated;
        bool accepted;
        int records;
        float value;
        int status;
    };
    Bytes seventeen = Records({1, 700});
    seventeen.push_back(0xEE);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Case cases[] = {
        {Bytes(7, 0), false, false, 0, 0, 0},
        {Bytes{}, false, false, 0, 0, 0},
        {seventeen, false, true, 2, 700, 10},
        {Records({600, 500}), false, true, 2, 500, 0},
        {Records({10000}), false, true, 1, 10000, 0},
        {Records({500.1f}), false, true, 1, 500.1f, 10},
        {Records({9999.9f}), false, true, 1, 9999.9f, 10},
        {Records({100}), true, true, 1, 100, 9},
        {Records({700}), true, true, 1, 700, 10},
        {Records({-5}), false, true, 1, -5, 0},
    };
    for (const auto& c : cases) {
        std::string transcript;
        ZorDataPortion p = EvaluateDataPortion(c.data, 500, 10000, c.emulated, &transcript);
        EXPECT_EQ(p.accepted, c.accepted) << c.data.size();
        EXPECT_EQ(p.records, c.records) << c.data.size();
        if (c.accepted) {
            EXPECT_EQ(p.value, c.value);
            EXPECT_EQ(p.dataStatus, c.status) << c.value;
        }
        EXPECT_EQ(transcript, std::string("\r\nParse data: [") + (c.accepted ? "Ok" : "Error") +
                                  ", " + std::to_string(c.records) + " elements]");
    }
    ZorDataPortion p = EvaluateDataPortion(Records({nan}), 500, 10000, false, nullptr);
    EXPECT_TRUE(p.accepted);
    EXPECT_EQ(p.dataStatus, 0);
    EXPECT_EQ(EvaluateDataPortion(Records({nan}), 500, 10000, true, nullptr).dataStatus, 9);
}

TEST(DataRecords, SplitIgnoresTrailingPartialRecord) {
    Bytes data = Records({1.5f, -2.25f, 3e6f});
    data.push_back(7);
    auto records = SplitDataRecords(data);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[1].signal, -2.25f);
    EXPECT_EQ(records[1].background, -2.25f / 4);
    EXPECT_EQ(records[2].signal, 3e6f);
    // Little-endian IEEE single: 1.5f is 0x3FC00000.
    EXPECT_EQ(data[0], 0x00);
    EXPECT_EQ(data[3], 0x3F);
    EXPECT_EQ(data[2], 0xC0);
}

TEST(ContrType, VersionTextsShortAndLong) {
    struct Case {
        Bytes bytes;
        const char* text;
        const char* longText;
        bool stateData;
    };
    const Case cases[] = {
        {{5, 2, 0, 1}, "5.2.0.1", "Zor.v5 [5.2.0.1]", true},
        {{5, 1, 9, 9}, "5.1.9.9", "Zor.v5 [5.1.9.9]", false},
        {{6, 0, 0, 0}, "6.0.0.0", "Zor.v6 [6.0.0.0]", true},
        {{1, 7, 0, 0}, "", "Zor.v1 []", false},
        {{3, 0, 0, 0}, "unknown", "Zor.v0 [unknown]", false},
        {{0, 0, 0, 0}, "unknown", "Zor.v0 [unknown]", false},
        {{255, 255, 255, 255}, "255.255.255.255", "Zor.v255 [255.255.255.255]", true},
    };
    for (const auto& c : cases) {
        ZorContrType type;
        ASSERT_TRUE(DecodeContrType(c.bytes, type));
        EXPECT_EQ(type.VersionText(), c.text);
        EXPECT_EQ(type.LongVersionText(), c.longText);
        EXPECT_EQ(type.SupportsStateData(), c.stateData) << c.text;
    }
    ZorContrType type;
    ASSERT_TRUE(DecodeContrType(Bytes{5, 2, 0, 1}, type));
    EXPECT_EQ(type.Value(), 0x01000205u);
    EXPECT_FALSE(DecodeContrType(Bytes{5, 2, 0}, type));
    EXPECT_FALSE(DecodeContrType(Bytes{5, 2, 0, 1, 0}, type));
}

TEST(DecodeRangeFinder, CountBigEndianAndDistance) {
    ZorRange range;
    std::string transcript;
    ASSERT_TRUE(DecodeRangeFinder(Bytes{0x0B, 0xB8}, range, &transcript));
    EXPECT_EQ(range.count, 3000);
    EXPECT_DOUBLE_EQ(range.metres, 3000 * static_cast<double>(0.00034381438f));
    EXPECT_EQ(transcript, "\r\nParse distance: [Ok, Distance: 3000 => 1.0 m]");

    transcript.clear();
    EXPECT_FALSE(DecodeRangeFinder(Bytes{0x0B, 0xB8, 0}, range, &transcript));
    EXPECT_EQ(range.count, 0);
    EXPECT_EQ(range.metres, 0.0);
    EXPECT_EQ(transcript, "\r\nParse distance: [Error, Distance: 0 => 0.0 m]");
    EXPECT_FALSE(DecodeRangeFinder(Bytes{}, range, nullptr));
}

}  // namespace
}  // namespace zm
