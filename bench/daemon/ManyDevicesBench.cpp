// What a large installation costs the real server: 200 ZOR devices on 20 simulated TCP
// buses (20 zor-sim processes on loopback, 10 sensors each), polled for 60 s.
//
// Prints the server's CPU time (utime + stime from /proc/<pid>/stat) as a share of one
// core, over the whole run and over its steady part (after the first quarter, at most
// 10 s), its peak resident memory (VmHWM) and thread count, and whether every device was
// polled: requests per sensor from each simulator's transaction log, data-log files per
// device, and UDP data datagrams per device (UDP goes to a socket of this program). The
// devices keep the default pause of 2 s unless --pause says otherwise; mails are off (no
// sensor is in alarm).
//
// Build and run (default preset, from the repository root):
//   cmake --build --preset default -j2 --target zormanagerd zor-sim bench_many_devices
//   build/default/bench/bench_many_devices                # 20 buses x 10 sensors, 60 s
//   build/default/bench/bench_many_devices --quick        # smoke run: 2 x 3 sensors, 10 s
//   build/default/bench/bench_many_devices --pause 0 --seconds 30
// The load average is printed beside the figures: the machine's other work shows in them.
#include <signal.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/DaemonPeers.h"
#include "daemon/DaemonBench.h"
#include "support/ChildProcess.h"
#include "support/Loopback.h"
#include "support/TempDir.h"
#include "zor/ZorTestPeers.h"

namespace zm::bench {
namespace {

using test::kServer;

struct Options {
    int buses = 20;
    int perBus = 10;
    int seconds = 60;
    int pause = 2;
    std::string keep;
};

std::string DeviceName(int bus, int sensor) {
    return StrPrintf("Bus%02d-S%02d", bus, sensor);
}

struct Figures {
    int min = 0;
    int median = 0;
    int max = 0;
    int zero = 0;  // devices with none
};

Figures Spread(const std::vector<int>& counts) {
    Figures f;
    if (counts.empty()) {
        return f;
    }
    std::vector<int> sorted = counts;
    std::sort(sorted.begin(), sorted.end());
    f.min = sorted.front();
    f.max = sorted.back();
    f.median = sorted[sorted.size() / 2];
    f.zero = static_cast<int>(std::count(sorted.begin(), sorted.end(), 0));
    return f;
}

void PrintSpread(const char* what, const std::vector<int>& counts) {
    const Figures f = Spread(counts);
    std::printf("  %-44s %6d %6d %6d   devices with none: %d of %zu\n", what, f.min, f.median,
                f.max, f.zero, counts.size());
}

int Run(const Options& o) {
    std::printf(
        "%d ZOR devices on %d simulated TCP buses (%d sensors each), pause %d s, %d s run\n",
        o.buses * o.perBus, o.buses, o.perBus, o.pause, o.seconds);
    std::printf("  load average before: %s\n", LoadAverage().c_str());
    std::fflush(stdout);
    test::DaemonHome home;

    std::vector<std::unique_ptr<test::SimProcess>> sims;
    BenchSettings settings;
    for (int b = 1; b <= o.buses; ++b) {
        std::vector<std::string> args = {"--tcp-port", "0", "--log",
                                         home.home.file(StrPrintf("sim-%02d.log", b))};
        for (int s = 1; s <= o.perBus; ++s) {
            args.push_back("--sensor");
            args.push_back(
                StrPrintf("addr=%d,devnum=B%02dS%02d,source=sine:200:50:40,"
                          "param.MinSigThr=500,param.MaxSigThr=10000",
                          s, b, s));
        }
        sims.push_back(std::make_unique<test::SimProcess>(args));
        if (!sims.back()->Ready()) {
            std::fprintf(stderr, "zor-sim %d did not start\n", b);
            return 1;
        }
        for (int s = 1; s <= o.perBus; ++s) {
            settings.devices.push_back(
                BenchDevice(DeviceName(b, s), sims.back()->tcpPort, s, o.pause));
        }
    }

    StampedUdp udp;
    udp.keep = false;
    std::map<std::string, int> dataDatagrams;
    size_t stateDatagrams = 0;
    std::string otherDatagram;
    udp.onDatagram = [&](std::string_view d) {
        // "| serial | name | Data[n] = { ... }"
        const size_t second = d.find(" | ", 2);
        const size_t third = second == std::string_view::npos ? second : d.find(" | ", second + 3);
        if (third != std::string_view::npos && d.substr(third + 3, 5) == "Data[") {
            ++dataDatagrams[std::string(d.substr(second + 3, third - second - 3))];
        } else if (d.find("| Status = '") != std::string_view::npos) {
            ++stateDatagrams;
        } else if (otherDatagram.empty()) {
            otherDatagram = std::string(d);
        }
    };
    settings.nUdpPort = udp.port();
    WriteSettings(home, settings);

    const auto start = Clock::now();
    test::ChildProcess daemon(home.Args(test::FreeTcpPort()), home.home.file("daemon.out"));
    const pid_t pid = daemon.Pid();
    if (pid <= 0) {
        std::fprintf(stderr, "cannot start %s\n", kServer.c_str());
        return 1;
    }
    const auto warm = std::chrono::seconds(std::min(10, std::max(1, o.seconds / 4)));
    double cpuAtWarm = std::nan("");
    long threads = 0;
    const auto end = start + std::chrono::seconds(o.seconds);
    double cpuAtEnd = 0;
    while (Clock::now() < end) {
        pollfd p{udp.fd(), POLLIN, 0};
        poll(&p, 1, 50);
        udp.Drain();
        if (std::isnan(cpuAtWarm) && Clock::now() - start >= warm) {
            cpuAtWarm = ProcessCpuSeconds(pid);
        }
        if (!daemon.Running()) {
            std::fprintf(stderr, "the server ended early; see %s\n",
                         home.home.file("daemon.out").c_str());
            return 1;
        }
        threads = std::max(threads, ProcessStatusValue(pid, "Threads"));
    }
    cpuAtEnd = ProcessCpuSeconds(pid);
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    const double warmSeconds = std::chrono::duration<double>(warm).count();
    const long hwm = ProcessStatusValue(pid, "VmHWM");
    const long rss = ProcessStatusValue(pid, "VmRSS");
    const std::string loadAfter = LoadAverage();

    const auto stopAt = Clock::now();
    const auto stopWall = std::chrono::system_clock::now();
    kill(pid, SIGTERM);
    const int exitStatus = daemon.Wait(std::chrono::seconds(30));
    const double stopSeconds = std::chrono::duration<double>(Clock::now() - stopAt).count();
    udp.Drain();

    // Requests per sensor, from the simulators' transaction logs.
    std::vector<int> requests;
    std::vector<int> dataRequests;
    for (int b = 1; b <= o.buses; ++b) {
        std::vector<int> all(static_cast<size_t>(o.perBus) + 1, 0);
        std::vector<int> data(all.size(), 0);
        std::ifstream in(home.home.file(StrPrintf("sim-%02d.log", b)));
        for (std::string line; std::getline(in, line);) {
            const size_t req = line.find(" REQ ");
            const size_t brace = line.find('{', req == std::string::npos ? 0 : req);
            if (req == std::string::npos || brace == std::string::npos || line.size() < brace + 9) {
                continue;
            }
            // While the server stops, devices not yet stopped still poll, but their events
            // no longer reach the logs: only the polls of the measured time count.
            if (auto t = SimLogTime(line); !t || *t > stopWall) {
                continue;
            }
            const int address =
                static_cast<int>(std::strtol(line.substr(brace + 1, 2).c_str(), nullptr, 16));
            const int command =
                static_cast<int>(std::strtol(line.substr(brace + 7, 2).c_str(), nullptr, 16));
            if (address >= 1 && address <= o.perBus) {
                ++all[static_cast<size_t>(address)];
                // State, data portion, or both in one (1, 2, 57).
                if (command == 1 || command == 2 || command == 57) {
                    ++data[static_cast<size_t>(address)];
                }
            }
        }
        requests.insert(requests.end(), all.begin() + 1, all.end());
        dataRequests.insert(dataRequests.end(), data.begin() + 1, data.end());
    }

    // Data-log lines per device ("DataLog_<serial>_<name>_...").
    std::map<std::string, int> logLines;
    for (const auto& file : FilesNamed(home.Documents(), "DataLog_")) {
        const std::string name = file.filename().string();
        const size_t a = name.find('_', 8);
        const size_t b = a == std::string::npos ? a : name.find('_', a + 1);
        if (b == std::string::npos) {
            continue;
        }
        std::ifstream in(file);
        int lines = 0;
        for (std::string line; std::getline(in, line);) {
            // Measurement lines begin with the date; the header above them does not.
            lines += !line.empty() && std::isdigit(static_cast<unsigned char>(line[0])) &&
                     line.find('\t') != std::string::npos;
        }
        logLines[name.substr(a + 1, b - a - 1)] += lines;
    }
    std::vector<int> logCounts;
    std::vector<int> udpCounts;
    for (const test::HomeDevice& d : settings.devices) {
        logCounts.push_back(logLines.count(d.name) ? logLines[d.name] : 0);
        udpCounts.push_back(dataDatagrams.count(d.name) ? dataDatagrams[d.name] : 0);
    }
    std::string devLog;
    for (const auto& file : FilesNamed(home.Documents(), "DevLog_")) {
        std::ifstream in(file);
        devLog +=
            std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    auto count = [&](const std::string& needle) {
        size_t n = 0;
        for (size_t at = devLog.find(needle); at != std::string::npos;
             at = devLog.find(needle, at + 1)) {
            ++n;
        }
        return n;
    };

    std::printf("  server process (pid %d) over %.1f s:\n", static_cast<int>(pid), elapsed);
    std::printf("    CPU, whole run (start-up included)    %6.1f %% of one core (%.2f s)\n",
                100.0 * cpuAtEnd / elapsed, cpuAtEnd);
    std::printf("    CPU, steady part (from %2.0f s)          %6.1f %% of one core (%.2f s)\n",
                warmSeconds, 100.0 * (cpuAtEnd - cpuAtWarm) / (elapsed - warmSeconds),
                cpuAtEnd - cpuAtWarm);
    std::printf("    peak resident memory (VmHWM)          %6.1f MiB (VmRSS at the end %.1f MiB)\n",
                static_cast<double>(hwm) / 1024.0, static_cast<double>(rss) / 1024.0);
    std::printf("    threads (most seen)                   %6ld\n", threads);
    std::printf("    stop on SIGTERM                       %6.2f s, exit status %d\n", stopSeconds,
                exitStatus);
    std::printf("  per device                                      min median    max\n");
    PrintSpread("requests to the simulator (until SIGTERM)", requests);
    PrintSpread("state/data requests (poll cycles)", dataRequests);
    PrintSpread("data-log measurement lines", logCounts);
    PrintSpread("UDP data datagrams", udpCounts);
    std::printf(
        "  device log: %zu \"Online and Ok\", %zu \"No connection\", %zu \"Data is absent\" "
        "entries\n",
        count(": Online and Ok"), count(": No connection"), count(": Data is absent"));
    std::printf("  UDP datagrams received: %zu (%zu state datagrams)%s%s; load average after: %s\n",
                udp.count, stateDatagrams,
                otherDatagram.empty() ? "" : "; unexpected: ", otherDatagram.c_str(),
                loadAfter.c_str());
    if (!o.keep.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(o.keep, ec);
        std::filesystem::create_directories(o.keep, ec);
        std::filesystem::copy(home.home.path(), o.keep, std::filesystem::copy_options::recursive,
                              ec);
        std::printf("  home folder kept in %s\n", o.keep.c_str());
    }
    const bool allPolled = Spread(dataRequests).zero == 0 && Spread(logCounts).zero == 0;
    std::printf("  every device polled: %s\n", allPolled ? "yes" : "NO");
    return allPolled && exitStatus == 0 ? 0 : 1;
}

bool ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto number = [&](int& field, int least) {
            if (i + 1 >= argc) {
                return false;
            }
            field = std::max(least, std::atoi(argv[++i]));
            return true;
        };
        bool ok = true;
        if (arg == "--quick") {
            o.buses = 2;
            o.perBus = 3;
            o.seconds = 10;
        } else if (arg == "--buses") {
            ok = number(o.buses, 1);
        } else if (arg == "--per-bus") {
            ok = number(o.perBus, 1);
            o.perBus = std::min(o.perBus, 100);
        } else if (arg == "--seconds") {
            ok = number(o.seconds, 2);
        } else if (arg == "--pause") {
            ok = number(o.pause, 0);
        } else if (arg == "--keep" && i + 1 < argc) {
            o.keep = argv[++i];
        } else {
            ok = false;
        }
        if (!ok) {
            std::fprintf(stderr,
                         "usage: %s [--quick] [--buses N] [--per-bus N] [--seconds S] "
                         "[--pause S] [--keep DIR]\n"
                         "  --quick      2 buses x 3 sensors for 10 s (smoke run)\n"
                         "  --buses N    simulator processes (default 20)\n"
                         "  --per-bus N  sensors per simulator (default 10)\n"
                         "  --seconds S  how long the server runs (default 60)\n"
                         "  --pause S    the devices' pause in seconds (default 2, the default "
                         "of a new device)\n"
                         "  --keep DIR   copy the home folder (logs, simulator logs) to DIR\n",
                         argv[0]);
            return false;
        }
    }
    return true;
}

}  // namespace
}  // namespace zm::bench

int main(int argc, char** argv) {
    zm::bench::Options options;
    if (!zm::bench::ParseOptions(argc, argv, options)) {
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);
    return zm::bench::Run(options);
}
