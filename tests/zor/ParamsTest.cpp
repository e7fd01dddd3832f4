#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "device/zor/ZorParams.h"

namespace zm {
namespace {

TEST(ZorParamsLayout, FieldsSitAtTheirOffsetsLittleEndian) {
    // Offsets and sizes as the sensors and stored configurations have them.
    struct Case {
        const char* name;
        uint16_t offset;
        uint16_t size;
        double value;  // written through the table, read back byte by byte
    };
    const Case cases[] = {
        {"VersionOfParams", 7, 1, 0x12},
        {"CommFlags", 8, 1, 0x03},
        {"DeviceAddress", 10, 1, 0xC8},
        {"LinkSpeedIndex", 11, 1, 4},
        {"MeasFlags", 62, 2, 0x0201},
        {"PauseInMsBetweenBatch", 64, 2, 0xBEEF},
        {"IntegrationTimeInUs", 66, 2, 0x1234},
        {"SignalAccumulation", 68, 2, 0x0102},
        {"RangeOfAdc", 70, 1, 7},
        {"RefCalibrationCoefficient", 72, 4, 1.5},
        {"BackgroundOffset", 76, 4, -2.75},
        {"SignalOffset", 80, 4, 3.25},
        {"DacToBkgCoefficient", 84, 4, 0.5},
        {"DistanceFromZorToSealevelInMm", 88, 2, -1234},
        {"DistanceFromRangeFinderToSealevelInMm", 90, 2, 4321},
        {"VersionOfAnalysisParameters", 105, 1, 9},
        {"AnlFlags", 106, 2, 0x5001},
        {"MaxSigThr", 108, 4, 10000},
        {"MinSigThr", 112, 4, 500},
        {"MaxBkgChangeForSetAlarm", 116, 4, 10},
        {"TauRcFilterForFluoPolutionInHrs", 120, 4, 0.25},
        {"SignalLevelFor20mAOutput", 124, 4, 20000},
        {"SignalLevelFor4mAOutput", 128, 4, 400},
        {"ChipAD5412ControlRegister", 132, 2, 0x1005},
        {"TimerForAlarmIsIssued", 134, 1, 5},
        {"VersionOfGeoParams", 149, 1, 2},
        {"GeoFlags", 150, 1, 1},
        {"Latitude", 152, 8, 59.934280},
        {"Longitude", 160, 8, -30.335099},
    };
    for (const auto& c : cases) {
        const ZorParamField* field = FindZorParamField(c.name);
        ASSERT_NE(field, nullptr) << c.name;
        EXPECT_EQ(field->offset, c.offset) << c.name;
        EXPECT_EQ(field->size, c.size) << c.name;

        ZorParams params;
        ASSERT_TRUE(params.SetField(c.name, c.value)) << c.name;
        // Every other byte stays zero; the value is in place, least significant byte first.
        for (size_t i = 0; i < ZorParams::kSize; ++i) {
            if (i < c.offset || i >= c.offset + c.size) {
                ASSERT_EQ(params.bytes[i], 0) << c.name << " touched byte " << i;
            }
        }
        uint64_t raw = 0;
        for (int i = c.size - 1; i >= 0; --i) {
            raw = (raw << 8) | params.bytes[c.offset + static_cast<size_t>(i)];
        }
        if (c.size == 4 && field->type == ZorFieldType::kF32) {
            float f = static_cast<float>(c.value);
            uint32_t bits;
            std::memcpy(&bits, &f, 4);
            EXPECT_EQ(raw, bits) << c.name;
        } else if (c.size == 8) {
            uint64_t bits;
            std::memcpy(&bits, &c.value, 8);
            EXPECT_EQ(raw, bits) << c.name;
        } else {
            EXPECT_EQ(raw, static_cast<uint64_t>(static_cast<int64_t>(c.value)) &
                               ((c.size == 1) ? 0xFFu : 0xFFFFu))
                << c.name;
        }
        EXPECT_DOUBLE_EQ(
            *params.GetField(c.name),
            static_cast<double>(field->type == ZorFieldType::kF32 ? static_cast<float>(c.value)
                                                                  : c.value))
            << c.name;
    }
    const ZorParamField* num = FindZorParamField("DeviceNum");
    ASSERT_NE(num, nullptr);
    EXPECT_EQ(num->offset, 12);
    EXPECT_EQ(num->size, 48);
    EXPECT_EQ(FindZorParamField("NoSuchField"), nullptr);

    ZorParams params;
    EXPECT_FALSE(params.SetField("DeviceAddress", 256));
    EXPECT_FALSE(params.SetField("DeviceAddress", -1));
    EXPECT_FALSE(params.SetField("DistanceFromZorToSealevelInMm", 40000));
    EXPECT_FALSE(params.SetField("DeviceNum", 1));
    EXPECT_EQ(params, ZorParams{}) << "refused values leave the block alone";

    // The four partial blocks cover 6-59, 60-103, 104-147 and 148-179.
    EXPECT_EQ(kZorCommParams.first + kZorCommParams.size, kZorMeasParams.first);
    EXPECT_EQ(kZorMeasParams.first + kZorMeasParams.size, kZorAnlParams.first);
    EXPECT_EQ(kZorAnlParams.first + kZorAnlParams.size, kZorGeoParams.first);
    EXPECT_EQ(kZorCommParams.first, 6);
    EXPECT_EQ(kZorGeoParams.first + kZorGeoParams.size, 180);
}

TEST(ZorParamsDefault, HasTheDocumentedValues) {
    ZorParams p = DefaultZorParams();
    EXPECT_EQ(p.Address(), 99);
    EXPECT_EQ(p.DeviceNum(), kZorDefaultDeviceNum);
    EXPECT_EQ(p.GetU16(64), 2);
    EXPECT_EQ(p.GetU16(66), 100);
    EXPECT_EQ(p.GetU16(68), 100);
    EXPECT_EQ(p.GetU8(70), 7);
    EXPECT_EQ(p.GetF32(72), 1.0f);
    EXPECT_EQ(p.GetI16(88), 1000);
    EXPECT_EQ(p.GetI16(90), 0);
    EXPECT_EQ(p.MaxSigThr(), 10000.0f);
    EXPECT_EQ(p.MinSigThr(), 500.0f);
    EXPECT_EQ(p.MaxBkgChange(), 10.0f);
    EXPECT_EQ(p.GetF32(124), 10000.0f);
    EXPECT_EQ(p.GetF32(128), 500.0f);
    EXPECT_EQ(p.GetU8(134), 5);
    EXPECT_EQ(p.Latitude(), 0.0);
    // Everything else is zero: count the non-zero bytes the values above account for.
    ZorParams expected;
    expected.SetDeviceNum(kZorDefaultDeviceNum);
    expected.SetAddress(99);
    expected.SetU16(64, 2);
    expected.SetU16(66, 100);
    expected.SetU16(68, 100);
    expected.SetU8(70, 7);
    expected.SetF32(72, 1.0f);
    expected.SetI16(88, 1000);
    expected.SetF32(108, 10000.0f);
    expected.SetF32(112, 500.0f);
    expected.SetF32(116, 10.0f);
    expected.SetF32(124, 10000.0f);
    expected.SetF32(128, 500.0f);
    expected.SetU8(134, 5);
    EXPECT_EQ(p, expected);

    // A given number is cut to 16 characters; an old block is wiped first.
    ZorParams q;
    q.bytes.fill(0xFF);
    SetDefaultParams(q, "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    EXPECT_EQ(q.DeviceNum(), "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(q.bytes[12 + 16], 0);
    EXPECT_EQ(q.bytes[181], 0);
}

TEST(ZorParamsOld, ConvertsTheOlderLayout) {
    std::array<uint8_t, ZorParams::kOldSize> old{};
    for (size_t i = 0; i < old.size(); ++i) {
        old[i] = static_cast<uint8_t>(i);
    }
    old[88] = 3;
    old[89] = 2;
    ZorParams p = ConvertOldParams(old);
    EXPECT_EQ(p.GetI16(88), 500);
    EXPECT_EQ(p.GetI16(90), 300);
    for (size_t i = 0; i < 102; ++i) {
        if (i < 88 || i > 91) {
            ASSERT_EQ(p.bytes[i], i) << i;
        }
    }
    EXPECT_EQ(p.bytes[102], 102);
    EXPECT_EQ(p.bytes[103], 103);
    for (size_t i = 104; i < ZorParams::kSize; ++i) {
        ASSERT_EQ(p.bytes[i], i - 2) << i;
    }
    // Signed decimetres.
    old[88] = 0xFE;  // -2 dm
    old[89] = 0x05;
    p = ConvertOldParams(old);
    EXPECT_EQ(p.GetI16(88), 300);
    EXPECT_EQ(p.GetI16(90), -200);

    // The simulator's inverse gives the same block back, distances in whole decimetres.
    ZorParams block = DefaultZorParams("OLD-1");
    block.SetI16(88, 1500);
    block.SetI16(90, 700);
    block.SetF32(112, 321.5f);
    block.SetF64(152, 12.5);
    ZorParams back = ConvertOldParams(ToOldParams(block));
    EXPECT_EQ(back.MinSigThr(), 321.5f);
    EXPECT_EQ(back.Latitude(), 12.5);
    EXPECT_EQ(back.GetI16(88), 1500);
    EXPECT_EQ(back.GetI16(90), 700);
    EXPECT_EQ(back.DeviceNum(), "OLD-1");
}

TEST(DecodeDevParams, TakesNewConvertsOldRejectsOthers) {
    ZorParams block = DefaultZorParams("NEW");
    block.SetF32(112, 42.5f);
    ZorParams out;
    ASSERT_TRUE(DecodeDevParams(block.bytes, out));
    EXPECT_EQ(out, block);
    auto old = ToOldParams(block);
    ZorParams fromOld;
    ASSERT_TRUE(DecodeDevParams(old, fromOld));
    EXPECT_EQ(fromOld.MinSigThr(), 42.5f);
    for (size_t size : {0, 179, 181, 183, 200}) {
        std::vector<uint8_t> wrong(size, 0x77);
        ZorParams kept = block;
        EXPECT_FALSE(DecodeDevParams(wrong, kept)) << size;
        EXPECT_EQ(kept, block);
    }
}

TEST(ZorParamsText, DeviceIdAndNumber) {
    ZorParams p;
    p.SetDeviceNum("12345678901234567890");
    EXPECT_EQ(p.DeviceNum(), "12345678901234567890");
    EXPECT_EQ(GetDeviceIdText(p), "1234567890123456");
    p.SetDeviceNum("");
    EXPECT_EQ(GetDeviceIdText(p), "");
    // No terminating zero in the field: the text stops at the end of the common block.
    std::memset(&p.bytes[12], 'A', 48);
    p.bytes[60] = 'B';
    EXPECT_EQ(p.DeviceNum(), std::string(48, 'A'));
    // Non-ASCII: UTF-8 passes, other bytes become the Latin-1 letter; 16 characters, not bytes.
    p.SetDeviceNum("\xD0\x97\xD0\x9E\xD0\xA0-7");  // "ZOR-7" in Cyrillic
    EXPECT_EQ(GetDeviceIdText(p), "\xD0\x97\xD0\x9E\xD0\xA0-7");
    p.SetDeviceNum("Z\xE9");
    EXPECT_EQ(p.DeviceNum(), "Z\xC3\xA9");
    p.SetDeviceNum(
        "\xD0\x97\xD0\x97\xD0\x97\xD0\x97\xD0\x97\xD0\x97\xD0\x97\xD0\x97\xD0\x97"
        "\xD0\x97\xD0\x97\xD0\x97\xD0\x97\xD0\x97\xD0\x97\xD0\x97\xD0\x97");
    EXPECT_EQ(GetDeviceIdText(p).size(), 32u);
}

TEST(RenderParams, DefaultBlock) {
    const std::string expected =
        "\r\nDevice Parameters:\r\n"
        "\r\n  Common Parameters:\r\n"
        "    Device number: ZOR-0000\r\n"
        "    Device name: Zor-01\r\n"
        "    DeviceAddress: 99\r\n"
        "    Link speed index: 0\r\n"
        "    Version of Parameters: 0\r\n"
        "\r\n"
        "\r\n  Measure Parameters:\r\n"
        "    Pause in ms between batch: 2\r\n"
        "    Integration time in us: 100\r\n"
        "    Signal accumulation: 100\r\n"
        "    Range of ADC: 7\r\n"
        "    Reference calibration coefficient: 1.000\r\n"
        "    Background offset: 0\r\n"
        "    Signal offset: 0\r\n"
        "    Dac to background coefficient: 0.000\r\n"
        "    The distance from the ZOR-sensor to the sealevel in mm: 1000\r\n"
        "    The distance from the RangeFinder to the sealevel in mm: 0\r\n"
        "\r\n"
        "\r\n  Analysis Parameters:\r\n"
        "    Version of analysis parameters: 0\r\n"
        "    The maximum value of the signal in whitch can still be detected the ALARM: 10000\r\n"
        "    The minimum value of the signal in whitch can still be detected the ALARM: 500\r\n"
        "    Max background change for set ALARM when signal enter to threshold's corridor: "
        "10.000\r\n"
        "    TAU of RC-filter which used for get fluosignal polution background in hrs: 0.000\r\n"
        "    Signal level for 20 mA Output: 10000\r\n"
        "    Signal level for  4 mA Output: 500\r\n"
        "    Analog output chip AD5412AREZ 'Control Register' value: 0\r\n"
        "    Installation time alarm conditions in sec after whitch an Alarm is issued: 5\r\n"
        "\r\n"
        "\r\n  Geographic Parameters:\r\n"
        "    Version of Geo parameters: 0\r\n"
        "    Latitude: 0.000\r\n"
        "    Longitude: 0.000\r\n"
        "\r\n";
    EXPECT_EQ(RenderParams(DefaultZorParams(), "Zor-01"), expected);
}

TEST(RenderParams, FlagsInBitOrderTruncationAndTranslation) {
    ZorParams p = DefaultZorParams("N-1");
    p.SetU8(8, 0x03);
    p.SetU16(62, 0x0201);
    p.SetU16(106, 0x5001);
    p.SetU8(150, 0x01);
    p.SetF32(76, -2.7f);
    p.SetF32(80, 3.9f);
    p.SetF32(108, std::numeric_limits<float>::quiet_NaN());
    p.SetF32(124, 1e20f);
    p.SetF64(152, 59.9342802);
    std::string text = RenderParams(p, "Harbour");
    auto at = [&](const std::string& s) { return text.find(s); };
    EXPECT_NE(at("    Device name: Harbour\r\n"), std::string::npos);
    // Terminating resistors before default settings.
    ASSERT_NE(at("    Included terminating resistors\r\n"), std::string::npos);
    EXPECT_LT(at("    Included terminating resistors\r\n"),
              at("    It uses the default settings of params\r\n"));
    ASSERT_NE(at("    Reference \xD1\x81"
                 "alibration disabled.\r\n"),
              std::string::npos);
    EXPECT_LT(at("    Reference \xD1\x81"
                 "alibration disabled.\r\n"),
              at("    Remove spikes of channels offset.\r\n"));
    EXPECT_EQ(at("Distance \xD1\x81"
                 "alibration"),
              std::string::npos);
    EXPECT_NE(at("    \xD0\x90larm forbidden.\r\n"), std::string::npos);
    EXPECT_LT(at("    Send SignalBkg instead Bkg.\r\n"), at("    Use Alarm emulation.\r\n"));
    EXPECT_NE(at("    It uses the default settings of Geo params\r\n    Version of Geo"),
              std::string::npos);
    EXPECT_NE(at("    Background offset: -2\r\n"), std::string::npos);
    EXPECT_NE(at("    Signal offset: 3\r\n"), std::string::npos);
    EXPECT_NE(at("detected the ALARM: 0\r\n"), std::string::npos) << "NaN shows as 0";
    EXPECT_NE(at("Signal level for 20 mA Output: 2147483647\r\n"), std::string::npos);
    EXPECT_NE(at("    Latitude: 59.934\r\n"), std::string::npos);

    int calls = 0;
    std::string translated = RenderParams(p, "X", [&](const ZorText& t) {
        ++calls;
        EXPECT_STREQ(t.section, "Device_params");
        return std::string(t.key);
    });
    EXPECT_NE(translated.find("\r\n  tpMeasureParameters:\r\n"), std::string::npos);
    EXPECT_EQ(translated.find("    tpAp_Use AlarmRelayAsOpen"), std::string::npos)
        << "bit 1 of the analysis flags is not set";
    EXPECT_NE(translated.find("    tpAp_\xD0\x90larmForbidden.\r\n"), std::string::npos);
    EXPECT_GT(calls, 30);
}

}  // namespace
}  // namespace zm
