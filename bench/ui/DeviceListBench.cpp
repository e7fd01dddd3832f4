// One device-list update with 200 emulated devices: every row read from its device, the
// model told what changed, a table view attached (offscreen platform).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTableView>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "device/zor/ZorDevice.h"
#include "links/DeviceLink.h"
#include "ui/devicelist/DeviceListModel.h"
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
    std::vector<std::shared_ptr<CZorDevice>> devices;

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

std::vector<DeviceRow> ReadAll(Fleet& fleet, bool advanced, CDeviceTextSnapshots& snapshots) {
    std::vector<DeviceRow> rows;
    rows.reserve(fleet.devices.size());
    for (auto& d : fleet.devices) {
        rows.push_back(ReadDeviceRow(*d, advanced, &snapshots));
    }
    return rows;
}

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
    model.SetRows(ReadAll(fleet, advanced, snapshots));
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ++round;
        // What the poll threads would have changed since the last update.
        for (size_t i = 0; i < (all ? fleet.devices.size() : 1); ++i) {
            fleet.devices[i]->SetStatus(round % 2 ? kDevAlarm : kDevEmulation,
                                        "state " + std::to_string(round));
        }
        state.ResumeTiming();
        bool changed = model.SetRows(ReadAll(fleet, advanced, snapshots));
        benchmark::DoNotOptimize(changed);
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
