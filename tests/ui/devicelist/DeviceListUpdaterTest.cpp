#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QDir>
#include <QFontMetrics>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTableView>

#include "device/zor/ZorDevice.h"
#include "links/DeviceLink.h"
#include "plot/model/Plot2dModel.h"
#include "support/TempDir.h"
#include "ui/devicelist/DeviceListModel.h"
#include "ui/devicelist/DeviceListUpdater.h"
#include "ui/devicelist/DeviceTextSnapshots.h"
#include "ui/devicelist/DevsMenu.h"

namespace zm {
namespace {

class DeviceListUpdaterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "test_ui_devicelist";
        static char* argv[] = {name, nullptr};
        if (!qApp) {
            if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
                qputenv("QT_QPA_PLATFORM", "offscreen");
            }
            new QApplication(argc, argv);
        }
        for (int i = 1; i <= 3; ++i) {
            devices.push_back(Emulated("Emu-" + std::to_string(i), 0x0000C8u * uint32_t(i)));
        }
    }

    std::shared_ptr<CTavDevice> Emulated(const std::string& name, uint32_t color) {
        auto dev = std::make_shared<CZorDevice>(dir.file("Zor-Device.ini"), nullptr, name);
        ZorDeviceCfg cfg;
        dev->GetZorSettings(cfg);
        cfg.sName = name;
        cfg.crColor = color;
        cfg.sLinkType = kLinkTypeEmul;
        dev->SetZorSettings(cfg, true);
        dev->StopThreads();
        return dev;
    }

    test::TempDir dir;
    std::vector<std::shared_ptr<CTavDevice>> devices;
    CDeviceListModel model;
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
    CDeviceTextSnapshots snapshots;
    CPlot2dModel plot;
    CDeviceTrend trend{plot};
    CDeviceListUpdater updater{model, snapshots, &trend};
};

TEST_F(DeviceListUpdaterTest, RebuildsFirstThenUpdatesOnlyWhatChanged) {
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    DeviceListUpdateResult r = updater.Update(devices, false);
    EXPECT_TRUE(r.ran);
    EXPECT_TRUE(r.rebuilt);
    EXPECT_TRUE(r.fitWidths);
    EXPECT_TRUE(r.showList);
    EXPECT_EQ(reset.count(), 1);
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(plot.GetSeriesCount(0), 3);
    EXPECT_EQ(plot.GetSeries(0, 2)->name, "Emu-3");

    // Nothing changed: no rebuild, no width fitting.
    r = updater.Update(devices, false);
    EXPECT_FALSE(r.rebuilt);
    EXPECT_FALSE(r.fitWidths);

    // New data of one device: its row and its series change.
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    static_cast<CZorDevice&>(*devices[1]).Poll();
    r = updater.Update(devices, false);
    EXPECT_TRUE(r.fitWidths);
    ASSERT_GE(changed.count(), 1);
    for (const auto& signal : changed) {
        EXPECT_EQ(signal.at(0).toModelIndex().row(), 1);
    }
    EXPECT_GT(plot.GetSeries(0, 1)->count, 0);
    EXPECT_EQ(plot.GetSeries(0, 0)->count, 0);
    int points = plot.GetSeries(0, 1)->count;
    updater.Update(devices, false);  // the same block is not plotted twice
    EXPECT_EQ(plot.GetSeries(0, 1)->count, points);

    // The advanced mode changes the widths even without new texts... and shows more texts.
    r = updater.Update(devices, true);
    EXPECT_TRUE(r.fitWidths);
    EXPECT_FALSE(model.Row(0).cells[kColParameters].empty());
}

TEST_F(DeviceListUpdaterTest, ScreenshotOfTheRowsInATable) {
    for (int i = 0; i < 3; ++i) {
        static_cast<CZorDevice&>(*devices[size_t(i)]).Poll();
    }
    devices[2]->SetStatus(kDevNoConnection, "No connection");
    DeviceListUpdateResult r = updater.Update(devices, false);
    QTableView view;
    view.setModel(&model);
    view.setShowGrid(true);
    view.setSelectionBehavior(QAbstractItemView::SelectRows);
    view.verticalHeader()->hide();
    ASSERT_TRUE(r.fitWidths);
    QFontMetrics metrics(view.font());
    std::vector<int> widths = FitColumnWidths(model.Rows(), false, [&](const std::string& text) {
        return metrics.horizontalAdvance(QString::fromStdString(text));
    });
    for (int c = 0; c < kDevListColumns; ++c) {
        view.setColumnWidth(c, widths[size_t(c)]);
        view.setColumnHidden(c, widths[size_t(c)] == 0);
    }
    view.resize(900, 140);
    view.show();
    QApplication::processEvents();
    QString folder = QStringLiteral(ZM_TEST_BINARY_DIR "/artifacts/devicelist");
    QDir().mkpath(folder);
    EXPECT_TRUE(view.grab().save(folder + "/rows-three-emulated.png"));
    EXPECT_TRUE(view.isColumnHidden(kColLink));
}

TEST_F(DeviceListUpdaterTest, GuardsStopTheUpdate) {
    updater.Update(devices, false);
    devices[0]->SetName("Renamed");
    for (DeviceListGuards g :
         {DeviceListGuards{false, false, false}, DeviceListGuards{true, true, false},
          DeviceListGuards{true, false, true}}) {
        EXPECT_FALSE(updater.Update(devices, false, g).ran);
        EXPECT_EQ(model.Row(0).name, "Emu-1");
    }
    EXPECT_TRUE(updater.Update(devices, false).ran);
    EXPECT_EQ(model.Row(0).name, "Renamed");
    // A renamed device gets its series made anew under its new name.
    EXPECT_EQ(plot.GetSeries(0, 0)->name, "Renamed");
}

TEST_F(DeviceListUpdaterTest, RemovedDevicesAndAnEmptyList) {
    updater.Update(devices, false);
    devices.pop_back();
    updater.Invalidate();
    DeviceListUpdateResult r = updater.Update(devices, false);
    EXPECT_TRUE(r.rebuilt);
    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_EQ(plot.GetSeriesCount(0), 2);
    devices.clear();
    r = updater.Update(devices, false);
    EXPECT_FALSE(r.showList);
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(plot.GetSeriesCount(0), 0);
}

}  // namespace
}  // namespace zm
