// Cost of many generic devices on the emulation link: total CPU time and peak resident
// memory while they poll (scanning on) and while they idle (scanning off).
//
//   device_bench [seconds=30] [devices=1000] [mode=both|poll|off|floor]
//
// Each mode runs in a child process of its own, so that its peak memory is its own.
// "floor" measures the same thread pattern with no device work at all: per device one
// thread that wakes every 100 ms (or 500 ms) and signals a second one, as a poll signals
// the event thread. It is the least that a thread per device can cost on this machine.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "device/DeviceThread.h"
#include "device/EventSet.h"
#include "device/TavDevice.h"

namespace {

using Clock = std::chrono::steady_clock;

double CpuSeconds(const rusage& ru) {
    return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

struct Counter {
    std::atomic<long> data{0};
    void OnData(zm::CTavDevice*) { data.fetch_add(1, std::memory_order_relaxed); }
};

int RunMode(bool scanning, int seconds, int count) {
    Counter counter;
    std::vector<std::shared_ptr<zm::CTavDevice>> devices;
    devices.reserve(static_cast<std::size_t>(count));

    const auto startUp = Clock::now();
    for (int i = 0; i < count; ++i) {
        auto dev = std::make_shared<zm::CTavDevice>("", nullptr, "Bench-" + std::to_string(i));
        dev->NewDataEvent.Subscribe(&counter, &Counter::OnData);
        zm::TavDeviceCfg cfg;
        dev->GetSettings(cfg);
        cfg.sLinkType = zm::kLinkTypeEmul;
        cfg.bScanning = scanning;
        dev->SetSettings(cfg, true);
        if (!dev->AreThreadsRunning()) {
            std::fprintf(stderr, "device %d: threads did not start\n", i);
            return 1;
        }
        devices.push_back(std::move(dev));
    }
    const double startSeconds = std::chrono::duration<double>(Clock::now() - startUp).count();

    // Let start-up settle, then measure a steady stretch.
    std::this_thread::sleep_for(std::chrono::seconds(2));
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    const long dataBefore = counter.data.load();
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    const long polls = counter.data.load() - dataBefore;

    const auto stopStart = Clock::now();
    int failed = 0;
    for (auto& dev : devices) {
        failed += dev->StopThreads() ? 0 : 1;
    }
    devices.clear();
    const double stopSeconds = std::chrono::duration<double>(Clock::now() - stopStart).count();

    const double cpu = CpuSeconds(after) - CpuSeconds(before);
    std::printf(
        "%-12s devices=%d wall=%.1fs cpu=%.2fs (%.2f%% of one core) user=%.2fs sys=%.2fs "
        "polls/s=%.0f peakRSS=%.1fMB vol-csw=%ld invol-csw=%ld start=%.2fs stop=%.2fs "
        "failed-stops=%d\n",
        scanning ? "polling" : "scanning-off", count, wall, cpu, 100.0 * cpu / wall,
        static_cast<double>(after.ru_utime.tv_sec - before.ru_utime.tv_sec) +
            static_cast<double>(after.ru_utime.tv_usec - before.ru_utime.tv_usec) / 1e6,
        static_cast<double>(after.ru_stime.tv_sec - before.ru_stime.tv_sec) +
            static_cast<double>(after.ru_stime.tv_usec - before.ru_stime.tv_usec) / 1e6,
        static_cast<double>(polls) / wall, static_cast<double>(after.ru_maxrss) / 1024.0,
        after.ru_nvcsw - before.ru_nvcsw, after.ru_nivcsw - before.ru_nivcsw, startSeconds,
        stopSeconds, failed);
    std::fflush(stdout);
    return failed == 0 ? 0 : 1;
}

int RunFloor(bool polling, int seconds, int count) {
    struct Pair {
        zm::CEventSet stop;
        zm::CEventSet events;
        zm::CDeviceThread waker;
        zm::CDeviceThread raiser;
    };
    const auto period = std::chrono::milliseconds(polling ? 100 : 500);
    std::vector<std::unique_ptr<Pair>> pairs;
    for (int i = 0; i < count; ++i) {
        auto p = std::make_unique<Pair>();
        Pair* raw = p.get();
        raw->raiser.Create([raw] {
            while (raw->events.Wait(0x3) != 0) {
            }
        });
        raw->waker.Create([raw, period, polling] {
            while (raw->stop.Wait(0x1, period) == zm::CEventSet::kTimeout) {
                if (polling) {
                    raw->events.Set(1);
                }
            }
        });
        raw->raiser.Resume();
        raw->waker.Resume();
        pairs.push_back(std::move(p));
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    for (auto& p : pairs) {
        p->stop.Set(0);
        p->events.Set(0);
        p->waker.WaitForEnd(std::chrono::milliseconds(3000));
        p->raiser.WaitForEnd(std::chrono::milliseconds(3000));
    }
    const double cpu = CpuSeconds(after) - CpuSeconds(before);
    std::printf("%-12s devices=%d wall=%.1fs cpu=%.2fs (%.2f%% of one core) peakRSS=%.1fMB\n",
                polling ? "floor-poll" : "floor-off", count, wall, cpu, 100.0 * cpu / wall,
                static_cast<double>(after.ru_maxrss) / 1024.0);
    std::fflush(stdout);
    return 0;
}

enum class Run { Off, Poll, FloorOff, FloorPoll };

int RunInChild(Run run, int seconds, int count) {
    const pid_t pid = fork();
    if (pid == 0) {
        switch (run) {
            case Run::Off:
                std::_Exit(RunMode(false, seconds, count));
            case Run::Poll:
                std::_Exit(RunMode(true, seconds, count));
            case Run::FloorOff:
                std::_Exit(RunFloor(false, seconds, count));
            case Run::FloorPoll:
                std::_Exit(RunFloor(true, seconds, count));
        }
        std::_Exit(1);
    }
    if (pid < 0) {
        std::perror("fork");
        return 1;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    const int count = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1000;
    const std::string mode = argc > 3 ? argv[3] : "both";
    int rc = 0;
    if (mode == "both" || mode == "off") {
        rc |= RunInChild(Run::Off, seconds, count);
    }
    if (mode == "both" || mode == "poll") {
        rc |= RunInChild(Run::Poll, seconds, count);
    }
    if (mode == "floor") {
        rc |= RunInChild(Run::FloorOff, seconds, count);
        rc |= RunInChild(Run::FloorPoll, seconds, count);
    }
    return rc;
}
