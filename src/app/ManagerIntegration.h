#pragma once

#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "integration/JsonApi.h"
#include "integration/MqttPublisher.h"

namespace zm {

class CDeviceRegistry;
class CHttpServer;
class CLog;
class CTavDevice;
struct ManagerSettings;

// The broker's part of the operator's settings.
MqttSettings MqttSettingsFrom(const ManagerSettings& settings);

// What control rooms see of this station: device states, data portions and alarm events
// published to the MQTT broker, and the JSON view on the web server. Device events arrive
// on the devices' event threads and are only handed to the publisher; alarm events come
// from the alarm processor's opening and closing (see ZorDeviceKindOps) and from the
// device status leaving and regaining the online codes.
class CManagerIntegration final : public IDeviceStateSource {
  public:
    CManagerIntegration(CDeviceRegistry& registry, CLog* runLog);
    ~CManagerIntegration() override;  // the publisher says "offline" and stops
    CManagerIntegration(const CManagerIntegration&) = delete;
    CManagerIntegration& operator=(const CManagerIntegration&) = delete;

    // Start, restart or stop publishing as the settings say (dispatcher thread); every
    // device's current state is handed over first.
    void Apply(const ManagerSettings& settings);
    void Stop();

    // Device event threads.
    void OnDeviceState(CTavDevice& device);
    void OnDeviceData(CTavDevice& device);
    void OnAlarm(CTavDevice& device, bool opened, const std::string& reportPath);
    // The registry's forget hook: a removed or renamed device.
    void ForgetDevice(const std::string& name);

    // "/api/devices", "/api/devices/<name>", "/api/alarms".
    void InstallRoutes(CHttpServer& server);

    std::string Station() override;
    std::vector<DeviceStateRecord> DeviceStates() override;
    std::vector<AlarmEventRecord> OpenAlarms() override;
    std::string DataLogsFolder() override;

    static DeviceStateRecord Describe(CTavDevice& device);
    CMqttPublisher& Publisher() { return publisher_; }

  private:
    CDeviceRegistry& registry_;
    CMqttPublisher publisher_;
    std::mutex mutex_;
    std::string station_;
    std::vector<AlarmEventRecord> openAlarms_;  // in the order they opened
    std::map<std::string, int> lastStatus_;     // per device name
    std::set<std::string> lost_;                // devices whose lost connection was told
};

}  // namespace zm
