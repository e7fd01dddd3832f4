// Run-log throughput: four threads append entries to one log, as device threads do.
// After each run the file is read back and every entry must be whole and in order per
// thread; a damaged file fails the benchmark.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "base/Log.h"

namespace {

constexpr int kThreads = 4;
const std::string kBom = "\xEF\xBB\xBF";

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Empty when every entry is whole; otherwise what is wrong.
std::string CheckFile(const std::string& path, int perThread) {
    const std::string bytes = ReadAll(path);
    const std::regex entry(
        "<font color=#000000>\xE2\x80\xA2 <font color=blue>\\[[^\\]]+\\]</font> Zor-0(\\d): "
        "poll cycle (\\d+) done, signal 123\\.45, background 6\\.78</font><br/>\r\n");
    std::vector<int> next(kThreads, 0);
    int count = 0;
    size_t at = bytes.find(kBom, kBom.size());  // the first append is header and separator
    while (at != std::string::npos) {
        size_t end = bytes.find(kBom, at + kBom.size());
        std::string part =
            bytes.substr(at + kBom.size(),
                         end == std::string::npos ? std::string::npos : end - at - kBom.size());
        at = end;
        if (part == "</body></html>") {
            continue;
        }
        std::smatch m;
        if (!std::regex_match(part, m, entry)) {
            return "broken entry: " + part;
        }
        int thread = std::stoi(m[1]);
        int n = std::stoi(m[2]);
        if (n != next[thread]) {
            return "entry out of order: " + part;
        }
        ++next[thread];
        ++count;
    }
    if (count != kThreads * perThread) {
        return "entries lost: " + std::to_string(count);
    }
    return {};
}

void BM_RunLogFourThreads(benchmark::State& state) {
    const int perThread = static_cast<int>(state.range(0));
    const auto folder = std::filesystem::temp_directory_path() /
                        ("zm-logbench-" + std::to_string(std::random_device{}()));
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove_all(folder);
        zm::CLog log;
        log.SetFolder(folder.string());
        if (!log.Open("RunLog_bench", true)) {
            state.SkipWithError("cannot open the log");
            break;
        }
        state.ResumeTiming();

        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&log, t, perThread] {
                for (int i = 0; i < perThread; ++i) {
                    log.AddText(
                        "<li><dt> Zor-0%d: poll cycle %d done, signal %.2f, background %.2f</li>",
                        t, i, 123.45, 6.78);
                }
            });
        }
        for (auto& thread : threads) {
            thread.join();
        }

        state.PauseTiming();
        log.Close();
        std::string problem = CheckFile(log.GetPath(), perThread);
        if (!problem.empty()) {
            state.SkipWithError(problem.c_str());
            break;
        }
        state.ResumeTiming();
    }
    std::filesystem::remove_all(folder);
    state.counters["entries/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kThreads * perThread,
                           benchmark::Counter::kIsRate);
}

BENCHMARK(BM_RunLogFourThreads)
    ->Arg(2500)
    ->Iterations(3)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
