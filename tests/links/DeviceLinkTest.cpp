#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <variant>

#include "links/ComPortLink.h"
#include "links/EmulationLink.h"
#include "links/TcpIpLink.h"

using namespace zm;

TEST(LinkSelection, OnlyExactTypeNamesSelectALink) {
    const struct {
        const char* pszType;
        LinkKind kind;
    } cases[] = {
        {"COM", LinkKind::Com},      {"TCP/IP", LinkKind::TcpIp}, {"EMUL", LinkKind::Emul},
        {"LINK-1", LinkKind::Ext},   {"====", LinkKind::None},    {"", LinkKind::None},
        {"com", LinkKind::None},     {"COM ", LinkKind::None},    {"tcp/ip", LinkKind::None},
        {"TCP/IP ", LinkKind::None}, {"Emul", LinkKind::None},    {"LINK-2", LinkKind::None},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LinkKindFromName(c.pszType), c.kind) << "'" << c.pszType << "'";
    }
}

TEST(LinkSelection, OpenGetsTheRecordByPrefixOfTheTypeName) {
    ComPortSettings com;
    com.sPortName = "ttyUSB1";
    XSocketSettings sock;
    sock.sAddress = "10.0.0.7";
    const struct {
        const char* pszType;
        size_t nIndex;  // 0 none, 1 serial, 2 TCP
    } cases[] = {
        {"COM", 1},  {"COM ", 1}, {"COMx", 1}, {"TCP/IP", 2}, {"TCP/IP2", 2},
        {"EMUL", 0}, {"====", 0}, {"com", 0},  {"TCP", 0},    {"", 0},
    };
    for (const auto& c : cases) {
        const LinkSettings s = SettingsForLinkType(c.pszType, com, sock);
        EXPECT_EQ(s.index(), c.nIndex) << c.pszType;
    }
    EXPECT_EQ(std::get<ComPortSettings>(SettingsForLinkType("COM", com, sock)), com);
    EXPECT_EQ(std::get<XSocketSettings>(SettingsForLinkType("TCP/IP", com, sock)), sock);
}

TEST(LinkSettings, ResetReturnsToTheDefaults) {
    ComPortSettings com;
    com.nDefBaudRate = 57600;
    com.sPortName = "ttyUSB9";
    com.nBaudRate = 300;
    com.nParity = 2;
    com.ResetToDefaults();
    EXPECT_EQ(com.sPortName, kDefaultComPortName);
    EXPECT_EQ(com.nBaudRate, 57600);
    EXPECT_EQ(com.nParity, 0);

    XSocketSettings sock;
    sock.sDefAddress = "192.168.1.20";
    sock.nDefPort = 11221;
    sock.nDefTimeOut = 2000;
    sock.nPort = 1;
    sock.ResetToDefaults();
    EXPECT_EQ(sock.sAddress, "192.168.1.20");
    EXPECT_EQ(sock.nPort, 11221);
    EXPECT_EQ(sock.nTimeOut, 2000);
}

TEST(LinkSettings, FreshSerialSettings) {
    const ComPortSettings s;
    EXPECT_EQ(s.sPortName, kDefaultComPortName);
    EXPECT_EQ(s.nBaudRate, 4800);
    EXPECT_EQ(s.nByteSize, 8);
    EXPECT_EQ(s.nStopBits, 0);
    EXPECT_EQ(s.nParity, 0);
    EXPECT_EQ(s.nDefBaudRate, 4800);
}

TEST(MediumLessLinks, AnswerTriviallyAndFailEveryTransfer) {
    const struct {
        std::shared_ptr<CDeviceLink> pLink;
        const char* pszName;
        const char* pszOk;
    } cases[] = {
        {std::make_shared<CEmulationLink>(), "Emulation-Link", "Emul-Link(ok)"},
        {std::make_shared<CExtDataLink>(), "External-Link", "Ext-Link(ok)"},
    };
    for (const auto& c : cases) {
        CDeviceLink& link = *c.pLink;
        EXPECT_EQ(link.GetName(true), c.pszName);
        EXPECT_EQ(link.GetName(false), "");
        EXPECT_TRUE(link.Open(LinkSettings{}));
        EXPECT_TRUE(link.Open(XSocketSettings{}));
        EXPECT_TRUE(link.IsOpen());
        EXPECT_FALSE(link.IsAborted());

        std::string sText;
        std::int32_t nCode = 4711;
        EXPECT_TRUE(link.GetError(&sText, &nCode));
        EXPECT_EQ(sText, c.pszOk);
        EXPECT_EQ(nCode, 4711) << "the code is not written";
        EXPECT_TRUE(link.GetError(nullptr, nullptr));

        std::uint8_t buf[4] = {1, 2, 3, 4};
        std::int32_t nCount = 99;
        EXPECT_FALSE(link.Read(buf, 4, nCount, 1000));
        EXPECT_EQ(nCount, 99) << "the count is not written";
        EXPECT_EQ(buf[0], 1);
        EXPECT_FALSE(link.Write(buf, 4, nCount, 1000));
        EXPECT_EQ(nCount, 99);

        link.Purge();
        link.Close();
        EXPECT_TRUE(link.IsOpen());
        EXPECT_TRUE(link.LoadCfg("Zor-01", nullptr));
    }
}

// The device keeps one link of each kind and points at one of them through the base
// class; the interface must dispatch to the right medium.
TEST(DeviceLinkInterface, DispatchesThroughTheBase) {
    CComPortLink com;
    com.SetSettings([] {
        ComPortSettings s;
        s.sPortName = "ttyS4";
        return s;
    }());
    CTcpIpLink tcp;
    CEmulationLink emul;
    const CDeviceLink* links[] = {&com, &tcp, &emul};
    EXPECT_EQ(links[0]->GetName(true), "ComPort-Link::ttyS4");
    EXPECT_EQ(links[1]->GetName(true), "TcpIp-Link::localhost:23");
    EXPECT_EQ(links[2]->GetName(true), "Emulation-Link");
    EXPECT_FALSE(links[0]->IsOpen());
    EXPECT_FALSE(links[1]->IsOpen());
}
