// Settings file of 200 device sections with 30 keys each: a bulk save through the batch
// scope, then every key read back with plain CIni calls.
#include "base/Ini.h"

#include <benchmark/benchmark.h>

#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

constexpr int kSections = 200;
constexpr int kKeys = 30;

std::string Folder() {
    static std::string folder = [] {
        std::string templ =
            (std::filesystem::temp_directory_path() / "zm-inibench-XXXXXX").string();
        char* made = ::mkdtemp(templ.data());
        return std::string(made ? made : "/tmp") + "/";
    }();
    return folder;
}

std::string SectionName(int d) {
    return "Zor-" + std::to_string(d + 1);
}
std::string KeyName(int k) {
    return "sKey" + std::to_string(k);
}
std::string Value(int d, int k) {
    return "value of device " + std::to_string(d) + " key " + std::to_string(k);
}

void WriteAll(const std::string& path) {
    zm::CIniBatch batch(path);
    zm::CIni ini(path);
    for (int d = 0; d < kSections; ++d)
        for (int k = 0; k < kKeys; ++k)
            ini.WriteString(SectionName(d), KeyName(k), Value(d, k));
}

void BM_BatchWrite6000Keys(benchmark::State& state) {
    std::string path = Folder() + "write.ini";
    for (auto _ : state) {
        std::filesystem::remove(path);
        WriteAll(path);
    }
    state.counters["file_bytes"] = static_cast<double>(std::filesystem::file_size(path));
}
BENCHMARK(BM_BatchWrite6000Keys)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_PlainRead6000Keys(benchmark::State& state) {
    std::string path = Folder() + "read.ini";
    std::filesystem::remove(path);
    WriteAll(path);
    size_t bad = 0;
    for (auto _ : state) {
        for (int d = 0; d < kSections; ++d) {
            zm::CIni ini(path);  // a short-lived object per section, as callers make them
            for (int k = 0; k < kKeys; ++k)
                if (ini.GetString(SectionName(d), KeyName(k)) != Value(d, k))
                    ++bad;
        }
    }
    if (bad != 0)
        state.SkipWithError("a value read back wrong");
}
BENCHMARK(BM_PlainRead6000Keys)->Unit(benchmark::kMillisecond)->Iterations(5);

// One plain write into the full file (whole-file rewrite, fsync, rename).
void BM_PlainWriteOneKey(benchmark::State& state) {
    std::string path = Folder() + "one.ini";
    std::filesystem::remove(path);
    WriteAll(path);
    zm::CIni ini(path);
    int n = 0;
    for (auto _ : state)
        ini.WriteInt("Zor-100", "nCounter", ++n);
}
BENCHMARK(BM_PlainWriteOneKey)->Unit(benchmark::kMillisecond)->Iterations(50);

// A read after another process changed the file: the file is parsed again.
void BM_ReadAfterForeignChange(benchmark::State& state) {
    std::string path = Folder() + "foreign.ini";
    std::filesystem::remove(path);
    WriteAll(path);
    zm::CIni ini(path);
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::last_write_time(
            path, std::filesystem::last_write_time(path) + std::chrono::seconds(1));
        state.ResumeTiming();
        benchmark::DoNotOptimize(ini.GetString("Zor-100", "sKey7"));
    }
}
BENCHMARK(BM_ReadAfterForeignChange)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(Folder());
    return 0;
}
