#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "auth/OperatorDirectory.h"
#include "base/ListenerList.h"
#include "integration/JsonApi.h"
#include "integration/MqttPublisher.h"
#include "notify/Outbox.h"
#include "web/ApiAccess.h"

namespace zm {

class CDeviceRegistry;
class CHttpServer;
class CLog;
class CTavDevice;
struct ManagerSettings;
namespace alarms {
class AlarmOperations;
struct AlarmChange;
}  // namespace alarms

// The broker's part of the operator's settings.
MqttSettings MqttSettingsFrom(const ManagerSettings& settings);

// What control rooms see of this station: device states, data portions and alarm events
// published to the MQTT broker, and the JSON view on the web server. Device events arrive
// on the devices' event threads and are only handed to the publisher; alarm events come
// from the alarm processor's opening and closing (see ZorDeviceKindOps) and from the
// device status leaving and regaining the online codes.
class CManagerIntegration final : public IDeviceStateSource {
  public:
    // `operatorsFile`: the accounts the API's writes are checked against.
    CManagerIntegration(CDeviceRegistry& registry, CLog* runLog, std::string operatorsFile);
    ~CManagerIntegration() override;  // the publisher says "offline" and stops
    CManagerIntegration(const CManagerIntegration&) = delete;
    CManagerIntegration& operator=(const CManagerIntegration&) = delete;

    // The alarm lifecycle, once the engine has it (before the web server starts): the API
    // then lists its alarms and takes the operator's writes, and MQTT carries its events
    // and the retained list of open alarms. Null detaches.
    void AttachAlarms(alarms::AlarmOperations* alarms);

    // Start, restart or stop publishing as the settings say (dispatcher thread); every
    // device's current state is handed over first. `settingsFile` also gives the keys only
    // the file carries (http_auth_reads); empty: they keep their defaults.
    void Apply(const ManagerSettings& settings, const std::string& settingsFile = {});
    void Stop();

    // Device event threads.
    void OnDeviceState(CTavDevice& device);
    void OnDeviceData(CTavDevice& device);
    void OnAlarm(CTavDevice& device, bool opened, const std::string& reportPath);
    // The registry's removed hook: everything of the device goes, its retained state too.
    void ForgetDevice(std::uint64_t id);
    // The registry's renamed hook: its open alarm and its state follow the new name, the
    // old name's retained state is cleared.
    void OnDeviceRenamed(CTavDevice& device);

    // "/api/devices", "/api/devices/<name>", "/api/alarms".
    void InstallRoutes(CHttpServer& server);

    std::string Station() override;
    std::vector<DeviceStateRecord> DeviceStates() override;
    std::vector<AlarmEventRecord> OpenAlarms() override;
    std::string DataLogsFolder() override;
    OutboxSummaryRecord Outbox() override;

    // Where "/api/devices" learns about the alert outbox; set before the web server runs.
    void SetOutboxSource(std::function<OutboxStatus()> source) { outbox_ = std::move(source); }
    // How long a message fails before the station shows it.
    static constexpr std::int64_t kOutboxFailingShownMs = 15 * 60 * 1000;
    static OutboxSummaryRecord Summarise(const OutboxStatus& status, std::int64_t nowMs);

    static DeviceStateRecord Describe(CTavDevice& device);
    // With the device's suppression and unacknowledged alarms when the lifecycle is there.
    DeviceStateRecord DescribeWithAlarms(CTavDevice& device);
    // Only the suppression and the unacknowledged alarms of the device of that name.
    DeviceStateRecord AlarmFieldsOf(const std::string& name);
    CMqttPublisher& Publisher() { return publisher_; }

    // Lifecycle changes, on the thread that made them: handed to the publisher only.
    void OnAlarmChange(const alarms::AlarmChange& change);
    CApiAccess& Access() { return access_; }

  private:
    void PublishOpenAlarms();
    void LogAccountProblems();

    CDeviceRegistry& registry_;
    CLog* runLog_;
    CMqttPublisher publisher_;
    auth::COperatorDirectory operators_;
    CApiAccess access_;
    std::atomic<alarms::AlarmOperations*> alarms_{nullptr};
    ListenerToken alarmListener_;
    std::mutex mutex_;
    std::string station_;
    std::vector<AlarmEventRecord> openAlarms_;           // in the order they opened
    std::map<std::uint64_t, int> lastStatus_;            // per device instance id
    std::set<std::uint64_t> lost_;                       // devices whose lost connection was told
    std::map<std::uint64_t, std::int64_t> returnedIds_;  // the alarm a "closed" belongs to
    std::function<OutboxStatus()> outbox_;
};

}  // namespace zm
