// Power loss during a settings save, many times over: a child program saving 200 devices
// is killed with SIGKILL at a random moment of the save, and the file must then hold the
// save before it or the new one, whole. Prints the outcome; non-zero on any bad file.
//
//   bench_settings_power_loss [RUNS=1000] [DEVICES=200] [SEED]
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/PowerLoss.h"
#include "support/TempDir.h"

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int devices = argc > 2 ? std::atoi(argv[2]) : 200;
    const unsigned seed = argc > 3 ? static_cast<unsigned>(std::strtoul(argv[3], nullptr, 10))
                                   : static_cast<unsigned>(::getpid());
    zm::test::TempDir dir;
    const auto start = std::chrono::steady_clock::now();
    const zm::test::PowerLossResult r =
        zm::test::RunPowerLoss(ZM_SETTINGS_SAVE_CHILD, dir.folder(), runs, devices, seed);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("runs %d, devices %d, seed %u, one save %.1f ms, total %.1f s\n", r.runs, devices,
                seed, r.saveMs, seconds);
    std::printf("file held the old save %d times, the new save %d times, anything else %zu times\n",
                r.keptOld, r.tookNew, r.problems.size());
    std::printf("temporary files left beside the settings file: %zu\n", r.strayFiles);
    for (const std::string& problem : r.problems)
        std::printf("  %s\n", problem.c_str());
    return r.problems.empty() && r.runs == runs ? 0 : 1;
}
