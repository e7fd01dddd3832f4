// Redrawing the trend plot into its back buffer on the offscreen platform.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cmath>

#include "plot/Plot2dView.h"

namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "bench_plot";
    static char* argv[] = {name, nullptr};
    if (!qApp) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        new QApplication(argc, argv);
    }
    return *static_cast<QApplication*>(QApplication::instance());
}

// Series of `points` values each, sharing one X array, as the device list feeds them. A
// smooth trend with a little noise, or with noise of an eighth of the range on every point
// (the worst case: nearly every segment is a tall stroke).
void Fill(zm::CPlot2dModel& m, int series, int points, bool jagged) {
    zm::PlotArray xs(points);
    for (int i = 0; i < points; ++i) {
        xs[i] = i;
    }
    m.GetXArrays(0)->push_back(xs);
    for (int s = 0; s < series; ++s) {
        zm::PlotArray ys(points);
        for (int i = 0; i < points; ++i) {
            double noise = (i * 7919 + s * 104729) % 13 / 12.0;  // 0..1, scattered
            // The same trend shape whatever the number of points.
            double t = i * 200.0 / points;
            ys[i] = 50 + 20 * std::sin((t + 7 * s) / 9.0) + (jagged ? 12 * noise : noise);
        }
        m.GetYArrays(0)->push_back(ys);
        zm::PlotColor color{uint8_t(s * 37 % 200), uint8_t(s * 91 % 200), uint8_t(s * 53 % 200)};
        m.AddSeries(0, s, color, "series", true, -1, 0, 0);
    }
    m.Rescale(false);
}

void Redraw(benchmark::State& state, int series, int points, bool jagged) {
    App();
    const qreal ratio = state.range(0) / 1.0;
    zm::CPlot2dView view;
    Fill(view.Model(), series, points, jagged);
    const QSize size(800, 400);
    QImage back((QSizeF(size) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    back.setDevicePixelRatio(ratio);
    for (auto _ : state) {
        QPainter p(&back);
        view.Render(p, size);
        p.end();
        benchmark::DoNotOptimize(back.constBits());
    }
    state.counters["points"] = double(series) * points;
}

// Argument: the device pixel ratio.
void BM_Plot_50x200(benchmark::State& state) {
    Redraw(state, 50, 200, false);
}
void BM_Plot_1x100000(benchmark::State& state) {
    Redraw(state, 1, 100000, false);
}
void BM_Plot_50x200_Jagged(benchmark::State& state) {
    Redraw(state, 50, 200, true);
}
void BM_Plot_1x100000_Jagged(benchmark::State& state) {
    Redraw(state, 1, 100000, true);
}

}  // namespace

BENCHMARK(BM_Plot_50x200)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Plot_1x100000)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Plot_50x200_Jagged)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Plot_1x100000_Jagged)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
