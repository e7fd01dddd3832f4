// How long the desktop program's GUI thread can be kept from its event loop while a large
// installation polls flat out: 200 ZOR devices on 20 simulated TCP buses (20 zor-sim
// processes on loopback, 10 sensors each), pause 0, one bus answering every request after
// 1.5 s. A 10 ms timer on the GUI thread measures the gaps between its own ticks; a stall
// is a gap beyond the 10 ms. Goal: no stall over 50 ms.
//
// The program runs inside this process (the engine, the window and its views as
// zormanager builds them), so the probe shares the GUI thread with them.
//
//   cmake --build --preset default --target bench_gui_stall zor-sim
//   xvfb-run -a build/default/bench/bench_gui_stall              # 20 x 10 sensors, 60 s
//   build/default/bench/bench_gui_stall --quick                  # 2 x 3 sensors, 10 s
//   build/default/bench/bench_gui_stall --seconds 30 --buses 10
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/Folders.h"
#include "desktop/DesktopBench.h"
#include "ui/mainwindow/DesktopProgram.h"

namespace zm::bench {
namespace {

struct Options {
    int buses = 20;
    int perBus = 10;
    int seconds = 60;
    int slowMs = 1500;
};

bool Parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](int& target) {
            if (i + 1 >= argc) {
                return false;
            }
            target = std::atoi(argv[++i]);
            return true;
        };
        if (arg == "--quick") {
            o.buses = 2;
            o.perBus = 3;
            o.seconds = 10;
        } else if (arg == "--buses" && value(o.buses)) {
        } else if (arg == "--per-bus" && value(o.perBus)) {
        } else if (arg == "--seconds" && value(o.seconds)) {
        } else if (arg == "--slow-ms" && value(o.slowMs)) {
        } else {
            std::fprintf(stderr,
                         "usage: bench_gui_stall [--quick] [--buses N] [--per-bus N] "
                         "[--seconds N] [--slow-ms MS]\n");
            return false;
        }
    }
    return true;
}

int Run(int argc, char** argv, const Options& o) {
    std::printf(
        "%d ZOR devices on %d simulated TCP buses (%d each), pause 0, bus 1 answers "
        "after %d ms; %d s; platform %s\n",
        o.buses * o.perBus, o.buses, o.perBus, o.slowMs, o.seconds,
        qEnvironmentVariableIsEmpty("DISPLAY") ? "offscreen" : "X (xvfb)");
    std::printf("  load average before: %s\n", LoadAverage().c_str());
    std::fflush(stdout);
    test::DaemonHome home;
    SimulatedBuses buses;
    if (!buses.Start(home, o.buses, o.perBus, 0, {1}, o.slowMs)) {
        return 1;
    }
    WriteSettings(home, BenchSettings{.devices = buses.devices});
    SetHomeRoot(home.home.folder());

    ChoosePlatform();
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    AssemblyOptions options;
    options.httpPort = test::FreeTcpPort();
    options.httpBind = "127.0.0.1";
    options.noInternetCheck = true;
    options.noShare = true;
    int exitCode = 0;
    std::vector<double> gaps;
    std::vector<std::pair<double, double>> longOnes;  // (seconds into the run, gap)
    {
        CDesktopProgram program(options);
        if (program.Start(false) != CZorManagerApp::StartResult::kStarted) {
            std::fprintf(stderr, "the program did not start\n");
            return 1;
        }
        QTimer probe;
        probe.setTimerType(Qt::PreciseTimer);
        const auto begin = Clock::now();
        auto last = begin;
        QObject::connect(&probe, &QTimer::timeout, [&] {
            const auto now = Clock::now();
            gaps.push_back(Ms(now - last));
            if (gaps.back() > 40.0) {
                longOnes.emplace_back(Ms(now - begin) / 1000.0, gaps.back());
            }
            last = now;
        });
        probe.start(10);
        QTimer::singleShot(o.seconds * 1000, [&] {
            probe.stop();
            program.Window()->close();
        });
        QObject::connect(&program, &CDesktopProgram::Closed, &app, &QCoreApplication::quit,
                         Qt::QueuedConnection);
        QApplication::exec();
        exitCode = program.Exit();
    }
    const std::string loadAfter = LoadAverage();
    // The first gap runs from the start of the loop; it counts like the others.
    std::vector<double> stalls;
    int over50 = 0;
    for (double gap : gaps) {
        const double stall = std::max(0.0, gap - 10.0);
        stalls.push_back(stall);
        over50 += stall > 50.0 ? 1 : 0;
    }
    std::printf("  probe ticks: %zu (expected about %d)\n", gaps.size(), o.seconds * 100);
    std::printf(
        "  stall beyond the 10 ms tick: median %.1f ms, p99 %.1f ms, p99.9 %.1f ms, "
        "max %.1f ms\n",
        Percentile(stalls, 50), Percentile(stalls, 99), Percentile(stalls, 99.9),
        stalls.empty() ? 0.0 : *std::max_element(stalls.begin(), stalls.end()));
    std::printf("  stalls over 50 ms: %d (goal: 0)\n", over50);
    for (const auto& [at, gap] : longOnes) {
        std::printf("    gap of %.0f ms at %.2f s\n", gap, at);
    }
    std::printf("  load average after: %s; exit code %d\n", loadAfter.c_str(), exitCode);
    return 0;
}

}  // namespace
}  // namespace zm::bench

int main(int argc, char** argv) {
    zm::bench::Options options;
    if (!zm::bench::Parse(argc, argv, options)) {
        return 2;
    }
    return zm::bench::Run(argc, argv, options);
}
