// Opening the device settings dialog and the link settings dialog: constructed, shown and
// painted once (offscreen platform). A device on the emulation link, so no exchange runs.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <filesystem>
#include <memory>
#include <string>

#include "device/zor/ZorDevice.h"
#include "ui/devices/ZorDevDlg.h"
#include "ui/devices/ZorSetsDlg.h"

namespace {

using namespace zm;

QApplication& App() {
    static int argc = 1;
    static char name[] = "bench_device_dialogs";
    static char* argv[] = {name, nullptr};
    if (!qApp) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        new QApplication(argc, argv);
    }
    return *static_cast<QApplication*>(QApplication::instance());
}

std::shared_ptr<CZorDevice> MakeDevice() {
    const auto dir =
        std::filesystem::temp_directory_path() / ("zm-bench-devdlg-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    auto dev = std::make_shared<CZorDevice>((dir / "Zor-Device.ini").string(), nullptr, "Emu-1");
    ZorDeviceCfg cfg;
    dev->GetZorSettings(cfg);
    cfg.sLinkType = kLinkTypeEmul;
    dev->SetZorSettings(cfg, false);
    return dev;
}

template <class Dialog, class Make>
void OpenDialog(benchmark::State& state, Make make) {
    App();
    auto dev = MakeDevice();
    for (auto _ : state) {
        auto dialog = make(*dev);
        dialog->show();
        dialog->repaint();
        QApplication::processEvents();
        benchmark::DoNotOptimize(dialog.get());
        dialog.reset();
        QApplication::processEvents();
    }
    dev->StopThreads();
}

void BM_OpenDeviceSettingsDialog(benchmark::State& state) {
    OpenDialog<CZorDevDlg>(state, [](CZorDevice& dev) {
        return std::make_unique<CZorDevDlg>(dev, std::vector<std::string>{"Emu-1"}, true);
    });
}
BENCHMARK(BM_OpenDeviceSettingsDialog)->Unit(benchmark::kMillisecond);

void BM_OpenLinkSettingsDialog(benchmark::State& state) {
    OpenDialog<CZorSetsDlg>(state,
                            [](CZorDevice& dev) { return std::make_unique<CZorSetsDlg>(dev); });
}
BENCHMARK(BM_OpenLinkSettingsDialog)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
