// The sensor protocol's costs: checksum, frame check, parameter rendering, and exchanges per
// second on one pseudo-terminal bus served by the simulator.
#include <benchmark/benchmark.h>

#include <barrier>
#include <memory>
#include <thread>

#include "device/zor/Crc16.h"
#include "device/zor/ZorFrame.h"
#include "device/zor/ZorParams.h"
#include "device/zor/ZorRecords.h"
#include "support/TempDir.h"
#include "zor/ZorTestPeers.h"

namespace {

using namespace zm;

void BM_Crc16Modbus519(benchmark::State& state) {
    std::vector<uint8_t> frame(519, 0x5A);
    for (auto _ : state) {
        benchmark::DoNotOptimize(Crc16Modbus(frame));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 519);
}
BENCHMARK(BM_Crc16Modbus519);

void BM_CheckDataAnswer64(benchmark::State& state) {
    std::vector<uint8_t> data;
    for (int i = 0; i < 61; ++i) {
        AppendDataRecord(data, 100.0f + static_cast<float>(i), 25.0f);
    }
    std::vector<uint8_t> frame = BuildZorResponse(5, kCmdGetDevDataPortion, data);
    std::vector<uint8_t> payload;
    std::string transcript;
    for (auto _ : state) {
        transcript.clear();
        benchmark::DoNotOptimize(
            CheckZorResponse(frame, kCmdGetDevDataPortion, payload, &transcript));
        benchmark::DoNotOptimize(EvaluateDataPortion(payload, 500, 10000, false, &transcript));
    }
}
BENCHMARK(BM_CheckDataAnswer64);

void BM_RenderParams(benchmark::State& state) {
    ZorParams params = DefaultZorParams();
    params.SetU16(62, 0x7E03);
    for (auto _ : state) {
        benchmark::DoNotOptimize(RenderParams(params, "Zor-01"));
    }
}
BENCHMARK(BM_RenderParams);

// Eight sensors on one simulated serial bus; `threads` devices poll it in turn through the
// channel lock, each sleeping `pause` ms before every exchange as the device does.
void BM_PtyBusExchanges(benchmark::State& state) {
    const int baud = static_cast<int>(state.range(0));
    const int pause = static_cast<int>(state.range(1));
    const int devices = static_cast<int>(state.range(2));
    test::TempDir dir;
    std::vector<std::string> args{"--no-tcp", "--pty", "--baud", std::to_string(baud)};
    for (int a = 1; a <= 8; ++a) {
        args.push_back("--sensor");
        args.push_back("addr=" + std::to_string(a) + ",records=5");
    }
    test::SimProcess sim(args);
    if (!sim.Ready()) {
        state.SkipWithError("zor-sim did not start");
        return;
    }
    std::vector<std::unique_ptr<test::TestHost>> hosts;
    std::vector<std::unique_ptr<CZorTransactor>> transactors;
    for (int d = 0; d < devices; ++d) {
        hosts.push_back(
            std::make_unique<test::TestHost>(test::FdLink::Serial(sim.ptyPath), dir.folder()));
        hosts.back()->keepLink = devices == 1;
        hosts.back()->address = static_cast<uint8_t>(d % 8 + 1);
        transactors.push_back(std::make_unique<CZorTransactor>(*hosts.back()));
        transactors.back()->SetPauseBeforeExchangeMs(pause);
    }
    const int perDevice = 40;
    int64_t done = 0;
    for (auto _ : state) {
        std::vector<std::thread> threads;
        std::barrier start(devices);
        for (int d = 0; d < devices; ++d) {
            threads.emplace_back([&, d] {
                start.arrive_and_wait();
                std::vector<uint8_t> payload;
                for (int i = 0; i < perDevice; ++i) {
                    transactors[static_cast<size_t>(d)]->Transact(nullptr, "GetDevStateData",
                                                                  kCmdGetDevStateData, {}, payload);
                }
            });
        }
        for (auto& t : threads) {
            t.join();
        }
        done += static_cast<int64_t>(devices) * perDevice;
    }
    int ok = 0;
    for (auto& h : hosts) {
        ok += h->successes;
    }
    state.counters["exchanges/s"] =
        benchmark::Counter(static_cast<double>(done), benchmark::Counter::kIsRate);
    state.counters["failed"] = static_cast<double>(done - ok);
}
BENCHMARK(BM_PtyBusExchanges)
    ->ArgNames({"baud", "pause_ms", "devices"})
    ->Args({0, 0, 1})
    ->Args({57600, 0, 1})
    ->Args({57600, 0, 8})
    ->Args({57600, 100, 8})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
