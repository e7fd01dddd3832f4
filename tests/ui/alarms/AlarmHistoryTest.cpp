// The alarm history window on an in-memory lifecycle: the filters become the query, the
// rows and the statistics arrive from the worker, and "Export CSV..." writes what is shown.
#include "ui/alarms/AlarmHistoryWnd.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTableWidget>
#include <QTest>

#include "support/TempDir.h"
#include "ui/alarms/AlarmTexts.h"
#include "ui/common/MessageBox.h"
#include "ui/support/FakeAlarmOperations.h"
#include "ui/support/Screenshot.h"

namespace zm {
namespace {

std::int64_t LocalSeconds(int year, int month, int day, int hour, int minute) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute)).toSecsSinceEpoch();
}

QString ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

class AlarmHistoryTest : public testing::Test {
  protected:
    void SetUp() override { MessageBox::ClearNextAnswers(); }
    void TearDown() override {
        CAlarmHistoryWnd::SetFileChooser({});
        MessageBox::ClearNextAnswers();
    }
    std::unique_ptr<CAlarmHistoryWnd> Make() {
        auto wnd = std::make_unique<CAlarmHistoryWnd>(
            ops, std::vector<std::string>{"Pier-1", "Buoy, \"North\""});
        wnd->setAttribute(Qt::WA_DeleteOnClose, false);
        return wnd;
    }
    test::TempDir dir;
    test::FakeAlarmOperations ops;
};

TEST_F(AlarmHistoryTest, FiltersBecomeTheQueryAndTheRowsArriveFromTheWorker) {
    const std::int64_t first = ops.Open("Pier-1", LocalSeconds(2026, 5, 3, 8, 0));
    ops.Acknowledge(first, {"anna", ""}, "boom laid out", nullptr);
    ops.Return(first);
    ops.Open("Buoy, \"North\"", LocalSeconds(2026, 5, 4, 23, 59));
    ops.Open("Pier-1", LocalSeconds(2026, 5, 5, 0, 0));  // the day after the range
    ops.statistics.total = 12;
    ops.statistics.perDay = {{"2026-05-03", 4}, {"2026-05-04", 8}};
    ops.statistics.maxPer10Minutes = 11;
    ops.statistics.floodShare = 0.25;
    ops.statistics.topDevices = {{"Pier-1", 9}, {"Buoy, \"North\"", 3}};

    auto wnd = Make();
    wnd->show();
    // The default: the last 30 days up to today, every device, statistics of 30 days.
    EXPECT_EQ(wnd->ToDate()->date(), QDate::currentDate());
    EXPECT_EQ(wnd->FromDate()->date().daysTo(wnd->ToDate()->date()), 29);
    EXPECT_EQ(wnd->DaysBox()->value(), 30);
    QTRY_VERIFY(!wnd->IsLoading());
    EXPECT_EQ(ops.statisticsDays, 30);

    wnd->FromDate()->setDate(QDate(2026, 5, 3));
    wnd->ToDate()->setDate(QDate(2026, 5, 4));
    QTest::mouseClick(wnd->findChild<QPushButton*>("historyShow"), Qt::LeftButton);
    EXPECT_EQ(wnd->StatusLabel()->text(), "Loading...");
    QTRY_VERIFY(!wnd->IsLoading());
    EXPECT_FALSE(ops.historyOnGuiThread);
    EXPECT_EQ(ops.lastQuery.from, LocalSeconds(2026, 5, 3, 0, 0));
    EXPECT_EQ(ops.lastQuery.to, LocalSeconds(2026, 5, 5, 0, 0));  // the last day whole
    EXPECT_EQ(ops.lastQuery.device, "");
    ASSERT_EQ(wnd->Rows().size(), 2u);
    EXPECT_EQ(wnd->StatusLabel()->text(), "2 alarms");

    const QAbstractItemModel* model = wnd->Table()->model();
    ASSERT_EQ(model->columnCount(), kHistColumns);
    QStringList titles;
    for (int c = 0; c < kHistColumns; ++c) {
        titles << model->headerData(c, Qt::Horizontal).toString();
    }
    EXPECT_EQ(titles.join("|"),
              "Id|Device|Opened|Returned|Duration|Maximum|State|Acknowledged by|When|Comment");
    auto cell = [&](int row, int column) { return model->index(row, column).data().toString(); };
    EXPECT_EQ(cell(0, kHistOpened), "2026-05-03 08:00:00");
    EXPECT_EQ(cell(0, kHistDuration).toStdString(), "01 minute");
    EXPECT_EQ(cell(0, kHistMaximum), "800.0");
    EXPECT_EQ(cell(0, kHistState), "Closed");
    EXPECT_EQ(cell(0, kHistAckedBy), "anna");
    EXPECT_EQ(cell(0, kHistComment), "boom laid out");
    EXPECT_EQ(cell(1, kHistState), "Active, not acknowledged");
    EXPECT_EQ(cell(1, kHistReturned), "");

    // One device; a range that ends before it begins asks nothing.
    wnd->DeviceBox()->setCurrentIndex(2);
    wnd->Reload();
    QTRY_VERIFY(!wnd->IsLoading());
    EXPECT_EQ(ops.lastQuery.device, "Buoy, \"North\"");
    EXPECT_EQ(wnd->Rows().size(), 1u);
    wnd->FromDate()->setDate(QDate(2026, 5, 6));
    MessageBox::SetNextAnswer(MsgResult::kOk);
    wnd->Reload();
    EXPECT_EQ(MessageBox::Last().text, "The date range is empty");
    EXPECT_EQ(ops.lastQuery.device, "Buoy, \"North\"");

    // The statistics as the operator reads them.
    const QTableWidget* stats = wnd->StatisticsTable();
    QStringList lines;
    for (int row = 0; row < stats->rowCount(); ++row) {
        lines << stats->item(row, 0)->text() + "=" + stats->item(row, 1)->text();
    }
    EXPECT_TRUE(lines.contains("Alarms in the period=12")) << lines.join("\n").toStdString();
    EXPECT_TRUE(lines.contains("Alarms per day=6.0"));
    EXPECT_TRUE(lines.contains("Largest count in any 10 minutes=11"));
    EXPECT_TRUE(lines.contains("10-minute intervals in flood (more than 10 alarms)=25.0 %"));
    EXPECT_TRUE(lines.contains("Devices with the most alarms=Pier-1 (9), Buoy, \"North\" (3)"));
    EXPECT_TRUE(lines.contains("Stale alarms (active for more than 24 h)=none"));
    wnd->resize(1000, 640);
    EXPECT_FALSE(test::SaveScreenshot(*wnd, "alarm-history").isEmpty());
}

TEST_F(AlarmHistoryTest, ExportWritesTheRowsShownAndSaysWhenItCannot) {
    ops.Open("Buoy, \"North\"", std::time(nullptr) - 3600);
    auto wnd = Make();
    QTRY_VERIFY(!wnd->IsLoading());
    ASSERT_EQ(wnd->Rows().size(), 1u);

    const QString path = QString::fromStdString(dir.file("history.csv"));
    QString proposed;
    CAlarmHistoryWnd::SetFileChooser([&](QWidget*, const QString& name) {
        proposed = name;
        return path;
    });
    QTest::mouseClick(wnd->ExportButton(), Qt::LeftButton);
    EXPECT_TRUE(proposed.endsWith(".csv")) << proposed.toStdString();
    const QString csv = ReadFile(path);
    EXPECT_EQ(csv, QString::fromStdString(alarms::HistoryCsv(wnd->Rows())));
    EXPECT_TRUE(csv.contains("\"Buoy, \"\"North\"\"\"")) << csv.toStdString();
    EXPECT_TRUE(wnd->StatusLabel()->text().endsWith(path));

    // A folder that is not there: the operator is told, nothing is claimed.
    const QString nowhere = QString::fromStdString(dir.file("missing/history.csv"));
    CAlarmHistoryWnd::SetFileChooser([&](QWidget*, const QString&) { return nowhere; });
    MessageBox::SetNextAnswer(MsgResult::kOk);
    QTest::mouseClick(wnd->ExportButton(), Qt::LeftButton);
    EXPECT_EQ(MessageBox::PendingAnswers(), 0);
    EXPECT_EQ(MessageBox::Last().type.icon, MsgIcon::kError);
    EXPECT_TRUE(MessageBox::Last().text.starts_with("Could not write the file"));
    EXPECT_FALSE(QFile::exists(nowhere));
    // Cancel in the file dialog writes nothing.
    CAlarmHistoryWnd::SetFileChooser([](QWidget*, const QString&) { return QString(); });
    QFile::remove(path);
    QTest::mouseClick(wnd->ExportButton(), Qt::LeftButton);
    EXPECT_FALSE(QFile::exists(path));
}

}  // namespace
}  // namespace zm
