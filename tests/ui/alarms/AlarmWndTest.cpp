#include "ui/alarms/AlarmWnd.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "base/Ini.h"
#include "support/TempDir.h"
#include "ui/alarms/AlarmView.h"
#include "ui/alarms/FlashImage.h"
#include "ui/common/Label.h"
#include "ui/common/MessageBox.h"
#include "ui/common/Placement.h"
#include "ui/common/SystemOpen.h"
#include "ui/support/NamedControls.h"
#include "ui/support/Screenshot.h"

namespace zm {
namespace {

AlarmPopupEntry Entry(const std::string& kind, const std::string& device, std::time_t time,
                      const std::string& report = {}) {
    AlarmPopupEntry entry;
    entry.kind = kind;
    entry.time = time;
    entry.deviceName = device;
    entry.position = "59.437000°, 24.753600°";
    entry.reportPath = report;
    return entry;
}

std::time_t LocalTime(int hour, int minute, int second) {
    std::tm local{};
    local.tm_year = 2026 - 1900;
    local.tm_mon = 4;
    local.tm_mday = 14;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    return std::mktime(&local);
}

class AlarmWndTest : public testing::Test {
  protected:
    void SetUp() override { MessageBox::ClearNextAnswers(); }
    void TearDown() override {
        MessageBox::ClearNextAnswers();
        SystemOpen::SetHandler({});
    }
    test::TempDir dir_;
    CIni ini_{dir_.file("settings.ini")};
};

TEST_F(AlarmWndTest, ThreeAlarmsOfTwoDevicesGiveNumberedRowsAndTheLastDevice) {
    CAlarmWnd wnd(ini_);
    EXPECT_EQ(wnd.windowTitle(), "Zor Alarm");
    EXPECT_EQ(wnd.View()->Title(), "NO ALARMS");
    wnd.AddEntry(Entry("ALARM", "Pier-2", LocalTime(8, 30, 0), "/logs/a.txt"));
    wnd.AddEntry(Entry("ALARM", "Buoy-7", LocalTime(8, 31, 5)));
    wnd.AddEntry(Entry("ALARM", "Pier-2", LocalTime(14, 2, 9)));
    wnd.ShowAndRaise();

    const CAlarmView& view = *wnd.View();
    EXPECT_EQ(view.Title(), "!!! ALARM !!!");
    EXPECT_EQ(view.LastDevice(), "Pier-2");
    ASSERT_EQ(view.RowCount(), 3);
    const char* expected[3][5] = {
        {"1", "Pier-2", "08:30:00", "59.437000°, 24.753600°", "/logs/a.txt"},
        {"2", "Buoy-7", "08:31:05", "59.437000°, 24.753600°", ""},
        {"3", "Pier-2", "14:02:09", "59.437000°, 24.753600°", ""}};
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column <= CAlarmView::kColPath; ++column) {
            EXPECT_EQ(view.Cell(row, CAlarmView::Column(column)),
                      QString::fromUtf8(expected[row][column]))
                << row << "," << column;
        }
    }
    QTableWidget* list = wnd.findChild<QTableWidget*>("alarmList");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->horizontalHeaderItem(0)->text(), "No:");
    EXPECT_EQ(list->horizontalHeaderItem(1)->text(), "Sensor:");
    EXPECT_EQ(list->horizontalHeaderItem(2)->text(), "Time:");
    EXPECT_EQ(list->horizontalHeaderItem(3)->text(), "Positions:");
    EXPECT_EQ(list->horizontalHeaderItem(4)->text(), "Log file path");
    // At least the described 150 pixels, and wide enough that the position stands whole.
    EXPECT_GE(list->columnWidth(3), 150);
    EXPECT_GE(list->columnWidth(3),
              list->fontMetrics().horizontalAdvance(list->item(0, 3)->text()));
    EXPECT_GE(list->columnWidth(1),
              list->fontMetrics().horizontalAdvance(list->item(0, 1)->text()));
    EXPECT_EQ(list->item(0, 3)->textAlignment(), int(Qt::AlignCenter));
    EXPECT_FALSE(test::SaveScreenshot(wnd, "alarm-window").isEmpty());
}

TEST_F(AlarmWndTest, TitleAndImageReachAccessibilityTools) {
    CAlarmWnd wnd(ini_);
    wnd.AddEntry(Entry("ALARM", "Pier-2", LocalTime(8, 30, 0)));
    QAccessibleInterface* title = QAccessible::queryAccessibleInterface(wnd.View()->TitleLabel());
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->role(), QAccessible::StaticText);
    EXPECT_EQ(title->text(QAccessible::Name), "!!! ALARM !!!");
    QAccessibleInterface* image = QAccessible::queryAccessibleInterface(wnd.View()->Image());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->role(), QAccessible::Graphic);
    EXPECT_EQ(image->text(QAccessible::Name), "!!! ALARM !!!");
    EXPECT_EQ(test::UnnamedControls(wnd), QStringList());
    for (const char* name : {"alarmTitle", "alarmImage", "lastDeviceField", "resetHistoryButton",
                             "saveToLogCheck", "alarmList"}) {
        EXPECT_NE(wnd.findChild<QWidget*>(name), nullptr) << name;
    }
}

TEST_F(AlarmWndTest, ResetAsksAndOnlyOkClearsTheHistory) {
    CAlarmWnd wnd(ini_);
    wnd.AddEntry(Entry("ALARM", "Pier-2", LocalTime(8, 30, 0)));
    wnd.AddEntry(Entry("ALARM", "Buoy-7", LocalTime(8, 31, 0)));
    QPushButton* reset = wnd.findChild<QPushButton*>("resetHistoryButton");
    ASSERT_NE(reset, nullptr);
    EXPECT_EQ(reset->text(), "Reset history:");

    MessageBox::SetNextAnswer(MsgResult::kCancel);
    QTest::mouseClick(reset, Qt::LeftButton);
    const MessageBox::Record asked = MessageBox::Last();
    EXPECT_EQ(asked.text,
              "Really clear alarm history?\r\nThis will clear current log-file data as well!");
    EXPECT_EQ(asked.type.buttons, MsgButtons::kOkCancel);
    EXPECT_EQ(asked.type.icon, MsgIcon::kWarning);
    EXPECT_EQ(asked.caption, "ZorManager__All_Ver-Lang");
    EXPECT_EQ(wnd.View()->RowCount(), 2);
    EXPECT_EQ(wnd.View()->Title(), "!!! ALARM !!!");
    EXPECT_EQ(wnd.View()->LastDevice(), "Buoy-7");

    MessageBox::SetNextAnswer(MsgResult::kOk);
    QTest::mouseClick(reset, Qt::LeftButton);
    EXPECT_EQ(MessageBox::PendingAnswers(), 0);
    EXPECT_EQ(wnd.View()->RowCount(), 0);
    EXPECT_EQ(wnd.View()->Title(), "NO ALARMS");
    EXPECT_EQ(wnd.View()->LastDevice(), "");
    EXPECT_FALSE(wnd.View()->IsFlashing());
    // Numbering starts again after a reset.
    wnd.AddEntry(Entry("ALARM", "Buoy-7", LocalTime(9, 0, 0)));
    EXPECT_EQ(wnd.View()->Cell(0, CAlarmView::kColNumber), "1");
}

TEST_F(AlarmWndTest, FlashesSevenTimesAtFiftyMilliseconds) {
    CAlarmWnd wnd(ini_);
    CFlashImage* image = wnd.View()->Image();
    int lit = 0;
    int previous = image->CurrentSet();
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (image->CurrentSet() == 1 && previous == 0) {
            ++lit;
        }
        previous = image->CurrentSet();
    });
    probe.start(5);
    wnd.AddEntry(Entry("ALARM", "Pier-2", LocalTime(8, 30, 0)));
    EXPECT_TRUE(wnd.View()->IsFlashing());
    EXPECT_EQ(wnd.View()->FlashesLeft(), 7);
    QTRY_VERIFY_WITH_TIMEOUT(!wnd.View()->IsFlashing(), 3000);
    probe.stop();
    EXPECT_EQ(lit, 7);
    EXPECT_EQ(image->CurrentSet(), 0);
}

TEST_F(AlarmWndTest, SecondImageSetFollowsTheListOption) {
    {
        CAlarmWnd wnd(ini_);
        const CFlashImage& image = *wnd.View()->Image();
        EXPECT_EQ(image.SecondSetVariant(), 0);
        EXPECT_TRUE(wnd.View()->SaveToLogFile());  // bOpts[0] defaults to 1
        EXPECT_EQ(image.LampColour(1, 0), image.LampColour(1, 1));
    }
    ini_.WriteBool(CAlarmView::kOptionsSection, "bOpts[1]", true);
    ini_.WriteBool(CAlarmView::kOptionsSection, "bOpts[0]", false);
    CConnWnd wnd(ini_);
    const CFlashImage& image = *wnd.View()->Image();
    EXPECT_EQ(image.SecondSetVariant(), 1);
    EXPECT_FALSE(wnd.View()->SaveToLogFile());
    EXPECT_NE(image.LampColour(1, 0), image.LampColour(1, 1));
    EXPECT_NE(image.LampColour(0, 0), image.LampColour(1, 0));
}

TEST_F(AlarmWndTest, ClosingWritesPlacementAndOptionsAndReopensThere) {
    QPointer<CAlarmWnd> wnd = new CAlarmWnd(ini_);
    const QRect first = wnd->geometry();
    EXPECT_EQ(first.size(), QSize(CAlarmPopupWnd::kDefaultWidth, CAlarmPopupWnd::kDefaultHeight));
    wnd->ShowAndRaise();
    wnd->setGeometry(QRect(40, 50, 470, 380));
    wnd->findChild<QCheckBox*>("saveToLogCheck")->setChecked(false);
    wnd->close();
    QTRY_VERIFY(wnd.isNull());  // destroyed on close

    EXPECT_TRUE(ini_.IsKeyExist("AlarmWnd", "Window Placement"));
    EXPECT_EQ(ini_.GetDataBlock("AlarmWnd", "Window Placement", nullptr, 0), 44);
    EXPECT_FALSE(ini_.GetBool(CAlarmView::kOptionsSection, "bOpts[0]", true));
    EXPECT_FALSE(ini_.GetBool(CAlarmView::kOptionsSection, "bOpts[1]", true));
    EXPECT_TRUE(ini_.IsKeyExist(CAlarmView::kOptionsSection, "sTxtLog"));

    CAlarmWnd again(ini_);
    EXPECT_EQ(again.geometry(), QRect(40, 50, 470, 380));
    EXPECT_FALSE(again.View()->SaveToLogFile());
    // The connection-lost window keeps its own placement.
    CConnWnd other(ini_);
    EXPECT_EQ(other.geometry().size(),
              QSize(CAlarmPopupWnd::kDefaultWidth, CAlarmPopupWnd::kDefaultHeight));
}

TEST_F(AlarmWndTest, MalformedPlacementGivesTheDefault) {
    const WindowPlacement centred =
        CentredPlacement(CAlarmPopupWnd::kDefaultWidth, CAlarmPopupWnd::kDefaultHeight);
    WindowPlacement offScreen = centred;
    offScreen.left = offScreen.right = 20000;
    offScreen.right += 400;
    const auto offBytes = offScreen.ToBytes();
    struct Case {
        const char* name;
        std::vector<std::uint8_t> block;
    } cases[] = {
        {"short", std::vector<std::uint8_t>(40, 1)},
        {"long", std::vector<std::uint8_t>(48, 1)},
        {"empty rectangle", std::vector<std::uint8_t>(44, 0)},
        {"on no screen", std::vector<std::uint8_t>(offBytes.begin(), offBytes.end())},
    };
    for (const Case& c : cases) {
        ini_.WriteDataBlock("AlarmWnd", "Window Placement", c.block.data(), int(c.block.size()));
        CAlarmWnd wnd(ini_);
        EXPECT_EQ(wnd.geometry(), PlacementRect(centred)) << c.name;
    }
    ini_.WriteString("AlarmWnd", "Window Placement", "not hex");
    CAlarmWnd wnd(ini_);
    EXPECT_EQ(wnd.geometry(), PlacementRect(centred));
}

TEST_F(AlarmWndTest, DoubleClickOpensAnExistingReportOnly) {
    std::vector<QString> opened;
    SystemOpen::SetHandler([&](const QString& target) {
        opened.push_back(target);
        return true;
    });
    const std::string report = dir_.file("AlarmReport_1.txt");
    QFile file(QString::fromStdString(report));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    CAlarmWnd wnd(ini_);
    wnd.AddEntry(Entry("ALARM", "Pier-2", LocalTime(8, 30, 0), report));
    wnd.AddEntry(Entry("ALARM", "Pier-2", LocalTime(8, 31, 0), dir_.file("gone.txt")));
    wnd.ShowAndRaise();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&wnd));
    QTableWidget* list = wnd.View()->List();
    int dbl = 0;
    QObject::connect(list, &QTableWidget::cellDoubleClicked, [&] { ++dbl; });
    for (int row : {0, 1}) {
        const QRect cell = list->visualItemRect(list->item(row, 1));
        // A double click as the platform delivers it: press, release, press, double click.
        QTest::mousePress(list->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    }
    EXPECT_EQ(dbl, 2);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QString::fromStdString(report));
}

TEST_F(AlarmWndTest, ConnectionLostWindowClosesWithItsLastRow) {
    QPointer<CConnWnd> wnd = new CConnWnd(ini_);
    EXPECT_EQ(wnd->windowTitle(), "Zor Connection Lost");
    wnd->ShowAndRaise();
    wnd->AddEntry(Entry("CONNECTION LOST", "Pier-2", LocalTime(8, 30, 0)));
    wnd->AddEntry(Entry("CONNECTION LOST", "Buoy-7", LocalTime(8, 30, 1)));
    wnd->AddEntry(Entry("CONNECTION LOST", "Pier-2", LocalTime(8, 30, 2)));
    EXPECT_EQ(wnd->View()->Title(), "!!! CONNECTION LOST !!!");
    EXPECT_FALSE(test::SaveScreenshot(*wnd, "connection-lost-window").isEmpty());

    EXPECT_FALSE(wnd->RemoveDevice("Nobody"));
    EXPECT_FALSE(wnd->RemoveDevice("Pier-2"));  // the first row of Pier-2 only
    EXPECT_EQ(wnd->View()->RowCount(), 2);
    EXPECT_EQ(wnd->View()->Cell(0, CAlarmView::kColSensor), "Buoy-7");
    EXPECT_EQ(wnd->View()->Cell(1, CAlarmView::kColSensor), "Pier-2");
    EXPECT_FALSE(wnd->RemoveDevice("Buoy-7"));
    EXPECT_FALSE(wnd.isNull());
    EXPECT_TRUE(wnd->RemoveDevice("Pier-2"));
    QTRY_VERIFY(wnd.isNull());
    EXPECT_TRUE(ini_.IsKeyExist("ConnLostWnd", "Window Placement"));
}

}  // namespace
}  // namespace zm
