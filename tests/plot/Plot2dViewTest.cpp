#include <gtest/gtest.h>

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "QtTestApp.h"
#include "base/Ini.h"
#include "plot/CoolEdit.h"
#include "plot/Plot2dArea.h"
#include "plot/Plot2dView.h"
#include "support/TempDir.h"

namespace zm {
namespace {

using A = CPlot2dCfg::Axis;

// The application exists before the fixture's widgets are built.
struct WithQtApp {
    WithQtApp() { test::EnsureQtApp(); }
};

class PlotView : public ::testing::Test, private WithQtApp {
  protected:
    void SetUp() override {
        view.resize(500, 360);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    }
    template <typename T>
    T* Child(const char* name) {
        return view.findChild<T*>(QString::fromLatin1(name));
    }
    void AddRamp(int points) {
        CPlot2dModel& m = view.Model();
        m.GetXArrays(0)->push_back({});
        m.GetYArrays(0)->push_back({});
        int index = int(m.GetXArrays(0)->size()) - 1;
        m.AddSeries(index, index, {0, 120, 0}, "ramp", true, -1, 0, 0);
        for (int i = 0; i < points; ++i) {
            m.AppendPoint(m.GetSeriesCount(0) - 1, i, i % 50, false, 0);
        }
        m.Rescale(true);
    }

    CPlot2dView view;
};

TEST_F(PlotView, EveryControlHasItsNameAndPlace) {
    for (const char* name :
         {"RECM_ST_SPECTRA", "RECM_EB_USRVALUE", "RECM_ST_XL", "RECM_ST_XR", "RECM_ST_YB",
          "RECM_ST_YT", "RECM_ST_SEP1", "RECM_ST_SEP2", "RECM_ST_HSCR", "RECM_ST_VSCR",
          "RECM_ST_PROGRESS", "RECM_SB_HORZ", "RECM_SB_VERT", "RECM_TOOLBAR"}) {
        EXPECT_NE(Child<QWidget>(name), nullptr) << name;
    }
    for (const char* name :
         {"SPECFRM_ZOOMINX", "SPECFRM_ZOOMOUTX", "SPECFRM_ZOOMINY", "SPECFRM_ZOOMOUTY",
          "SPECFRM_ZOOM1TO1", "SPECFRM_ZOOMFULL", "SPECFRM_AUTO_SCALE", "SPECFRM_LOCKCURSOR",
          "SPECFRM_SHOWCURSOR", "SPECFRM_SHOWPOINTS", "SPECFRM_XSCALE_105", "SPECFRM_YSCALE_OFF"}) {
        EXPECT_NE(Child<QAction>(name), nullptr) << name;
    }
    EXPECT_EQ(Child<QWidget>("RECM_ST_SPECTRA")->geometry(), QRect(6, 33, 500 - 28 - 6, 360 - 66));
    EXPECT_EQ(Child<QAction>("SPECFRM_ZOOMINX")->toolTip(), "Zoom in on X axis");
    EXPECT_EQ(Child<QLabel>("RECM_ST_XL")->toolTip(), "Left bound (click to edit limit)");
    EXPECT_EQ(Child<QWidget>("RECM_EB_USRVALUE")->toolTip(), "Enter new limit or ESC to cancel");
    EXPECT_EQ(Child<QLabel>("RECM_ST_XL")->text(), "-100.0");
    EXPECT_EQ(Child<QLabel>("RECM_ST_YT")->text(), "27000.0");
    EXPECT_EQ(Child<QWidget>("RECM_ST_SPECTRA")->accessibleName(), "Trend plot");
}

TEST_F(PlotView, ScrollBarsShowOnlyWhenThereIsSomethingToScroll) {
    auto* hBar = Child<QScrollBar>("RECM_SB_HORZ");
    auto* hPlace = Child<QFrame>("RECM_ST_HSCR");
    EXPECT_FALSE(hBar->isVisible());
    EXPECT_TRUE(hPlace->isVisible());
    view.Execute(PlotCommand::kZoomInX);
    EXPECT_TRUE(hBar->isVisible());
    EXPECT_FALSE(hPlace->isVisible());
    EXPECT_FALSE(Child<QScrollBar>("RECM_SB_VERT")->isVisible());
    // A scroll step moves the view and the label follows.
    double before = view.Model().Cfg().ViewMin(A::kX);
    hBar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_LT(view.Model().Cfg().ViewMin(A::kX), before);
    EXPECT_EQ(Child<QLabel>("RECM_ST_XL")->text().toStdString(),
              view.Model().BoundText(PlotBound::kXLeft));
    hBar->triggerAction(QAbstractSlider::SliderToMinimum);  // not a scroll code: ignored
    view.Execute(PlotCommand::kZoomFull);
    EXPECT_FALSE(hBar->isVisible());
}

TEST_F(PlotView, HidingTheControlsGivesTheWholeAreaToThePlot) {
    QTest::mouseClick(view.Area(), Qt::LeftButton, Qt::ShiftModifier | Qt::ControlModifier,
                      QPoint(50, 50));
    EXPECT_EQ(view.Model().Options().showControls, 0);
    EXPECT_EQ(view.Area()->geometry(), view.rect());
    EXPECT_FALSE(Child<QToolBar>("RECM_TOOLBAR")->isVisible());
    EXPECT_FALSE(Child<QLabel>("RECM_ST_XL")->isVisible());
    view.Execute(PlotCommand::kShowCtrls);
    EXPECT_TRUE(Child<QLabel>("RECM_ST_XL")->isVisible());

    // Options set by the owner take effect at the next change of the model.
    view.Model().SetDefaultOptions(1, 0, 0, 0, 3, 0, 4, 0, 0);
    view.Model().ApplyDefaults();
    view.Model().Rescale(true);
    EXPECT_EQ(view.Area()->geometry(), view.rect());

    // Shift+Ctrl with the right button switches the rulers.
    QTest::mouseClick(view.Area(), Qt::RightButton, Qt::ShiftModifier | Qt::ControlModifier,
                      QPoint(50, 50));
    EXPECT_TRUE(view.Model().Ruler().IsOn());
}

TEST_F(PlotView, EditingABoundWithTheKeyboard) {
    view.Model().SetXLimits(0, 1000, true);
    auto* label = Child<QLabel>("RECM_ST_XL");
    auto* edit = Child<CCoolEdit>("RECM_EB_USRVALUE");
    QTest::mouseClick(label, Qt::LeftButton);
    ASSERT_TRUE(edit->isVisible());
    EXPECT_FALSE(label->isVisible());
    EXPECT_EQ(edit->text(), "0.0");
    EXPECT_LT(view.Model().Options().autoMode, 0);  // auto-scaling switched off
    EXPECT_DOUBLE_EQ(edit->Model().Maximum(), 1000 - 10);

    // Up moves the bound live by the step of 100.
    QTest::keyClick(edit, Qt::Key_Up);
    EXPECT_DOUBLE_EQ(view.Model().Cfg().ViewMin(A::kX), 100);
    EXPECT_TRUE(edit->isVisible());

    // Typing and Enter set the bound and the limit, and end the edit.
    edit->selectAll();
    QTest::keyClicks(edit, "250.5");
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_FALSE(edit->isVisible());
    EXPECT_TRUE(label->isVisible());
    EXPECT_DOUBLE_EQ(view.Model().Cfg().ViewMin(A::kX), 250.5);
    EXPECT_DOUBLE_EQ(view.Model().Cfg().LimitMin(A::kX), 250.5);
    EXPECT_EQ(label->text(), "250.5");

    // Escape drops the typing.
    QTest::mouseClick(Child<QLabel>("RECM_ST_XR"), Qt::LeftButton);
    edit->selectAll();
    QTest::keyClicks(edit, "5");
    QTest::keyClick(edit, Qt::Key_Escape);
    EXPECT_FALSE(edit->isVisible());
    EXPECT_DOUBLE_EQ(view.Model().Cfg().ViewMax(A::kX), 1000);
    EXPECT_EQ(edit->GetLastAction(), 27);
}

TEST_F(PlotView, ClickingALegendBoxLocksThePointerAndTellsTheParent) {
    AddRamp(100);
    QSignalSpy spy(&view, &CPlot2dView::PointerLockNotified);
    QTest::mouseClick(view.Area(), Qt::LeftButton, {}, QPoint(6, 6));  // first legend box
    EXPECT_EQ(view.Model().Options().lockPointer, 1);
    EXPECT_EQ(spy.count(), 0);  // posted, not sent
    ASSERT_TRUE(spy.wait(1000));
    EXPECT_EQ(spy.at(0).at(0).value<CPlot2dView*>(), &view);
    // A click away from every box unlocks.
    QTest::mouseClick(view.Area(), Qt::LeftButton, {}, QPoint(200, 150));
    EXPECT_EQ(view.Model().Options().lockPointer, 0);
    EXPECT_TRUE(spy.wait(1000));
}

TEST_F(PlotView, TheDropDownsFollowTheModeAndShowInfo) {
    std::unique_ptr<QMenu> menu(view.CreateAutoScaleMenu(nullptr));
    EXPECT_NE(menu->findChild<QMenu*>("XScales"), nullptr);
    EXPECT_EQ(menu->actions().front()->text(), "Enable auto-scaling");
    view.Execute(PlotCommand::kAutoScale);  // off
    menu.reset(view.CreateAutoScaleMenu(nullptr));
    EXPECT_EQ(menu->actions().size(), 1);

    menu.reset(view.CreateShowInfoMenu(nullptr));
    QMenu* tips = menu->findChild<QMenu*>("TipsCommands");
    ASSERT_NE(tips, nullptr);
    EXPECT_EQ(tips->title(), "Tips' commands");
    auto* rect = menu->findChild<QAction*>("ID_2DBUF_PNTR_RECT");
    ASSERT_NE(rect, nullptr);
    rect->trigger();
    EXPECT_EQ(view.Model().PlotBuf().m_PntrShapes, 1 | 4);
    view.Execute(PlotCommand::kShowCursor);
    menu.reset(view.CreateShowInfoMenu(nullptr));
    EXPECT_EQ(menu->findChild<QMenu*>("TipsCommands"), nullptr);
}

TEST_F(PlotView, TheDropDownOpensBelowItsButton) {
    auto* button = Child<QToolButton>("SPECFRM_AUTO_SCALE_BUTTON");
    ASSERT_NE(button, nullptr);
    QMenu* menu = button->menu();
    QPoint where;
    QStringList texts;
    QTimer::singleShot(100, menu, [&] {
        where = menu->pos();
        for (QAction* a : menu->actions()) {
            texts << a->text();
        }
        menu->close();
    });
    button->showMenu();
    EXPECT_EQ(where, button->mapToGlobal(QPoint(22, button->height())));
    ASSERT_FALSE(texts.isEmpty());
    EXPECT_EQ(texts.front(), "Enable auto-scaling");
    EXPECT_TRUE(texts.contains("Hybrid mode"));
}

TEST_F(PlotView, ToolbarStatesFollowTheView) {
    AddRamp(200);
    auto* zoomOut = Child<QAction>("SPECFRM_ZOOMOUTX");
    auto* auto_ = Child<QAction>("SPECFRM_AUTO_SCALE");
    EXPECT_FALSE(zoomOut->isEnabled());
    EXPECT_TRUE(auto_->isChecked());
    Child<QAction>("SPECFRM_ZOOMINX")->trigger();
    EXPECT_TRUE(zoomOut->isEnabled());
    EXPECT_FALSE(auto_->isChecked());
    auto_->trigger();
    EXPECT_TRUE(auto_->isChecked());
    EXPECT_FALSE(zoomOut->isEnabled());  // rescaled: view = limits again
}

TEST_F(PlotView, MouseMovesRepaintOnlyTheTips) {
    AddRamp(200);
    QCoreApplication::processEvents();
    QTest::qWait(20);
    int redraws = view.Area()->RedrawCount();
    for (int i = 0; i < 20; ++i) {
        QTest::mouseMove(view.Area(), QPoint(100 + i, 100));
    }
    QTest::qWait(50);
    EXPECT_EQ(view.Area()->RedrawCount(), redraws);
    EXPECT_TRUE(view.Area()->HasCursor());
}

TEST_F(PlotView, LoadingSettingsLaysTheWindowOutAgain) {
    test::TempDir dir;
    CIni ini(dir.file("view.ini"));
    {
        CPlot2dView other;
        other.Model().Options().showControls = 0;
        other.Model().Ruler().SetOn(true);
        ASSERT_TRUE(other.Save("Owner::m_pPlot2dView", &ini));
    }
    EXPECT_TRUE(view.Load("Owner::m_pPlot2dView", &ini));
    EXPECT_EQ(view.Area()->geometry(), view.rect());
    EXPECT_TRUE(view.Model().Ruler().IsOn());
    // A broken options text gives the defaults back, controls included.
    ASSERT_TRUE(ini.WriteString("Owner::m_pPlot2dView", "CPlot2dView", "1;1;0"));
    EXPECT_FALSE(view.Load("Owner::m_pPlot2dView", &ini));
    EXPECT_TRUE(Child<QLabel>("RECM_ST_XL")->isVisible());
}

TEST_F(PlotView, TheProgressBarRunsOnRequest) {
    auto* bar = Child<QProgressBar>("RECM_ST_PROGRESS");
    EXPECT_FALSE(bar->isVisible());
    view.ProgressRun();
    view.ProgressSet(30, 120);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->maximum(), 120);
    EXPECT_EQ(bar->value(), 30);
    view.ProgressEnd();
    EXPECT_FALSE(bar->isVisible());
}

TEST_F(PlotView, TheEditBoxStepsAndFilters) {
    CCoolEdit edit;
    edit.show();
    edit.SetRange(0, 1e6, 0, 100);
    edit.SetValue(0, false);
    QSignalSpy changed(&edit, &CCoolEdit::Changed);
    QTest::keyClick(&edit, Qt::Key_Up, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(edit.GetValue(), 10000);
    EXPECT_EQ(edit.GetLastAction(), 38);
    EXPECT_GE(changed.count(), 1);
    edit.selectAll();
    QTest::keyClicks(&edit, "-7a.");  // minus (minimum 0), letter and point are refused
    EXPECT_EQ(edit.text(), "7");
    QTest::keyClick(&edit, Qt::Key_Return);
    EXPECT_DOUBLE_EQ(edit.GetValue(), 7);
    EXPECT_EQ(edit.GetLastAction(), 13);
}

TEST_F(PlotView, ScreenshotOfATrendLikeTheDeviceList) {
    CPlot2dModel& m = view.Model();
    m.SetDefaultOptions(1, 0, 0, 0, 3, 0, 4, 0, 1);
    m.Cfg().SetDefaultText("-20,220,40,60, -20,220,40,60, 0,200,0,100");
    m.ApplyDefaults();
    m.SetLegendLayout(3, 15, false, true);
    PlotArray xs(200);
    for (int i = 0; i < 200; ++i) {
        xs[i] = i;
    }
    m.GetXArrays(0)->push_back(xs);
    const PlotColor colors[] = {{200, 0, 0}, {0, 100, 0}, {0, 0, 200}};
    const char* names[] = {"ZOR-1 North pier", "ZOR-2 Harbour", "ZOR-3 Outfall"};
    for (int s = 0; s < 3; ++s) {
        m.GetYArrays(0)->push_back({});
        m.AddSeries(0, s, colors[s], names[s], true, -1, 0, 0);
        for (int i = 0; i < 260; ++i) {
            double v =
                45 + 4 * s + 3 * std::sin((i + 20 * s) / 15.0) + (i > 200 && s == 0 ? 12 : 0);
            m.AppendValue(s, v, false, 200, true, 0);
        }
    }
    for (double y : {50.0, 150.0}) {
        PlotMarker line;
        line.shape = kMarkerHorizontalLine;
        line.y = y;
        line.penColor = {200, 0, 0};
        line.penStyle = kPenDotted;
        line.penWidth = 2;
        m.AddMarker(line);
    }
    for (double y : {60.0, 40.0}) {
        PlotMarker bound;
        bound.y = y;
        bound.visible = 0;
        bound.inDataRange = 1;
        m.AddMarker(bound);
    }
    m.Rescale(true);
    m.SelectSeries(0, true, 0);
    view.Area()->update();
    QTest::mouseMove(view.Area(), QPoint(300, 120));
    QTest::qWait(50);
    QImage shot = view.grab().toImage();
    EXPECT_TRUE(shot.save(test::ArtifactDir() + "/trend-view.png"));
    // The bounds fit the data and the included values: Y from at most 40 to at least 60.
    EXPECT_LE(m.Cfg().ViewMin(A::kY), 40);
    EXPECT_GE(m.Cfg().ViewMax(A::kY), 60);
}

}  // namespace
}  // namespace zm
