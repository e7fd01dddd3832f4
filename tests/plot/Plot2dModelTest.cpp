#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plot/model/Plot2dModel.h"

namespace zm {
namespace {

using A = CPlot2dCfg::Axis;

// A model with one X array and one Y array per series in group 0.
struct Plot2dModel : ::testing::Test {
    CPlot2dModel model;
    int changes = 0;
    int redraws = 0;
    int lockNotes = 0;

    Plot2dModel() {
        model.onChanged = [this](bool redraw) {
            ++changes;
            redraws += redraw;
        };
        model.onPointerLock = [this] { ++lockNotes; };
    }

    int AddSeries(std::vector<double> xs, std::vector<double> ys, const std::string& name,
                  bool visible = true, int group = 0) {
        model.GetXArrays(group)->push_back(std::move(xs));
        model.GetYArrays(group)->push_back(std::move(ys));
        int index = static_cast<int>(model.GetXArrays(group)->size()) - 1;
        return model.AddSeries(index, index, {200, 0, 0}, name, visible, -1, 0, group);
    }
};

TEST_F(Plot2dModel, ANewViewShowsTheWidenedDefaults) {
    EXPECT_EQ(model.Options().GetText(), "1;1;0;0;1;4;4;0;1");
    EXPECT_DOUBLE_EQ(model.Cfg().ViewMin(A::kX), -100);
    EXPECT_DOUBLE_EQ(model.Cfg().ViewMax(A::kX), 3000);
    EXPECT_DOUBLE_EQ(model.Cfg().ViewMax(A::kY), 27000);
    EXPECT_DOUBLE_EQ(model.Cfg().SpanMin(A::kX), 10);
    EXPECT_DOUBLE_EQ(model.Cfg().SpanMax(A::kY), 80000);
}

TEST_F(Plot2dModel, InvalidArgumentsGiveMinusOneAndChangeNothing) {
    EXPECT_EQ(model.AddSeries(0, 0, {}, "none", true, -1, 0, 0), -1);  // no arrays yet
    ASSERT_EQ(AddSeries({0, 1}, {5, 6}, "a"), 1);
    EXPECT_EQ(model.AddSeries(1, 0, {}, "x", true, -1, 0, 0), -1);
    EXPECT_EQ(model.AddSeries(0, 0, {}, "x", true, 5, 0, 0), -1);
    EXPECT_EQ(model.AddSeries(0, 0, {}, "x", true, -1, 0, 3), -1);
    EXPECT_EQ(model.AppendPoint(1, 0, 0, false, 0), -1);
    EXPECT_EQ(model.AppendValue(0, 1, false, 0, false, 7), -1);
    EXPECT_EQ(model.ClearSeries(false, -1), -1);
    EXPECT_EQ(model.GetSeriesCount(3), -1);
    EXPECT_EQ(model.GetSeriesCount(0), 1);
    // A slot below the count replaces.
    EXPECT_EQ(model.AddSeries(0, 0, {1, 2, 3}, "b", true, 0, 0, 0), 1);
    EXPECT_EQ(model.GetSeries(0, 0)->name, "b");
}

TEST_F(Plot2dModel, AddSeriesTakesBoundsOverTheWholeArrays) {
    ASSERT_EQ(AddSeries({0, 1, 2, 3}, {5, -1, 9}, "a"), 1);
    const PlotSeries* s = model.GetSeries(0, 0);
    EXPECT_EQ(s->count, 3);
    EXPECT_DOUBLE_EQ(s->xMax, 3);
    EXPECT_DOUBLE_EQ(s->yMin, -1);
    EXPECT_DOUBLE_EQ(s->yMax, 9);
}

TEST_F(Plot2dModel, RescaleTable) {
    struct Case {
        const char* name;
        std::vector<double> ys;
        double xSpanMin;
        int scaling;
        double eMin, eMax;
    } cases[] = {
        {"105 % of 0..100", {0, 100}, 10, kScalingFit105, -2.5, 102.5},
        {"100 % of 0..100", {0, 100}, 10, kScalingFit100, 0, 100},
        {"all at 0 with span 10", {0, 0}, 10, kScalingFit105, -0.25, 10.25},
    };
    for (const Case& c : cases) {
        CPlot2dModel m;
        m.GetXArrays(0)->push_back(c.ys);  // X = the values, so X runs over them
        m.GetYArrays(0)->push_back(c.ys);
        ASSERT_EQ(m.AddSeries(0, 0, {}, "s", true, -1, 0, 0), 1);
        m.Cfg().SetXSpanLimits(c.xSpanMin, 20000);
        m.Options().xScaling = c.scaling;
        m.Rescale(false);
        EXPECT_DOUBLE_EQ(m.Cfg().LimitMin(A::kX), c.eMin) << c.name;
        EXPECT_DOUBLE_EQ(m.Cfg().LimitMax(A::kX), c.eMax) << c.name;
        EXPECT_DOUBLE_EQ(m.Cfg().ViewMin(A::kX), c.eMin) << c.name;
        EXPECT_DOUBLE_EQ(m.Cfg().ViewMax(A::kX), c.eMax) << c.name;
    }
}

TEST_F(Plot2dModel, RescaleWithoutDataOrWithAutoScalingOffLeavesTheView) {
    model.Rescale(true);
    EXPECT_FALSE(model.LastDataBounds().found);
    EXPECT_DOUBLE_EQ(model.LastDataBounds().xMax, 3000);
    EXPECT_DOUBLE_EQ(model.Cfg().ViewMax(A::kX), 3000);
    EXPECT_EQ(redraws, 1);

    AddSeries({0, 1}, {5, 6}, "a");
    model.Options().autoMode = -1;
    model.Rescale(false);
    EXPECT_TRUE(model.LastDataBounds().found);
    EXPECT_DOUBLE_EQ(model.Cfg().ViewMax(A::kX), 3000);
}

TEST_F(Plot2dModel, MarkersInTheDataRangeAndIncludedValuesWidenTheBounds) {
    AddSeries({0, 10}, {50, 50}, "a");
    PlotMarker m;
    m.shape = kMarkerHorizontalLine;
    m.y = 60;
    m.inDataRange = 1;
    m.visible = 0;
    model.AddMarker(m);
    m.y = 40;
    model.AddMarker(m);
    m.y = 150;
    m.inDataRange = 0;
    model.AddMarker(m);
    model.Options().yScaling = kScalingFit100;
    model.Rescale(false);
    EXPECT_DOUBLE_EQ(model.Cfg().ViewMin(A::kY), 40);
    EXPECT_DOUBLE_EQ(model.Cfg().ViewMax(A::kY), 60);

    model.SetIncludedYValues(-10, 1e40, true, false);
    model.Rescale(false);
    EXPECT_DOUBLE_EQ(model.Cfg().ViewMin(A::kY), -10);
    EXPECT_DOUBLE_EQ(model.Cfg().ViewMax(A::kY), 60);
}

TEST_F(Plot2dModel, BoundsAreRoundedToTheLabelDecimals) {
    AddSeries({0.04, 10.06}, {1.26, 2.34}, "a");
    model.Options().xScaling = kScalingFit100;
    model.Options().yScaling = kScalingFit100;
    model.Cfg().SetYSpanLimits(0.01, 100);
    model.Rescale(false);
    EXPECT_DOUBLE_EQ(model.LastDataBounds().xMin, 0.0);
    EXPECT_DOUBLE_EQ(model.LastDataBounds().xMax, 10.1);
    EXPECT_DOUBLE_EQ(model.LastDataBounds().yMin, 1.3);
    EXPECT_DOUBLE_EQ(model.LastDataBounds().yMax, 2.3);
}

TEST_F(Plot2dModel, TheCurrentSeriesAloneScalesWhileLockedInCurrentMode) {
    AddSeries({0, 10}, {0, 10}, "small");
    AddSeries({0, 1000}, {0, 1000}, "large");
    model.Options().xScaling = kScalingFit100;
    model.Options().autoMode = kAutoCurrent;
    ASSERT_TRUE(model.SelectSeries(0, false, 0));
    EXPECT_EQ(lockNotes, 1);
    EXPECT_DOUBLE_EQ(model.Cfg().ViewMax(A::kX), 10);
    // Unlocking in hybrid mode rescales over every series.
    model.Options().autoMode = kAutoHybrid;
    model.SelectSeries(-1, false, 0);
    EXPECT_EQ(lockNotes, 2);
    EXPECT_EQ(model.Options().lockPointer, 0);
    EXPECT_DOUBLE_EQ(model.Cfg().ViewMax(A::kX), 1000);
    // Hidden series cannot be selected; nothing locked means nothing to unlock.
    AddSeries({0, 1}, {0, 1}, "hidden", false);
    model.SelectSeries(2, false, 0);
    EXPECT_EQ(lockNotes, 2);
    EXPECT_FALSE(model.SelectSeries(0, false, 3));
}

TEST_F(Plot2dModel, SelectingTheLockedSeriesAgainDoesNotNotify) {
    AddSeries({0, 10}, {0, 10}, "a");
    model.SelectSeries(0, false, 0);
    model.SelectSeries(0, false, 0);
    EXPECT_EQ(lockNotes, 1);
}

TEST_F(Plot2dModel, AppendPointGrowsOrOverwritesTheXArray) {
    model.GetXArrays(0)->push_back({0, 1, 2, 3});
    model.GetYArrays(0)->push_back({});
    ASSERT_EQ(model.AddSeries(0, 0, {}, "a", true, -1, 0, 0), 1);
    EXPECT_EQ(model.GetSeries(0, 0)->count, 0);
    EXPECT_EQ(model.AppendPoint(0, 7, 3, false, 0), 1);  // X[0] overwritten
    EXPECT_EQ(model.AppendPoint(0, 8, -2, false, 0), 2);
    const PlotArrays& xs = *model.GetXArrays(0);
    EXPECT_EQ(xs[0], (std::vector<double>{7, 8, 2, 3}));
    EXPECT_EQ((*model.GetYArrays(0))[0], (std::vector<double>{3, -2}));
    const PlotSeries* s = model.GetSeries(0, 0);
    EXPECT_DOUBLE_EQ(s->xMin, 7);  // the first point set the bounds
    EXPECT_DOUBLE_EQ(s->yMin, -2);
    EXPECT_DOUBLE_EQ(s->yMax, 3);
    // Non-finite values add nothing.
    EXPECT_EQ(model.AppendPoint(0, 1, std::numeric_limits<double>::quiet_NaN(), false, 0), -1);
    EXPECT_EQ(model.AppendValue(0, std::numeric_limits<double>::infinity(), false, 0, false, 0),
              -1);
    EXPECT_EQ(s->count, 2);
}

TEST_F(Plot2dModel, SlidingWindowDropsTheOldestAndKeepsOrRecomputesBounds) {
    for (bool keep : {false, true}) {
        CPlot2dModel m;
        m.GetXArrays(0)->push_back({});
        m.GetYArrays(0)->push_back({});
        ASSERT_EQ(m.AddSeries(0, 0, {}, "s", true, -1, 0, 0), 1);
        m.AppendValue(0, 100, false, 3, keep, 0);  // the extreme, first in
        m.AppendValue(0, 5, false, 3, keep, 0);
        m.AppendValue(0, 6, false, 3, keep, 0);
        EXPECT_EQ(m.AppendValue(0, 7, false, 3, keep, 0), 3);  // 100 drops out
        const PlotSeries* s = m.GetSeries(0, 0);
        EXPECT_EQ((*m.GetYArrays(0))[0], (std::vector<double>{5, 6, 7})) << keep;
        EXPECT_EQ((*m.GetXArrays(0))[0], (std::vector<double>{0, 1, 2})) << keep;
        EXPECT_DOUBLE_EQ(s->yMax, keep ? 100 : 7) << keep;
        EXPECT_DOUBLE_EQ(s->yMin, 5) << keep;
        EXPECT_EQ(s->count, 3);
    }
}

TEST_F(Plot2dModel, ClearSeriesKeepsTheArrays) {
    AddSeries({0, 1}, {1, 2}, "a");
    EXPECT_EQ(model.ClearSeries(true, 0), 0);
    EXPECT_EQ(model.GetSeriesCount(0), 0);
    EXPECT_EQ(model.GetXArrays(0)->size(), 1u);
    EXPECT_EQ(redraws, 1);
}

TEST(PlotPointStep, TenThousandPointsAreDrawnEveryThirdWithTheLast) {
    EXPECT_EQ(PlotPointStep(10000, 3000), 3);
    EXPECT_EQ(PlotPointStep(3000, 3000), 1);
    EXPECT_EQ(PlotPointStep(3001, 3000), 1);
    std::vector<int> drawn = PlotDrawnIndexes(10000, 3000);
    ASSERT_EQ(drawn.size(), 3334u);
    EXPECT_EQ(drawn[1], 3);
    EXPECT_EQ(drawn.back(), 9999);
    std::vector<int> odd = PlotDrawnIndexes(10001, 3000);
    EXPECT_EQ(odd[odd.size() - 2], 9999);
    EXPECT_EQ(odd.back(), 10000);
    EXPECT_TRUE(PlotDrawnIndexes(0, 3000).empty());
}

TEST(PlotSeriesPixels, StepsSkipsRepeatsAndRecordsTheVisiblePart) {
    CPlot2dCfg cfg;
    cfg.SetRect(0, 0, 1001, 101);
    cfg.SetLimits(A::kX, 0, 20000);
    cfg.SetView(A::kX, 0, 10000);
    cfg.SetLimits(A::kY, 0, 100);
    cfg.SetView(A::kY, 0, 100);
    cfg.Normalize();
    PlotArray xs(10001);
    PlotArray ys(10001, 50);
    for (int i = 0; i <= 10000; ++i) {
        xs[i] = 2.0 * i;  // the second half lies right of the view
    }
    std::vector<PlotPoint> pixels;
    PlotVisibleRange visible;
    BuildSeriesPixels(cfg, xs, ys, 10001, 3000, &visible, pixels);
    // 10001 points, step 3: 3334 taken plus the last; only 1001 distinct columns in view.
    EXPECT_LE(pixels.size(), 3335u);
    EXPECT_EQ(pixels.front(), (PlotPoint{0, 50}));
    EXPECT_EQ(pixels.back(), (PlotPoint{2000, 50}));
    EXPECT_EQ(visible.first, 0);
    // The last taken index (step 3) whose pixel is still column 1000: x = 10002 rounds to it.
    EXPECT_EQ(visible.last, 5001);
    EXPECT_DOUBLE_EQ(visible.xMax, 10002);
    for (size_t i = 1; i < pixels.size(); ++i) {
        EXPECT_FALSE(pixels[i] == pixels[i - 1]);
    }
}

TEST_F(Plot2dModel, TipTexts) {
    AddSeries({0, 10, 20, 30, 40}, {1, 2, 3, 4, 9}, "Sensor A");
    model.Cfg().SetRect(0, 0, 401, 101);
    model.SetXLimits(0, 40, true);
    model.SetYLimits(0, 10, true);

    // Unlocked: the values at the point (moved by -1, -1).
    PlotTip tip = model.ComputeTip({101, 51});
    EXPECT_EQ(tip.text, " 10 : 5.0");

    // Locked onto the first series without a recorded visible point: nothing.
    model.SelectSeries(0, false, 0);
    EXPECT_EQ(model.ComputeTip({101, 51}).text, "");

    // With the range a paint recorded, the nearest point and its pixel.
    model.RecordedVisible() = {0, 4, 0, 40};
    tip = model.ComputeTip({101, 51});
    EXPECT_EQ(tip.text, " Sp.1 (Sensor A) \n 10.0 : 2.0\n Max = 9.0");
    EXPECT_EQ(tip.point, (PlotPoint{100, 80}));
    EXPECT_EQ(tip.index, 1);

    // Outside the rectangle or with show info off: nothing.
    EXPECT_EQ(model.ComputeTip({500, 50}).text, "");
    model.Options().showInfo = 0;
    EXPECT_EQ(model.ComputeTip({101, 51}).text, "");
}

TEST_F(Plot2dModel, TheTipHookMayRewriteTextAndPoint) {
    AddSeries({0, 10}, {1, 2}, "A");
    model.Cfg().SetRect(0, 0, 101, 101);
    model.SetTipHook([](std::string& text, PlotPoint& point, const CPlot2dModel& view) {
        text = "hooked" + std::to_string(view.LastTip().series) + text;
        point = {3, 4};
    });
    PlotTip tip = model.ComputeTip({11, 11});
    EXPECT_EQ(tip.text.rfind("hooked-1 ", 0), 0u) << tip.text;
    EXPECT_EQ(tip.point, (PlotPoint{3, 4}));
}

TEST_F(Plot2dModel, LegendBoxesAndHits) {
    AddSeries({0}, {0}, "a");
    AddSeries({0}, {0}, "hidden", false);
    AddSeries({0}, {0}, "c");
    AddSeries({0}, {0}, "g2", true, 2);
    PlotRect rect{100, 50, 600, 400};
    std::vector<PlotLegendBox> boxes = model.LegendBoxes(rect);
    ASSERT_EQ(boxes.size(), 3u);
    // spacing 3, box 10, horizontal: along = 3 + j * 13, across = c * 10 + (2c + 1) * 3
    EXPECT_EQ(boxes[0].box, (PlotRect{103, 53, 113, 63}));
    EXPECT_EQ(boxes[1].series, 2);
    EXPECT_EQ(boxes[1].box, (PlotRect{116, 53, 126, 63}));
    EXPECT_EQ(boxes[2].group, 2);
    EXPECT_EQ(boxes[2].box, (PlotRect{103, 69, 113, 79}));
    EXPECT_EQ(model.LegendHit(rect, {118, 55}), (std::pair<int, int>{0, 2}));
    EXPECT_EQ(model.LegendHit(rect, {300, 300}), (std::pair<int, int>{-1, -1}));

    model.SetLegendLayout(3, 15, false, true);
    model.SelectSeries(2, false, 0);
    boxes = model.LegendBoxes(rect);
    EXPECT_EQ(boxes[1].box, (PlotRect{103, 71, 118, 86}));
    EXPECT_TRUE(boxes[1].circle);
    EXPECT_FALSE(boxes[0].circle);
    EXPECT_EQ(boxes[1].nameRect, (PlotRect{121, 71, 321, 86}));
}

TEST_F(Plot2dModel, ZoomCommandsSwitchAutoScalingOffAndAutoScaleRestoresTheMode) {
    AddSeries({0, 100}, {0, 100}, "a");
    model.Options().autoMode = kAutoHybrid;
    model.Rescale(false);
    for (PlotCommand c : {PlotCommand::kZoomInX, PlotCommand::kZoomOutY, PlotCommand::kZoom1To1,
                          PlotCommand::kZoomFull}) {
        model.Options().autoMode = kAutoHybrid;
        model.Execute(c);
        EXPECT_EQ(model.Options().autoMode, -kAutoHybrid) << PlotCommandName(c);
        EXPECT_FALSE(model.IsChecked(PlotCommand::kAutoScale));
        EXPECT_TRUE(model.IsChecked(PlotCommand::kAScaleHyb));
        model.Execute(PlotCommand::kAutoScale);
        EXPECT_EQ(model.Options().autoMode, kAutoHybrid) << PlotCommandName(c);
    }
    model.Options().autoMode = 0;
    model.Execute(PlotCommand::kAutoScale);
    EXPECT_EQ(model.Options().autoMode, 1);
}

TEST_F(Plot2dModel, ToolbarStates) {
    AddSeries({0, 100}, {0, 100}, "a");
    model.Options().xScaling = kScalingFit100;
    model.Options().yScaling = kScalingFit100;
    model.Rescale(false);
    // View = limits = data bounds.
    EXPECT_TRUE(model.IsEnabled(PlotCommand::kZoomInX));
    EXPECT_FALSE(model.IsEnabled(PlotCommand::kZoomOutX));
    EXPECT_FALSE(model.IsEnabled(PlotCommand::kZoomFull));
    EXPECT_FALSE(model.IsEnabled(PlotCommand::kZoom1To1));
    model.Execute(PlotCommand::kZoomInX);
    EXPECT_DOUBLE_EQ(model.Cfg().ViewMin(A::kX), 10);
    EXPECT_DOUBLE_EQ(model.Cfg().ViewMax(A::kX), 90);
    EXPECT_TRUE(model.IsEnabled(PlotCommand::kZoomOutX));
    EXPECT_FALSE(model.IsEnabled(PlotCommand::kZoomOutY));
    EXPECT_TRUE(model.IsEnabled(PlotCommand::kZoomFull));
    EXPECT_TRUE(model.IsEnabled(PlotCommand::kZoom1To1));
    model.Execute(PlotCommand::kZoom1To1);
    EXPECT_DOUBLE_EQ(model.Cfg().ViewMin(A::kX), 0);
    EXPECT_FALSE(model.IsEnabled(PlotCommand::kZoom1To1));

    // A view no wider than the X span minimum cannot zoom in further.
    model.Cfg().SetXSpanLimits(100, 20000);
    EXPECT_FALSE(model.IsEnabled(PlotCommand::kZoomInX));

    model.Execute(PlotCommand::kXScaleOff);
    EXPECT_TRUE(model.IsChecked(PlotCommand::kXScaleOff));
    model.Execute(PlotCommand::kYScale105);
    EXPECT_TRUE(model.IsChecked(PlotCommand::kYScale105));
    EXPECT_FALSE(model.IsChecked(PlotCommand::kYScale100));
    model.Execute(PlotCommand::kShowPoints);
    EXPECT_TRUE(model.IsChecked(PlotCommand::kShowPoints));
    // The lock command toggles without telling the parent.
    model.Execute(PlotCommand::kLockCursor);
    EXPECT_TRUE(model.IsChecked(PlotCommand::kLockCursor));
    EXPECT_EQ(lockNotes, 0);
}

TEST_F(Plot2dModel, BoundEditing) {
    model.Options().autoMode = 1;
    model.SetXLimits(0, 1000, true);
    PlotBoundEdit edit = model.BeginBoundEdit(PlotBound::kXLeft);
    EXPECT_EQ(model.Options().autoMode, -1);  // switched off
    EXPECT_DOUBLE_EQ(edit.minimum, -kPlotFloatMax);
    EXPECT_DOUBLE_EQ(edit.maximum, 1000 - 10);
    EXPECT_DOUBLE_EQ(edit.value, 0);
    EXPECT_EQ(edit.decimals, 1);
    EXPECT_DOUBLE_EQ(edit.step, 100);
    edit = model.BeginBoundEdit(PlotBound::kYTop);
    EXPECT_DOUBLE_EQ(edit.minimum, model.Cfg().ViewMin(A::kY) + 1);

    // Up moves the bound live; the edit goes on.
    EXPECT_FALSE(model.BoundEditChanged(PlotBound::kXLeft, 38, 100));
    EXPECT_DOUBLE_EQ(model.Cfg().ViewMin(A::kX), 100);
    EXPECT_DOUBLE_EQ(model.Cfg().LimitMin(A::kX), 0);
    // Enter sets the bound and the limit.
    EXPECT_TRUE(model.BoundEditChanged(PlotBound::kXLeft, 13, 200));
    EXPECT_DOUBLE_EQ(model.Cfg().ViewMin(A::kX), 200);
    EXPECT_DOUBLE_EQ(model.Cfg().LimitMin(A::kX), 200);
    // Leaving with a value outside the limits sets the bound; the limits widen.
    EXPECT_TRUE(model.BoundEditChanged(PlotBound::kXRight, 8, 1500));
    EXPECT_DOUBLE_EQ(model.Cfg().ViewMax(A::kX), 1500);
    EXPECT_DOUBLE_EQ(model.Cfg().LimitMax(A::kX), 1500);
    EXPECT_TRUE(model.BoundEditChanged(PlotBound::kXRight, 27, 1500));
    EXPECT_EQ(model.BoundText(PlotBound::kXRight), "1500.0");
}

TEST(PlotOptionsText, ParsesNineNumbersOrNothing) {
    PlotOptions o;
    EXPECT_TRUE(o.SetText("1;0;0;0;3;0;4;0;0"));
    EXPECT_EQ(o.autoMode, 3);
    EXPECT_EQ(o.xScaling, 0);
    PlotOptions before = o;
    for (const char* bad : {"1;1;0", "", "1;1;0;0;1;4;4;0", "1;1;0;0;9;4;4;0;1",
                            "1;1;0;0;1;5;4;0;1", "1;1;0;0;1;4;4;-1;1"}) {
        EXPECT_FALSE(o.SetText(bad)) << bad;
        EXPECT_EQ(o, before) << bad;
    }
}

}  // namespace
}  // namespace zm
