#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "integration/IntegrationRecords.h"

namespace zm {

class CLog;

// The broker and what this station calls itself there (section "ZorManagerWnd", keys
// beginning with "mqtt_").
struct MqttSettings {
    bool enabled = false;
    std::string host = "127.0.0.1";
    int port = 1883;
    bool tls = false;  // TLS with the server's certificate checked against the system's CAs
    std::string user;
    std::string pass;
    std::string station;
    std::string prefix = "zormanager";

    bool operator==(const MqttSettings&) const = default;
};

// Publishes device states, data portions and alarm events to an MQTT broker from its own
// network thread. Callers (device threads, the dispatcher) only hand records over and never
// wait for the broker: the latest state of every device is kept and published when the
// broker is there (again), alarm events wait in a bounded queue, data portions are
// dropped while the broker is away. Every loss is counted and written to the run log once
// per outage. Reconnects with a back-off of its own.
class CMqttPublisher {
  public:
    struct Limits {
        std::size_t alarmQueue = 1000;  // alarm events waiting for the broker
        std::size_t dataQueue = 2000;   // data portions waiting for the socket
        // A state whose only change is the signal is republished after this long.
        std::chrono::milliseconds stateRefresh{10000};
        std::chrono::milliseconds firstRetry{250};
        std::chrono::milliseconds retryCap{1000};       // during the first minute away
        std::chrono::milliseconds longRetryCap{30000};  // after that
        std::chrono::milliseconds stopWait{2000};       // for "offline" and queued alarms
        int keepAliveSeconds = 20;
    };

    struct Stats {
        bool connected = false;
        std::uint64_t connects = 0;
        std::uint64_t statesPublished = 0;
        std::uint64_t dataPublished = 0;
        std::uint64_t alarmsPublished = 0;
        std::uint64_t alarmsLost = 0;  // to a full queue
        std::uint64_t alarmListsPublished = 0;
        std::uint64_t dataLost = 0;  // while away or to a full queue
        std::size_t alarmsWaiting = 0;
    };

    explicit CMqttPublisher(CLog* runLog);
    CMqttPublisher(CLog* runLog, Limits limits);
    ~CMqttPublisher();  // stops in order
    CMqttPublisher(const CMqttPublisher&) = delete;
    CMqttPublisher& operator=(const CMqttPublisher&) = delete;

    // Starts with the settings, restarts when they differ from the running ones, stops
    // when they say disabled. A port outside 1..65535 or an empty host is a run-log
    // error and publishing stays off. The known device states are published at every connect.
    void Apply(const MqttSettings& settings);
    // "offline", the queued alarm events (bounded by stopWait), then the disconnect.
    void Stop();
    bool IsRunning() const;

    // Any thread; none of them waits for the broker.
    void PublishState(const DeviceStateRecord& state);
    void PublishData(DataPortionRecord data);
    void PublishAlarm(AlarmEventRecord event);
    // The list of open alarms (a JSON text), retained: the latest is published after the
    // events handed over before it, and again at every connect.
    void PublishOpenAlarms(std::string payload);
    // The alarm part of a device's known state changed (suppression, unacknowledged
    // alarms): republished without asking the device. Nothing when the device is not known.
    void PatchAlarmState(std::uint64_t id, const std::string& name,
                         const DeviceStateRecord& alarmFields);
    // Devices are known by DeviceStateRecord::id; a state under a new name clears the
    // retained state of the old one. ForgetDevice clears the device's retained state (an
    // empty retained message).
    void ForgetDevice(std::uint64_t id);

    Stats GetStats() const;

    struct Core;

  private:
    std::shared_ptr<Core> core_;
};

}  // namespace zm
