// The alarm window on the alarm lifecycle: the state column, "Acknowledge" for the selected
// rows and "Acknowledge all", rows that flash until acknowledged, writes off the GUI thread.
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "base/Ini.h"
#include "support/TempDir.h"
#include "ui/alarms/AlarmView.h"
#include "ui/alarms/AlarmWnd.h"
#include "ui/alarms/AlarmWorker.h"
#include "ui/common/MessageBox.h"
#include "ui/support/FakeAlarmOperations.h"
#include "ui/support/Screenshot.h"

namespace zm {
namespace {

AlarmPopupEntry AlarmOf(const std::string& device) {
    AlarmPopupEntry entry;
    entry.kind = "ALARM";
    entry.time = 1000;
    entry.deviceName = device;
    entry.position = "59.437000°, 24.753600°";
    return entry;
}

class AlarmAcknowledgeTest : public testing::Test {
  protected:
    void SetUp() override {
        MessageBox::ClearNextAnswers();
        wnd = std::make_unique<CAlarmWnd>(ini);
        view = wnd->View();
        view->SetLifecycle(&ops, {"duty-operator", ""}, &worker);
    }
    void TearDown() override {
        worker.WaitForDone();
        wnd.reset();
        MessageBox::ClearNextAnswers();
    }
    // Waits for the worker's answers to arrive on this thread.
    void Settle() {
        worker.WaitForDone();
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
    void SelectRow(int row) {
        view->List()->clearSelection();
        view->List()->selectRow(row);
    }

    test::TempDir dir;
    CIni ini{dir.file("settings.ini")};
    test::FakeAlarmOperations ops;
    CAlarmWorker worker;
    std::unique_ptr<CAlarmWnd> wnd;
    CAlarmView* view = nullptr;
};

TEST_F(AlarmAcknowledgeTest, AcknowledgeTakesTheSelectedRowsOffTheGuiThreadAsTheOperator) {
    const std::int64_t pier = ops.Open("Pier-2");
    const std::int64_t buoy = ops.Open("Buoy-7");
    view->AddEntry(AlarmOf("Pier-2"));
    view->AddEntry(AlarmOf("Buoy-7"));
    wnd->ShowAndRaise();
    ASSERT_EQ(view->RowCount(), 2);
    EXPECT_EQ(view->AlarmIdOf(0), pier);
    EXPECT_EQ(view->AlarmIdOf(1), buoy);
    EXPECT_EQ(view->Cell(0, CAlarmView::kColState), "Active, not acknowledged");
    EXPECT_EQ(view->List()->horizontalHeaderItem(CAlarmView::kColState)->text(), "State:");
    // Shown second, so the state is read with the number.
    EXPECT_EQ(view->List()->horizontalHeader()->visualIndex(CAlarmView::kColState), 1);

    // Nothing selected: only "Acknowledge all" can act.
    view->List()->clearSelection();
    EXPECT_FALSE(view->AcknowledgeButton()->isEnabled());
    EXPECT_TRUE(view->AcknowledgeAllButton()->isEnabled());
    SelectRow(1);
    ASSERT_TRUE(view->AcknowledgeButton()->isEnabled());
    view->CommentField()->setText("diver checked the boom");
    QTest::mouseClick(view->AcknowledgeButton(), Qt::LeftButton);
    Settle();

    const auto calls = ops.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].what, "ack " + std::to_string(buoy) + " diver checked the boom");
    EXPECT_EQ(calls[0].user, "duty-operator");
    EXPECT_FALSE(calls[0].onGuiThread);
    EXPECT_EQ(view->Cell(1, CAlarmView::kColState), "Active, acknowledged");
    EXPECT_EQ(view->Cell(0, CAlarmView::kColState), "Active, not acknowledged");
    EXPECT_TRUE(view->CommentField()->text().isEmpty());
    // The acknowledged row no longer wants acknowledging.
    EXPECT_FALSE(view->AcknowledgeButton()->isEnabled());
    EXPECT_FALSE(test::SaveScreenshot(*wnd, "alarm-window-acknowledge").isEmpty());
}

TEST_F(AlarmAcknowledgeTest, UnacknowledgedRowsFlashUntilAcknowledgedAlsoAfterTheirReturn) {
    const std::int64_t first = ops.Open("Pier-2");
    view->AddEntry(AlarmOf("Pier-2"));
    const std::int64_t second = ops.Open("Buoy-7");
    view->AddEntry(AlarmOf("Buoy-7"));
    // The beacon's seven flashes end; the rows go on.
    QTest::qWait(1000);
    EXPECT_FALSE(view->IsFlashing());
    EXPECT_TRUE(view->IsRowFlashing());
    bool seenLit = false;
    bool seenDark = false;
    for (int i = 0; i < 30 && !(seenLit && seenDark); ++i) {
        QTest::qWait(100);
        seenLit = seenLit || view->IsRowLit(0);
        seenDark = seenDark || !view->IsRowLit(0);
        EXPECT_EQ(view->IsRowLit(0), view->IsRowLit(1));
    }
    EXPECT_TRUE(seenLit && seenDark);

    // Returned to normal unacknowledged: still flashing; acknowledged while active: dark.
    ops.Return(first);
    ops.Acknowledge(second, {"someone-at-the-api", "127.0.0.1"}, "", nullptr);
    QTest::qWait(10);
    QCoreApplication::processEvents();
    EXPECT_EQ(view->Cell(0, CAlarmView::kColState), "Returned, not acknowledged");
    EXPECT_EQ(view->Cell(1, CAlarmView::kColState), "Active, acknowledged");
    EXPECT_FALSE(view->IsRowLit(1));
    bool firstLit = false;
    for (int i = 0; i < 12 && !firstLit; ++i) {
        QTest::qWait(100);
        firstLit = view->IsRowLit(0);
        EXPECT_FALSE(view->IsRowLit(1));
    }
    EXPECT_TRUE(firstLit);

    QTest::mouseClick(view->AcknowledgeAllButton(), Qt::LeftButton);
    Settle();
    EXPECT_EQ(view->Cell(0, CAlarmView::kColState), "Closed");
    EXPECT_FALSE(view->IsRowFlashing());
    EXPECT_FALSE(view->IsRowLit(0));
    EXPECT_FALSE(view->AcknowledgeAllButton()->isEnabled());
}

TEST_F(AlarmAcknowledgeTest, ARefusedAcknowledgementIsShownAndTheRowKeepsItsState) {
    ops.Open("Pier-2");
    view->AddEntry(AlarmOf("Pier-2"));
    SelectRow(0);
    ops.nextResult = alarms::OpResult::Fail(alarms::OpStatus::BadInput, "comment too long");
    MessageBox::SetNextAnswer(MsgResult::kOk);
    view->AcknowledgeSelected();
    Settle();
    EXPECT_EQ(MessageBox::Last().text, "The alarm was not acknowledged: comment too long");
    EXPECT_EQ(view->Cell(0, CAlarmView::kColState), "Active, not acknowledged");
    EXPECT_TRUE(view->IsRowFlashing());
}

TEST_F(AlarmAcknowledgeTest, AnAlarmShownAgainKeepsItsOneRowAndConnectionLossHasNoLifecycle) {
    ops.Open("Pier-2");
    view->AddEntry(AlarmOf("Pier-2"));
    view->AddEntry(AlarmOf("Pier-2"));  // the same open alarm, shown again after a restart
    EXPECT_EQ(view->RowCount(), 1);
    EXPECT_NE(view->AlarmIdOf(0), 0);
    // A new alarm of the device is a row of its own.
    const std::int64_t next = ops.Open("Pier-2");
    view->AddEntry(AlarmOf("Pier-2"));
    ASSERT_EQ(view->RowCount(), 2);
    EXPECT_EQ(view->AlarmIdOf(1), next);

    CConnWnd lost(ini);
    EXPECT_FALSE(lost.View()->HasLifecycle());
    EXPECT_TRUE(lost.View()->List()->isColumnHidden(CAlarmView::kColState));
    EXPECT_FALSE(lost.View()->AcknowledgeButton()->isVisibleTo(&lost));
}

}  // namespace
}  // namespace zm
