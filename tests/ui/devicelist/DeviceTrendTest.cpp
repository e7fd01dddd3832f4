#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <limits>

#include "device/zor/ZorDevice.h"
#include "links/DeviceLink.h"
#include "plot/Plot2dView.h"
#include "support/TempDir.h"
#include "ui/devicelist/DeviceTrend.h"

namespace zm {
namespace {

void EnsureApp() {
    static int argc = 1;
    static char name[] = "test_ui_devicelist";
    static char* argv[] = {name, nullptr};
    if (!qApp) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        new QApplication(argc, argv);
    }
}

TrendBlock Block(uint64_t stamp, std::vector<double> raw) {
    TrendBlock b;
    b.stamp = stamp;
    for (double r : raw) {
        b.raw.push_back(r);
        b.scaled.push_back(r / 2);
    }
    return b;
}

TEST(DeviceTrend, SetsThePlotUpAsTheDeviceListNeedsIt) {
    CPlot2dModel plot;
    CDeviceTrend trend(plot);
    EXPECT_EQ(plot.Options().GetText(), "1;0;0;0;3;0;4;0;0");
    EXPECT_DOUBLE_EQ(plot.Cfg().ViewMin(CPlot2dCfg::kX), -20);
    EXPECT_DOUBLE_EQ(plot.Cfg().ViewMax(CPlot2dCfg::kX), 220);
    EXPECT_DOUBLE_EQ(plot.Cfg().ViewMin(CPlot2dCfg::kY), 40);
    EXPECT_DOUBLE_EQ(plot.Cfg().ViewMax(CPlot2dCfg::kY), 60);
    ASSERT_EQ(plot.Data().Markers().size(), 4u);
    EXPECT_EQ(plot.Data().Markers()[0].penColor, (PlotColor{200, 0, 0}));
    EXPECT_EQ(plot.Data().Markers()[0].penStyle, kPenDotted);
    EXPECT_EQ(plot.Data().Markers()[1].y, 150);
    EXPECT_TRUE(plot.Data().Markers()[2].inDataRange);
    EXPECT_EQ(plot.LegendBox(), 15);
    EXPECT_FALSE(plot.LegendHorizontal());
    ASSERT_EQ(plot.GetXArrays(0)->size(), 1u);
    EXPECT_EQ((*plot.GetXArrays(0))[0][199], 199);
}

TEST(DeviceTrend, AppendsEachBlockOnceWithinTheWindowAndKeepsBounds) {
    CPlot2dModel plot;
    CDeviceTrend trend(plot);
    trend.Rebuild({{"Emu-1", {200, 0, 0}}, {"Emu-2", {0, 100, 0}}});
    EXPECT_EQ(plot.GetSeriesCount(0), 2);
    EXPECT_EQ(plot.GetSeries(0, 1)->name, "Emu-2");
    EXPECT_EQ(trend.Append(0, Block(1, {100, 120})), 2);
    EXPECT_EQ(trend.Append(0, Block(1, {100, 120})), 0);  // the same block again
    for (uint64_t stamp = 2; stamp < 120; ++stamp) {
        trend.Append(0, Block(stamp, {90, 92}));
    }
    const PlotSeries* s = plot.GetSeries(0, 0);
    EXPECT_EQ(s->count, CDeviceTrend::kWindow);
    EXPECT_DOUBLE_EQ(s->yMax, 60);  // 120 / 2 left the window but stays in the bounds
    EXPECT_DOUBLE_EQ((*plot.GetYArrays(0))[0].back(), 46);
    EXPECT_EQ(trend.TipText(0, 199), " Emu-1: \r\n Value[199] = 46.0 [Norm.92]");
    EXPECT_EQ(trend.TipText(1, 0), "");
    EXPECT_EQ(trend.Append(5, Block(1, {1})), -1);
    // Auto-scaling keeps the old extreme in view.
    EXPECT_GE(plot.Cfg().ViewMax(CPlot2dCfg::kY), 60);
}

TEST(DeviceTrend, TheTipNamesTheDeviceAndItsPoint) {
    CPlot2dModel plot;
    CDeviceTrend trend(plot);
    trend.Rebuild({{"Pier", {0, 0, 200}}});
    trend.Append(0, Block(1, {80, 90, 100, 110}));
    plot.Cfg().SetRect(0, 0, 201, 101);
    plot.SelectSeries(0, false, 0);
    plot.RecordedVisible() = {0, 3, 0, 3};
    // X of the cursor (moved by -1) at the third point.
    int column = plot.Cfg().XToPixel(2) + 1;
    PlotTip tip = plot.ComputeTip({column, 50});
    EXPECT_EQ(tip.text, " Pier: \r\n Value[2] = 50.0 [Norm.100]");
}

TEST(DeviceTrend, AnEmulatedDeviceGivesItsScaledFiniteValues) {
    test::TempDir dir;
    auto dev = std::make_shared<CZorDevice>(dir.file("Zor-Device.ini"), nullptr, "Emu");
    ZorDeviceCfg cfg;
    dev->GetZorSettings(cfg);
    cfg.sLinkType = kLinkTypeEmul;
    dev->SetZorSettings(cfg, true);
    dev->StopThreads();
    EXPECT_TRUE(ReadTrendBlock(*dev).raw.empty());
    dev->Poll();
    TrendBlock block = ReadTrendBlock(*dev);
    ASSERT_FALSE(block.raw.empty());
    EXPECT_EQ(block.raw.size(), block.scaled.size());
    EXPECT_EQ(block.stamp, dev->GetRunningTotal());
    for (size_t i = 0; i < block.raw.size(); ++i) {
        EXPECT_DOUBLE_EQ(block.scaled[i], dev->ScaleValue(block.raw[i]));
    }
}

TEST(DeviceTrend, ThreeEmulatedDevicesDrawTheirTrends) {
    EnsureApp();
    test::TempDir dir;
    CPlot2dView view;
    view.resize(520, 320);
    CDeviceTrend trend(view.Model());
    std::vector<std::shared_ptr<CZorDevice>> devices;
    const PlotColor colors[] = {{200, 0, 0}, {0, 100, 0}, {0, 0, 200}};
    std::vector<CDeviceTrend::Source> sources;
    for (int i = 0; i < 3; ++i) {
        auto dev = std::make_shared<CZorDevice>(dir.file("Zor-Device.ini"), nullptr,
                                                "Emu-" + std::to_string(i + 1));
        ZorDeviceCfg cfg;
        dev->GetZorSettings(cfg);
        cfg.sLinkType = kLinkTypeEmul;
        dev->SetZorSettings(cfg, true);
        dev->StopThreads();
        devices.push_back(dev);
        sources.push_back({dev->GetName(), colors[i]});
    }
    trend.Rebuild(sources);
    for (int round = 0; round < 60; ++round) {
        for (int i = 0; i < 3; ++i) {
            devices[size_t(i)]->Poll();
            trend.Append(i, ReadTrendBlock(*devices[size_t(i)]));
        }
    }
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(view.Model().GetSeries(0, i)->count, CDeviceTrend::kWindow);
    }
    // The view spans the data (hybrid auto-scaling, Y fitted with 5 % more).
    const PlotSeries* s = view.Model().GetSeries(0, 0);
    EXPECT_LE(view.Model().Cfg().ViewMin(CPlot2dCfg::kY), s->yMin);
    EXPECT_GE(view.Model().Cfg().ViewMax(CPlot2dCfg::kY), s->yMax);
    QImage shot = view.grab().toImage();
    QString folder = QStringLiteral(ZM_TEST_BINARY_DIR "/artifacts/devicelist");
    QDir().mkpath(folder);
    EXPECT_TRUE(shot.save(folder + "/trend-three-emulated.png"));
}

TEST(DeviceTrend, ThePlotWithoutDevicesShowsNoHatch) {
    EnsureApp();
    CPlot2dView view;
    CDeviceTrend trend(view.Model());
    trend.Rebuild({});
    QImage image(QSize(300, 200), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter p(&image);
    view.Render(p, QSize(300, 200));
    p.end();
    int grey = 0;
    int red = 0;
    for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < 300; ++x) {
            grey += image.pixelColor(x, y) == QColor(200, 200, 200);
            red += image.pixelColor(x, y) == QColor(200, 0, 0);
        }
    }
    EXPECT_EQ(grey, 0);
    EXPECT_GT(red, 0);  // the threshold line at 50
}

}  // namespace
}  // namespace zm
