// The alarm journal: one transition committed (with its fsync), the history and the
// statistics over a journal of 100,000 alarms, and what such a journal adds to start-up.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "app/AlarmLifecycle.h"
#include "device/DeviceStatus.h"
#include "store/AlarmJournal.h"
#include "store/Database.h"
#include "store/StoreFile.h"

namespace {

using namespace zm;
namespace fs = std::filesystem;

constexpr std::int64_t kEnd = 1'800'000'000;
constexpr int kAlarms = 100000;
constexpr int kDays = 30;

fs::path BenchFolder() {
    fs::path dir = fs::temp_directory_path() / "zm-bench-alarm-journal";
    fs::create_directories(dir);
    return dir;
}

// 100,000 alarms over 30 days on 50 devices, 20 of them still open; made once per run.
const std::string& BigJournal() {
    static const std::string path = [] {
        const std::string file = (BenchFolder() / "Big.sqlite").string();
        for (const char* suffix : {"", "-wal", "-shm"}) {
            fs::remove(file + suffix);
        }
        store::CDatabase db = store::OpenStoreFile(file, store::journal::Migrations(), {}, nullptr);
        store::CTransaction fill(db);
        std::mt19937 random(7);
        std::uniform_int_distribution<std::int64_t> when(kEnd - kDays * 86400, kEnd - 1);
        // Ids are given as alarms open, so they rise with the open time, as in a real journal.
        std::vector<std::int64_t> opened(kAlarms);
        for (auto& t : opened) {
            t = when(random);
        }
        std::sort(opened.begin(), opened.end());
        for (int i = 1; i <= kAlarms; ++i) {
            store::JournalAlarm a;
            a.record.id = i;
            a.record.device = "Pier-" + std::to_string(i % 50);
            a.record.opened = opened[static_cast<std::size_t>(i - 1)];
            a.record.returned = a.record.opened + 120;
            a.record.state =
                i > kAlarms - 20 ? alarms::AlarmState::ActiveUnacked : alarms::AlarmState::Closed;
            a.record.maxValue = 800 + i % 300;
            a.record.ackedBy = "anna";
            a.record.ackedAt = a.record.opened + 30;
            a.announced = true;
            store::journal::SaveAlarm(db, a);
            store::journal::AddTransition(
                db, {i, a.record.opened, "opened", alarms::AlarmState::ActiveUnacked, {}, ""});
            store::journal::AddTransition(db, {i,
                                               a.record.ackedAt,
                                               "acknowledged",
                                               alarms::AlarmState::ActiveAcked,
                                               {"anna", ""},
                                               ""});
        }
        fill.Commit();
        db.Exec("PRAGMA wal_checkpoint(TRUNCATE)");
        return file;
    }();
    return path;
}

double Percentile(std::vector<double> samples, double share) {
    std::sort(samples.begin(), samples.end());
    return samples[static_cast<std::size_t>(share * static_cast<double>(samples.size() - 1))];
}

// Open and acknowledge alarm after alarm: each is one committed transaction.
void BM_TransitionCommitted(benchmark::State& state) {
    const std::string file = (BenchFolder() / "Commit.sqlite").string();
    for (const char* suffix : {"", "-wal", "-shm"}) {
        fs::remove(file + suffix);
    }
    CAlarmLifecycle lifecycle;
    lifecycle.Open(file, nullptr, nullptr);
    std::vector<double> ms;
    std::uint64_t n = 0;
    for (auto _ : state) {
        const AlarmDeviceFacts device{++n, "Pier-" + std::to_string(n % 8), kDevAlarm, 700};
        const auto start = std::chrono::steady_clock::now();
        lifecycle.OnAlarmOpened(device, "");
        const auto opened = std::chrono::steady_clock::now();
        lifecycle.OnAlarmClosed(device);
        const auto closed = std::chrono::steady_clock::now();
        ms.push_back(std::chrono::duration<double, std::milli>(opened - start).count());
        ms.push_back(std::chrono::duration<double, std::milli>(closed - opened).count());
    }
    state.counters["p50_ms"] = Percentile(ms, 0.50);
    state.counters["p99_ms"] = Percentile(ms, 0.99);
    state.counters["max_ms"] = Percentile(ms, 1.0);
}
BENCHMARK(BM_TransitionCommitted)->Iterations(500)->Unit(benchmark::kMillisecond);

void BM_HistoryOf100000(benchmark::State& state) {
    CAlarmLifecycle lifecycle([] { return kEnd; });
    lifecycle.Open(BigJournal(), nullptr, nullptr);
    std::size_t rows = 0;
    for (auto _ : state) {
        rows = lifecycle.History({0, 0, "", 0}).size();
        benchmark::DoNotOptimize(rows);
    }
    state.counters["alarms"] = static_cast<double>(rows);
}
BENCHMARK(BM_HistoryOf100000)->Unit(benchmark::kMillisecond);

void BM_HistoryCsvOf100000(benchmark::State& state) {
    CAlarmLifecycle lifecycle([] { return kEnd; });
    lifecycle.Open(BigJournal(), nullptr, nullptr);
    for (auto _ : state) {
        const std::string csv = alarms::HistoryCsv(lifecycle.History({0, 0, "", 0}));
        benchmark::DoNotOptimize(csv.size());
    }
}
BENCHMARK(BM_HistoryCsvOf100000)->Unit(benchmark::kMillisecond);

void BM_Statistics30DaysOf100000(benchmark::State& state) {
    CAlarmLifecycle lifecycle([] { return kEnd; });
    lifecycle.Open(BigJournal(), nullptr, nullptr);
    int total = 0;
    for (auto _ : state) {
        total = lifecycle.Statistics(kDays).total;
        benchmark::DoNotOptimize(total);
    }
    state.counters["alarms"] = total;
}
BENCHMARK(BM_Statistics30DaysOf100000)->Unit(benchmark::kMillisecond);

// Opening the journal and restoring its open alarms, against a new empty journal.
void BM_StartupWith100000(benchmark::State& state) {
    const bool big = state.range(0) != 0;
    const std::string empty = (BenchFolder() / "Empty.sqlite").string();
    const std::string& file = big ? BigJournal() : empty;
    for (auto _ : state) {
        CAlarmLifecycle lifecycle([] { return kEnd; });
        lifecycle.Open(file, nullptr, nullptr);
        benchmark::DoNotOptimize(lifecycle.OpenAlarms().size());
        lifecycle.FlushJournal();
    }
}
BENCHMARK(BM_StartupWith100000)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
