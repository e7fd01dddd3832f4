// The link dialogs: status areas fed by the device, panels, start and stop, the device
// panel's link test and address, and the bus scan with its wait window.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>

#include "DevicesFixture.h"
#include "support/Screenshot.h"
#include "ui/bridge/QtText.h"
#include "ui/common/WaitDlg.h"
#include "ui/devices/TavSetsDlg.h"
#include "ui/devices/ZorSetsDlg.h"
#include "ui/devices/ZorSetsView.h"
#include "ui/links/ComPortCtrl.h"
#include "ui/links/TcpIpCtrl.h"

namespace zm {
namespace {

using test::WaitUntil;

class LinkDialogTest : public test::DevicesFixture {
  protected:
    void SetUp() override {
        DevicesFixture::SetUp();
        // Discovery asks a loopback port where nobody listens.
        CConverterDiscovery::Options options;
        options.sTarget = "127.0.0.1";
        options.nTargetPort = 9;
        options.nListenPort = 0;
        options.sListenAddress = "127.0.0.1";
        TavCommunication::CTcpIpCtrl::SetDiscoveryOptions(options, 200);
    }
    void TearDown() override {
        DevicesFixture::TearDown();
        TavCommunication::CTcpIpCtrl::ResetDiscoveryOptions();
        TavCommunication::CComPortCtrl::SetPortLister({});
    }
};

TEST_F(LinkDialogTest, StatusAreasAreFedByTheDeviceAndTheMatchingPanelShows) {
    auto sim = StartSim({"--sensor", "addr=7,type=5.1.0.0,value=120"});
    auto dev = MakeDevice(*sim, 7, true);
    CZorSetsDlg dialog(*dev);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Pier-1: link settings");
    EXPECT_EQ(dev->GetAttachedPane() != nullptr, true);
    EXPECT_TRUE(dialog.TcpPanel()->isVisible());
    EXPECT_FALSE(dialog.ComPanel()->isVisible());
    EXPECT_FALSE(dialog.ScanButton()->isVisible());
    EXPECT_EQ(dialog.LinkTypeList()->currentText(), "TCP/IP");
    EXPECT_FALSE(dialog.StartButton()->isEnabled());
    EXPECT_TRUE(dialog.StopButton()->isEnabled());

    ASSERT_TRUE(WaitUntil(
        [&] {
            return dialog.StatusText()->text().contains("Online and Ok") &&
                   !dialog.RawText()->toPlainText().isEmpty() &&
                   !dialog.DataText()->text().isEmpty();
        },
        10000))
        << ToStdString(dialog.StatusText()->text());
    EXPECT_FALSE(dialog.StatusIcon()->pixmap().isNull());
    test::SaveScreenshot(dialog, "ZorSetsDlg-tcp");

    // "=>" clears the raw text; with Ctrl it switches the raw display off.
    QTest::mouseClick(dialog.RawButton(), Qt::LeftButton);
    EXPECT_TRUE(dialog.RawText()->toPlainText().isEmpty());
    QTest::mouseClick(dialog.RawButton(), Qt::LeftButton, Qt::ControlModifier);
    EXPECT_FALSE(dialog.RawDisplayOn());
    QTest::qWait(2500);
    EXPECT_TRUE(dialog.RawText()->toPlainText().isEmpty());

    // STOP applies at once.
    QTest::mouseClick(dialog.StopButton(), Qt::LeftButton);
    EXPECT_FALSE(dev->IsScanning());
    EXPECT_TRUE(dialog.StartButton()->isEnabled());
    EXPECT_FALSE(dialog.StopButton()->isEnabled());
    dialog.reject();
}

TEST_F(LinkDialogTest, ClosingDetachesTheDialogFromTheDevice) {
    auto sim = StartSim({"--sensor", "addr=7"});
    auto dev = MakeDevice(*sim, 7, true);
    {
        CZorSetsDlg dialog(*dev);
        dialog.show();
        ASSERT_NE(dev->GetAttachedPane(), nullptr);
    }
    EXPECT_EQ(dev->GetAttachedPane(), nullptr);
    // Refreshes already on their way find nobody and do no harm.
    dev->SetEventObject(kEvAll);
    QTest::qWait(100);
    EXPECT_TRUE(dev->IsScanning());
}

TEST_F(LinkDialogTest, LinkTypeChangeAndSetDefaultsApplyAtOnce) {
    auto sim = StartSim({"--sensor", "addr=7"});
    auto dev = MakeDevice(*sim, 7, true);
    CZorSetsDlg dialog(*dev);
    dialog.show();
    dialog.LinkTypeList()->setCurrentText("COM");
    ZorDeviceCfg cfg;
    dev->GetZorSettings(cfg);
    EXPECT_EQ(cfg.sLinkType, "COM");
    EXPECT_TRUE(dialog.ComPanel()->isVisible());
    EXPECT_TRUE(dialog.ScanButton()->isVisible());

    QTest::mouseClick(dialog.DefaultsButton(), Qt::LeftButton);
    dev->GetZorSettings(cfg);
    EXPECT_TRUE(cfg.bScanning);  // the run flag stays
    EXPECT_EQ(cfg.sName, "Pier-1");
    EXPECT_EQ(cfg.xSocket.nPort, 11221);
    EXPECT_EQ(cfg.comPort.nBaudRate, 57600);
    dialog.reject();
}

TEST_F(LinkDialogTest, TestLinkRunsOnAWorkerAndReportsTheLinkState) {
    auto sim = StartSim({"--sensor", "addr=7"});
    auto dev = MakeDevice(*sim, 7, false);
    CZorSetsDlg dialog(*dev);
    dialog.show();
    CZorSetsView* view = dialog.DevicePanel();
    QTest::mouseClick(view->TestLinkButton(), Qt::LeftButton);
    EXPECT_TRUE(view->TestRunning());
    ASSERT_TRUE(WaitUntil([&] { return !view->TestRunning(); }));
    // The stopped device's status area shows the result beside "Monitoring OFF".
    ASSERT_TRUE(WaitUntil([&] { return dialog.StatusText()->text().contains("Monitoring OFF"); }));
    EXPECT_TRUE(dialog.StatusText()->text().endsWith("\r\nLink state: Ok."))
        << ToStdString(dialog.StatusText()->text());

    // A new address is applied when the field is left.
    view->AddressField()->setValue(9);
    emit view->AddressField()->editingFinished();
    EXPECT_EQ(dev->GetAddress(), 9);
    QTest::mouseClick(view->TestLinkButton(), Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return !view->TestRunning(); }, 15000));
    EXPECT_TRUE(dialog.StatusText()->text().endsWith("\r\nLink state: Error."))
        << ToStdString(dialog.StatusText()->text());
    dialog.reject();
}

TEST_F(LinkDialogTest, TestLinkOfARunningDeviceGoesToItsStatusText) {
    auto sim = StartSim({"--sensor", "addr=7"});
    auto dev = MakeDevice(*sim, 7, true, "Pier-1", [](ZorDeviceCfg& cfg) { cfg.nPause = 600; });
    ASSERT_TRUE(WaitUntil([&] { return dev->GetStatus() == 1; }));
    CZorSetsDlg dialog(*dev);
    dialog.show();
    QTest::mouseClick(dialog.DevicePanel()->TestLinkButton(), Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return !dialog.DevicePanel()->TestRunning(); }));
    std::string status;
    dev->GetStatus(&status);
    EXPECT_TRUE(status.ends_with("\r\nLink state: Ok.")) << status;
    ASSERT_TRUE(WaitUntil([&] { return dialog.StatusText()->text().endsWith("Link state: Ok.."); }))
        << ToStdString(dialog.StatusText()->text());
    dialog.reject();
}

TEST_F(LinkDialogTest, ScanWithTheWaitWindowCancelledByTheOperator) {
    auto sim = StartSim({"--sensor", "addr=3", "--sensor", "addr=5"}, true);
    auto dev = MakeDevice(*sim, 3, true);
    TavCommunication::CComPortCtrl::SetPortLister([&](std::vector<std::string>& ports) {
        ports = {sim->ptyPath};
        return 1;
    });
    CZorSetsDlg dialog(*dev);
    dialog.show();
    ASSERT_TRUE(dialog.ScanButton()->isVisible());
    // Yes to the scan, Yes to "cancel?", OK to the result.
    MessageBox::SetNextAnswer(MsgResult::kYes);
    MessageBox::SetNextAnswer(MsgResult::kYes);
    MessageBox::SetNextAnswer(MsgResult::kOk);
    QTest::mouseClick(dialog.ScanButton(), Qt::LeftButton);
    EXPECT_TRUE(dialog.ScanRunning());

    // The wait window comes up in front; once both sensors were probed, Cancel.
    CWaitDlgImpl* wait = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] {
            wait = dialog.findChild<CWaitDlgImpl*>();
            return wait && wait->isVisible() && wait->Message()->text().contains("address 7 ");
        },
        20000));
    test::SaveScreenshot(*wait, "WaitDlg-scan");
    // The link dialog is not closed while the scan runs.
    dialog.reject();
    EXPECT_TRUE(dialog.isVisible());
    QTest::mouseClick(wait->CancelButton(), Qt::LeftButton);

    ASSERT_TRUE(WaitUntil([&] { return !dialog.ScanRunning(); }, 20000));
    EXPECT_EQ(MessageBox::PendingAnswers(), 0);
    EXPECT_EQ(MessageBox::Last().text,
              "Available devices linked to Com Port:\n" + sim->ptyPath +
                  ": Addr=3;Addr=5;\n\r\nSearching was canceled by user!\n");
    EXPECT_EQ(dialog.findChild<CWaitDlgImpl*>(), nullptr);
    ZorDeviceCfg cfg;
    dev->GetZorSettings(cfg);
    EXPECT_EQ(cfg.params.Address(), 3);
    EXPECT_TRUE(cfg.bScanning);
    EXPECT_TRUE(dev->AreThreadsRunning());
    EXPECT_EQ(dialog.DevicePanel()->AddressField()->value(), 3);
    dialog.reject();
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(LinkDialogTest, GenericLinkDialog) {
    test::TempDir home;
    auto dev = std::make_shared<CTavDevice>((home.path() / "Tav.ini").string(), nullptr, "Gauge");
    TavDeviceCfg cfg;
    dev->GetSettings(cfg);
    cfg.sName = "Gauge";
    cfg.sLinkType = kLinkTypeEmul;
    cfg.bScanning = true;
    cfg.comPort.nBaudRate = 300;
    dev->SetSettings(cfg, true);
    {
        CTavSetsDlg dialog(*dev);
        dialog.show();
        EXPECT_EQ(dialog.windowTitle(), "Gauge settings");
        MessageBox::SetNextAnswer(MsgResult::kOk);
        QTest::mouseClick(dialog.RawButton(), Qt::LeftButton);
        EXPECT_EQ(MessageBox::Last().text, "not implemented");
        QTest::mouseClick(dialog.DefaultsButton(), Qt::LeftButton);
        dev->GetSettings(cfg);
        EXPECT_TRUE(cfg.bScanning);
        EXPECT_EQ(cfg.sName, "Gauge");
        EXPECT_EQ(cfg.comPort.nBaudRate, cfg.comPort.nDefBaudRate);
        test::SaveScreenshot(dialog, "TavSetsDlg");
    }
    dev->StopThreads();
}

}  // namespace
}  // namespace zm
