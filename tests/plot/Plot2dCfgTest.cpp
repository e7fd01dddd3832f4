#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "plot/model/Plot2dCfg.h"

namespace zm {
namespace {

struct RecordingBar : IPlotScrollBar {
    PlotScrollState state;
    int updates = 0;
    void SetScrollState(const PlotScrollState& s) override {
        state = s;
        ++updates;
    }
};

void SetAxis(CPlot2dCfg& cfg, CPlot2dCfg::Axis a, double limitMin, double limitMax, double viewMin,
             double viewMax) {
    cfg.SetLimits(a, limitMin, limitMax);
    cfg.SetView(a, viewMin, viewMax);
    cfg.Normalize();
}

TEST(Plot2dCfg, DefaultsWidenTheLimitsToTheView) {
    CPlot2dCfg cfg;
    EXPECT_DOUBLE_EQ(cfg.LimitMin(CPlot2dCfg::kX), -100);
    EXPECT_DOUBLE_EQ(cfg.LimitMax(CPlot2dCfg::kX), 3000);
    EXPECT_DOUBLE_EQ(cfg.LimitMin(CPlot2dCfg::kY), -100);
    EXPECT_DOUBLE_EQ(cfg.LimitMax(CPlot2dCfg::kY), 27000);
    EXPECT_DOUBLE_EQ(cfg.ViewMin(CPlot2dCfg::kX), -100);
    EXPECT_DOUBLE_EQ(cfg.ViewMax(CPlot2dCfg::kY), 27000);
    EXPECT_DOUBLE_EQ(cfg.SpanMin(CPlot2dCfg::kX), 0.1);
    EXPECT_DOUBLE_EQ(cfg.SpanMax(CPlot2dCfg::kY), 1000000);
    EXPECT_EQ(cfg.GetText(),
              "-100.000000,3000.000000,-100.000000,27000.000000, -100.000000,3000.000000,"
              "-100.000000,27000.000000, 0,200,0,100");
}

TEST(Plot2dCfg, PixelMappingRoundsHalfDownAndInverts) {
    CPlot2dCfg cfg;
    cfg.SetRect(0, 0, 101, 51);  // last pixel 100, 50
    EXPECT_EQ(cfg.GetRect(), (PlotRect{0, 0, 101, 51}));
    SetAxis(cfg, CPlot2dCfg::kX, 0, 200, 0, 200);
    SetAxis(cfg, CPlot2dCfg::kY, 0, 100, 0, 100);
    struct Case {
        double x;
        int column;
    } cases[] = {{0, 0},   {200, 100}, {100, 50}, {1, 0} /* 0.5 stays down */,
                 {1.2, 1}, {3, 1},     {3.2, 2}};
    for (const Case& c : cases) {
        EXPECT_EQ(cfg.XToPixel(c.x), c.column) << c.x;
    }
    EXPECT_EQ(cfg.YToPixel(100), 0);
    EXPECT_EQ(cfg.YToPixel(0), 50);
    EXPECT_DOUBLE_EQ(cfg.PixelToX(50), 100);
    EXPECT_DOUBLE_EQ(cfg.PixelToY(0), 100);
    EXPECT_DOUBLE_EQ(cfg.PixelToY(50), 0);
    // Values far outside the view stay sane integers.
    EXPECT_LT(cfg.XToPixel(1e300), 100000000);
}

TEST(Plot2dCfg, SpanLimitsAreCorrectedAndReported) {
    CPlot2dCfg cfg;
    EXPECT_TRUE(cfg.SetXSpanLimits(10, 20000));
    EXPECT_FALSE(cfg.SetXSpanLimits(0.001, 1e40));
    EXPECT_DOUBLE_EQ(cfg.SpanMin(CPlot2dCfg::kX), 0.01);
    EXPECT_DOUBLE_EQ(cfg.SpanMax(CPlot2dCfg::kX), 2.0 * kPlotFloatMax);
    EXPECT_FALSE(cfg.SetYSpanLimits(1, 1e39));
    EXPECT_DOUBLE_EQ(cfg.SpanMin(CPlot2dCfg::kY), 1);
}

TEST(Plot2dCfg, ZoomTable) {
    struct Case {
        const char* name;
        bool in;
        bool clamp;
        bool round;
        double limitMin, limitMax;
        double expectMin, expectMax;
    } cases[] = {
        {"in", true, true, true, -1000, 1000, 10, 90},
        {"out unrounded", false, false, false, -1000, 1000, -12.5, 112.5},
        // The min and the width are rounded apart: floor(-12.5) and 125.
        {"out rounded", false, true, true, -1000, 1000, -13, 112},
        // Clamped to narrow limits the window is pushed inside them.
        {"out clamped", false, true, false, 0, 110, 0, 110},
    };
    for (const Case& c : cases) {
        CPlot2dCfg cfg;
        SetAxis(cfg, CPlot2dCfg::kX, c.limitMin, c.limitMax, 0, 100);
        cfg.ZoomX(c.in, 0.8, c.clamp, c.round);
        EXPECT_DOUBLE_EQ(cfg.ViewMin(CPlot2dCfg::kX), c.expectMin) << c.name;
        EXPECT_DOUBLE_EQ(cfg.ViewMax(CPlot2dCfg::kX), c.expectMax) << c.name;
    }
}

TEST(Plot2dCfg, ZoomNeverGoesBelowTheSmallestWidth) {
    for (bool round : {false, true}) {
        CPlot2dCfg cfg;
        SetAxis(cfg, CPlot2dCfg::kY, 0, 100, 50, 50.02);
        for (int i = 0; i < 20; ++i) {
            cfg.ZoomY(true, 0.8, true, round);
        }
        double width = cfg.ViewMax(CPlot2dCfg::kY) - cfg.ViewMin(CPlot2dCfg::kY);
        EXPECT_GE(width, 0.01 - 1e-12) << round;
        EXPECT_LE(width, 0.02 + 1e-9) << round;
    }
}

TEST(Plot2dCfg, LineScrollIsAFortiethButAtMostAQuarterOfTheView) {
    struct Case {
        CPlot2dCfg::Axis axis;
        double viewMin, viewMax;
        int code;
        double expectMin;
    } cases[] = {
        // limits 0..4000: 1/40 = 100, a quarter of a 1000 wide view = 250 -> 100
        {CPlot2dCfg::kX, 1000, 2000, kScrollLineForward, 1100},
        {CPlot2dCfg::kX, 1000, 2000, kScrollLineBack, 900},
        // a 200 wide view: a quarter is 50 < 100
        {CPlot2dCfg::kX, 1000, 1200, kScrollLineForward, 1050},
        // Y: "up" moves toward larger values
        {CPlot2dCfg::kY, 1000, 2000, kScrollLineBack, 1100},
        {CPlot2dCfg::kY, 1000, 2000, kScrollLineForward, 900},
        // the view stays inside the limits
        {CPlot2dCfg::kX, 3950, 4000, kScrollLineForward, 3950},
        {CPlot2dCfg::kX, 20, 1020, kScrollLineBack, 0},
    };
    for (const Case& c : cases) {
        CPlot2dCfg cfg;
        SetAxis(cfg, c.axis, 0, 4000, c.viewMin, c.viewMax);
        cfg.Scroll(c.axis, c.code, 0);
        EXPECT_DOUBLE_EQ(cfg.ViewMin(c.axis), c.expectMin) << c.axis << " " << c.code;
        EXPECT_DOUBLE_EQ(cfg.ViewMax(c.axis) - cfg.ViewMin(c.axis), c.viewMax - c.viewMin);
    }
}

TEST(Plot2dCfg, ScrollBarsCountXFromTheRightAndYFromTheTop) {
    CPlot2dCfg cfg;
    RecordingBar xBar;
    RecordingBar yBar;
    SetAxis(cfg, CPlot2dCfg::kX, 0, 32767, 0, 32767);
    SetAxis(cfg, CPlot2dCfg::kY, 0, 32767, 0, 32767);
    cfg.AttachXScrollBar(&xBar);
    cfg.AttachXScrollBar(&xBar);  // once only
    cfg.AttachYScrollBar(&yBar);
    EXPECT_EQ(xBar.updates, 2);  // each attach sets the range
    EXPECT_EQ(xBar.state.page, 32767 + 1);

    cfg.SetView(CPlot2dCfg::kX, 0, 1000);
    cfg.SetView(CPlot2dCfg::kY, 0, 1000);
    cfg.Normalize();
    EXPECT_EQ(xBar.updates, 3);  // listed once: one update per normalisation
    EXPECT_EQ(xBar.state.page, 1001);
    EXPECT_EQ(xBar.state.pos, 32767 - 31767 - 1001 + 1);  // at the left end
    EXPECT_EQ(yBar.state.pos, 31767);                     // at the bottom
    EXPECT_EQ(yBar.state.max, 0x7FFF);

    // Placing the thumb puts the view there.
    cfg.ScrollX(kScrollThumbTrack, 10000);
    EXPECT_EQ(xBar.state.pos, 10000);
    EXPECT_DOUBLE_EQ(cfg.ViewMax(CPlot2dCfg::kX) - cfg.ViewMin(CPlot2dCfg::kX), 1000);
    cfg.ScrollY(kScrollThumbPosition, 0);
    EXPECT_DOUBLE_EQ(cfg.ViewMax(CPlot2dCfg::kY), 32767);
    cfg.ScrollY(kScrollPageForward, 0);
    EXPECT_DOUBLE_EQ(cfg.ViewMax(CPlot2dCfg::kY), 32767 - 1001);
}

TEST(Plot2dCfg, NormalisationKeepsItsInvariants) {
    struct Case {
        double limitMin, limitMax, viewMin, viewMax;
        double eLimitMin, eLimitMax, eViewMin, eViewMax;
    } cases[] = {
        {10, 0, 8, 2, 0, 10, 2, 8},                                // ordered
        {5, 5, 5, 5, 4.5, 5.5, 5, 5},                              // a limit range at least 1 wide
        {0, 10, -5, 20, -5, 20, -5, 20},                           // limits contain the view
        {0, 10, -1e39, 5, -kPlotFloatMax, 10, -kPlotFloatMax, 5},  // float range
    };
    for (const Case& c : cases) {
        CPlot2dCfg cfg;
        SetAxis(cfg, CPlot2dCfg::kX, c.limitMin, c.limitMax, c.viewMin, c.viewMax);
        EXPECT_DOUBLE_EQ(cfg.LimitMin(CPlot2dCfg::kX), c.eLimitMin) << c.limitMin;
        EXPECT_DOUBLE_EQ(cfg.LimitMax(CPlot2dCfg::kX), c.eLimitMax) << c.limitMin;
        EXPECT_DOUBLE_EQ(cfg.ViewMin(CPlot2dCfg::kX), c.eViewMin) << c.limitMin;
        EXPECT_DOUBLE_EQ(cfg.ViewMax(CPlot2dCfg::kX), c.eViewMax) << c.limitMin;
    }
}

TEST(Plot2dCfg, AViewTooWideForTheScrollResolutionIsNarrowedWithABeep) {
    int beeps = 0;
    SetPlotBeep([&] { ++beeps; });
    CPlot2dCfg cfg;
    SetAxis(cfg, CPlot2dCfg::kX, 0, 1, -1e30, 1e30);
    SetPlotBeep(nullptr);
    EXPECT_EQ(beeps, 1);
    double width = cfg.ViewMax(CPlot2dCfg::kX) - cfg.ViewMin(CPlot2dCfg::kX);
    EXPECT_LT(width, 1e6);
    EXPECT_LE(cfg.LimitMin(CPlot2dCfg::kX), cfg.ViewMin(CPlot2dCfg::kX));
}

TEST(Plot2dCfg, TextsThatDoNotParseChangeNothing) {
    CPlot2dCfg cfg;
    std::string before = cfg.GetText();
    for (const char* bad :
         {"", "1,2,3", "a,b", "1,2,3,4, 5,6,7,8, 1,2,3", "nan,1,2,3, 4,5,6,7, 0,1,2,3"}) {
        EXPECT_FALSE(cfg.SetText(bad)) << bad;
        EXPECT_EQ(cfg.GetText(), before) << bad;
    }
    EXPECT_TRUE(cfg.SetText("0,10,0,10, 2,8,3,7, 1,2,3,4"));
    EXPECT_DOUBLE_EQ(cfg.ViewMin(CPlot2dCfg::kX), 2);
    EXPECT_EQ(cfg.Left(), 1);
    EXPECT_EQ(cfg.Top(), 4);
    CPlot2dCfg again;
    EXPECT_TRUE(again.SetText(cfg.GetText()));
    EXPECT_EQ(again.GetText(), cfg.GetText());
}

}  // namespace
}  // namespace zm
