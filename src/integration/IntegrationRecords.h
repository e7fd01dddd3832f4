#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

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

    // Equal in everything a dashboard shows except the time and the signal.
    bool SameStateAs(const DeviceStateRecord& other) const;
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

    std::string event;
    std::string device;
    std::int64_t time = 0;
    double value = 0.0;
    std::string report;          // the alarm report's path; empty when there is none
    std::uint64_t deviceId = 0;  // the device's instance id; not published
};

// "YYYY-MM-DDTHH:MM:SSZ".
std::string IsoTimeUtc(std::int64_t secondsSince1970);
// "#RRGGBB".
std::string ColourText(unsigned char red, unsigned char green, unsigned char blue);

nlohmann::json ToJson(const DeviceStateRecord& state);
nlohmann::json ToJson(const DataPortionRecord& data);
// Without "event" for an open alarm of the API.
nlohmann::json ToJson(const AlarmEventRecord& event, bool withEvent = true);

// Compact UTF-8 text; bytes that are not valid UTF-8 are replaced, never thrown about.
std::string JsonText(const nlohmann::json& json);

}  // namespace zm
