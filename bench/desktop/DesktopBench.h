#pragma once

// Pieces shared by the desktop program's benchmarks: the simulated buses as the daemon
// drivers start them, and the desktop program run inside the benchmark's own process, so
// that its event loop can be probed.

#include <QApplication>

#include <memory>
#include <string>
#include <vector>

#include "app/DaemonPeers.h"
#include "base/Folders.h"
#include "base/Printf.h"
#include "daemon/DaemonBench.h"
#include "zor/ZorTestPeers.h"

namespace zm::bench {

// `buses` simulators on loopback with `perBus` sensors each; the buses listed in `slow`
// answer every request after `slowMs`. Devices are named Bus%02d-S%02d.
struct SimulatedBuses {
    std::vector<std::unique_ptr<test::SimProcess>> sims;
    std::vector<test::HomeDevice> devices;

    bool Start(const test::DaemonHome& home, int buses, int perBus, int pause,
               const std::vector<int>& slow = {}, int slowMs = 0, bool control = false) {
        for (int b = 1; b <= buses; ++b) {
            std::vector<std::string> args = {"--tcp-port", "0", "--log",
                                             home.home.file(StrPrintf("sim-%02d.log", b))};
            if (control) {
                args.insert(args.end(), {"--control-port", "0"});
            }
            if (std::find(slow.begin(), slow.end(), b) != slow.end()) {
                args.insert(args.end(), {"--latency", std::to_string(slowMs)});
            }
            for (int s = 1; s <= perBus; ++s) {
                args.push_back("--sensor");
                args.push_back(
                    StrPrintf("addr=%d,devnum=B%02dS%02d,value=100,"
                              "param.MinSigThr=500,param.MaxSigThr=10000",
                              s, b, s));
            }
            sims.push_back(std::make_unique<test::SimProcess>(args));
            if (!sims.back()->Ready()) {
                std::fprintf(stderr, "zor-sim %d did not start\n", b);
                return false;
            }
            for (int s = 1; s <= perBus; ++s) {
                devices.push_back(
                    BenchDevice(StrPrintf("Bus%02d-S%02d", b, s), sims.back()->tcpPort, s, pause));
            }
        }
        return true;
    }
};

// The platform the in-process benchmarks draw on: the X display when there is one (run
// them under xvfb-run to count painting as the operator's desk would), else offscreen.
inline void ChoosePlatform() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

}  // namespace zm::bench
