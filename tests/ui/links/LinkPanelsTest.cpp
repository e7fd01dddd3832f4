// The serial and TCP link panels; discovery and echo only towards loopback.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "base/Ping.h"
#include "device/zor/ZorDevice.h"
#include "support/ConverterResponder.h"
#include "support/TempDir.h"
#include "ui/bridge/QtText.h"
#include "ui/common/DeviceWork.h"
#include "ui/links/ComPortCtrl.h"
#include "ui/links/TcpIpCtrl.h"

namespace zm {
namespace {

using TavCommunication::CComPortCtrl;
using TavCommunication::CTcpIpCtrl;

// ---------------------------------------------------------------------------------------
// Serial panel

class ComPortCtrlTest : public ::testing::Test {
  protected:
    void SetUp() override {
        CComPortCtrl::SetPortLister([this](std::vector<std::string>& list) {
            list = ports;
            return static_cast<int>(list.size());
        });
    }
    void TearDown() override { CComPortCtrl::SetPortLister({}); }

    std::vector<std::string> ports = {"/dev/ttyUSB0", "/dev/pts/9"};
    ComPortSettings record;
    int notified = 0;
};

TEST_F(ComPortCtrlTest, ListsAndSelectionFollowTheRecord) {
    record.sPortName = "/dev/pts/9";
    record.nBaudRate = 57600;
    record.nStopBits = 2;
    record.nParity = 1;
    CComPortCtrl panel;
    panel.Bind(&record, [this] { ++notified; });
    EXPECT_EQ(panel.PortList()->count(), 2);
    EXPECT_EQ(panel.PortList()->currentText(), "/dev/pts/9");
    EXPECT_EQ(panel.BaudList()->count(), 15);
    EXPECT_EQ(panel.BaudList()->itemText(0), "110");
    EXPECT_EQ(panel.BaudList()->itemText(14), "256000");
    EXPECT_EQ(panel.BaudList()->currentText(), "57600");
    EXPECT_EQ(panel.ByteSizeList()->count(), 5);
    EXPECT_EQ(panel.ByteSizeList()->currentText(), "8");
    EXPECT_EQ(panel.StopBitsList()->currentText(), "2 stop bits");
    EXPECT_EQ(panel.ParityList()->currentText(), "Odd");
    EXPECT_EQ(notified, 0);  // filling is no change

    panel.PortList()->setCurrentIndex(0);
    panel.BaudList()->setCurrentText("9600");
    panel.ByteSizeList()->setCurrentText("7");
    panel.StopBitsList()->setCurrentIndex(1);
    panel.ParityList()->setCurrentIndex(4);
    EXPECT_EQ(record.sPortName, "/dev/ttyUSB0");
    EXPECT_EQ(record.nBaudRate, 9600);
    EXPECT_EQ(record.nByteSize, 7);
    EXPECT_EQ(record.nStopBits, 1);
    EXPECT_EQ(record.nParity, 4);
    EXPECT_EQ(notified, 5);
}

TEST_F(ComPortCtrlTest, WithoutSerialPortsThePortNameStays) {
    ports.clear();
    record.sPortName = "/dev/ttyS3";
    CComPortCtrl panel;
    panel.Bind(&record, [this] { ++notified; });
    EXPECT_EQ(panel.PortList()->count(), 0);
    panel.BaudList()->setCurrentText("115200");
    EXPECT_EQ(record.sPortName, "/dev/ttyS3");
    EXPECT_EQ(record.nBaudRate, 115200);
}

TEST_F(ComPortCtrlTest, SetDefaultsRestoresTheRecordsDefaults) {
    record.nDefBaudRate = 57600;
    record.nBaudRate = 300;
    record.nParity = 2;
    record.sPortName = "/dev/pts/9";
    CComPortCtrl panel;
    panel.Bind(&record, [this] { ++notified; });
    QTest::mouseClick(panel.DefaultsButton(), Qt::LeftButton);
    EXPECT_EQ(record.nBaudRate, 57600);
    EXPECT_EQ(record.nParity, 0);
    EXPECT_EQ(record.sPortName, kDefaultComPortName);
    EXPECT_EQ(panel.BaudList()->currentText(), "57600");
    EXPECT_EQ(notified, 1);
}

// ---------------------------------------------------------------------------------------
// TCP panel

class TcpIpCtrlTest : public ::testing::Test {
  protected:
    void SetUp() override {
        CAddressHistory::Shared().Clear();
        // Nothing listens there: the request goes nowhere off this machine.
        PointDiscoveryAt(9, 200);
        record.sAddress = "127.0.0.1";
        record.nPort = 11221;
        record.nTimeOut = 500;
    }
    void TearDown() override {
        CTcpIpCtrl::ResetDiscoveryOptions();
        DeviceWorkPool().waitForDone(5000);
    }
    static void PointDiscoveryAt(int port, int waitMs) {
        CConverterDiscovery::Options options;
        options.sTarget = "127.0.0.1";
        options.nTargetPort = port;
        options.nListenPort = 0;
        options.sListenAddress = "127.0.0.1";
        CTcpIpCtrl::SetDiscoveryOptions(options, waitMs);
    }
    static bool WaitFor(const std::function<bool()>& ready, int ms = 5000) {
        for (int waited = 0; waited < ms; waited += 10) {
            if (ready()) {
                return true;
            }
            QTest::qWait(10);
        }
        return ready();
    }

    XSocketSettings record;
    int notified = 0;
};

TEST_F(TcpIpCtrlTest, FirstDisplayFillsProposalsAndChecksTheAddressOffTheGuiThread) {
    CTcpIpCtrl panel;
    panel.Bind(&record, [this] { ++notified; });
    panel.show();
    EXPECT_EQ(panel.PingState()->text(), "Ping wait ...");
    EXPECT_EQ(panel.PortBox()->itemText(0), "23");
    EXPECT_EQ(panel.TimeoutBox()->count(), 11);
    EXPECT_EQ(panel.TimeoutBox()->itemText(10), "5000");
    EXPECT_EQ(panel.AddressBox()->currentText(), "127.0.0.1");
    EXPECT_EQ(panel.PortBox()->currentText(), "11221");
    ASSERT_TRUE(WaitFor([&] { return !panel.CheckRunning(); }));
    const QString state = panel.PingState()->text();
    EXPECT_TRUE(state.startsWith("Ping Ok (Time=") || state == "Ping not Ok") << ToStdString(state);
    if (IsPingAvailable()) {
        EXPECT_TRUE(state.startsWith("Ping Ok (Time=")) << ToStdString(state);
    }
    EXPECT_EQ(panel.ChecksStarted(), 1);
    EXPECT_EQ(notified, 0);
}

TEST_F(TcpIpCtrlTest, TypedNumbersAreStoredAsTheyStand) {
    CTcpIpCtrl panel;
    panel.Bind(&record, [this] { ++notified; });
    panel.show();
    panel.TimeoutBox()->lineEdit()->selectAll();
    QTest::keyClicks(panel.TimeoutBox()->lineEdit(), "9999");
    EXPECT_EQ(record.nTimeOut, 9999);
    panel.PortBox()->lineEdit()->selectAll();
    QTest::keyClicks(panel.PortBox()->lineEdit(), "4001");
    EXPECT_EQ(record.nPort, 4001);
    EXPECT_GT(notified, 0);
}

TEST_F(TcpIpCtrlTest, AddressEnterConfirmsEscapeRestoresAndAnUnchangedAddressIsNotCheckedAgain) {
    CTcpIpCtrl panel;
    panel.Bind(&record, [this] { ++notified; });
    panel.show();
    ASSERT_TRUE(WaitFor([&] { return !panel.CheckRunning(); }));
    QLineEdit* edit = panel.AddressBox()->lineEdit();

    // Confirming the same address: no new check, no change.
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(panel.ChecksStarted(), 1);
    EXPECT_EQ(notified, 0);

    // Escape discards the edit.
    edit->selectAll();
    QTest::keyClicks(edit, "127.0.0.9");
    QTest::keyClick(edit, Qt::Key_Escape);
    EXPECT_EQ(panel.AddressBox()->currentText(), "127.0.0.1");
    EXPECT_EQ(record.sAddress, "127.0.0.1");
    EXPECT_TRUE(panel.isVisible());

    // Enter takes a new address: stored, checked, announced; it replaces the history entry.
    edit->selectAll();
    QTest::keyClicks(edit, "127.0.0.2");
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(record.sAddress, "127.0.0.2");
    EXPECT_EQ(panel.ChecksStarted(), 2);
    EXPECT_EQ(panel.PingState()->text(), "Ping wait ...");
    EXPECT_EQ(notified, 1);
    EXPECT_EQ(CAddressHistory::Shared().Entries(), std::vector<std::string>{"127.0.0.2"});
    ASSERT_TRUE(WaitFor([&] { return !panel.CheckRunning(); }));
}

TEST_F(TcpIpCtrlTest, SetDefaultsOfAZorDeviceRestoresPort11221AndTimeout2000) {
    test::TempDir dir;
    CZorDevice device((dir.path() / "Zor-Device.ini").string(), nullptr);
    ZorDeviceCfg cfg;
    device.GetZorSettings(cfg);
    XSocketSettings zor = cfg.xSocket;
    zor.nPort = 23;
    zor.nTimeOut = 100;
    zor.bDatagram = true;
    CTcpIpCtrl panel;
    panel.Bind(&zor, [this] { ++notified; });
    panel.show();
    QTest::mouseClick(panel.DefaultsButton(), Qt::LeftButton);
    EXPECT_EQ(zor.nPort, 11221);
    EXPECT_EQ(zor.nTimeOut, 2000);
    EXPECT_FALSE(zor.bDatagram);
    EXPECT_EQ(panel.PortBox()->currentText(), "11221");
    EXPECT_EQ(panel.TimeoutBox()->currentText(), "2000");
    EXPECT_EQ(panel.ChecksStarted(), 2);
    EXPECT_EQ(notified, 1);
    ASSERT_TRUE(WaitFor([&] { return !panel.CheckRunning(); }));
}

TEST_F(TcpIpCtrlTest, DiscoveredConvertersJoinTheAddressListOnce) {
    test::ConverterResponder responder({{"127.0.0.2", 8000, 51},
                                        {"127.0.0.2", 8000, 400},
                                        {"127.0.0.3", 8000, 50},
                                        {"127.0.0.4", 8001, 200}});
    ASSERT_TRUE(responder.SendersReady());
    PointDiscoveryAt(responder.port(), 300);
    CTcpIpCtrl panel;
    panel.Bind(&record, [this] { ++notified; });
    panel.show();
    ASSERT_TRUE(WaitFor([&] { return panel.DiscoveryDone(); }));
    EXPECT_EQ(responder.Request().size(), 12u);
    QStringList listed;
    for (int i = 0; i < panel.AddressBox()->count(); ++i) {
        listed << panel.AddressBox()->itemText(i);
    }
    EXPECT_EQ(listed, (QStringList{"127.0.0.1", "127.0.0.2"}));
    EXPECT_EQ(panel.AddressBox()->currentText(), "127.0.0.1");
    EXPECT_EQ(notified, 0);
}

}  // namespace
}  // namespace zm
