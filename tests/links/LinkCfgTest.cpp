#include <gtest/gtest.h>

#include <string>

#include "TempDir.h"
#include "base/Ini.h"
#include "links/ComPortLink.h"
#include "links/EmulationLink.h"
#include "links/TcpIpLink.h"

using namespace zm;

namespace {

class LinkCfgTest : public ::testing::Test {
  protected:
    std::string Path() const { return (dir.path() / "links.ini").string(); }

    test::TempDir dir;
};

ComPortSettings ZorSerialDefaults() {
    ComPortSettings s;
    s.nDefBaudRate = 57600;
    s.nDefByteSize = 8;
    s.nDefStopBits = 0;
    s.nDefParity = 0;
    return s;
}

XSocketSettings ZorTcpDefaults() {
    XSocketSettings s;
    s.sDefAddress = "192.168.0.101";
    s.nDefPort = 11221;
    s.nDefTimeOut = 2000;
    return s;
}

}  // namespace

TEST_F(LinkCfgTest, SerialSettingsRoundTrip) {
    CIni ini(Path());
    CComPortLink out;
    ComPortSettings s = ZorSerialDefaults();
    s.sPortName = "ttyUSB0";
    s.nBaudRate = 19200;
    s.nByteSize = 7;
    s.nStopBits = 2;
    s.nParity = 4;
    out.SetSettings(s);
    ASSERT_TRUE(out.SaveCfg("Zor-01::ComPort", &ini));
    EXPECT_EQ(ini.GetString("Zor-01::ComPort", "CPBaudRate"), "19200");
    EXPECT_EQ(ini.GetString("Zor-01::ComPort", "sPortName"), "ttyUSB0");

    CComPortLink in;
    in.SetSettings(ZorSerialDefaults());
    ASSERT_TRUE(in.LoadCfg("Zor-01::ComPort", &ini));
    EXPECT_EQ(in.GetSettings(), s);
}

TEST_F(LinkCfgTest, MissingSerialKeysTakeTheDefaultsAndAnEmptyPortName) {
    CIni ini(Path());
    ASSERT_TRUE(ini.WriteString("Zor-02::ComPort", "CPParity", "2"));
    CComPortLink link;
    ComPortSettings s = ZorSerialDefaults();
    s.sPortName = "ttyS3";
    s.nBaudRate = 300;
    link.SetSettings(s);
    ASSERT_TRUE(link.LoadCfg("Zor-02::ComPort", &ini));
    const ComPortSettings& got = link.GetSettings();
    EXPECT_EQ(got.sPortName, "");
    EXPECT_EQ(got.nBaudRate, 57600);
    EXPECT_EQ(got.nByteSize, 8);
    EXPECT_EQ(got.nStopBits, 0);
    EXPECT_EQ(got.nParity, 2);
    // An empty name is a clear failure at open, never some other port.
    EXPECT_FALSE(link.Open(LinkSettings{}));
    std::string sText;
    link.GetError(&sText, nullptr);
    EXPECT_EQ(sText, "Port opening error");
}

TEST_F(LinkCfgTest, SerialLoadWithoutIniResetsAndFails) {
    CComPortLink link;
    ComPortSettings s = ZorSerialDefaults();
    s.sPortName = "ttyUSB7";
    s.nBaudRate = 300;
    link.SetSettings(s);
    EXPECT_FALSE(link.LoadCfg("Zor-01::ComPort", nullptr));
    EXPECT_EQ(link.GetSettings().sPortName, kDefaultComPortName);
    EXPECT_EQ(link.GetSettings().nBaudRate, 57600);
}

TEST_F(LinkCfgTest, TcpSettingsRoundTripAndDefaults) {
    CIni ini(Path());
    CTcpIpLink out;
    XSocketSettings s = ZorTcpDefaults();
    s.sAddress = "converter-3.plant";
    s.nPort = 4001;
    s.nTimeOut = 750;
    out.SetSettings(s);
    ASSERT_TRUE(out.SaveCfg("Zor-01::XSocket", &ini));
    EXPECT_EQ(ini.GetString("Zor-01::XSocket", "nPort"), "4001");

    CTcpIpLink in;
    in.SetSettings(ZorTcpDefaults());
    ASSERT_TRUE(in.LoadCfg("Zor-01::XSocket", &ini));
    EXPECT_EQ(in.GetSettings(), s);

    // A section without keys gives the defaults (port 11221 for the sensor).
    CTcpIpLink fresh;
    fresh.SetSettings(ZorTcpDefaults());
    ASSERT_TRUE(fresh.LoadCfg("Zor-09::XSocket", &ini));
    EXPECT_EQ(fresh.GetSettings().sAddress, "192.168.0.101");
    EXPECT_EQ(fresh.GetSettings().nPort, 11221);
    EXPECT_EQ(fresh.GetSettings().nTimeOut, 2000);
}

TEST_F(LinkCfgTest, TcpWithoutSectionNameUsesCXSocket) {
    CIni ini(Path());
    CTcpIpLink out;
    XSocketSettings s = ZorTcpDefaults();
    s.nPort = 5000;
    out.SetSettings(s);
    ASSERT_TRUE(out.SaveCfg("", &ini));
    EXPECT_EQ(ini.GetString("CXSocket", "nPort"), "5000");
    CTcpIpLink in;
    ASSERT_TRUE(in.LoadCfg("", &ini));
    EXPECT_EQ(in.GetSettings().nPort, 5000);
}

TEST_F(LinkCfgTest, LinksWithoutMediumTouchNothing) {
    CIni ini(Path());
    CEmulationLink emul;
    CExtDataLink ext;
    EXPECT_TRUE(emul.LoadCfg("Zor-01", &ini));
    emul.SaveCfg("Zor-01", &ini);
    ext.SaveCfg("Zor-01", &ini);
    std::vector<std::string> sections;
    ini.GetSectionNames(sections);
    EXPECT_TRUE(sections.empty());
}
