#include "ui/common/QtUiPort.h"

#include <gtest/gtest.h>

#include <QPointer>
#include <QTest>

#include "support/TempDir.h"
#include "ui/alarms/AlarmSound.h"
#include "ui/alarms/AlarmView.h"
#include "ui/alarms/AlarmWnd.h"
#include "ui/common/MessageBox.h"
#include "ui/common/SystemOpen.h"

namespace zm {
namespace {

AlarmPopupEntry Entry(const std::string& kind, const std::string& device) {
    AlarmPopupEntry entry;
    entry.kind = kind;
    entry.time = std::time(nullptr);
    entry.deviceName = device;
    entry.position = "1.000000°, 2.000000°";
    return entry;
}

class QtUiPortTest : public testing::Test {
  protected:
    void TearDown() override {
        MessageBox::ClearNextAnswers();
        SystemOpen::SetHandler({});
    }
    test::TempDir dir_;
    CIni ini_{dir_.file("settings.ini")};
    QWidget owner_;
};

TEST_F(QtUiPortTest, AlarmPopupIsCreatedHiddenAndShownOnlyWhenAsked) {
    CQtUiPort port(ini_, &owner_);
    EXPECT_EQ(port.AlarmWindow(), nullptr);
    port.ShowAlarm(Entry("ALARM", "Pier-2"), false);
    ASSERT_NE(port.AlarmWindow(), nullptr);
    EXPECT_FALSE(port.AlarmWindow()->isVisible());
    EXPECT_EQ(port.AlarmWindow()->parentWidget(), &owner_);
    port.ShowAlarm(Entry("ALARM", "Buoy-7"), true);
    EXPECT_TRUE(port.AlarmWindow()->isVisible());
    EXPECT_EQ(port.AlarmWindow()->View()->RowCount(), 2);
    EXPECT_EQ(port.AlarmWindow()->View()->LastDevice(), "Buoy-7");
}

TEST_F(QtUiPortTest, ClosedAlarmPopupIsForgottenAndReopensAtItsPlace) {
    CQtUiPort port(ini_, &owner_);
    port.ShowAlarm(Entry("ALARM", "Pier-2"), true);
    QPointer<CAlarmWnd> first = port.AlarmWindow();
    first->setGeometry(QRect(60, 70, 430, 370));
    port.CloseAlarmPopup();
    QTRY_VERIFY(first.isNull());
    EXPECT_EQ(port.AlarmWindow(), nullptr);

    port.ShowAlarm(Entry("ALARM", "Pier-2"), true);
    ASSERT_NE(port.AlarmWindow(), nullptr);
    EXPECT_EQ(port.AlarmWindow()->geometry(), QRect(60, 70, 430, 370));
    EXPECT_EQ(port.AlarmWindow()->View()->RowCount(), 1);  // a new window, a new list
}

TEST_F(QtUiPortTest, ConnectionLostPopupFollowsLostAndRestoredDevices) {
    CQtUiPort port(ini_, &owner_);
    port.ShowConnectionRestored("Pier-2");  // nothing to do without a popup
    port.ShowConnectionLost(Entry("CONNECTION LOST", "Pier-2"));
    QPointer<CConnWnd> wnd = port.ConnectionLostWindow();
    ASSERT_FALSE(wnd.isNull());
    EXPECT_TRUE(wnd->isVisible());
    EXPECT_EQ(wnd->View()->Title(), "!!! CONNECTION LOST !!!");
    port.ShowConnectionRestored("Pier-2");
    QTRY_VERIFY(wnd.isNull());
    EXPECT_EQ(port.ConnectionLostWindow(), nullptr);
}

TEST_F(QtUiPortTest, QuestionsSoundAndReportsGoToTheirWidgets) {
    CQtUiPort port(ini_, &owner_);
    MessageBox::SetNextAnswer(MsgResult::kNo);
    EXPECT_EQ(port.Ask("Save?", {MsgButtons::kYesNoCancel, MsgIcon::kQuestion}, MsgResult::kYes,
                       " - Close"),
              MsgResult::kNo);
    EXPECT_EQ(MessageBox::Last().caption, "ZorManager__All_Ver-Lang - Close");

    port.PlayAlarmSound();
    EXPECT_TRUE(port.Sound().IsPlaying());
    port.StopAlarmSound();
    EXPECT_FALSE(port.Sound().IsPlaying());
    QTRY_VERIFY_WITH_TIMEOUT(port.Sound().IsLoadFinished(), 10000);

    QString opened;
    SystemOpen::SetHandler([&](const QString& target) {
        opened = target;
        return true;
    });
    port.OpenReport("/var/log/report 1.txt");
    EXPECT_EQ(opened, "/var/log/report 1.txt");
}

}  // namespace
}  // namespace zm
