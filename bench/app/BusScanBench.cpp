// The bus scan of one pseudo-terminal: addresses 1..100, sensors answering at 3, 17 and 42,
// 57600 baud, the device's default pause and read time-outs. Prints the total time and the
// bound the time-outs set. One run takes about as long as the scan (15-25 s).
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ZorTestPeers.h"
#include "app/BusScan.h"
#include "base/MessageSink.h"
#include "device/zor/ZorDevice.h"

namespace {

using namespace zm;

class SilentProgress : public IWaitProgress {
  public:
    void SetTexts(const std::string&, const std::string&) override {}
    void SetBar(bool, bool, int) override {}
    void SetBarPos(int, int) override {}
    void EnableCancel(bool) override {}
    void SetMinSize(int, int) override {}
    bool Start() override { return true; }
    int CheckCancel(bool) override { return kNoCancel; }
    void Hide() override {}
    void Show() override {}
    void Stop() override {}
};

}  // namespace

int main() {
    test::SimProcess sim({"--pty", "--no-tcp", "--baud", "57600", "--sensor", "addr=3", "--sensor",
                          "addr=17", "--sensor", "addr=42"});
    if (!sim.Ready()) {
        std::fprintf(stderr, "zor-sim did not start\n");
        return 1;
    }
    const auto dir =
        std::filesystem::temp_directory_path() / ("zm-bench-busscan-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    auto device = std::make_shared<CZorDevice>((dir / "Zor-Device.ini").string(), nullptr, "Scan");
    device->SetChannelLockPrefix("bench-scan-" + std::to_string(::getpid()) + "-");
    ZorDeviceCfg cfg;
    device->GetZorSettings(cfg);
    cfg.sLinkType = kLinkTypeCom;
    cfg.comPort.sPortName = sim.ptyPath;
    cfg.comPort.nBaudRate = 57600;
    device->SetZorSettings(cfg, true);

    std::string message;
    SetMessageSink([&](const std::string& text, MessageBoxType, const std::string&) {
        message = text;
        return MsgResult::kYes;
    });
    SilentProgress progress;
    const std::vector<std::string> ports = {sim.ptyPath};
    const auto start = std::chrono::steady_clock::now();
    const CBusScan::Result result = CBusScan(device, progress, [&](std::vector<std::string>& list) {
                                        list = ports;
                                        return 1;
                                    }).Run();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    SetMessageSink({});
    device->StopThreads();
    std::filesystem::remove_all(dir);

    // Each probe waits the pause before an exchange and, at worst, the read time-out of
    // the first header read (1000 ms while the failure count is low, 100 ms after three).
    const double boundWorst = CBusScan::kLastAddress * (0.100 + 1.000);
    std::printf("probes %d, found %d\n", result.nProbes, result.nFound);
    std::printf("scan of 1 port x 100 addresses: %.1f s (bound by the time-outs: %.0f s)\n",
                seconds, boundWorst);
    std::printf("result message: %s\n", message.c_str());
    return result.nFound == 3 ? 0 : 1;
}
