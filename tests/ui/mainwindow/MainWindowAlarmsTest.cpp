// The main window's share of the alarm lifecycle and of assistive tools: "Alarm
// history..." and "Repeat sound until acknowledged" as translated menu items that work the
// engine's switch, the clock's time in its accessible name, and popup menus among the
// application's accessible children while they are open.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include "mainwindow/MainWindowFixture.h"
#include "ui/alarms/AlarmHistoryWnd.h"
#include "ui/common/Accessibility.h"
#include "ui/support/FakeAlarmOperations.h"

namespace zm::test {
namespace {

class MainWindowAlarms : public MainWindowFixture {
  protected:
    MainWindowParts AlarmParts() {
        MainWindowParts parts;
        parts.alarms = &alarmOps;
        parts.deviceNames = [] { return std::vector<std::string>{"Pier-1"}; };
        parts.isAlarmSoundRepeat = [this] { return repeat; };
        parts.setAlarmSoundRepeat = [this](bool on) { repeat = on; };
        return parts;
    }
    static QStringList Items(QMenu* menu) {
        QStringList items;
        for (QAction* action : menu->actions()) {
            items << (action->isSeparator() ? QStringLiteral("-") : action->text());
        }
        return items;
    }
    FakeAlarmOperations alarmOps;
    bool repeat = false;
};

TEST_F(MainWindowAlarms, HistoryAndRepeatSoundAreMenuItemsThatWork) {
    WriteLanguage("Deutsch", {{"Menu", "tpMenu_RepeatSound", "Ton wiederholen"}});
    MakeWindow("Deutsch", AlarmParts());
    const QStringList file = Items(Menu("menuFile"));
    ASSERT_GE(file.size(), 3);
    EXPECT_EQ(file[2].toStdString(), "{Alarm &history...}");  // a gap, marked for the translator
    EXPECT_EQ(file[3], "-");
    const QStringList alarmsMenu = Items(Menu("menuAlarmActions"));
    ASSERT_GE(alarmsMenu.size(), 3);
    EXPECT_EQ(alarmsMenu[2].toStdString(), "Ton wiederholen");  // after "Play alert sound"
    Trigger("actionLanguage0");
    EXPECT_EQ(Items(Menu("menuFile"))[2].toStdString(), "Alarm &history...");
    EXPECT_EQ(Action("actionRepeatAlarmSound")->text().toStdString(),
              "Repeat sound until acknowledged");

    QAction* repeatItem = Action("actionRepeatAlarmSound");
    ASSERT_TRUE(repeatItem->isCheckable());
    EXPECT_FALSE(repeatItem->isChecked());
    Trigger("actionRepeatAlarmSound");
    EXPECT_TRUE(repeat);
    EXPECT_TRUE(repeatItem->isChecked());
    Trigger("actionRepeatAlarmSound");
    EXPECT_FALSE(repeat);
    EXPECT_FALSE(repeatItem->isChecked());

    Trigger("actionAlarmHistory");
    ASSERT_NE(window->AlarmHistory(), nullptr);
    EXPECT_TRUE(window->AlarmHistory()->isVisible());
    EXPECT_EQ(window->AlarmHistory()->DeviceBox()->count(), 2);  // all devices, Pier-1
    // Asked again, the one window comes to the front.
    CAlarmHistoryWnd* first = window->AlarmHistory();
    Trigger("actionAlarmHistory");
    EXPECT_EQ(window->AlarmHistory(), first);
    QTRY_VERIFY(!first->IsLoading());
}

TEST_F(MainWindowAlarms, WithoutTheLifecycleTheMenuIsAsDescribed) {
    MakeWindow();
    EXPECT_EQ(Action("actionAlarmHistory"), nullptr);
    EXPECT_EQ(Action("actionRepeatAlarmSound"), nullptr);
}

TEST_F(MainWindowAlarms, TheClockSaysTheTimeAndOpenPopupsAreAmongTheApplicationsChildren) {
    InstallAccessibleFactory();
    MakeWindow();
    window->ShowClock(" 09:41:07 ");
    QAccessibleInterface* clock = QAccessible::queryAccessibleInterface(window->Clock());
    ASSERT_NE(clock, nullptr);
    EXPECT_EQ(clock->text(QAccessible::Name).toStdString(), "Clock 09:41:07");
    window->ShowClock(" 09:41:08 ");
    EXPECT_EQ(clock->text(QAccessible::Name).toStdString(), "Clock 09:41:08");

    QAccessibleInterface* app = QAccessible::queryAccessibleInterface(qApp);
    ASSERT_NE(app, nullptr);
    auto childObjects = [app] {
        std::vector<QObject*> objects;
        for (int i = 0; i < app->childCount(); ++i) {
            QAccessibleInterface* child = app->child(i);
            objects.push_back(child ? child->object() : nullptr);
            if (child) {
                EXPECT_EQ(app->indexOfChild(child), i);
            }
        }
        return objects;
    };
    auto has = [](const std::vector<QObject*>& objects, QObject* object) {
        return std::find(objects.begin(), objects.end(), object) != objects.end();
    };
    EXPECT_TRUE(has(childObjects(), window.get()));

    QMenu popup(window.get());
    popup.addAction("First item");
    popup.addAction("Second item");
    popup.popup(window->mapToGlobal(QPoint(50, 50)));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&popup));
    const std::vector<QObject*> open = childObjects();
    ASSERT_TRUE(has(open, &popup));
    QAccessibleInterface* menu = QAccessible::queryAccessibleInterface(&popup);
    ASSERT_EQ(menu->childCount(), 2);
    EXPECT_EQ(menu->child(1)->text(QAccessible::Name).toStdString(), "Second item");
    popup.close();
    QTRY_VERIFY(!has(childObjects(), &popup));
    EXPECT_TRUE(has(childObjects(), window.get()));
}

}  // namespace
}  // namespace zm::test
