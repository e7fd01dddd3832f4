// Translation lookups as device threads make them: many short lookups of catalogue
// entries, in English and in a loaded language, from one and from several threads.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "base/MlsCatalogue.h"
#include "base/MlsPrgMsg.h"

namespace {

// One service for the whole program, with a language whose file translates every key.
zm::CMlsPrgMsg& Service() {
    static zm::CMlsPrgMsg* service = [] {
        auto folder = std::filesystem::temp_directory_path() / "zm-bench-mls";
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        std::string text = "[Codepage]\ncodepage=65001\n";
        std::string section;
        for (const zm::CMlsEntry* entry : zm::GetMlsEntries()) {
            std::string entrySection = entry->section ? entry->section : "Default";
            if (entrySection != section) {
                section = entrySection;
                text += "[" + section + "]\n";
            }
            text += std::string(entry->key) + "= Translated\n";
        }
        std::ofstream((folder / "Bench.lng").string(), std::ios::binary | std::ios::trunc) << text;
        auto* s = new zm::CMlsPrgMsg;  // lives to the end of the program
        s->SetFolder(folder.string());
        s->InitLanguages();
        return s;
    }();
    return *service;
}

void Lookups(benchmark::State& state, const char* language) {
    zm::CMlsPrgMsg& service = Service();
    if (state.thread_index() == 0 && service.GetCurrentLanguage() != language) {
        service.SwitchLanguage(language);
    }
    const auto& entries = zm::GetMlsEntries();
    size_t i = static_cast<size_t>(state.thread_index()) * 31;
    for (auto _ : state) {
        benchmark::DoNotOptimize(zm::Translate(*entries[i++ % entries.size()]));
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_TranslateEnglish(benchmark::State& state) {
    Lookups(state, "English");
}
void BM_TranslateLoaded(benchmark::State& state) {
    Lookups(state, "Bench");
}
BENCHMARK(BM_TranslateEnglish)->Threads(1)->Threads(4)->UseRealTime();
BENCHMARK(BM_TranslateLoaded)->Threads(1)->Threads(4)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
