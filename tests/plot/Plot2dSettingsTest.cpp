#include <gtest/gtest.h>

#include <string>

#include "base/Ini.h"
#include "plot/model/Plot2dBufSettings.h"
#include "plot/model/Plot2dModel.h"
#include "plot/model/Plot2dRuler.h"
#include "plot/model/PlotLayout.h"
#include "support/TempDir.h"

namespace zm {
namespace {

TEST(Plot2dBufSettings, LoadsOnlyCompleteSensibleTexts) {
    test::TempDir dir;
    CIni ini(dir.file("plot.ini"));
    CPlot2dBufSettings buf;
    EXPECT_EQ(buf.GetText(), "1;1;2;3");
    struct Case {
        const char* stored;
        bool complete;
        const char* after;
    } cases[] = {
        {"1;1", false, "1;1;2;3"},     {"0;1;4;5", true, "0;1;4;5"},
        {"1;1;7;3", false, "1;1;2;3"},  // no such corner
        {"1;1;2;6", false, "1;1;2;3"},  // circle and rectangle at once
        {"garbage", false, "1;1;2;3"},
    };
    for (const Case& c : cases) {
        CPlot2dBufSettings b;
        ASSERT_TRUE(ini.WriteString("S", CPlot2dBufSettings::kKey, c.stored));
        EXPECT_EQ(b.Load("S", &ini), c.complete) << c.stored;
        EXPECT_EQ(b.GetText(), c.after) << c.stored;
    }
    // A section without the key keeps the current values.
    CPlot2dBufSettings b;
    b.m_TipsPosits = 0;
    EXPECT_TRUE(b.Load("Empty", &ini));
    EXPECT_EQ(b.GetText(), "1;1;0;3");
    EXPECT_TRUE(b.Save("Empty", &ini));
    EXPECT_EQ(ini.GetString("Empty", "CPlot2dBuf"), "1;1;0;3");
}

TEST(Plot2dBufSettings, CommandsToggleAndExcludeTheFilledShapes) {
    CPlot2dBufSettings b;
    b.Apply(BufCommand::kPntrRect);  // circle on: rectangle replaces it
    EXPECT_EQ(b.m_PntrShapes, 1 | 4);
    EXPECT_FALSE(b.IsChecked(BufCommand::kPntrPoint));
    b.Apply(BufCommand::kPntrPoint);
    EXPECT_EQ(b.m_PntrShapes, 1 | 2);
    b.Apply(BufCommand::kPntrCross);
    EXPECT_EQ(b.m_PntrShapes, 2);
    b.Apply(BufCommand::kPntrPoint);
    EXPECT_EQ(b.m_PntrShapes, 0);
    b.Apply(BufCommand::kTipsAllow);
    b.Apply(BufCommand::kPntrAllow);
    EXPECT_EQ(b.m_ScreenTips, 0);
    EXPECT_EQ(b.m_ScreenPntr, 0);
    const BufCommand corners[] = {BufCommand::kTipsMouse, BufCommand::kTipsFixTL,
                                  BufCommand::kTipsFixTR, BufCommand::kTipsFixBL,
                                  BufCommand::kTipsFixBR};
    for (int i = 0; i < 5; ++i) {
        b.Apply(corners[i]);
        EXPECT_EQ(b.m_TipsPosits, i);
        EXPECT_TRUE(b.IsChecked(corners[i]));
    }
    EXPECT_STREQ(BufCommandName(BufCommand::kPntrRect), "ID_2DBUF_PNTR_RECT");
}

TEST(Plot2dBufSettings, TipsBoxPlacement) {
    PlotRect area{0, 0, 200, 100};
    EXPECT_EQ(PlaceTipsBox(1, area, {}, 50, 20), (PlotRect{0, 0, 50, 20}));
    EXPECT_EQ(PlaceTipsBox(2, area, {}, 50, 20), (PlotRect{150, 0, 200, 20}));
    EXPECT_EQ(PlaceTipsBox(3, area, {}, 50, 20), (PlotRect{0, 80, 50, 100}));
    EXPECT_EQ(PlaceTipsBox(4, area, {}, 50, 20), (PlotRect{150, 80, 200, 100}));
    EXPECT_EQ(PlaceTipsBox(0, area, {10, 10}, 50, 20), (PlotRect{10, 10, 60, 30}));
    // Near the right edge the box moves back by half its width.
    EXPECT_EQ(PlaceTipsBox(0, area, {170, 10}, 50, 20), (PlotRect{145, 10, 195, 30}));
}

TEST(Plot2dRuler, TickLayoutTable) {
    struct Case {
        int length;
        int spacing;
        int steps;
        size_t majors;
    } cases[] = {
        {20, 0, 1, 0},                      // too short
        {21, 3, 1, 8},                      // 2..3: 21 % 3 == 0
        {100, 10, 1, 11},                   // 10..15: 100 % 10 == 0; 10 / 5 = 2 is not above 2
        {300, 30, 10, 11}, {97, 12, 5, 9},  // 9..14: 97 % 12 = 1 is the smallest remainder
        {400, 40, 10, 11}, {130, 13, 5, 11},
    };
    for (const Case& c : cases) {
        RulerTicks t = LayoutRulerTicks(c.length);
        EXPECT_EQ(t.majorSpacing, c.spacing) << c.length;
        EXPECT_EQ(t.minorSteps, c.steps) << c.length;
        EXPECT_EQ(t.majors.size(), c.majors) << c.length;
        for (int m : t.majors) {
            EXPECT_EQ(m % std::max(1, t.majorSpacing), 0);
        }
    }
    RulerTicks t = LayoutRulerTicks(300);
    ASSERT_GE(t.minors.size(), 9u);
    EXPECT_EQ(t.minors[0], 3);
    EXPECT_EQ(t.minors[8], 27);
}

TEST(Plot2dRuler, LabelsShowTheViewEndsAndAreThinned) {
    RulerTicks t = LayoutRulerTicks(300);
    auto valueAt = [](int at) { return at / 3.0; };
    auto width = [](const std::string& s) { return static_cast<int>(s.size()) * 6; };
    std::vector<RulerLabel> labels = LayoutRulerLabels(t, 300, -0.4, 100.4, 0, valueAt, width);
    ASSERT_GE(labels.size(), 3u);
    EXPECT_EQ(labels.front().text, "-0");
    EXPECT_EQ(labels.front().start, 0);
    EXPECT_EQ(labels.back().text, "100");
    EXPECT_EQ(labels.back().end, 300);
    for (size_t i = 1; i < labels.size(); ++i) {
        EXPECT_GE(labels[i].start, labels[i - 1].end + 3);
    }
    // Wide labels are thinned, but the maximum stays.
    auto wide = [](const std::string&) { return 50; };
    labels = LayoutRulerLabels(t, 300, 0, 100, 1, valueAt, wide);
    EXPECT_LT(labels.size(), t.majors.size());
    EXPECT_EQ(labels.back().text, "100.0");
    for (size_t i = 1; i < labels.size(); ++i) {
        EXPECT_GE(labels[i].start, labels[i - 1].end + 3);
    }
}

TEST(Plot2dRuler, FlagAndText) {
    CPlot2dRuler r;
    EXPECT_EQ(r.BandWidth(), 0);
    EXPECT_TRUE(r.SetText("1"));
    EXPECT_EQ(r.BandWidth(), 22);
    EXPECT_FALSE(r.SetText("x"));
    EXPECT_TRUE(r.IsOn());
}

TEST(Plot2dModelPersistence, SavesFourTextsAndLoadsThemBack) {
    test::TempDir dir;
    CIni ini(dir.file("plot.ini"));
    CPlot2dModel a;
    a.Options().showInfo = 0;
    a.Options().autoMode = -3;
    a.Cfg().SetView(CPlot2dCfg::kX, 5, 50);
    a.Cfg().Normalize();
    a.PlotBuf().m_TipsPosits = 4;
    a.Ruler().SetOn(true);
    ASSERT_TRUE(a.Save("Main::m_pPlot2dView", &ini));
    EXPECT_EQ(ini.GetString("Main::m_pPlot2dView", "CPlot2dView"), "0;1;0;0;-3;4;4;0;1");
    EXPECT_EQ(ini.GetString("Main::m_pPlot2dView", "CPlot2dRuler"), "1");

    CPlot2dModel b;
    EXPECT_TRUE(b.Load("Main::m_pPlot2dView", &ini));
    EXPECT_EQ(b.Options(), a.Options());
    EXPECT_EQ(b.Cfg().GetText(), a.Cfg().GetText());
    EXPECT_EQ(b.PlotBuf().GetText(), "1;1;4;3");
    EXPECT_TRUE(b.Ruler().IsOn());
}

TEST(Plot2dModelPersistence, ShortOptionsResetOptionsConfigurationAndBuffer) {
    test::TempDir dir;
    CIni ini(dir.file("plot.ini"));
    ASSERT_TRUE(ini.WriteString("S", "CPlot2dView", "1;1;0"));
    ASSERT_TRUE(ini.WriteString("S", "CPlot2dCfg", "0,10,0,10, 1,2,3,4, 0,1,2,3"));
    CPlot2dModel m;
    m.SetDefaultOptions(1, 0, 0, 0, 3, 0, 4, 0, 0);
    m.Options().zeroLine = 1;
    m.Cfg().SetView(CPlot2dCfg::kX, 7, 8);
    m.PlotBuf().m_ScreenTips = 0;
    EXPECT_FALSE(m.Load("S", &ini));
    EXPECT_EQ(m.Options().GetText(), "1;0;0;0;3;0;4;0;0");
    EXPECT_DOUBLE_EQ(m.Cfg().ViewMin(CPlot2dCfg::kX), -100);
    EXPECT_EQ(m.PlotBuf().GetText(), "1;1;2;3");

    // A bad configuration text stops the chain: the buffer text is not read.
    ASSERT_TRUE(ini.WriteString("T", "CPlot2dView", "1;1;0;0;1;4;4;0;1"));
    ASSERT_TRUE(ini.WriteString("T", "CPlot2dCfg", "broken"));
    ASSERT_TRUE(ini.WriteString("T", "CPlot2dBuf", "0;0;0;0"));
    EXPECT_FALSE(m.Load("T", &ini));
    EXPECT_EQ(m.PlotBuf().GetText(), "1;1;2;3");
}

TEST(Plot2dModelPersistence, WithoutAnIniTheProfileStoreIsUsed) {
    test::TempDir dir;
    SetPlotProfilePath(dir.file("profile.ini"));
    CPlot2dModel m;
    m.Options().drawPoints = 1;
    EXPECT_TRUE(m.Save("P"));
    SetPlotProfilePath("");
    CIni ini(dir.file("profile.ini"));
    EXPECT_EQ(ini.GetString("P", "CPlot2dView"), "1;1;1;0;1;4;4;0;1");
}

TEST(PlotLayout, ControlsTableAndHiddenControls) {
    PlotLayout l = ComputePlotLayout({0, 0, 400, 300}, true);
    EXPECT_EQ(l.toolbar, (PlotRect{6, 6, 334, 28}));
    EXPECT_EQ(l.plotArea, (PlotRect{6, 33, 372, 267}));
    EXPECT_EQ(l.xLeft, (PlotRect{6, 273, 61, 294}));
    EXPECT_EQ(l.xRight, (PlotRect{272, 273, 327, 294}));
    EXPECT_EQ(l.yBottom, (PlotRect{339, 273, 394, 294}));
    EXPECT_EQ(l.yTop, (PlotRect{339, 6, 394, 27}));
    EXPECT_EQ(l.hScroll, (PlotRect{67, 276, 266, 292}));
    EXPECT_EQ(l.vScroll, (PlotRect{378, 33, 394, 267}));
    EXPECT_EQ(l.progress, (PlotRect{16, 140, 362, 160}));

    PlotRect client{0, 0, 400, 300};
    PlotLayout hidden = ComputePlotLayout(client, false);
    EXPECT_EQ(hidden.plotArea, client);
    for (PlotRect r : {hidden.toolbar, hidden.xLeft, hidden.xRight, hidden.yBottom, hidden.yTop,
                       hidden.hScroll, hidden.vScroll}) {
        bool outside = r.right <= 0 || r.bottom <= 0 || r.left >= 400 || r.top >= 300;
        EXPECT_TRUE(outside) << r.left << "," << r.top << "," << r.right << "," << r.bottom;
    }
    EXPECT_TRUE(ComputePlotLayout({0, 0, 20, 20}, true).plotArea.IsEmpty());
}

TEST(MouseRateLimiter, AtMostAHundredMovesASecond) {
    CMouseRateLimiter limiter(100);
    using D = CMouseRateLimiter::Decision;
    EXPECT_EQ(limiter.TimerMilliseconds(), 10);
    EXPECT_EQ(limiter.OnMove(1.000), D::kProcess);
    limiter.Processed(1.000);
    EXPECT_EQ(limiter.OnMove(1.002), D::kStartTimer);
    EXPECT_EQ(limiter.OnMove(1.004), D::kIgnore);  // one timer pending is enough
    limiter.OnTimer(1.012);
    EXPECT_FALSE(limiter.IsPending());
    EXPECT_EQ(limiter.OnMove(1.015), D::kStartTimer);
    limiter.OnTimer(1.022);
    EXPECT_EQ(limiter.OnMove(1.040), D::kProcess);
}

}  // namespace
}  // namespace zm
