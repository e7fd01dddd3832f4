// From a sensor's alarm to the alarm window showing it, in the desktop program: one
// simulated TCP bus with a few sensors polled every `pause` seconds; each round puts one
// sensor's signal into its corridor (with its alarm bit) and times until the alarm window
// is shown with one row more, then takes the signal out again. Goal: p95 within pause +
// 0.5 s over 20 alarms.
//
// The program runs inside this process (engine, main window, alarm window), so that the
// window can be watched without a screen reader in between.
//
//   cmake --build --preset default --target bench_gui_alarm_latency zor-sim
//   xvfb-run -a build/default/bench/bench_gui_alarm_latency            # 20 alarms, pause 1 s
//   build/default/bench/bench_gui_alarm_latency --alarms 5 --pause 2
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/Folders.h"
#include "desktop/DesktopBench.h"
#include "ui/alarms/AlarmView.h"
#include "ui/alarms/AlarmWnd.h"
#include "ui/common/QtUiPort.h"
#include "ui/mainwindow/DesktopProgram.h"

namespace zm::bench {
namespace {

struct Options {
    int alarms = 20;
    int pause = 1;
    int sensors = 4;
};

bool Parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 < argc && arg == "--alarms") {
            o.alarms = std::atoi(argv[++i]);
        } else if (i + 1 < argc && arg == "--pause") {
            o.pause = std::atoi(argv[++i]);
        } else if (i + 1 < argc && arg == "--sensors") {
            o.sensors = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr,
                         "usage: bench_gui_alarm_latency [--alarms N] [--pause S] [--sensors N]\n");
            return false;
        }
    }
    return o.alarms > 0 && o.pause >= 0 && o.sensors > 0;
}

// Runs the GUI until done() or the time is up; true when done.
bool RunUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
    }
    return true;
}

int Run(int argc, char** argv, const Options& o) {
    std::printf("%d alarms on one simulated bus of %d sensors, pause %d s; platform %s\n", o.alarms,
                o.sensors, o.pause,
                qEnvironmentVariableIsEmpty("DISPLAY") ? "offscreen" : "X (xvfb)");
    std::printf("  load average before: %s\n", LoadAverage().c_str());
    std::fflush(stdout);
    test::DaemonHome home;
    SimulatedBuses buses;
    if (!buses.Start(home, 1, o.sensors, o.pause)) {
        return 1;
    }
    test::SimProcess& sim = *buses.sims.front();
    ManagerSettings s;
    s.bAlarmPopup = true;
    s.bAlarmSound = true;
    std::vector<test::HomeDevice> devices = buses.devices;
    home.WriteSettings(s, devices);
    SetHomeRoot(home.home.folder());

    ChoosePlatform();
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    AssemblyOptions options;
    options.httpPort = test::FreeTcpPort();
    options.httpBind = "127.0.0.1";
    options.noInternetCheck = true;
    options.noShare = true;
    std::vector<double> latencies;
    int missed = 0;
    {
        CDesktopProgram program(options);
        if (program.Start(false) != CZorManagerApp::StartResult::kStarted) {
            std::fprintf(stderr, "the program did not start\n");
            return 1;
        }
        auto rows = [&] {
            CAlarmWnd* window = program.Ui().AlarmWindow();
            return window != nullptr && window->isVisible() ? window->View()->RowCount() : 0;
        };
        // Every device polls before the first alarm.
        RunUntil([] { return false; }, 2000 + 1000 * o.pause);
        for (int i = 0; i < o.alarms; ++i) {
            const int address = i % o.sensors + 1;
            const int before = rows();
            const auto start = Clock::now();
            sim.Control(StrPrintf("set %d value=800,alarm=1", address));
            if (RunUntil([&] { return rows() > before; }, 5000 + 2000 * o.pause)) {
                latencies.push_back(Ms(Clock::now() - start));
            } else {
                ++missed;
            }
            sim.Control(StrPrintf("set %d value=100,alarm=0", address));
            // The device reports its normal state before its next alarm counts as new.
            RunUntil([] { return false; }, 1000 + 2000 * o.pause);
        }
        QTimer::singleShot(0, [&] { program.Window()->close(); });
        QObject::connect(&program, &CDesktopProgram::Closed, &app, &QCoreApplication::quit,
                         Qt::QueuedConnection);
        QApplication::exec();
        program.Exit();
    }
    std::printf("  alarm -> alarm window with the new row: n=%zu, missed %d\n", latencies.size(),
                missed);
    std::printf("  min %.0f ms, median %.0f ms, p95 %.0f ms, max %.0f ms (goal p95 <= %d ms)\n",
                latencies.empty() ? 0.0 : *std::min_element(latencies.begin(), latencies.end()),
                Percentile(latencies, 50), Percentile(latencies, 95),
                latencies.empty() ? 0.0 : *std::max_element(latencies.begin(), latencies.end()),
                o.pause * 1000 + 500);
    std::printf("  load average after: %s\n", LoadAverage().c_str());
    return missed == 0 ? 0 : 1;
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
