// Saving and loading the settings file with a large device list.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "app/DeviceRegistry.h"
#include "app/ManagerSettings.h"
#include "base/Ini.h"
#include "device/TavDevice.h"

namespace {

std::string TempFile() {
    return (std::filesystem::temp_directory_path() /
            ("zm-settings-bench-" + std::to_string(::getpid()) + ".ini"))
        .string();
}

// Close with "save": the settings section and every device section, as at exit.
void BM_SaveSettingsAndDevices(benchmark::State& state) {
    const std::string path = TempFile();
    zm::CDeviceGate gate;
    zm::GenericDeviceFactory factory;
    zm::CDeviceRegistry registry(gate, factory);
    for (int i = 0; i < state.range(0); ++i) {
        registry.AddDevice(false)->SetName("Sensor " + std::to_string(i + 1));
    }
    zm::CIni ini(path);
    const zm::ManagerSettings settings;
    for (auto _ : state) {
        zm::CIniBatch batch(path);
        settings.Save(ini);
        registry.SaveDevices(ini);
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_SaveSettingsAndDevices)->Arg(200)->Unit(benchmark::kMillisecond);

// Start: the settings section and the device sections (devices created and configured,
// their threads not started).
void BM_LoadSettingsAndDevices(benchmark::State& state) {
    const std::string path = TempFile();
    zm::CDeviceGate gate;
    zm::GenericDeviceFactory factory;
    {
        zm::CDeviceRegistry registry(gate, factory);
        for (int i = 0; i < state.range(0); ++i) {
            registry.AddDevice(false)->SetName("Sensor " + std::to_string(i + 1));
        }
        zm::CIni ini(path);
        zm::ManagerSettings().Save(ini);
        registry.SaveDevices(ini);
    }
    zm::CIni ini(path);
    for (auto _ : state) {
        zm::CIniBatch batch(path);
        zm::ManagerSettings settings;
        settings.Load(ini);
        zm::CDeviceRegistry registry(gate, factory);
        for (int n = 1; ini.IsSectionExist(zm::CDeviceRegistry::SectionName(n)); ++n) {
            registry.AddDevice(false)->ImportCfg(zm::CDeviceRegistry::SectionName(n), &ini);
        }
        benchmark::DoNotOptimize(registry.GetCount());
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_LoadSettingsAndDevices)->Arg(200)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
