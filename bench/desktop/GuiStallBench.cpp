// How long the desktop program's GUI thread can be kept from its event loop while a large
// installation polls flat out: 200 ZOR devices on 20 simulated TCP buses (20 zor-sim
// processes on loopback, 10 sensors each), pause 0, one bus answering every request after
// 1.5 s. A 10 ms timer on the GUI thread measures the gaps between its own ticks; a stall
// is a gap beyond the 10 ms. Goal: no stall over 50 ms. The wait for the window's first
// show and paint is start-up, printed on its own line and not counted as a stall.
//
// The program runs inside this process (the engine, the window and its views as
// zormanager builds them), so the probe shares the GUI thread with them.
//
//   cmake --build --preset default --target bench_gui_stall zor-sim
//   xvfb-run -a build/default/bench/bench_gui_stall              # 20 x 10 sensors, 60 s
//   build/default/bench/bench_gui_stall --quick                  # 2 x 3 sensors, 10 s
//   build/default/bench/bench_gui_stall --seconds 30 --buses 10
#include <QTimer>

#include <time.h>

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

double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1e6;
}

// How long the calling thread has waited, runnable, for a CPU (the kernel's run delay).
double ThreadRunDelayMs() {
    std::FILE* f = std::fopen("/proc/thread-self/schedstat", "r");
    if (f == nullptr) {
        return 0.0;
    }
    unsigned long long run = 0, wait = 0;
    const int read = std::fscanf(f, "%llu %llu", &run, &wait);
    std::fclose(f);
    return read == 2 ? static_cast<double>(wait) / 1e6 : 0.0;
}

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
    // (seconds into the run, gap, the GUI thread's own CPU time in the gap): a gap the
    // thread spent running is our work; one it spent waiting is the machine's load.
    struct LongGap {
        double at, gap, cpu, waitingForCpu;
    };
    std::vector<LongGap> longOnes;
    double startupGap = -1;
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
        double lastCpu = ThreadCpuMs();
        double lastDelay = ThreadRunDelayMs();
        QObject::connect(&probe, &QTimer::timeout, [&] {
            const auto now = Clock::now();
            const double cpu = ThreadCpuMs();
            const double delay = ThreadRunDelayMs();
            if (startupGap < 0) {
                // The first tick waits for the window's first show and paint (the web views
                // appear, the list is built): start-up, which bench_desktop_startup measures.
                startupGap = Ms(now - begin);
                last = now;
                lastCpu = cpu;
                lastDelay = delay;
                return;
            }
            gaps.push_back(Ms(now - last));
            if (gaps.back() > 40.0) {
                longOnes.push_back(
                    {Ms(now - begin) / 1000.0, gaps.back(), cpu - lastCpu, delay - lastDelay});
            }
            last = now;
            lastCpu = cpu;
            lastDelay = delay;
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
    std::printf("  window start-up (loop start to the first tick): %.1f ms\n", startupGap);
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
    for (const LongGap& g : longOnes) {
        std::printf(
            "    gap of %.0f ms at %.2f s: the GUI thread ran %.1f ms, waited %.1f ms for "
            "a CPU\n",
            g.gap, g.at, g.cpu, g.waitingForCpu);
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
