// An operator sets up a new device from the device list alone, with the dialogs installed
// as the desktop program installs them, against a sensor simulated on a pseudo-terminal
// at an address only the bus scan finds.

#include <gtest/gtest.h>

#include <QColorDialog>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTableView>
#include <QTest>
#include <filesystem>

#include "app/DeviceGate.h"
#include "app/DeviceRegistry.h"
#include "app/HeadlessDispatcher.h"
#include "app/HeadlessUiPort.h"
#include "app/ManagerEngine.h"
#include "app/ZorDeviceKind.h"
#include "base/Folders.h"
#include "base/Ini.h"
#include "base/Log.h"
#include "device/zor/ZorDevice.h"
#include "links/DeviceLink.h"
#include "support/TempDir.h"
#include "ui/bridge/QtText.h"
#include "ui/common/DeviceWork.h"
#include "ui/common/MessageBox.h"
#include "ui/devicelist/DeviceListModel.h"
#include "ui/devicelist/ZorDevsView.h"
#include "ui/devices/DeviceDialogHost.h"
#include "ui/devices/ZorDevDlg.h"
#include "ui/devices/ZorSetsDlg.h"
#include "ui/devices/ZorSetsView.h"
#include "ui/links/ComPortCtrl.h"
#include "ui/links/TcpIpCtrl.h"
#include "ui/support/ModalDriver.h"
#include "ui/support/Screenshot.h"
#include "zor/ZorTestPeers.h"

namespace zm {
namespace {

bool WaitUntil(const std::function<bool()>& ready, int ms) {
    for (int waited = 0; waited < ms; waited += 10) {
        if (ready()) {
            return true;
        }
        QTest::qWait(10);
    }
    return ready();
}

class DeviceSetupTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetHomeRoot(home.folder());
        std::filesystem::create_directories(GetConfigFolder());
        std::filesystem::create_directories(GetLogFolder());
        MessageBox::ClearNextAnswers();
        MessageBox::InstallAsMessageSink();
        settingsIni.SetPathName(GetSettingsFilePath());
        ui = std::make_unique<HeadlessUiPort>();
        engine =
            std::make_unique<CManagerEngine>(dispatcher, *ui, gate, registry, ops, settingsIni);
        engine->Settings().bHttpServ = false;
        engine->Settings().bMapView = false;
        deviceLog.SetFolder(GetLogFolder());
        ASSERT_TRUE(deviceLog.Open("DeviceLog", true));
        registry.SetContext(GetConfigFolder() + "Zor-Device.ini", nullptr, &deviceLog);

        // The link dialog's converter discovery asks a loopback port where nobody listens.
        CConverterDiscovery::Options options;
        options.sTarget = "127.0.0.1";
        options.nTargetPort = 9;
        options.nListenPort = 0;
        options.sListenAddress = "127.0.0.1";
        TavCommunication::CTcpIpCtrl::SetDiscoveryOptions(options, 200);

        // The view and the dialogs wired as in the desktop program; advanced mode on, so
        // that the device dialog shows its sensor rows.
        InstallDeviceDialogs(DeviceDialogHost{nullptr, [] { return true; },
                                              [this] {
                                                  std::vector<std::string> names;
                                                  for (size_t i = 0; i < registry.GetCount(); ++i) {
                                                      names.push_back(
                                                          registry.GetDevice(i)->GetName());
                                                  }
                                                  return names;
                                              },
                                              [this](bool on) { modal.push_back(on); }});
        DevsViewContext context;
        context.engine = engine.get();
        context.registry = &registry;
        context.webLog = &webLog;
        context.deviceLog = &deviceLog;
        context.logFolder = [] { return GetLogFolder(); };
        context.deviceDialog = [](CZorDevice& device) { return device.EditDeviceDialog(); };
        context.linkDialog = [](CZorDevice& device) { return device.EditSettings(); };
        view = std::make_unique<CZorDevsView>(std::move(context));
        hooks.refreshViews = [this] { view->Refresh(); };
        engine->SetHooks(hooks);
        view->resize(1000, 640);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    }

    void TearDown() override {
        WaitUntil([] { return DeviceWorkPool().activeThreadCount() == 0; }, 20000);
        view.reset();
        registry.RemoveAllDevices();
        engine.reset();
        ui.reset();
        deviceLog.Close();
        CZorDevice::SetZorDeviceDialog({});
        CZorDevice::SetZorSettingsDialog({});
        CTavDevice::SetSettingsDialog({});
        TavCommunication::CComPortCtrl::SetPortLister({});
        TavCommunication::CTcpIpCtrl::ResetDiscoveryOptions();
        EXPECT_EQ(MessageBox::PendingAnswers(), 0) << "a message the test expected was not shown";
        MessageBox::ClearNextAnswers();
        SetMessageSink({});
        SetHomeRoot({});
    }

    // Serial link on the simulator's port, scan, the found address, TestLink, START, OK.
    void DriveLinkDialog(CZorSetsDlg& dialog, const std::string& port) {
        dialog.LinkTypeList()->setCurrentText("COM");
        ASSERT_TRUE(dialog.ComPanel()->isVisible());
        dialog.ComPanel()->PortList()->setCurrentText(QString::fromStdString(port));
        ASSERT_TRUE(dialog.ScanButton()->isVisible());

        MessageBox::SetNextAnswer(MsgResult::kYes);  // stop and search the bus
        MessageBox::SetNextAnswer(MsgResult::kOk);   // the result
        QTest::mouseClick(dialog.ScanButton(), Qt::LeftButton);
        ASSERT_TRUE(WaitUntil([&] { return !dialog.ScanRunning(); }, 90000));
        const std::string result = MessageBox::Last().text;
        EXPECT_NE(result.find(port + ": Addr="), std::string::npos) << result;
        const QRegularExpressionMatch found =
            QRegularExpression("Addr=(\\d+);").match(QString::fromStdString(result));
        ASSERT_TRUE(found.hasMatch()) << result;
        foundAddress = found.captured(1).toInt();

        CZorSetsView* panel = dialog.DevicePanel();
        panel->AddressField()->setValue(foundAddress);
        emit panel->AddressField()->editingFinished();
        QTest::mouseClick(panel->TestLinkButton(), Qt::LeftButton);
        ASSERT_TRUE(WaitUntil([&] { return !panel->TestRunning(); }, 15000));
        ASSERT_TRUE(WaitUntil(
            [&] { return dialog.StatusText()->text().endsWith("Link state: Ok."); }, 5000))
            << ToStdString(dialog.StatusText()->text());

        QTest::mouseClick(dialog.StartButton(), Qt::LeftButton);
        ASSERT_TRUE(
            WaitUntil([&] { return dialog.StatusText()->text().contains("Online and Ok"); }, 15000))
            << ToStdString(dialog.StatusText()->text());
        EXPECT_FALSE(test::SaveScreenshot(dialog, "setup-link-dialog").isEmpty());
        QTest::mouseClick(dialog.findChild<QPushButton*>("OK"), Qt::LeftButton);
    }

    // "Device Type" and "Read Params From Device" off the GUI thread, rename, colour, OK.
    void DriveDeviceDialog(CZorDevDlg& dialog) {
        QTest::mouseClick(dialog.DeviceTypeButton(), Qt::LeftButton);
        EXPECT_EQ(dialog.DeviceTypeButton()->text(), "Device Type: (wait ...)");
        ASSERT_TRUE(WaitUntil([&] { return !dialog.Busy(); }, 15000));
        EXPECT_TRUE(dialog.DeviceTypeButton()->text().contains("5.1.0.0"))
            << ToStdString(dialog.DeviceTypeButton()->text());
        EXPECT_TRUE(dialog.SensorFields()->isVisible());

        QTest::mouseClick(dialog.ReadParamsButton(), Qt::LeftButton);
        EXPECT_EQ(dialog.ReadParamsButton()->text(), "Read Params From Device (...)");
        ASSERT_TRUE(WaitUntil([&] { return !dialog.Busy(); }, 15000));
        EXPECT_EQ(dialog.ReadParamsButton()->text(), "Read Params From Device (OK)");
        EXPECT_EQ(dialog.ThreshLowEdit()->text(), "500");
        EXPECT_EQ(dialog.ThreshHiEdit()->text(), "10000");
        EXPECT_EQ(dialog.SerialEdit()->text(), "ZOR-0815");

        dialog.NameEdit()->setText("Harbour-East");
        test::OnNextModal<QColorDialog>([](QColorDialog& chooser) {
            chooser.setCurrentColor(QColor(10, 20, 200));
            chooser.accept();
        });
        QTest::mouseClick(dialog.ColorButton(), Qt::LeftButton);
        EXPECT_FALSE(test::SaveScreenshot(dialog, "setup-device-dialog").isEmpty());
        QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
    }

    test::TempDir home;
    HeadlessDispatcher dispatcher;  // never started: nothing of the engine runs by itself
    std::unique_ptr<UiPort> ui;
    CDeviceGate gate;
    ZorDeviceFactory factory;
    CDeviceRegistry registry{gate, factory};
    ZorDeviceKindOps ops;
    CIni settingsIni;
    std::unique_ptr<CManagerEngine> engine;
    EngineHooks hooks;
    CLog webLog;
    CLog deviceLog;
    std::unique_ptr<CZorDevsView> view;
    std::vector<bool> modal;
    int foundAddress = 0;
};

TEST_F(DeviceSetupTest, ANewDeviceIsSetUpEndToEndFromTheList) {
    test::SimProcess sim({"--pty", "--no-tcp", "--sensor",
                          "addr=23,type=5.1.0.0,devnum=ZOR-0815,value=120,"
                          "param.MinSigThr=500,param.MaxSigThr=10000"});
    ASSERT_TRUE(sim.Ready());
    TavCommunication::CComPortCtrl::SetPortLister([&](std::vector<std::string>& ports) {
        ports = {sim.ptyPath};
        return 1;
    });

    // Add: the new device's link dialog opens.
    test::OnNextModal<CZorSetsDlg>(
        [&](CZorSetsDlg& dialog) {
            DriveLinkDialog(dialog, sim.ptyPath);
            WaitUntil([&] { return !dialog.Busy(); }, 20000);
            if (dialog.isVisible()) {
                dialog.reject();  // a failed step leaves the test, not a dialog open
            }
        },
        10000);
    view->ButtonCommand(0);
    ASSERT_EQ(registry.GetCount(), 1u);
    auto device = std::dynamic_pointer_cast<CZorDevice>(registry.GetDevice(0));
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(foundAddress, 23);
    ZorDeviceCfg cfg;
    device->GetZorSettings(cfg);
    EXPECT_EQ(cfg.sLinkType, kLinkTypeCom);
    EXPECT_EQ(cfg.comPort.sPortName, sim.ptyPath);
    EXPECT_EQ(cfg.params.Address(), 23);
    EXPECT_TRUE(cfg.bScanning);

    // Settings of the selected row: the device dialog.
    view->List()->selectRow(0);
    test::OnNextModal<CZorDevDlg>(
        [&](CZorDevDlg& dialog) {
            DriveDeviceDialog(dialog);
            WaitUntil([&] { return !dialog.Busy(); }, 20000);
            if (dialog.isVisible()) {
                dialog.reject();
            }
        },
        10000);
    view->ButtonCommand(2);
    EXPECT_EQ(modal, (std::vector<bool>{true, false, true, false}));

    // The list shows the device under its new name in its colour, polling the sensor.
    EXPECT_EQ(device->GetName(), "Harbour-East");
    device->GetZorSettings(cfg);
    EXPECT_EQ(cfg.crColor, 10u | (20u << 8) | (200u << 16));
    EXPECT_EQ(cfg.params.Address(), 23);
    EXPECT_TRUE(cfg.bScanning);
    const std::time_t configured = std::time(nullptr);
    ASSERT_TRUE(WaitUntil(
        [&] {
            view->PostUpdate();
            return view->Model().rowCount() == 1 &&
                   view->Model().Row(0).cells[kColStatus].find("Online and Ok") !=
                       std::string::npos &&
                   device->GetLastPollTime() >= configured;
        },
        20000))
        << view->Model().Row(0).cells[kColStatus];
    EXPECT_EQ(view->Model().Row(0).cells[kColSensor], "Harbour-East");
    EXPECT_EQ(view->Model().index(0, kColSensor).data(Qt::ForegroundRole).value<QColor>(),
              QColor(10, 20, 200));
    EXPECT_FALSE(test::SaveScreenshot(*view, "setup-device-list").isEmpty());

    // Its settings section is due to be written.
    EXPECT_TRUE(engine->IsConfigChanged());
}

}  // namespace
}  // namespace zm
