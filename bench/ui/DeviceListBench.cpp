// One device-list update with 200 emulated devices: every row read from its device, the
// model told what changed (a table view attached), each new data block fed to the trend
// (offscreen platform).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTableView>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "device/zor/ZorDevice.h"
#include "links/DeviceLink.h"
#include "plot/model/Plot2dModel.h"
#include "ui/devicelist/DeviceListModel.h"
#include "ui/devicelist/DeviceListUpdater.h"
#include "ui/devicelist/DeviceRow.h"
#include "ui/devicelist/DeviceTextSnapshots.h"

namespace {

using namespace zm;

QApplication& App() {
    static int argc = 1;
    static char name[] = "bench_device_list";
    static char* argv[] = {name, nullptr};
    if (!qApp) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        new QApplication(argc, argv);
    }
    return *static_cast<QApplication*>(QApplication::instance());
}

struct Fleet {
    std::filesystem::path dir;
    std::vector<std::shared_ptr<CTavDevice>> devices;

    explicit Fleet(int count) {
        dir = std::filesystem::temp_directory_path() /
              ("zm-bench-devlist-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        for (int i = 0; i < count; ++i) {
            std::string name = "Emu-" + std::to_string(i + 1);
            auto dev =
                std::make_shared<CZorDevice>((dir / "Zor-Device.ini").string(), nullptr, name);
            ZorDeviceCfg cfg;
            dev->GetZorSettings(cfg);
            cfg.sName = name;
            cfg.crColor = uint32_t(i * 2654435761u) & 0xC0C0C0;
            cfg.sLinkType = kLinkTypeEmul;
            dev->SetZorSettings(cfg, true);
            dev->StopThreads();
            dev->Poll();
            devices.push_back(dev);
        }
    }
    ~Fleet() {
        devices.clear();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

// Arguments: rows changed per update (all or one), advanced mode.
void BM_DeviceListUpdate(benchmark::State& state) {
    App();
    const bool all = state.range(0) != 0;
    const bool advanced = state.range(1) != 0;
    Fleet fleet(200);
    CDeviceTextSnapshots snapshots;
    CDeviceListModel model;
    QTableView view;
    view.setModel(&model);
    view.resize(1000, 600);
    CPlot2dModel plot;
    CDeviceTrend trend(plot);
    CDeviceListUpdater updater(model, snapshots, &trend);
    updater.Update(fleet.devices, advanced);
    for (auto _ : state) {
        state.PauseTiming();
        // A poll cycle of each changed device: new data, status and texts.
        for (size_t i = 0; i < (all ? fleet.devices.size() : 1); ++i) {
            static_cast<CZorDevice&>(*fleet.devices[i]).Poll();
        }
        state.ResumeTiming();
        DeviceListUpdateResult result = updater.Update(fleet.devices, advanced);
        benchmark::DoNotOptimize(result);
    }
    state.counters["devices"] = double(fleet.devices.size());
}

}  // namespace

BENCHMARK(BM_DeviceListUpdate)
    ->ArgNames({"all", "advanced"})
    ->Args({1, 0})
    ->Args({0, 0})
    ->Args({1, 1})
    ->Args({0, 1})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
