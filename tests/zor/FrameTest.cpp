#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/zor/Crc16.h"
#include "device/zor/ZorFrame.h"

namespace zm {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(Crc16Modbus, MatchesKnownValues) {
    const Bytes rangeRequest{0x65, 0x03, 0x02, 0x08, 0x00, 0x01};
    EXPECT_EQ(Crc16Modbus(rangeRequest), 0x540C);
    const std::string check = "123456789";  // the catalogue check value of CRC-16/MODBUS
    EXPECT_EQ(Crc16Modbus({reinterpret_cast<const uint8_t*>(check.data()), check.size()}), 0x4B37);
    EXPECT_EQ(Crc16Modbus({}), 0xFFFF);
}

TEST(ZorRequest, FramesHighByteFirstAndRangeFinderLowByteFirst) {
    // Address 5, command 1, empty payload: five header bytes, then the CRC high byte first.
    Bytes head{0x05, 0x00, 0x01, 0x00, 0x00};
    uint16_t crc = Crc16Modbus(head);
    Bytes expected = head;
    expected.push_back(static_cast<uint8_t>(crc >> 8));
    expected.push_back(static_cast<uint8_t>(crc & 0xFF));
    EXPECT_EQ(BuildZorRequest(5, kCmdCheckDevLink), expected);
    EXPECT_EQ(BuildZorRequest(5, kCmdCheckDevLink), (Bytes{5, 0, 1, 0, 0, 0xC0, 0xB9}));

    // The range finder's request is fixed, whatever the sensor's address.
    const Bytes range{0x65, 0x03, 0x02, 0x08, 0x00, 0x01, 0x0C, 0x54};
    EXPECT_EQ(BuildZorRequest(5, kCmdPingSenix), range);
    EXPECT_EQ(BuildZorRequest(200, kCmdPingSenix), range);

    // A payload: length little-endian, checksum over everything before it.
    Bytes payload(300, 0x11);
    Bytes frame = BuildZorRequest(7, 9, payload);
    ASSERT_EQ(frame.size(), 307u);
    EXPECT_EQ(frame[3], 300 & 0xFF);
    EXPECT_EQ(frame[4], 300 >> 8);
    uint16_t c = Crc16Modbus(std::span(frame).first(305));
    EXPECT_EQ(frame[305], c >> 8);
    EXPECT_EQ(frame[306], c & 0xFF);
    EXPECT_TRUE(BuildZorRequest(7, 9, Bytes(513, 0)).empty());
}

TEST(ZorResponseHead, ClassifiesFirstSevenBytes) {
    struct Case {
        Bytes head;
        ZorResponseHead::Kind kind;
        size_t total;
    };
    const Case cases[] = {
        {{0, 5, 2, 20, 0, 0, 0}, ZorResponseHead::kZor, 27},
        {{0, 5, 6, 0xB6, 0, 0, 0}, ZorResponseHead::kZor, 189},
        {{0, 5, 2, 0, 2, 0, 0}, ZorResponseHead::kZor, 519},       // 512: the largest
        {{0, 5, 2, 1, 2, 0, 0}, ZorResponseHead::kInvalid, 0},     // 513
        {{0, 5, 2, 0x58, 2, 0, 0}, ZorResponseHead::kInvalid, 0},  // 600
        {{0, 5, 2, 0xFF, 0xFF, 0, 0}, ZorResponseHead::kZor, 6},   // -1: short, check fails
        {{0, 5, 2, 0x00, 0x80, 0, 0}, ZorResponseHead::kZor, 0},   // -32768
        {{0x65, 3, 2, 1, 2, 3, 4}, ZorResponseHead::kRangeFinder, 7},
        {{0x65, 3, 255, 1, 2, 3, 4}, ZorResponseHead::kRangeFinder, 260},
        {{0x05, 0, 2, 0, 0, 0, 0}, ZorResponseHead::kInvalid, 0},
        {{0xAA, 0x55, 0xAA, 0, 5, 2, 0}, ZorResponseHead::kInvalid, 0},
    };
    for (const auto& c : cases) {
        ZorResponseHead head = ClassifyResponseHead(c.head);
        EXPECT_EQ(head.kind, c.kind) << testing::PrintToString(c.head);
        if (c.kind != ZorResponseHead::kInvalid) {
            EXPECT_EQ(head.total, c.total) << testing::PrintToString(c.head);
            EXPECT_LE(head.total, kZorBufferSize);
        }
    }
}

TEST(CheckZorResponse, AcceptsOnlyWholeMatchingFrames) {
    const Bytes state(20, 0x42);
    const Bytes good = BuildZorResponse(5, kCmdGetDevState, state);
    auto with = [&](size_t index, uint8_t value) {
        Bytes b = good;
        b[index] = value;
        return b;
    };
    Bytes badLength = good;
    badLength[3] = 19;  // announced 19, carries 20 (checksum made to match)
    uint16_t crc = Crc16Modbus(std::span(badLength).first(badLength.size() - 2));
    badLength[badLength.size() - 2] = static_cast<uint8_t>(crc >> 8);
    badLength[badLength.size() - 1] = static_cast<uint8_t>(crc & 0xFF);
    Bytes lowFirst = good;  // the checksum in Modbus order is wrong in a ZOR frame
    std::swap(lowFirst[lowFirst.size() - 1], lowFirst[lowFirst.size() - 2]);

    struct Case {
        const char* what;
        Bytes bytes;
        uint8_t code;
        bool ok;
    };
    const Case cases[] = {
        {"good", good, kCmdGetDevState, true},
        {"empty payload", BuildZorResponse(5, kCmdCheckDevLink, {}), kCmdCheckDevLink, true},
        {"other command", good, kCmdGetDevStateData, false},
        {"addressed to a sensor", with(0, 5), kCmdGetDevState, false},
        {"source changed in transit", with(1, 77), kCmdGetDevState, false},
        {"bad checksum", with(good.size() - 1, good.back() ^ 1), kCmdGetDevState, false},
        {"checksum low byte first", lowFirst, kCmdGetDevState, false},
        {"wrong length field", badLength, kCmdGetDevState, false},
        {"truncated", Bytes(good.begin(), good.end() - 3), kCmdGetDevState, false},
        {"six bytes", Bytes(good.begin(), good.begin() + 6), kCmdGetDevState, false},
        {"nothing", Bytes{}, kCmdGetDevState, false},
        {"range finder", BuildRangeFinderReply(Bytes{0x12, 0x34}), kCmdPingSenix, true},
        {"range finder as ZOR", BuildRangeFinderReply(Bytes{0x12, 0x34}), kCmdGetDevState, false},
        {"ZOR as range finder", good, kCmdPingSenix, false},
        {"range finder, 4 bytes", Bytes{0x65, 3, 0, 0}, kCmdPingSenix, false},
    };
    for (const auto& c : cases) {
        Bytes payload{1, 2, 3};
        std::string transcript;
        EXPECT_EQ(CheckZorResponse(c.bytes, c.code, payload, &transcript), c.ok) << c.what;
        EXPECT_NE(transcript.find(c.ok ? "[Ok," : "[Error,"), std::string::npos)
            << c.what << transcript;
        if (!c.ok) {
            EXPECT_TRUE(payload.empty()) << c.what;
        }
    }
    Bytes payload;
    ASSERT_TRUE(CheckZorResponse(good, kCmdGetDevState, payload, nullptr));
    EXPECT_EQ(payload, state);
    ASSERT_TRUE(CheckZorResponse(BuildRangeFinderReply(Bytes{0x12, 0x34}), kCmdPingSenix, payload,
                                 nullptr));
    EXPECT_EQ(payload, (Bytes{0x12, 0x34}));

    // A source address other than the sensor's is not checked when the checksum fits.
    Bytes otherSource = BuildZorResponse(77, kCmdGetDevState, state);
    EXPECT_TRUE(CheckZorResponse(otherSource, kCmdGetDevState, payload, nullptr));
}

TEST(CheckZorResponse, TranscriptShowsFieldsAndSwappedChecksums) {
    std::string transcript;
    Bytes payload;
    Bytes frame = BuildRangeFinderReply(Bytes{0x04, 0xD2});  // CRC bytes 4B 11 on the wire
    ASSERT_TRUE(CheckZorResponse(frame, kCmdPingSenix, payload, &transcript));
    uint16_t crc = Crc16Modbus(std::span(frame).first(5));
    uint16_t shown = static_cast<uint16_t>((crc << 8) | (crc >> 8));
    EXPECT_EQ(transcript,
              "\r\nParse packet: [Ok, 7 bytes]: Addr:101(=101?), blSize:2(=2?), "
              "Cmnd:3(=3?), Crc:" +
                  std::to_string(shown) + "(=" + std::to_string(shown) + "?)");

    transcript.clear();
    Bytes empty = BuildZorResponse(5, 1, {});
    empty[6] ^= 0xFF;
    EXPECT_FALSE(CheckZorResponse(empty, 1, payload, &transcript));
    EXPECT_NE(transcript.find("[Error, 7 bytes]: Addr:0(=0?), blSize:0(=0?), Cmnd:1(=1?), Crc:"),
              std::string::npos)
        << transcript;

    transcript.clear();
    EXPECT_FALSE(CheckZorResponse(Bytes{0, 5, 2}, 2, payload, &transcript));
    EXPECT_EQ(transcript, "\r\nParse packet: [Error, 3 bytes]: blSize:-4(!!!)");

    // The rule's own example: CRC 0x540C prints as 3156.
    transcript.clear();
    Bytes rf{0x65, 0x03, 0x02, 0x08, 0x00, 0x01, 0x0C, 0x54};
    CheckZorResponse(rf, kCmdPingSenix, payload, &transcript);
    EXPECT_NE(transcript.find("Crc:3156(=3156?)"), std::string::npos) << transcript;
}

TEST(FormatByteList, DecimalHexAndShortened) {
    const Bytes seven{5, 0, 1, 0, 0, 0xC0, 0xB9};
    EXPECT_EQ(FormatByteList(seven, false), "5,0,1,0,0,192,185");
    EXPECT_EQ(FormatByteList(seven, true), "0x05,00,01,00,00,C0,B9");
    EXPECT_EQ(FormatByteList({}, false), "");
    Bytes fourteen(14);
    for (size_t i = 0; i < fourteen.size(); ++i) {
        fourteen[i] = static_cast<uint8_t>(i);
    }
    EXPECT_EQ(FormatByteList(fourteen, false), "0,1,2,3,4,5,6,7,8,9,10,11,12,13");
    Bytes twenty(20);
    for (size_t i = 0; i < twenty.size(); ++i) {
        twenty[i] = static_cast<uint8_t>(100 + i);
    }
    EXPECT_EQ(FormatByteList(twenty, false),
              "100,101,102,103,104,105,106,107,108,109,110, ..., 111,119");
    EXPECT_EQ(FormatByteList(twenty, true), "0x64,65,66,67,68,69,6A,6B,6C,6D,6E, ..., 6F,77");
}

}  // namespace
}  // namespace zm
