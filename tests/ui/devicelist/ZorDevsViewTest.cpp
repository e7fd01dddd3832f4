// The device list view on real emulated ZOR devices in a real registry, with the engine's
// settings and switches (the engine itself is not started). Messages to the operator are
// answered in advance and recorded.
#include "ui/devicelist/ZorDevsView.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTest>
#include <QUrl>
#include <cmath>
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
#include "device/DeviceStatus.h"
#include "device/zor/ZorDevice.h"
#include "links/DeviceLink.h"
#include "plot/Plot2dView.h"
#include "support/TempDir.h"
#include "ui/common/Label.h"
#include "ui/common/LogView.h"
#include "ui/common/MessageBox.h"
#include "ui/common/SystemOpen.h"
#include "ui/devicelist/DeviceListModel.h"
#include "ui/devicelist/DeviceTrend.h"
#include "ui/devicelist/StatusIcons.h"
#include "ui/devicelist/SuppressDlg.h"
#include "ui/map/MapArea.h"
#include "ui/map/VoidView.h"
#include "ui/support/FakeAlarmOperations.h"
#include "ui/support/ModalDriver.h"
#include "ui/support/Screenshot.h"
#include "zor/ZorTestPeers.h"

namespace zm {
namespace {

const uint32_t kColors[] = {0x0000C8u, 0x006400u, 0xC80000u};  // red, green, blue (BGR)

// A page standing in for the embedded preview page: it writes the calls of its fly-to
// functions into its title.
constexpr const char* kMapPage = R"(<html><head><title>map</title><script>
var calls = [];
function note(c) { calls.push(c); document.title = 'calls:' + calls.join('|'); }
function flyToAllDevices() { note('all:' + arguments.length); }
function flyToSelectedDevices() { note('sel:' + Array.prototype.join.call(arguments, ',')); }
function flyTo(lat, lon, zoom) { note('to:' + lat + ',' + lon + ',' + zoom); }
</script></head><body>map</body></html>)";

class DevsViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetHomeRoot(home.folder());
        std::filesystem::create_directories(GetConfigFolder());
        MessageBox::ClearNextAnswers();
        MessageBox::InstallAsMessageSink();
        settingsIni.SetPathName(GetSettingsFilePath());
        ui = std::make_unique<HeadlessUiPort>();
        engine =
            std::make_unique<CManagerEngine>(dispatcher, *ui, gate, registry, ops, settingsIni);
        // The device log's folder is the month's log folder, where the data logs go too.
        std::filesystem::create_directories(GetLogFolder());
        deviceLog.SetFolder(GetLogFolder());
        ASSERT_TRUE(deviceLog.Open("DeviceLog", true));
        registry.SetContext(GetConfigFolder() + "Zor-Device.ini", nullptr, &deviceLog);
        engine->Settings().bHttpServ = false;
        engine->Settings().bMapView = false;
    }

    void TearDown() override {
        view.reset();
        registry.RemoveAllDevices();
        engine.reset();
        ui.reset();
        deviceLog.Close();
        EXPECT_EQ(MessageBox::PendingAnswers(), 0) << "a message the test expected was not shown";
        MessageBox::ClearNextAnswers();
        SetMessageSink({});
        SetHomeRoot({});
    }

    // An emulated device added as the operator's command would, then configured.
    std::shared_ptr<CZorDevice> AddEmulated(const std::string& name, uint32_t color,
                                            bool scanning = true) {
        auto device = std::dynamic_pointer_cast<CZorDevice>(registry.AddDevice(true));
        EXPECT_NE(device, nullptr);
        ZorDeviceCfg cfg;
        device->GetZorSettings(cfg);
        cfg.sName = name;
        cfg.crColor = color;
        cfg.sLinkType = kLinkTypeEmul;
        cfg.bScanning = scanning;
        cfg.nPause = 0;
        device->SetZorSettings(cfg, true);
        return device;
    }

    void MakeView(bool withDialogs = false) {
        DevsViewContext context;
        context.engine = engine.get();
        context.registry = &registry;
        context.webLog = &webLog;
        context.deviceLog = &deviceLog;
        context.updateKml = [this](CTavDevice* device) { kmlUpdates.push_back(device->GetName()); };
        context.forgetKml = [this](const std::string& name) { kmlForgotten.push_back(name); };
        context.logFolder = [] { return GetLogFolder(); };
        if (withAlarms) {
            context.alarms = &alarmOps;
            context.actor = {"duty-operator", ""};
        }
        if (withDialogs) {
            context.deviceDialog = [this](CZorDevice& device) {
                dialogs.push_back("device:" + device.GetName());
                return dialogAnswer;
            };
            context.linkDialog = [this](CZorDevice& device) {
                dialogs.push_back("link:" + device.GetName());
                return dialogAnswer;
            };
        }
        view = std::make_unique<CZorDevsView>(std::move(context));
        hooks.refreshViews = [this] {
            ++refreshes;
            view->Refresh();
        };
        engine->SetHooks(hooks);
        view->resize(1000, 640);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        view->Refresh();
    }

    void MakeThree() {
        devices.push_back(AddEmulated("Emu-1", kColors[0]));
        devices.push_back(AddEmulated("Emu-2", kColors[1]));
        devices.push_back(AddEmulated("Emu-3", kColors[2], false));
        MakeView();
    }

    void Select(std::initializer_list<int> rows) {
        view->List()->clearSelection();
        for (int row : rows) {
            view->List()->selectionModel()->select(
                view->Model().index(row, 0),
                QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }

    // The menu's items as they read: separators as "-", submenus with their items in [].
    static std::vector<std::string> Texts(QMenu* menu) {
        std::vector<std::string> texts;
        for (QAction* action : menu->actions()) {
            if (action->isSeparator()) {
                texts.push_back("-");
            } else if (action->menu()) {
                std::string sub = action->text().toStdString() + " [";
                for (QAction* inner : action->menu()->actions()) {
                    sub += inner->isSeparator() ? "-;" : inner->text().toStdString() + ";";
                }
                texts.push_back(sub + "]");
            } else {
                texts.push_back(action->text().toStdString());
            }
        }
        return texts;
    }
    std::vector<std::string> MenuTexts() {
        std::unique_ptr<QMenu> menu(view->CreateContextMenu(nullptr));
        return Texts(menu.get());
    }
    void Trigger(const char* objectName) {
        std::unique_ptr<QMenu> menu(view->CreateContextMenu(nullptr));
        QAction* action = menu->findChild<QAction*>(QString::fromLatin1(objectName));
        ASSERT_NE(action, nullptr) << objectName;
        action->trigger();
    }
    static bool Has(const std::vector<std::string>& texts, const std::string& text) {
        return std::find(texts.begin(), texts.end(), text) != texts.end();
    }

    std::string Cell(int row, int column) const {
        return view->Model().Row(row).cells[size_t(column)];
    }

    // The rows show what the devices say (status code and text): running devices change.
    bool RowsAgree() const {
        if (view->Model().rowCount() != int(registry.GetCount())) {
            return false;
        }
        for (int row = 0; row < view->Model().rowCount(); ++row) {
            auto device = registry.GetDevice(size_t(row));
            std::string text;
            const int status = device->GetStatus(&text);
            if (text.empty()) {
                text = DeviceStatusText(status);
            }
            const DeviceRow& r = view->Model().Row(row);
            if (r.status != status || r.cells[kColStatus] != text || r.name != device->GetName()) {
                return false;
            }
        }
        return true;
    }

    // Lets the devices' events reach the view as the engine's posted messages would.
    void Settle(int ms = 300) {
        QTest::qWait(ms);
        view->PostUpdate();
        QTest::qWait(20);
    }

    void WriteMapPage() {
        const std::string path = home.file("preview-embedded.html");
        QFile file(QString::fromStdString(path));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(kMapPage);
        file.close();
        webLog.OpenAddress(
            QUrl::fromLocalFile(QString::fromStdString(path)).toString().toStdString());
    }
    QString MapTitle() const {
        CLogView* viewer = view->MapPane()->Viewer();
        return viewer ? viewer->title() : QString();
    }

    test::TempDir home;
    HeadlessDispatcher dispatcher;  // never started: nothing of the engine runs by itself
    std::unique_ptr<UiPort> ui;     // the engine asks nothing in these tests
    CDeviceGate gate;
    ZorDeviceFactory factory;
    CDeviceRegistry registry{gate, factory};
    ZorDeviceKindOps ops;
    CIni settingsIni;
    std::unique_ptr<CManagerEngine> engine;
    EngineHooks hooks;
    CLog webLog;
    CLog deviceLog;
    test::FakeAlarmOperations alarmOps;
    bool withAlarms = false;
    std::unique_ptr<CZorDevsView> view;
    std::vector<std::shared_ptr<CZorDevice>> devices;
    std::vector<std::string> kmlUpdates;
    std::vector<std::string> kmlForgotten;
    std::vector<std::string> dialogs;
    bool dialogAnswer = true;
    int refreshes = 0;
};

TEST_F(DevsViewTest, ThreeDevicesShowTheirRowsColoursStatusesAndIcons) {
    MakeThree();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            view->UpdateList();
            // Past "Connecting...": the running ones have sent their first emulated data.
            const auto polled = [&](int row) {
                const int status = view->Model().Row(row).status;
                return status == kDevEmulation || status == kDevAlarm;
            };
            return RowsAgree() && polled(0) && polled(1);
        },
        10000));
    EXPECT_TRUE(view->List()->isVisible());
    EXPECT_FALSE(view->EmptyHint()->isVisible());
    ASSERT_EQ(view->Model().rowCount(), 3);
    for (int row = 0; row < 3; ++row) {
        const QModelIndex name = view->Model().index(row, kColSensor);
        EXPECT_EQ(name.data().toString().toStdString(), "Emu-" + std::to_string(row + 1));
        const QColor colour = name.data(Qt::ForegroundRole).value<QColor>();
        EXPECT_EQ(colour, QColor(int(kColors[row] & 0xFF), int((kColors[row] >> 8) & 0xFF),
                                 int((kColors[row] >> 16) & 0xFF)));
        // The row's icon is the status image of its code.
        const int status = view->Model().Row(row).status;
        const QImage icon = name.data(Qt::DecorationRole).value<QIcon>().pixmap(16).toImage();
        EXPECT_EQ(icon, DeviceStatusIcon(status).pixmap(16).toImage()) << "row " << row;
    }
    // The stopped device; the running emulated ones report emulated data (or an alarm
    // when the emulated signal lies in the corridor).
    EXPECT_EQ(Cell(2, kColStatus), "Monitoring OFF");
    EXPECT_EQ(view->Model().Row(2).status, kDevMonitoringOff);
    for (int row : {0, 1}) {
        const int status = view->Model().Row(row).status;
        EXPECT_TRUE(status == kDevEmulation || status == kDevAlarm) << Cell(row, kColStatus);
    }
    EXPECT_NE(Cell(0, kColPosition).find("°"), std::string::npos);
    // The columns: titles translated, the advanced ones hidden.
    EXPECT_EQ(view->Model().headerData(kColSealevel, Qt::Horizontal).toString(), "Sealevel");
    for (int c = 0; c < kDevListColumns; ++c) {
        EXPECT_EQ(view->List()->isColumnHidden(c), c >= kColLink) << c;
    }
    EXPECT_GE(view->List()->columnWidth(kColSensor),
              view->List()->fontMetrics().horizontalAdvance("Emu-1") + 35);
    EXPECT_EQ(view->Title()->LabelText(), "Control Panel");
    // One series per device in its colour, fed by the running devices.
    EXPECT_EQ(view->Plot()->Model().GetSeriesCount(0), 3);
    EXPECT_EQ(view->Plot()->Model().GetSeries(0, 1)->name, "Emu-2");
    EXPECT_TRUE(view->Plot()->Model().GetSeries(0, 1)->color == (PlotColor{0, 100, 0}));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            Settle(100);
            return view->Plot()->Model().GetSeries(0, 0)->count > 20;
        },
        10000));
    EXPECT_EQ(view->Plot()->Model().GetSeries(0, 2)->count, 0);
    EXPECT_FALSE(test::SaveScreenshot(*view, "devs-view-three-devices").isEmpty());
}

TEST_F(DevsViewTest, AdvancedModeShowsTheLinkColumnsAndGetStatusAndHidesThemAgain) {
    MakeThree();
    Select({0});
    EXPECT_FALSE(Has(MenuTexts(), "GetStatus"));
    engine->SetAdvancedMode(true, false);
    view->Refresh();
    for (int c = kColLink; c <= kColParameters; ++c) {
        EXPECT_FALSE(view->List()->isColumnHidden(c)) << c;
        EXPECT_GT(view->List()->columnWidth(c), 0) << c;
    }
    // The link-locked texts arrive from the worker.
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return Cell(0, kColLink).find("EMUL") != std::string::npos; }, 5000))
        << Cell(0, kColLink);
    EXPECT_FALSE(Cell(0, kColStatistics).empty());
    EXPECT_FALSE(Cell(0, kColParameters).empty());
    Select({0});
    EXPECT_TRUE(Has(MenuTexts(), "GetStatus"));
    EXPECT_FALSE(test::SaveScreenshot(*view, "devs-view-advanced").isEmpty());

    engine->SetAdvancedMode(false, false);
    view->Refresh();
    for (int c = kColLink; c <= kColParameters; ++c) {
        EXPECT_TRUE(view->List()->isColumnHidden(c)) << c;
    }
    Select({0});
    EXPECT_FALSE(Has(MenuTexts(), "GetStatus"));
}

TEST_F(DevsViewTest, RenamingToAnotherDevicesNameIsRefusedAndTheOldNameStays) {
    MakeThree();
    MessageBox::SetNextAnswer(MsgResult::kOk);  // the device's own refusal
    const int before = MessageBox::Count();
    // Through the in-place editor, as the operator types it.
    const QModelIndex first = view->Model().index(0, kColSensor);
    view->List()->setCurrentIndex(first);
    view->List()->edit(first);
    auto* editor = view->List()->findChild<QLineEdit*>("devsNameEditor");
    ASSERT_NE(editor, nullptr);
    // While the name is edited the list holds still.
    EXPECT_FALSE(view->UpdateList());
    editor->setText("Emu-2");
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor([&] { return MessageBox::Count() > before; }, 3000));
    EXPECT_NE(MessageBox::Last().text.find("'Emu-2'"), std::string::npos)
        << MessageBox::Last().text;
    QTest::qWait(50);
    EXPECT_EQ(devices[0]->GetName(), "Emu-1");
    EXPECT_EQ(Cell(0, kColSensor), "Emu-1");
    EXPECT_FALSE(engine->IsConfigChanged());
    EXPECT_TRUE(kmlForgotten.empty());

    // Another name is taken, trimmed; the old placemark goes. Markup stays text.
    EXPECT_TRUE(view->Rename(0, "  <b>Pier</b> & 9 "));
    EXPECT_EQ(devices[0]->GetName(), "<b>Pier</b> & 9");
    EXPECT_EQ(view->Model().index(0, 0).data().toString(), "<b>Pier</b> & 9");
    EXPECT_EQ(view->Plot()->Model().GetSeries(0, 0)->name, "<b>Pier</b> & 9");
    EXPECT_EQ(kmlForgotten, std::vector<std::string>{"Emu-1"});
    EXPECT_TRUE(engine->IsConfigChanged());
    Select({0});
    EXPECT_EQ(MenuTexts()[0], "\"<b>Pier</b> && 9\" => Settings ...");
    // The same name again changes nothing.
    EXPECT_FALSE(view->Rename(0, "<b>Pier</b> & 9"));
}

TEST_F(DevsViewTest, ContextMenuTextsWithOneAndWithThreeRowsSelected) {
    MakeThree();
    Select({1});
    EXPECT_EQ(MenuTexts(), (std::vector<std::string>{
                               "\"Emu-2\" => Settings ...", "\"Emu-2\" => Link Settings ...", "-",
                               "Start", "Stop", "-", "Add new device", "Remove this device", "-",
                               "Open Data Log [-;Update this list;]"}));
    Select({0, 1, 2});
    EXPECT_EQ(MenuTexts(), (std::vector<std::string>{"Multiple select (3):", "-", "Start", "Stop",
                                                     "-", "Add new device", "Remove devices"}));
    Select({});
    EXPECT_EQ(MenuTexts(), (std::vector<std::string>{"-", "Add new device"}));
}

TEST_F(DevsViewTest, AlarmCommandsShelveAcknowledgeAndTheRowShowsTheSuppression) {
    withAlarms = true;
    MakeThree();
    const std::int64_t alarm = alarmOps.Open("Emu-1");
    Select({0});
    auto enabled = [this](const char* name) {
        std::unique_ptr<QMenu> menu(view->CreateContextMenu(nullptr));
        QAction* action = menu->findChild<QAction*>(QString::fromLatin1(name));
        EXPECT_NE(action, nullptr) << name;
        return action && action->isEnabled();
    };
    EXPECT_TRUE(enabled("UM_ZOR_MENU_14"));   // Acknowledge alarm
    EXPECT_TRUE(enabled("UM_ZOR_MENU_15"));   // Shelve alarms...
    EXPECT_FALSE(enabled("UM_ZOR_MENU_16"));  // Unshelve
    EXPECT_TRUE(enabled("UM_ZOR_MENU_17"));   // Take out of service...
    EXPECT_FALSE(enabled("UM_ZOR_MENU_18"));  // Return to service

    // The dialog: OK only with a reason; the own number of minutes only with "Custom".
    bool checked = false;
    test::OnNextModal<CSuppressDlg>([&](CSuppressDlg& dialog) {
        QPushButton* ok = dialog.Buttons()->button(QDialogButtonBox::Ok);
        EXPECT_EQ(dialog.windowTitle(), "Shelve alarms");
        EXPECT_EQ(dialog.DurationBox()->count(), 5);
        EXPECT_FALSE(ok->isEnabled());
        EXPECT_FALSE(dialog.MinutesBox()->isEnabled());
        dialog.DurationBox()->setCurrentIndex(kShelveCustomChoice);
        EXPECT_TRUE(dialog.MinutesBox()->isEnabled());
        EXPECT_EQ(dialog.MinutesBox()->maximum(), 1440);
        dialog.DurationBox()->setCurrentIndex(2);  // 4 hours
        dialog.ReasonField()->setText("   ");
        EXPECT_FALSE(ok->isEnabled());
        dialog.ReasonField()->setText("  boom cleaning ");
        EXPECT_TRUE(ok->isEnabled());
        EXPECT_FALSE(test::SaveScreenshot(dialog, "shelve-dialog").isEmpty());
        checked = true;
        ok->click();
    });
    Trigger("UM_ZOR_MENU_15");
    EXPECT_TRUE(checked);
    QTRY_COMPARE(alarmOps.Calls().size(), size_t(1));
    EXPECT_EQ(alarmOps.Calls()[0].what, "shelve Emu-1 240 boom cleaning");
    EXPECT_EQ(alarmOps.Calls()[0].user, "duty-operator");
    EXPECT_FALSE(alarmOps.Calls()[0].onGuiThread);
    // The change reaches the row: its status says so and its image differs.
    QTRY_COMPARE(view->Model().Row(0).suppression, 1);
    EXPECT_NE(Cell(0, kColStatus).find("(shelved until "), std::string::npos)
        << Cell(0, kColStatus);
    EXPECT_TRUE(Cell(0, kColStatus).ends_with(": boom cleaning)")) << Cell(0, kColStatus);
    const QModelIndex sensor = view->Model().index(0, kColSensor);
    EXPECT_EQ(sensor.data(Qt::AccessibleDescriptionRole).toString().toStdString(), "Shelved");
    EXPECT_NE(view->Model()
                  .index(1, kColSensor)
                  .data(Qt::AccessibleDescriptionRole)
                  .toString()
                  .toStdString(),
              "Shelved");
    EXPECT_NE(sensor.data(Qt::DecorationRole).value<QIcon>().pixmap(16).toImage(),
              DeviceStatusIcon(view->Model().Row(0).status).pixmap(16).toImage());
    EXPECT_TRUE(enabled("UM_ZOR_MENU_16"));  // Unshelve now applies
    view->List()->resizeColumnsToContents();
    EXPECT_FALSE(test::SaveScreenshot(*view, "device-list-shelved").isEmpty());

    Trigger("UM_ZOR_MENU_14");
    QTRY_COMPARE(alarmOps.Calls().size(), size_t(2));
    EXPECT_EQ(alarmOps.Calls()[1].what, "ack " + std::to_string(alarm));
    QTRY_VERIFY(!enabled("UM_ZOR_MENU_14"));

    // Cancel sends nothing; Unshelve and a refused write are reported per device.
    test::OnNextModal<CSuppressDlg>([](CSuppressDlg& dialog) { dialog.reject(); });
    Trigger("UM_ZOR_MENU_17");
    QTest::qWait(50);
    EXPECT_EQ(alarmOps.Calls().size(), 2u);
    alarmOps.nextResult = alarms::OpResult::Fail(alarms::OpStatus::NotFound, "unknown device");
    MessageBox::SetNextAnswer(MsgResult::kOk);
    Trigger("UM_ZOR_MENU_16");
    QTRY_COMPARE(MessageBox::PendingAnswers(), 0);
    EXPECT_EQ(MessageBox::Last().text, "Not done for:\r\nEmu-1: unknown device");
    EXPECT_EQ(view->Model().Row(0).suppression, 1);
    Trigger("UM_ZOR_MENU_16");
    QTRY_COMPARE(view->Model().Row(0).suppression, 0);
    EXPECT_EQ(alarmOps.Calls().back().what, "unshelve Emu-1");
}

TEST_F(DevsViewTest, DataLogSubmenuListsTheDevicesDatesAndOpensTheDay) {
    MakeThree();
    // A day's data log, written by the device itself.
    devices[0]->Poll();
    ASSERT_TRUE(devices[0]->WriteDataLog(false));
    Select({0});
    std::unique_ptr<QMenu> menu(view->CreateContextMenu(nullptr));
    QMenu* logs = menu->findChild<QMenu*>("devsDataLogMenu");
    ASSERT_NE(logs, nullptr);
    ASSERT_EQ(logs->actions().size(), 3);
    const std::string date = logs->actions()[0]->text().toStdString();
    EXPECT_EQ(date.size(), 10u) << date;
    std::vector<QString> opened;
    SystemOpen::SetHandler([&](const QString& target) {
        opened.push_back(target);
        return true;
    });
    logs->actions()[0]->trigger();
    SystemOpen::SetHandler({});
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_TRUE(std::filesystem::exists(opened[0].toStdString())) << opened[0].toStdString();
    EXPECT_NE(opened[0].toStdString().find(date), std::string::npos);
}

TEST_F(DevsViewTest, MapPaneShowsThePanelWhileServerOrViewerIsOffAndFliesWhenShown) {
    WriteMapPage();
    MakeThree();
    ASSERT_NE(view->MapPane()->Panel(), nullptr);
    EXPECT_EQ(view->MapPane()->Panel()->Text(), "Embedded viewer is disabled");
    EXPECT_EQ(view->MapPane()->Viewer(), nullptr);
    for (auto [server, viewer] : {std::pair{false, true}, std::pair{true, false}}) {
        engine->Settings().bHttpServ = server;
        engine->Settings().bMapView = viewer;
        view->Refresh();
        EXPECT_FALSE(view->IsMapShown());
        for (auto rows : {std::vector<int>{}, std::vector<int>{0}, std::vector<int>{0, 1, 2}}) {
            view->List()->clearSelection();
            for (int r : rows) {
                view->List()->selectionModel()->select(
                    view->Model().index(r, 0),
                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
            }
            for (const std::string& text : MenuTexts()) {
                EXPECT_EQ(text.find("Fly to"), std::string::npos) << text;
            }
        }
    }
    // Both on: the map, and the fly-to items in their three forms.
    engine->Settings().bHttpServ = true;
    engine->Settings().bMapView = true;
    view->Refresh();
    ASSERT_TRUE(view->IsMapShown());
    ASSERT_TRUE(QTest::qWaitFor([&] { return MapTitle() == "map"; }, 10000))
        << MapTitle().toStdString();
    Select({});
    EXPECT_TRUE(Has(MenuTexts(), "Fly to all devices"));
    Select({2});
    EXPECT_TRUE(Has(MenuTexts(), "Fly to this device"));
    Select({0, 2});
    EXPECT_TRUE(Has(MenuTexts(), "Fly to devices"));
    Trigger("UM_ZOR_MENU_08");
    EXPECT_TRUE(QTest::qWaitFor([&] { return MapTitle() == "calls:sel:Emu-1,Emu-3"; }, 5000))
        << MapTitle().toStdString();
    // A double click on empty list space flies to all devices.
    const QPoint below(20, view->List()->viewport()->height() - 5);
    QTest::mouseDClick(view->List()->viewport(), Qt::LeftButton, {}, below);
    EXPECT_TRUE(QTest::qWaitFor([&] { return MapTitle() == "calls:sel:Emu-1,Emu-3|all:0"; }, 5000))
        << MapTitle().toStdString();
    // On a row: that device.
    const QRect second = view->List()->visualRect(view->Model().index(1, 1));
    QTest::mouseDClick(view->List()->viewport(), Qt::LeftButton, {}, second.center());
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return MapTitle() == "calls:sel:Emu-1,Emu-3|all:0|sel:Emu-2"; }, 5000))
        << MapTitle().toStdString();
    EXPECT_FALSE(test::SaveScreenshot(*view, "devs-view-map").isEmpty());
}

TEST_F(DevsViewTest, RemoveAsksAndSwitchesTheViewerOffAndOnAroundIt) {
    WriteMapPage();
    engine->Settings().bHttpServ = true;
    engine->Settings().bMapView = true;
    MakeThree();
    Select({1});
    MessageBox::SetNextAnswer(MsgResult::kNo);
    Trigger("UM_ZOR_MENU_11");
    EXPECT_EQ(MessageBox::Last().text, "Are you sure to delete this device?\r\n");
    EXPECT_EQ(MessageBox::Last().type.buttons, MsgButtons::kYesNo);
    EXPECT_EQ(MessageBox::Last().type.icon, MsgIcon::kWarning);
    EXPECT_EQ(registry.GetCount(), 3u);

    const int before = refreshes;
    MessageBox::SetNextAnswer(MsgResult::kYes);
    Trigger("UM_ZOR_MENU_11");
    EXPECT_EQ(refreshes - before, 2);  // off, then on again
    EXPECT_TRUE(engine->Settings().bMapView);
    ASSERT_EQ(registry.GetCount(), 2u);
    EXPECT_EQ(registry.GetDevice(1)->GetName(), "Emu-3");
    EXPECT_EQ(view->Model().rowCount(), 2);
    EXPECT_EQ(Cell(1, kColSensor), "Emu-3");
    EXPECT_EQ(view->Plot()->Model().GetSeriesCount(0), 2);
    EXPECT_EQ(view->Plot()->Model().GetSeries(0, 1)->name, "Emu-3");
    EXPECT_TRUE(engine->IsConfigChanged());
    EXPECT_TRUE(view->IsMapShown());

    // All of them: the hint takes the list's place.
    Select({0, 1});
    MessageBox::SetNextAnswer(MsgResult::kYes);
    view->ButtonCommand(1);
    EXPECT_EQ(registry.GetCount(), 0u);
    EXPECT_FALSE(view->List()->isVisible());
    EXPECT_TRUE(view->EmptyHint()->isVisible());
    devices.clear();
}

TEST_F(DevsViewTest, EmptyListHintAddsADeviceOnDoubleClickAndOpensItsLinkSettings) {
    MakeView(true);
    ASSERT_TRUE(view->EmptyHint()->isVisible());
    auto* hint = qobject_cast<QLabel*>(view->EmptyHint());
    ASSERT_NE(hint, nullptr);
    EXPECT_EQ(hint->text(),
              "\n\n Device list is empty. \n Double-Click here to add first device ... ");
    EXPECT_EQ(hint->palette().color(QPalette::Window), QColor(245, 245, 245));
    EXPECT_FALSE(test::SaveScreenshot(*view, "devs-view-empty").isEmpty());
    QTest::mouseDClick(hint, Qt::LeftButton, {}, QPoint(30, 30));
    ASSERT_TRUE(QTest::qWaitFor([&] { return registry.GetCount() == 1; }, 3000));
    const std::string name = registry.GetDevice(0)->GetName();
    EXPECT_EQ(name.rfind("Zor-", 0), 0u) << name;
    EXPECT_EQ(dialogs, std::vector<std::string>{"link:" + name});
    EXPECT_EQ(kmlUpdates, std::vector<std::string>{name});
    EXPECT_TRUE(engine->IsConfigChanged());
    EXPECT_TRUE(view->List()->isVisible());
    EXPECT_EQ(Cell(0, kColSensor), name);
    EXPECT_EQ(view->Plot()->Model().GetSeriesCount(0), 1);
}

TEST_F(DevsViewTest, WithoutTheDialogsSettingsSayTheyAreMissingAndChangeNothing) {
    MakeThree();
    Select({0, 1});
    MessageBox::SetNextAnswer(MsgResult::kOk);
    MessageBox::SetNextAnswer(MsgResult::kOk);
    const int before = MessageBox::Count();
    view->ButtonCommand(2);
    EXPECT_EQ(MessageBox::Count() - before, 2);
    EXPECT_EQ(MessageBox::Last().text, "This dialog is not available in this version.");
    EXPECT_FALSE(engine->IsConfigChanged());
    // Nothing selected: the toolbar's commands ask for a device.
    Select({});
    for (int offset : {1, 2}) {
        MessageBox::SetNextAnswer(MsgResult::kOk);
        view->ButtonCommand(offset);
        EXPECT_EQ(MessageBox::Last().text, "Please select the device!");
    }
    EXPECT_EQ(registry.GetCount(), 3u);
}

TEST_F(DevsViewTest, SettingsOfTheFirstSelectedDeviceAndTheMapFliesThere) {
    WriteMapPage();
    engine->Settings().bHttpServ = true;
    engine->Settings().bMapView = true;
    devices.push_back(AddEmulated("Emu-1", kColors[0]));
    devices.push_back(AddEmulated("Emu-2", kColors[1]));
    MakeView(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return MapTitle() == "map"; }, 10000));
    devices[1]->SetPosition(59.5, 24.75);
    Select({1, 0});
    MessageBox::SetNextAnswer(MsgResult::kOk);
    view->ButtonCommand(2);
    EXPECT_EQ(MessageBox::Last().text, "You can modify only first selected device!");
    EXPECT_EQ(dialogs, std::vector<std::string>{"device:Emu-1"});
    EXPECT_TRUE(engine->IsConfigChanged());
    EXPECT_TRUE(QTest::qWaitFor([&] { return MapTitle().startsWith("calls:to:"); }, 5000));
    Select({1});
    view->RunCommand(kMenuSettings);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return MapTitle().endsWith("to:59.500000,24.750000,14"); }, 5000))
        << MapTitle().toStdString();
}

TEST_F(DevsViewTest, StartStopAndTheStatusReport) {
    MakeThree();
    Select({0, 2});
    view->RunCommand(kMenuStop);
    EXPECT_FALSE(devices[0]->IsScanning());
    EXPECT_FALSE(devices[2]->IsScanning());
    EXPECT_TRUE(devices[1]->IsScanning());
    EXPECT_TRUE(engine->IsConfigChanged());
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            Settle(50);
            return Cell(0, kColStatus) == "Monitoring OFF";
        },
        5000));
    view->RunCommand(kMenuStart);
    EXPECT_TRUE(devices[0]->IsScanning());
    EXPECT_TRUE(devices[2]->IsScanning());
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            Settle(50);
            return Cell(2, kColStatus) != "Monitoring OFF";
        },
        10000));

    MessageBox::SetNextAnswer(MsgResult::kOk);
    view->RunCommand(kMenuGetStatus);
    const MessageBox::Record shown = MessageBox::Last();
    EXPECT_EQ(shown.type.icon, MsgIcon::kInformation);
    EXPECT_EQ(shown.text.rfind("Selected device(s):\r\n- Emu-1 status (since ", 0), 0u)
        << shown.text;
    EXPECT_NE(shown.text.find("\r\n- Emu-3 status (since "), std::string::npos) << shown.text;
    EXPECT_EQ(shown.text.find("Emu-2"), std::string::npos);
}

TEST_F(DevsViewTest, ANonFiniteValueAddsNoPoint) {
    // Three sensors on a simulated bus: one sends numbers, one a signal that is not a
    // number, one a number with a background that is not.
    test::SimProcess sim({"--tcp-port", "0", "--sensor", "addr=1,value=120", "--sensor",
                          "addr=2,source=list:nan", "--sensor", "addr=3,value=130,bkg=nan"});
    ASSERT_TRUE(sim.Ready());
    for (int address : {1, 2, 3}) {
        auto device = std::dynamic_pointer_cast<CZorDevice>(registry.AddDevice(true));
        ZorDeviceCfg cfg;
        device->GetZorSettings(cfg);
        cfg.sName = "Tcp-" + std::to_string(address);
        cfg.sLinkType = kLinkTypeTcpIp;
        cfg.xSocket.sAddress = "127.0.0.1";
        cfg.xSocket.nPort = sim.tcpPort;
        cfg.params.SetAddress(uint8_t(address));
        cfg.bScanning = true;
        cfg.nPause = 0;
        device->SetZorSettings(cfg, true);
        devices.push_back(device);
    }
    MakeView();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            Settle(100);
            return view->Plot()->Model().GetSeries(0, 0)->count >= 10 &&
                   devices[1]->GetRunningTotal() >= 10 && devices[2]->GetRunningTotal() >= 10;
        },
        15000))
        << devices[1]->GetRunningTotal() << " " << Cell(0, kColStatus) << " / "
        << Cell(1, kColStatus) << " " << devices[0]->GetTrackText();
    EXPECT_EQ(view->Plot()->Model().GetSeries(0, 1)->count, 0);
    EXPECT_EQ(view->Plot()->Model().GetSeries(0, 2)->count, 0);
    // The rows still show the devices' state.
    EXPECT_EQ(Cell(2, kColStatus), "Online and Ok");
    const PlotArray& ys = (*view->Plot()->Model().GetYArrays(0))[0];
    for (double y : ys) {
        EXPECT_TRUE(std::isfinite(y));
    }
}

TEST_F(DevsViewTest, TheTrendKeepsItsSettingsInTheViewsOwnSection) {
    MakeView();
    CIni ini(home.file("settings.ini"));
    view->SavePlotSettings(ini);
    // The device list's options: tips on, lines, hybrid auto-scaling, Y fitted, no controls.
    EXPECT_EQ(ini.GetString("ZorDevsView::m_pPlot2dView", "CPlot2dView", ""), "1;0;0;0;3;0;4;0;0");
    ini.WriteString("ZorDevsView::m_pPlot2dView", "CPlot2dView", "1;1;1;0;3;0;4;0;0");
    view->LoadPlotSettings(ini);
    EXPECT_EQ(view->Plot()->Model().Options().zeroLine, 1);
    EXPECT_EQ(view->Plot()->Model().Options().drawPoints, 1);
    // A text that does not parse gives the view's defaults back.
    ini.WriteString("ZorDevsView::m_pPlot2dView", "CPlot2dView", "x;y");
    view->LoadPlotSettings(ini);
    EXPECT_EQ(view->Plot()->Model().Options().zeroLine, 0);
    EXPECT_EQ(view->Plot()->Model().Options().showControls, 0);
}

}  // namespace
}  // namespace zm
