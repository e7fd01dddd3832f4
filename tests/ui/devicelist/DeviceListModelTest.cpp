#include <gtest/gtest.h>
#include <sys/socket.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QSignalSpy>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "device/zor/ZorDevice.h"
#include "links/DeviceLink.h"
#include "support/Loopback.h"
#include "support/TempDir.h"
#include "ui/devicelist/DeviceListModel.h"
#include "ui/devicelist/DeviceRow.h"
#include "ui/devicelist/DeviceTextSnapshots.h"

namespace zm {
namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "test_ui_devicelist";
    static char* argv[] = {name, nullptr};
    if (!qApp) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        new QApplication(argc, argv);
    }
    return *static_cast<QApplication*>(QApplication::instance());
}

DeviceRow Row(const std::string& name, int status, uint32_t color = 0x0000C8) {
    DeviceRow row;
    row.name = name;
    row.status = status;
    row.color = color;
    row.cells[kColSensor] = name;
    row.cells[kColStatus] = "status " + std::to_string(status);
    row.cells[kColPressure] = "-";
    return row;
}

class DeviceListModelTest : public ::testing::Test {
  protected:
    void SetUp() override { App(); }
    CDeviceListModel model;
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

TEST_F(DeviceListModelTest, RowsGrowShrinkAndReportOnlyChangedCells) {
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    EXPECT_TRUE(model.SetRows({Row("A", 1), Row("B", 0), Row("C", 5)}));
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.columnCount(), kDevListColumns);
    EXPECT_EQ(inserted.count(), 1);

    // The same rows again: nothing to report, no text changed.
    EXPECT_FALSE(model.SetRows({Row("A", 1), Row("B", 0), Row("C", 5)}));
    EXPECT_EQ(changed.count(), 0);

    // One cell of one row.
    DeviceRow b = Row("B", 0);
    b.cells[kColPosition] = "54.1°, 18.6°";
    EXPECT_TRUE(model.SetRows({Row("A", 1), b, Row("C", 5)}));
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).toModelIndex(), model.index(1, kColPosition));
    EXPECT_EQ(changed.at(0).at(1).toModelIndex(), model.index(1, kColPosition));

    // A colour change repaints the whole row but changes no text.
    changed.clear();
    EXPECT_FALSE(model.SetRow(0, Row("A", 1, 0x00FF00)));
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(1).toModelIndex().column(), kDevListColumns - 1);
    EXPECT_EQ(model.data(model.index(0, kColStatus), Qt::ForegroundRole).value<QColor>(),
              QColor(0, 255, 0));

    EXPECT_TRUE(model.SetRows({Row("A", 1)}));
    EXPECT_EQ(removed.count(), 1);
    EXPECT_EQ(model.rowCount(), 1);
    EXPECT_FALSE(model.SetRow(3, Row("X", 1)));
}

TEST_F(DeviceListModelTest, CellsAreTranslatedPlainTextWithColourAndStatusImage) {
    DeviceRow row = Row("<b>Pier</b> & Co", 5, 0x0000C8);
    model.SetRows({row});
    EXPECT_EQ(model.data(model.index(0, 0)).toString(), "<b>Pier</b> & Co");
    EXPECT_EQ(model.data(model.index(0, 0), Qt::ToolTipRole).toString(),
              "<p style='white-space:pre'>&lt;b&gt;Pier&lt;/b&gt; &amp; Co</p>");
    EXPECT_EQ(model.data(model.index(0, 1), Qt::ForegroundRole).value<QColor>(), QColor(200, 0, 0));
    EXPECT_FALSE(model.data(model.index(0, 0), Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_FALSE(model.data(model.index(0, 1), Qt::DecorationRole).isValid());
    EXPECT_EQ(model.data(model.index(0, 0), CDeviceListModel::kStatusRole).toInt(), 5);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), "Sensor");
    EXPECT_EQ(model.headerData(8, Qt::Horizontal).toString(), "Parameters");
    EXPECT_TRUE(model.flags(model.index(0, 0)) & Qt::ItemIsEditable);
    EXPECT_FALSE(model.flags(model.index(0, 1)) & Qt::ItemIsEditable);
}

TEST(DeviceListColumns, AdvancedOnlyAndLinkLocked) {
    for (int c = 0; c < kDevListColumns; ++c) {
        EXPECT_TRUE(IsDevListColumnShown(c, true));
        EXPECT_EQ(IsDevListColumnShown(c, false), c <= kColPosition) << c;
        EXPECT_EQ(IsLinkLockedColumn(c), c == kColLink || c == kColStatistics) << c;
    }
    EXPECT_EQ(DevListColumnText(kColStatistics), "Statistics");
}

class DeviceRowTest : public ::testing::Test {
  protected:
    void SetUp() override { App(); }

    std::shared_ptr<CZorDevice> Emulated(const std::string& name, uint32_t color) {
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
};

TEST_F(DeviceRowTest, ThreeEmulatedDevicesGiveTheirRows) {
    std::vector<std::shared_ptr<CZorDevice>> devices = {
        Emulated("Emu-1", 0x0000C8), Emulated("Emu-2", 0x006400), Emulated("Emu-3", 0xC80000)};
    devices[1]->Poll();
    CDeviceTextSnapshots snapshots;
    std::mutex m;
    std::condition_variable cv;
    int ready = 0;
    snapshots.onReady = [&] {
        std::lock_guard lock(m);
        ++ready;
        cv.notify_all();
    };
    std::vector<DeviceRow> rows;
    for (auto& d : devices) {
        rows.push_back(ReadDeviceRow(*d, false, &snapshots));
    }
    EXPECT_EQ(rows[0].name, "Emu-1");
    EXPECT_EQ(rows[2].color, 0xC80000u);
    EXPECT_EQ(rows[1].status, devices[1]->GetStatus());
    EXPECT_FALSE(rows[1].cells[kColStatus].empty());
    EXPECT_NE(rows[0].cells[kColPosition].find("°"), std::string::npos);
    // Advanced columns are empty outside advanced mode, and nothing was asked for them.
    EXPECT_TRUE(rows[0].cells[kColParameters].empty());
    EXPECT_TRUE(rows[0].cells[kColLink].empty());

    // In advanced mode the parameters come at once, link texts once the worker read them.
    DeviceRow advanced = ReadDeviceRow(*devices[0], true, &snapshots);
    EXPECT_FALSE(advanced.cells[kColParameters].empty());
    {
        std::unique_lock lock(m);
        ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(10), [&] { return ready > 0; }));
    }
    advanced = ReadDeviceRow(*devices[0], true, &snapshots);
    EXPECT_EQ(advanced.cells[kColLink].rfind("EMUL", 0), 0u) << advanced.cells[kColLink];
    EXPECT_FALSE(advanced.cells[kColStatistics].empty());

    CDeviceListModel model;
    QAbstractItemModelTester tester(&model);
    model.SetRows(rows);
    EXPECT_EQ(model.data(model.index(2, 0)).toString(), "Emu-3");
}

TEST_F(DeviceRowTest, ReadingNeverWaitsForTheLink) {
    // A converter that accepts the connection and never answers: a poll holds the link
    // for the whole time-out.
    test::LoopbackSocket server(SOCK_STREAM);
    ASSERT_GE(server.fd(), 0);
    ASSERT_EQ(listen(server.fd(), 4), 0);
    auto dev = std::make_shared<CZorDevice>(dir.file("Zor-Device.ini"), nullptr, "Silent");
    dev->SetChannelLockPrefix("zdl-" + std::to_string(getpid()) + "-");
    dev->SetPauseBeforeExchangeMs(0);
    ZorDeviceCfg cfg;
    dev->GetZorSettings(cfg);
    cfg.sName = "Silent";
    cfg.sLinkType = kLinkTypeTcpIp;
    cfg.xSocket.sAddress = "127.0.0.1";
    cfg.xSocket.nPort = server.port();
    cfg.xSocket.nTimeOut = 2000;
    cfg.nPause = 0;
    dev->SetZorSettings(cfg, true);
    dev->StopThreads();

    std::atomic<bool> pollDone{false};
    std::thread poll([&] {
        dev->Poll();
        pollDone = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    CDeviceTextSnapshots snapshots;
    DeviceRow row = ReadDeviceRow(*dev, true, &snapshots);
    bool returnedDuringPoll = !pollDone;
    poll.join();
    EXPECT_TRUE(returnedDuringPoll);
    EXPECT_EQ(row.name, "Silent");
    EXPECT_TRUE(row.cells[kColLink].empty());  // not ready yet: shown empty
}

}  // namespace
}  // namespace zm
