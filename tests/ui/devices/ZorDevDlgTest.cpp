// The device settings dialog against the simulator.

#include <QColorDialog>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <ctime>

#include "DevicesFixture.h"
#include "support/ModalDriver.h"
#include "support/Screenshot.h"
#include "ui/bridge/QtText.h"
#include "ui/devices/DeviceDialogHost.h"
#include "ui/devices/ZorDevDlg.h"

namespace zm {
namespace {

using test::WaitUntil;

class ZorDevDlgTest : public test::DevicesFixture {
  protected:
    std::unique_ptr<test::SimProcess> sim =
        StartSim({"--sensor",
                  "addr=7,type=5.1.0.0,devnum=ZOR-4711,param.MinSigThr=500,"
                  "param.MaxSigThr=10000"});
};

TEST_F(ZorDevDlgTest, NormalModeIs150HighWithoutTheIdleRowAdvancedIs400) {
    auto dev = MakeDevice(*sim, 7, false);
    for (bool advanced : {false, true}) {
        CZorDevDlg dialog(*dev, {"Pier-1"}, advanced);
        dialog.show();
        EXPECT_EQ(dialog.width(), 450);
        EXPECT_EQ(dialog.height(), advanced ? 400 : 150);
        EXPECT_EQ(dialog.IdleList()->isVisible(), advanced);
        EXPECT_EQ(dialog.AdvancedGroup()->isVisible(), advanced);
        EXPECT_EQ(dialog.windowTitle(), "Pier-1: basic settings");
        // The buttons sit at the bottom either way.
        EXPECT_EQ(dialog.OkButton()->geometry().bottom(), dialog.height() - 9);
        test::SaveScreenshot(dialog, advanced ? "ZorDevDlg-advanced" : "ZorDevDlg-normal");
    }
}

TEST_F(ZorDevDlgTest, SensorFieldsOnlyForAKnownType) {
    const struct {
        int code;
        bool shown;
    } cases[] = {{0, false}, {1, true}, {2, false}, {4, false}, {5, true}, {6, true}};
    for (const auto& c : cases) {
        auto dev = MakeDevice(*sim, 7, false, "Pier-1", [&](ZorDeviceCfg& cfg) {
            cfg.contrType.bytes = {static_cast<uint8_t>(c.code), 1, 0, 0};
        });
        CZorDevDlg dialog(*dev, {}, true);
        dialog.show();
        EXPECT_EQ(dialog.SensorFields()->isVisible(), c.shown) << c.code;
    }
}

TEST_F(ZorDevDlgTest, DeviceTypeAndReadParamsRunOffTheGuiThreadAndFillTheFields) {
    auto dev = MakeDevice(*sim, 7, false);
    CZorDevDlg dialog(*dev, {}, true);
    dialog.show();
    EXPECT_FALSE(dialog.SensorFields()->isVisible());

    QTest::mouseClick(dialog.DeviceTypeButton(), Qt::LeftButton);
    // The click returned before the sensor answered: the dialog shows its wait caption.
    EXPECT_EQ(dialog.DeviceTypeButton()->text(), "Device Type: (wait ...)");
    EXPECT_TRUE(dialog.Busy());
    EXPECT_EQ(dialog.IdleField()->text(), "-");
    ASSERT_TRUE(WaitUntil([&] { return !dialog.Busy(); }));
    EXPECT_TRUE(dialog.DeviceTypeButton()->text().contains("5.1.0.0"))
        << ToStdString(dialog.DeviceTypeButton()->text());
    EXPECT_TRUE(dialog.SensorFields()->isVisible());
    EXPECT_FALSE(dialog.AnswerText()->toPlainText().isEmpty());

    QTest::mouseClick(dialog.ReadParamsButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.ReadParamsButton()->text(), "Read Params From Device (...)");
    ASSERT_TRUE(WaitUntil([&] { return !dialog.Busy(); }));
    EXPECT_EQ(dialog.ReadParamsButton()->text(), "Read Params From Device (OK)");
    EXPECT_EQ(dialog.ThreshLowEdit()->text(), "500");
    EXPECT_EQ(dialog.ThreshHiEdit()->text(), "10000");
    EXPECT_EQ(dialog.SerialEdit()->text(), "ZOR-4711");
    test::SaveScreenshot(dialog, "ZorDevDlg-read-params");

    // Applied, the device has the sensor's thresholds.
    ASSERT_TRUE(dialog.Apply());
    float lower = 0, upper = 0, bkg = 0;
    dev->GetThresholds(lower, upper, bkg);
    EXPECT_EQ(lower, 500.0f);
    EXPECT_EQ(upper, 10000.0f);
}

TEST_F(ZorDevDlgTest, ReadParamsOfASilentSensorReportsAnError) {
    auto dev = MakeDevice(*sim, 9, false);  // nobody answers at address 9
    CZorDevDlg dialog(*dev, {}, true);
    dialog.show();
    const std::string before = ToStdString(dialog.ThreshHiEdit()->text());
    QTest::mouseClick(dialog.ReadParamsButton(), Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return !dialog.Busy(); }, 15000));
    EXPECT_EQ(dialog.ReadParamsButton()->text(), "Read Params From Device (Error)");
    EXPECT_EQ(ToStdString(dialog.ThreshHiEdit()->text()), before);
}

TEST_F(ZorDevDlgTest, ClosingTheDialogDuringAnExchangeLeavesTheDeviceRunning) {
    auto dev = MakeDevice(*sim, 9, true);  // a silent address: the exchange takes its time-out
    {
        CZorDevDlg dialog(*dev, {}, true);
        dialog.show();
        QTest::mouseClick(dialog.DeviceTypeButton(), Qt::LeftButton);
        ASSERT_TRUE(dialog.Busy());
        dialog.reject();
    }
    ASSERT_TRUE(WaitUntil([] { return DeviceWorkPool().activeThreadCount() == 0; }, 15000));
    QTest::qWait(50);  // the dropped answer would arrive now
    EXPECT_TRUE(dev->IsScanning());
    EXPECT_TRUE(dev->AreThreadsRunning());
}

TEST_F(ZorDevDlgTest, ApplyRefusesAnotherDevicesNameAndRestoresTheOldOne) {
    auto dev = MakeDevice(*sim, 7, false);
    CZorDevDlg dialog(*dev, {"Pier-1", "Pier-2"}, false);
    dialog.show();
    dialog.NameEdit()->setText("Pier-2");
    MessageBox::SetNextAnswer(MsgResult::kOk);
    EXPECT_FALSE(dialog.Apply());
    EXPECT_EQ(dialog.NameEdit()->text(), "Pier-1");
    EXPECT_EQ(dev->GetName(), "Pier-1");
    EXPECT_NE(MessageBox::Last().text.find("'Pier-2'"), std::string::npos);
    // OK is refused as well and the dialog stays open.
    dialog.NameEdit()->setText("Pier-2");
    MessageBox::SetNextAnswer(MsgResult::kOk);
    QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), 0);
    // A free name is taken.
    dialog.NameEdit()->setText("Pier-3");
    EXPECT_TRUE(dialog.Apply());
    EXPECT_EQ(dev->GetName(), "Pier-3");
}

TEST_F(ZorDevDlgTest, Choosing600SecondsSamplesAtOnceAndThenWaits) {
    auto dev = MakeDevice(*sim, 7, true);
    ASSERT_TRUE(WaitUntil([&] { return dev->GetLastPollTime() > 0 && dev->GetStatus() == 1; }));
    CZorDevDlg dialog(*dev, {}, true);
    dialog.show();
    dialog.IdleList()->setCurrentText("600");
    const std::int64_t applied = std::time(nullptr);
    ASSERT_TRUE(dialog.Apply());
    EXPECT_EQ(dev->GetPause(), 600);
    // The next sample is due at once ...
    ASSERT_TRUE(WaitUntil([&] { return dev->GetLastPollTime() >= applied; }, 5000));
    const std::int64_t sampled = dev->GetLastPollTime();
    // ... and the one after it not within the old pause of 2 s.
    QTest::qWait(3000);
    EXPECT_EQ(dev->GetLastPollTime(), sampled);
    ASSERT_TRUE(WaitUntil([&] { return dialog.IdleField()->text() != "-"; }, 2000));
    EXPECT_TRUE(dialog.IdleField()->text().startsWith("00:0"))
        << ToStdString(dialog.IdleField()->text());
}

TEST_F(ZorDevDlgTest, OkRunsAStoppedDeviceFor500Ms) {
    auto dev = MakeDevice(*sim, 7, false);
    CZorDevDlg dialog(*dev, {}, false);
    dialog.show();
    QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(dev->IsScanning());
    ASSERT_TRUE(WaitUntil([&] { return !dev->IsScanning(); }, 2000));
}

TEST_F(ZorDevDlgTest, ColourChooserAndLinkSettingsKeepTheChosenColour) {
    auto dev =
        MakeDevice(*sim, 7, false, "Pier-1", [](ZorDeviceCfg& cfg) { cfg.crColor = 0x0000FF; });
    // The link dialog stands in here as a function that changes the link and the colour.
    CZorDevice::SetZorSettingsDialog([](CTavDevice& device) {
        auto& zor = dynamic_cast<CZorDevice&>(device);
        ZorDeviceCfg cfg;
        zor.GetZorSettings(cfg);
        cfg.sLinkType = kLinkTypeEmul;
        cfg.crColor = 0x00FF00;
        zor.SetZorSettings(cfg, true);
        return true;
    });
    CZorDevDlg dialog(*dev, {}, false);
    dialog.show();
    test::OnNextModal<QColorDialog>([](QColorDialog& chooser) {
        chooser.setCurrentColor(QColor(10, 20, 30));
        chooser.accept();
    });
    QTest::mouseClick(dialog.ColorButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.WorkingCopy().crColor, 10u | (20u << 8) | (30u << 16));
    const QImage swatch = dialog.ColorSwatch()->pixmap().toImage();
    EXPECT_EQ(swatch.pixelColor(swatch.width() / 2, swatch.height() / 2), QColor(10, 20, 30));

    QTest::mouseClick(dialog.LinkButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.WorkingCopy().sLinkType, kLinkTypeEmul);
    EXPECT_EQ(dialog.WorkingCopy().crColor, 10u | (20u << 8) | (30u << 16));
    CZorDevice::SetZorSettingsDialog({});
}

TEST_F(ZorDevDlgTest, DevicesDialogsAreFramedByTheModalMessages) {
    auto dev = MakeDevice(*sim, 7, false);
    std::vector<bool> modal;
    InstallDeviceDialogs(DeviceDialogHost{nullptr, [] { return true; },
                                          [] { return std::vector<std::string>{"Pier-1"}; },
                                          [&](bool on) { modal.push_back(on); }});
    test::OnNextModal<CZorDevDlg>([&](CZorDevDlg& dialog) {
        EXPECT_EQ(modal, std::vector<bool>{true});
        EXPECT_EQ(dialog.height(), 400);  // advanced mode from the host
        dialog.reject();
    });
    EXPECT_FALSE(dev->EditDeviceDialog());
    EXPECT_EQ(modal, (std::vector<bool>{true, false}));
    CZorDevice::SetZorDeviceDialog({});
    CZorDevice::SetZorSettingsDialog({});
    CTavDevice::SetSettingsDialog({});
}

}  // namespace
}  // namespace zm
