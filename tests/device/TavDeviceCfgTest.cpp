#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <string>

#include "base/Folders.h"
#include "base/Ini.h"
#include "base/Log.h"
#include "device/TavDevice.h"
#include "support/TempDir.h"

namespace zm {
namespace {

// A device whose every field differs from the defaults.
TavDeviceCfg UnusualCfg() {
    TavDeviceCfg cfg;
    cfg.bScanning = true;
    cfg.bTxtLogOn = true;
    cfg.sName = "Pier 7 – north";
    cfg.sLinkType = "TCP/IP";
    cfg.sTxtLog = "/var/tmp/pier7.txt";
    cfg.crColor = 0x00563412;
    cfg.comPort.sPortName = "/dev/ttyUSB2";
    cfg.comPort.nBaudRate = 19200;
    cfg.comPort.nByteSize = 7;
    cfg.comPort.nStopBits = 2;
    cfg.comPort.nParity = 2;
    cfg.xSocket.sAddress = "192.0.2.17";
    cfg.xSocket.nPort = 11221;
    cfg.xSocket.nTimeOut = 2500;
    cfg.sUpdFreq = "15";
    return cfg;
}

std::string Escaped(const std::string& text) {
    return std::regex_replace(text, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)");
}

TEST(TavDeviceCfg, ExportThenImportGivesAnEqualRecord) {
    test::TempDir dir;
    CIni ini(dir.file("settings.ini"));
    CLog log;
    log.SetFolder(dir.folder());
    log.Open("RunLog", true);
    CTavDevice source("", &log);
    source.SetSettings(UnusualCfg(), false);
    source.ExportCfg("Zor-01", &ini);

    CTavDevice target("", &log, "Other");
    EXPECT_TRUE(target.ImportCfg("Zor-01", &ini));
    TavDeviceCfg a, b;
    source.GetSettings(a);
    target.GetSettings(b);
    EXPECT_EQ(a, b);

    // The stored forms.
    EXPECT_EQ(ini.GetString("Zor-01", "crColor"), "12345600");
    EXPECT_EQ(ini.GetString("Zor-01", "bScanning"), "1");
    EXPECT_EQ(ini.GetString("Zor-01", "sUpdFreq"), "15");
    EXPECT_EQ(ini.GetString("Zor-01::ComPort", "CPBaudRate"), "19200");
    EXPECT_EQ(ini.GetString("Zor-01::XSocket", "nPort"), "11221");

    std::ifstream in(log.GetPath(), std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    EXPECT_NE(text.find("Pier 7 – north: ExportCfg [Zor-01] done."), std::string::npos);
    EXPECT_NE(text.find("Pier 7 – north: ImportCfg [Zor-01] done."), std::string::npos);
}

TEST(TavDeviceCfg, BothLinkSectionsAreWrittenWhateverTheLinkType) {
    test::TempDir dir;
    CIni ini(dir.file("settings.ini"));
    CTavDevice dev("", nullptr);
    TavDeviceCfg cfg = UnusualCfg();
    cfg.sLinkType = "EMUL";
    dev.SetSettings(cfg, false);
    dev.ExportCfg("Zor-02", &ini);
    EXPECT_TRUE(ini.IsSectionExist("Zor-02::ComPort"));
    EXPECT_TRUE(ini.IsSectionExist("Zor-02::XSocket"));
    EXPECT_EQ(ini.GetString("Zor-02::ComPort", "sPortName"), "/dev/ttyUSB2");
    EXPECT_EQ(ini.GetString("Zor-02::XSocket", "sAddress"), "192.0.2.17");
}

TEST(TavDeviceCfg, MissingKeysGiveTheImportDefaults) {
    test::TempDir dir;
    CIni ini(dir.file("empty.ini"));
    CTavDevice dev("", nullptr, "Zor-10-11-12");
    dev.SetColor(0x00ABCDEF);
    EXPECT_TRUE(dev.ImportCfg("Zor-07", &ini));
    TavDeviceCfg cfg;
    dev.GetSettings(cfg);
    EXPECT_EQ(cfg.sName, "Zor-10-11-12");
    EXPECT_EQ(cfg.crColor, 0x00ABCDEFu);
    EXPECT_EQ(cfg.sLinkType, "====");
    EXPECT_FALSE(cfg.bScanning);
    EXPECT_FALSE(cfg.bTxtLogOn);
    EXPECT_EQ(cfg.sUpdFreq, "60");
    // No separator between the name and "Log_".
    const std::regex path(Escaped(GetUserDocsFolder() + "Logs/Zor-10-11-12Log_") +
                          R"(\d{4}-\d{2}-\d{2}_\d{2}-\d{2}-\d{2}\.txt)");
    EXPECT_TRUE(std::regex_match(cfg.sTxtLog, path)) << cfg.sTxtLog;
    EXPECT_EQ(cfg.xSocket.nPort, cfg.xSocket.nDefPort);
    EXPECT_EQ(cfg.xSocket.nTimeOut, cfg.xSocket.nDefTimeOut);
    EXPECT_EQ(cfg.comPort.nBaudRate, cfg.comPort.nDefBaudRate);

    // The link type "====" selects no link: the device never connects.
    dev.ApplyCfg();
    EXPECT_FALSE(dev.Connect());
    EXPECT_EQ(dev.GetLinkText(), "====");
}

TEST(TavDeviceCfg, UpdateFrequencyAndColourEdgeValues) {
    struct Row {
        const char* updFreq;  // stored value
        const char* color;    // stored value
        const char* expectedFreq;
        std::uint32_t expectedColor;
    };
    const Row rows[] = {
        {"", "0000FF00", "60", 0x00FF0000},  // present but empty: 60
        {"0", "zz", "0", 0x00010203},        // not hexadecimal: colour stays
        {"abc", "", "abc", 0x00010203},      // kept as text; it counts as no reports
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.updFreq);
        test::TempDir dir;
        CIni ini(dir.file("s.ini"));
        ini.WriteString("Dev", "sUpdFreq", row.updFreq);
        ini.WriteString("Dev", "crColor", row.color);
        CTavDevice dev("", nullptr);
        dev.SetColor(0x00010203);
        dev.ImportCfg("Dev", &ini);
        EXPECT_EQ(dev.GetUpdFreq(), row.expectedFreq);
        EXPECT_EQ(dev.GetColor(), row.expectedColor);
    }
}

TEST(TavDeviceCfg, DefaultCfgResetsToTheTypeNameAndKeepsTheColour) {
    CTavDevice dev("", nullptr, "Initial");
    dev.SetSettings(UnusualCfg(), false);
    dev.DefaultCfg();
    TavDeviceCfg cfg;
    dev.GetSettings(cfg);
    EXPECT_EQ(cfg.sName, "Tav-Device");
    EXPECT_EQ(cfg.sLinkType, "");
    EXPECT_FALSE(cfg.bScanning);
    EXPECT_FALSE(cfg.bTxtLogOn);
    EXPECT_EQ(cfg.sUpdFreq, "60");
    EXPECT_EQ(cfg.crColor, 0x00563412u);
    EXPECT_EQ(cfg.comPort.nBaudRate, cfg.comPort.nDefBaudRate);
    EXPECT_EQ(cfg.comPort.nParity, cfg.comPort.nDefParity);
    EXPECT_EQ(cfg.xSocket.sAddress, cfg.xSocket.sDefAddress);
    EXPECT_EQ(cfg.xSocket.nPort, cfg.xSocket.nDefPort);
    // The reset path separates type name and time by "_".
    const std::regex path(Escaped(GetUserDocsFolder() + "Logs/Tav-Device_") +
                          R"(\d{4}-\d{2}-\d{2}_\d{2}-\d{2}-\d{2}\.txt)");
    EXPECT_TRUE(std::regex_match(cfg.sTxtLog, path)) << cfg.sTxtLog;
}

TEST(TavDeviceCfg, WithoutIniAndSectionTheOwnFileAndInitialNameAreUsed) {
    test::TempDir dir;
    const std::string own = dir.file("Zor-Device.ini");
    CTavDevice dev(own, nullptr, "Own-Name");
    dev.SetSettings(UnusualCfg(), false);
    dev.ExportCfg();
    CIni ini(own);
    EXPECT_EQ(ini.GetString("Own-Name", "sName"), "Pier 7 – north");
    EXPECT_TRUE(ini.IsSectionExist("Own-Name::XSocket"));

    CTavDevice again(own, nullptr, "Own-Name");
    again.ImportCfg();
    EXPECT_EQ(again.GetName(), "Pier 7 – north");
    EXPECT_EQ(again.GetLinkType(), "TCP/IP");
}

}  // namespace
}  // namespace zm
