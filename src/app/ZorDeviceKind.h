#pragma once

#include <functional>
#include <memory>
#include <string>

#include "app/DeviceRegistry.h"
#include "app/ManagerEngine.h"

namespace zm {

class CTavDevice;
class CZorDevice;
struct DeviceSnapshot;

// The registry makes ZOR devices: each gets the application's device log, whose folder
// holds its data logs and alarm files.
class ZorDeviceFactory final : public DeviceFactory {
  public:
    std::shared_ptr<CTavDevice> CreateDevice(const DeviceContext& context) override;
};

// What the engine asks of a ZOR device on its event thread: the data log line, the
// alarm processor run and the latest data portion for the data datagram. A device of
// another kind is left alone.
class ZorDeviceKindOps final : public DeviceKindOps {
  public:
    // Told on the device's event thread when a run of the alarm processor opened (true)
    // or closed an alarm, with the alarm report's path. Set before the devices start.
    using AlarmObserver =
        std::function<void(CTavDevice& device, bool opened, const std::string& reportPath)>;
    void SetAlarmObserver(AlarmObserver observer) { observer_ = std::move(observer); }
    // Told after every run of the alarm processor, after the alarm observer, whether the
    // device is in alarm now.
    using RunObserver = std::function<void(CTavDevice& device, bool inAlarm)>;
    void SetRunObserver(RunObserver observer) { runObserver_ = std::move(observer); }

    void WriteDataLog(CTavDevice& device) override;
    void ProcessAlarm(CTavDevice& device) override;
    bool GetDataDatagram(CTavDevice& device, UdpDeviceData* data) override;

  private:
    AlarmObserver observer_;
    RunObserver runObserver_;
};

// Adds what the ZOR device knows to the alarm actions' snapshot: the identification text,
// the position and the alarm report path it shares with its alarm processor.
void FillZorSnapshot(CTavDevice& device, DeviceSnapshot& snapshot);

// The ZOR device behind a registry entry, or null.
CZorDevice* AsZorDevice(CTavDevice& device);

}  // namespace zm
