// The trend of one device over 31 days of data logs written every second (2.7 million
// lines, about half a gigabyte), as the console's device detail asks for it: the first
// answer (every file parsed), the later ones (per-minute summaries of unchanged files),
// and the last 24 hours (the lines themselves). Goal: a month's trend within 300 ms.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>

#include "base/Printf.h"
#include "integration/DeviceTrend.h"

namespace zm {
namespace {

namespace fs = std::filesystem;

constexpr int kDays = 31;

struct Month {
    fs::path root;
    std::int64_t start = 0;
    Month() {
        root = fs::temp_directory_path() / ("zm-trend-bench-" + std::to_string(::getpid()));
        fs::create_directories(root / "2013-05" / "Pier-2");
        std::tm tm{};
        tm.tm_year = 113;
        tm.tm_mon = 4;
        tm.tm_mday = 1;
        tm.tm_isdst = -1;
        start = static_cast<std::int64_t>(std::mktime(&tm));
        std::string text;
        for (int day = 0; day < kDays; ++day) {
            std::time_t t = static_cast<std::time_t>(start + day * 86400);
            std::tm local{};
            localtime_r(&t, &local);
            const std::string name =
                StrPrintf("DataLog_ZS-0042_Pier-2_%04d-%02d-%02d.txt", local.tm_year + 1900,
                          local.tm_mon + 1, local.tm_mday);
            text = "\r\nPC Parameters:\r\n  header lines\r\n\r\nDate      \tTime    \t...\r\n";
            for (int s = 0; s < 86400; ++s) {
                const double v = 100 + (s % 977);
                text += StrPrintf(
                    "%02d.%02d.%04d\t%02d:%02d:%02d  \t%-12.0f\t%-12.0f\t%-12.0f\t%-16s\t%-12.0f\t"
                    "%-12.0f\t%-12.2f\t%-12d\t%-14.1f\t%-14.1f\t%-15.1f\t%-12.1f\t%-14.1f\t%-12."
                    "1f\t"
                    "%-14.1f\t%-4d\r\n",
                    local.tm_mday, local.tm_mon + 1, local.tm_year + 1900, s / 3600, s / 60 % 60,
                    s % 60, 123.0, v, 30.0, "Online and Ok", 500.0, 10000.0, 10.0, 5, 123.4, -5.5,
                    101.3, v - 3, 10.0, v + 3, 50.0, 5);
            }
            std::FILE* f = std::fopen((root / "2013-05" / "Pier-2" / name).c_str(), "wb");
            std::fwrite(text.data(), 1, text.size(), f);
            std::fclose(f);
        }
    }
    ~Month() {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
    TrendRequest Last(std::int64_t seconds) const {
        const std::int64_t end = start + kDays * 86400 - 1;
        return {end - seconds + 1, end, TrendRequest::kDefaultMaxPoints, end};
    }
};

Month& Data() {
    static Month month;
    return month;
}

void BM_MonthFirstAnswer(benchmark::State& state) {
    Month& m = Data();
    for (auto _ : state) {
        CDeviceTrendReader reader;  // nothing cached yet
        const Trend t = reader.Read(m.root.string() + "/", "Pier-2", m.Last(kDays * 86400));
        benchmark::DoNotOptimize(t.points.size());
        state.counters["points"] = static_cast<double>(t.points.size());
    }
}
BENCHMARK(BM_MonthFirstAnswer)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_MonthLaterAnswers(benchmark::State& state) {
    Month& m = Data();
    CDeviceTrendReader reader;
    reader.Read(m.root.string() + "/", "Pier-2", m.Last(kDays * 86400));
    for (auto _ : state) {
        const Trend t = reader.Read(m.root.string() + "/", "Pier-2", m.Last(kDays * 86400));
        const std::string json = TrendJsonText("Pier-2", m.Last(kDays * 86400), t);
        benchmark::DoNotOptimize(json.size());
        state.counters["points"] = static_cast<double>(t.points.size());
        state.counters["json_kb"] = static_cast<double>(json.size()) / 1024.0;
    }
}
BENCHMARK(BM_MonthLaterAnswers)->Unit(benchmark::kMillisecond);

void BM_Last24Hours(benchmark::State& state) {
    Month& m = Data();
    CDeviceTrendReader reader;
    for (auto _ : state) {
        const Trend t = reader.Read(m.root.string() + "/", "Pier-2", m.Last(86400));
        benchmark::DoNotOptimize(t.points.size());
        state.counters["samples"] = static_cast<double>(t.samples);
    }
}
BENCHMARK(BM_Last24Hours)->Unit(benchmark::kMillisecond);

void BM_LastHour(benchmark::State& state) {
    Month& m = Data();
    CDeviceTrendReader reader;
    for (auto _ : state) {
        const Trend t = reader.Read(m.root.string() + "/", "Pier-2", m.Last(3600));
        benchmark::DoNotOptimize(t.points.size());
    }
}
BENCHMARK(BM_LastHour)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zm

BENCHMARK_MAIN();
