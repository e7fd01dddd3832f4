// The ZOR device's poll cycle: exchanges per second of eight devices sharing one serial bus,
// and the processor time of one combined-mode cycle.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "device/zor/ZorDevice.h"
#include "support/TempDir.h"
#include "zor/ZorTestPeers.h"

namespace {

using namespace zm;

std::shared_ptr<CZorDevice> MakeDevice(const test::SimProcess& sim, const std::string& cfgPath,
                                       uint8_t address, int pauseBeforeMs) {
    auto dev = std::make_shared<CZorDevice>(cfgPath, nullptr, "Bench-" + std::to_string(address));
    dev->SetChannelLockPrefix("zdb-" + std::to_string(getpid()) + "-");
    dev->SetPauseBeforeExchangeMs(pauseBeforeMs);
    ZorDeviceCfg cfg;
    dev->GetZorSettings(cfg);
    if (!sim.ptyPath.empty()) {
        cfg.sLinkType = kLinkTypeCom;
        cfg.comPort.sPortName = sim.ptyPath;
        cfg.comPort.nBaudRate = 57600;
    } else {
        cfg.sLinkType = kLinkTypeTcpIp;
        cfg.xSocket.sAddress = "127.0.0.1";
        cfg.xSocket.nPort = sim.tcpPort;
    }
    cfg.nPause = 0;
    // A serial port is opened by one master at a time: devices sharing one close it after
    // every exchange. A TCP endpoint takes several clients, so the link is kept.
    cfg.bKeepLink = sim.ptyPath.empty();
    cfg.params.SetAddress(address);
    dev->SetZorSettings(cfg, true);
    dev->StopThreads();
    return dev;
}

// Eight 5.2 sensors on one pseudo-terminal bus at 57600 baud, each polled by its own device
// with pause 0 and the real pause before every exchange. Counter: exchanges per second.
void BM_PtyBusEightDevices(benchmark::State& state) {
    const int pauseBeforeMs = static_cast<int>(state.range(0));
    std::vector<std::string> args{"--pty", "--no-tcp", "--baud", "57600"};
    for (int a = 1; a <= 8; ++a) {
        args.push_back("--sensor");
        args.push_back("addr=" + std::to_string(a) + ",type=5.2.0.1,value=100");
    }
    test::SimProcess sim(args);
    if (!sim.Ready()) {
        state.SkipWithError("simulator did not start");
        return;
    }
    test::TempDir dir;
    const std::string cfgPath = (dir.path() / "Zor-Device.ini").string();
    std::vector<std::shared_ptr<CZorDevice>> devices;
    for (int a = 1; a <= 8; ++a) {
        devices.push_back(MakeDevice(sim, cfgPath, static_cast<uint8_t>(a), pauseBeforeMs));
        devices.back()->Poll();  // controller type and parameters first
    }
    for (auto _ : state) {
        std::atomic<bool> stop{false};
        std::vector<std::thread> threads;
        std::atomic<long> cycles{0};
        const auto start = std::chrono::steady_clock::now();
        for (auto& dev : devices) {
            threads.emplace_back([&, d = dev.get()] {
                while (!stop.load()) {
                    d->Poll();
                    ++cycles;
                }
            });
        }
        std::this_thread::sleep_for(std::chrono::seconds(3));
        stop.store(true);
        for (auto& t : threads) {
            t.join();
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.counters["exchanges_per_s"] = static_cast<double>(cycles.load()) / seconds;
    }
    for (auto& dev : devices) {
        if (dev->GetRunningTotal() == 0) {
            state.SkipWithError("a device got no data");
        }
    }
}
BENCHMARK(BM_PtyBusEightDevices)->Arg(100)->Arg(0)->Iterations(1)->Unit(benchmark::kSecond);

// One combined-mode cycle (GetDevStateData) over loopback TCP without the pause before the
// exchange; the processor time is this process's share (the simulator runs apart).
void BM_CombinedCycleTcp(benchmark::State& state) {
    test::SimProcess sim({"--tcp-port", "0", "--sensor", "addr=5,type=5.2.0.1,value=100"});
    if (!sim.Ready()) {
        state.SkipWithError("simulator did not start");
        return;
    }
    test::TempDir dir;
    auto dev = MakeDevice(sim, (dir.path() / "Zor-Device.ini").string(), 5, 0);
    dev->Poll();
    const uint32_t before = dev->GetRunningTotal();
    for (auto _ : state) {
        dev->Poll();
    }
    if (dev->GetRunningTotal() != before + 5 * state.iterations()) {
        state.SkipWithError("a cycle failed");
    }
}
BENCHMARK(BM_CombinedCycleTcp)->Unit(benchmark::kMicrosecond);

// The emulated cycle: the device's own work without any link.
void BM_EmulatedCycle(benchmark::State& state) {
    test::TempDir dir;
    auto dev = std::make_shared<CZorDevice>((dir.path() / "Zor-Device.ini").string(), nullptr);
    ZorDeviceCfg cfg;
    dev->GetZorSettings(cfg);
    cfg.sLinkType = kLinkTypeEmul;
    dev->SetZorSettings(cfg, true);
    dev->StopThreads();
    for (auto _ : state) {
        dev->Poll();
    }
}
BENCHMARK(BM_EmulatedCycle)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
