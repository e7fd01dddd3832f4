// The wait window: requested state applied by the window, its layout rule, Cancel, and
// a working thread that drives it while the GUI thread runs its event loop.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <atomic>
#include <thread>

#include "ui/common/WaitDlg.h"

namespace zm {
namespace {

// Long enough for several passes of the 10 ms timer.
void LetItApply() {
    QTest::qWait(60);
}

TEST(WaitDlgTest, BarPositionBeforeStartHasNoEffect) {
    CWaitDlg wait;
    wait.SetBar(true, false, 1);
    wait.SetBarPos(50, 1);
    ASSERT_TRUE(wait.Start());
    LetItApply();
    ASSERT_NE(wait.Window(), nullptr);
    EXPECT_EQ(wait.Window()->Bar(1)->value(), 0);
    EXPECT_TRUE(wait.Window()->Bar(1)->isVisible());
    wait.Stop();
    EXPECT_EQ(wait.Window(), nullptr);
}

TEST(WaitDlgTest, BarPositionsAboveTheTopOrNegativeShowAFullBar) {
    CWaitDlg wait;
    wait.SetBar(true, false, 1);
    ASSERT_TRUE(wait.Start());
    const struct {
        int requested, shown;
    } cases[] = {{40, 40}, {250, 100}, {-5, 100}, {0, 0}, {100, 100}};
    for (const auto& c : cases) {
        wait.SetBarPos(c.requested, 1);
        LetItApply();
        EXPECT_EQ(wait.Window()->Bar(1)->value(), c.shown) << c.requested;
    }
}

TEST(WaitDlgTest, HeightFollowsTheLinesAndWidthTheLongestLineButNotBelowTheMinimum) {
    CWaitDlg wait;
    wait.SetBar(true, false, 1);
    wait.SetTexts("one line", "Title");
    ASSERT_TRUE(wait.Start());
    LetItApply();
    CWaitDlgImpl* window = wait.Window();
    const int lineHeight = QFontMetrics(window->Message()->font()).lineSpacing();
    const int oneLine = window->height();
    // Bar shown, no Cancel: 25 + lines + 40.
    EXPECT_EQ(oneLine, 25 + lineHeight + 40);

    wait.SetTexts("first\nsecond\nthird", "Title");
    LetItApply();
    EXPECT_EQ(window->height(), oneLine + 2 * lineHeight);
    EXPECT_EQ(window->Message()->height(), 3 * lineHeight);

    const std::string longLine(120, 'W');
    wait.SetTexts(longLine, "Title");
    LetItApply();
    const int wide = window->width();
    EXPECT_GT(wide, 32 + QFontMetrics(window->Message()->font()).horizontalAdvance("WWWWWWWWWW"));

    wait.SetMinSize(300, 100);
    wait.SetTexts("short", "Title");
    LetItApply();
    EXPECT_LT(window->width(), wide);
    EXPECT_EQ(window->width(), 300);
    EXPECT_EQ(window->height(), 100);
}

TEST(WaitDlgTest, CancelIsReportedOnceAndCloseDoesNothingWithoutIt) {
    CWaitDlg wait;
    EXPECT_EQ(wait.CheckCancel(true), IWaitProgress::kNoCancel);  // no window yet
    ASSERT_TRUE(wait.Start());
    LetItApply();
    CWaitDlgImpl* window = wait.Window();
    EXPECT_FALSE(window->CancelButton()->isVisible());
    window->close();
    QTest::keyClick(window, Qt::Key_Escape);
    LetItApply();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(wait.CheckCancel(true), IWaitProgress::kNoCancel);

    wait.EnableCancel(true);
    LetItApply();
    ASSERT_TRUE(window->CancelButton()->isVisible());
    QTest::mouseClick(window->CancelButton(), Qt::LeftButton);
    EXPECT_EQ(wait.CheckCancel(true), IWaitProgress::kCancelPressed);
    EXPECT_EQ(wait.CheckCancel(true), IWaitProgress::kNoCancel);
    // With Cancel offered, a close request counts as Cancel and the window stays.
    window->close();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(wait.CheckCancel(false), IWaitProgress::kCancelPressed);
    EXPECT_EQ(wait.CheckCancel(true), IWaitProgress::kCancelPressed);
    EXPECT_EQ(wait.CheckCancel(true), IWaitProgress::kNoCancel);
}

TEST(WaitDlgTest, HideAndShowFollowTheRequest) {
    CWaitDlg wait;
    ASSERT_TRUE(wait.Start());
    LetItApply();
    wait.Hide();
    LetItApply();
    EXPECT_FALSE(wait.Window()->isVisible());
    wait.Show();
    LetItApply();
    EXPECT_TRUE(wait.Window()->isVisible());
}

TEST(WaitDlgTest, MovingBarSweepsBackAndForth) {
    CWaitDlg wait;
    wait.SetBar(true, true, 1);
    ASSERT_TRUE(wait.Start());
    QProgressBar* bar = wait.Window()->Bar(1);
    int low = 100, high = 0;
    for (int i = 0; i < 40; ++i) {
        QTest::qWait(15);
        low = std::min(low, bar->value());
        high = std::max(high, bar->value());
    }
    EXPECT_GT(high, low);
}

TEST(WaitDlgTest, AWorkingThreadDrivesTheWindowWhileTheGuiStaysResponsive) {
    CWaitDlg wait;
    std::atomic<bool> done{false};
    std::atomic<int> cancelSeen{-1};
    std::atomic<bool> sawWindow{false};
    std::thread worker([&] {
        wait.SetBar(true, false, 1);
        wait.EnableCancel(true);
        wait.Start();
        sawWindow = wait.CheckCancel(false) == IWaitProgress::kNoCancel;
        for (int step = 0; step <= 100 && cancelSeen < 0; step += 5) {
            wait.SetTexts("step " + std::to_string(step), "Working");
            wait.SetBarPos(step, 1);
            if (wait.CheckCancel(true) == IWaitProgress::kCancelPressed) {
                cancelSeen = step;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        wait.Stop();
        done = true;
    });
    // The GUI thread turns its event loop and presses Cancel once the window shows.
    bool pressed = false;
    for (int i = 0; i < 300 && !done; ++i) {
        QTest::qWait(10);
        if (!pressed && wait.Window() && wait.Window()->CancelButton()->isVisible()) {
            QTest::mouseClick(wait.Window()->CancelButton(), Qt::LeftButton);
            pressed = true;
        }
    }
    worker.join();
    EXPECT_TRUE(done);
    EXPECT_TRUE(sawWindow);
    EXPECT_TRUE(pressed);
    EXPECT_GE(cancelSeen.load(), 0);
    EXPECT_EQ(wait.Window(), nullptr);
}

}  // namespace
}  // namespace zm
