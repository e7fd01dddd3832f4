#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "alarms/AlarmTypes.h"

namespace zm {

// The state of one device as a control room sees it (topic ".../state", "/api/devices").
struct DeviceStateRecord {
    std::uint64_t id = 0;  // the device's instance id; not published
    std::string name;
    int status = 0;  // device status code
    std::string statusText;
    int level = 0;          // status level 0..4
    std::string icon;       // "Off", "Wait", "Error", "Good", "Alarm"
    std::int64_t time = 0;  // seconds since 1970, UTC
    double latitude = 0.0;  // degrees
    double longitude = 0.0;
    double value = 0.0;                          // the current signal
    unsigned char red = 0, green = 0, blue = 0;  // the device colour
    // What keeps the device's alarms from people, and how many wait for an acknowledgement.
    std::int64_t shelvedUntil = 0;  // seconds since 1970, UTC; 0: not shelved
    bool outOfService = false;
    std::string outOfServiceReason;
    int unackedAlarms = 0;

    // Equal in everything a dashboard shows except the time and the signal.
    bool SameStateAs(const DeviceStateRecord& other) const;
};

// The station's outbox of alert mails and SMS (the "outbox" block of "/api/devices").
struct OutboxSummaryRecord {
    std::size_t pending = 0;  // messages not yet delivered
    // Since when the oldest message that keeps failing has failed (seconds since 1970,
    // UTC), once it has failed for 15 minutes; 0 otherwise.
    std::int64_t oldestFailingSince = 0;
};

// One accepted data portion (topic ".../data").
struct DataPortionRecord {
    std::string device;
    std::int64_t time = 0;
    std::vector<float> values;       // signals
    std::vector<float> backgrounds;  // backgrounds, one per signal
};

// One alarm event (topic ".../alarm"); also an open alarm of "/api/alarms".
struct AlarmEventRecord {
    static constexpr const char* kOpened = "opened";
    static constexpr const char* kClosed = "closed";
    static constexpr const char* kConnectionLost = "connection_lost";
    static constexpr const char* kConnectionRestored = "connection_restored";
    static constexpr const char* kAcknowledged = "acknowledged";
    static constexpr const char* kReturned = "returned";
    static constexpr const char* kShelved = "shelved";
    static constexpr const char* kUnshelved = "unshelved";
    static constexpr const char* kOutOfService = "out_of_service";
    static constexpr const char* kInService = "in_service";

    AlarmEventRecord() = default;
    AlarmEventRecord(std::string eventName, std::string deviceName, std::int64_t when,
                     double signal, std::string reportPath, std::uint64_t instanceId = 0)
        : event(std::move(eventName)),
          device(std::move(deviceName)),
          time(when),
          value(signal),
          report(std::move(reportPath)),
          deviceId(instanceId) {}

    std::string event;
    std::string device;
    std::int64_t time = 0;
    double value = 0.0;
    std::string report;          // the alarm report's path; empty when there is none
    std::uint64_t deviceId = 0;  // the device's instance id; not published
    // The lifecycle's part; each is left out of the JSON while empty or 0.
    std::int64_t id = 0;  // the alarm's id
    std::string state;    // the alarm's state after the event
    std::string by;       // who acknowledged, shelved, ...
    std::string comment;
    std::int64_t until = 0;  // shelved: the expiry
    std::string reason;      // shelved, out of service
};

// "YYYY-MM-DDTHH:MM:SSZ".
std::string IsoTimeUtc(std::int64_t secondsSince1970);
// "#RRGGBB".
std::string ColourText(unsigned char red, unsigned char green, unsigned char blue);

nlohmann::json ToJson(const DeviceStateRecord& state);
nlohmann::json ToJson(const DataPortionRecord& data);
// Without "event" for an open alarm of the API.
nlohmann::json ToJson(const AlarmEventRecord& event, bool withEvent = true);

// One alarm of the lifecycle ("/api/alarms", "P/S/alarms"); "time" is the open time, as
// the alarm list always gave it.
nlohmann::json ToJson(const alarms::AlarmRecord& alarm);

// Compact UTF-8 text; bytes that are not valid UTF-8 are replaced, never thrown about.
std::string JsonText(const nlohmann::json& json);

}  // namespace zm
