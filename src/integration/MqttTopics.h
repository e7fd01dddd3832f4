#pragma once

#include <string>
#include <string_view>

namespace zm {

// One topic level made safe: "/", "+", "#", "%", control characters and bytes that are not
// valid UTF-8 become "%XX", so that a device name is exactly one level, never a wildcard,
// and always a topic the broker accepts. Decoding "%XX" gives the name back.
std::string EncodeTopicLevel(std::string_view text);

// The same for a prefix of several levels: "/" stays a separator.
std::string EncodeTopicPath(std::string_view text);

// The topics of one station under a prefix.
class MqttTopics {
  public:
    MqttTopics() = default;
    MqttTopics(const std::string& prefix, const std::string& station);

    const std::string& Status() const { return status_; }      // P/S/status
    const std::string& Alarm() const { return alarm_; }        // P/S/alarm
    const std::string& OpenAlarms() const { return alarms_; }  // P/S/alarms
    std::string DeviceState(const std::string& device) const;  // P/S/device/N/state
    std::string DeviceData(const std::string& device) const;   // P/S/device/N/data
    std::string DeviceStateWildcard() const;                   // P/S/device/+/state

  private:
    std::string base_;  // P/S/
    std::string status_;
    std::string alarm_;
    std::string alarms_;
};

}  // namespace zm
