#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zm::alarms {

// ISA-18.2 states of one alarm. Their names are what the journal, the API and MQTT carry.
enum class AlarmState { ActiveUnacked, ActiveAcked, RtnUnacked, Closed };

// "active_unacked", "active_acked", "rtn_unacked", "closed".
const char* StateName(AlarmState state);
std::optional<AlarmState> ParseStateName(std::string_view name);
bool IsActive(AlarmState state);
bool IsAcknowledged(AlarmState state);

// Who did something: the desktop's logged-in user, or an API account and its client address.
struct Actor {
    std::string user;
    std::string address;  // client address; empty for the desktop program and the engine itself
};

// One opening of a device's alarm processor. Times are seconds since 1970, UTC.
struct AlarmRecord {
    std::int64_t id = 0;  // station-unique, never reused
    std::uint64_t deviceId =
        0;               // the device's instance id in this process (0: not seen since start)
    std::string device;  // the device's name
    AlarmState state = AlarmState::ActiveUnacked;
    std::int64_t opened = 0;
    double openValue = 0.0;
    double maxValue = 0.0;
    std::int64_t returned = 0;  // 0 while active
    std::string report;         // the alarm report's path; empty when there is none
    bool commLost = false;
    std::string ackedBy;  // empty while unacknowledged
    std::int64_t ackedAt = 0;
    std::string comment;
};

inline constexpr std::size_t kMaxCommentLength = 200;  // characters (UTF-8 code points)
inline constexpr std::size_t kMaxReasonLength = 200;
inline constexpr int kMinShelveMinutes = 1;
inline constexpr int kMaxShelveMinutes = 1440;

// What keeps a device's alarms from reaching people. Belongs to the device, not to an alarm.
struct DeviceSuppression {
    enum class Kind { None, Shelved, OutOfService };
    Kind kind = Kind::None;
    std::int64_t since = 0;
    std::int64_t until = 0;  // shelved only: the forced expiry
    std::string reason;
    std::string by;

    bool IsSuppressed() const { return kind != Kind::None; }
};

// The outcome of an operation; the API turns it into a status code.
enum class OpStatus { Ok, NotFound, BadInput, Forbidden };

struct OpResult {
    OpStatus status = OpStatus::Ok;
    std::string error;  // a short English text for the operator when not Ok

    static OpResult Ok() { return {}; }
    static OpResult Fail(OpStatus status, std::string error) { return {status, std::move(error)}; }
    explicit operator bool() const { return status == OpStatus::Ok; }
};

struct HistoryQuery {
    std::int64_t from = 0;  // opened at or after, seconds since 1970 UTC
    std::int64_t to = 0;    // opened before; 0: no upper bound
    std::string device;     // empty: every device
    std::size_t limit = 0;  // 0: no limit
};

struct DayCount {
    std::string day;  // local date "YYYY-MM-DD"
    int count = 0;
};

struct DeviceCount {
    std::string device;
    int count = 0;
};

// Alarm-load figures for a period (EEMUA 191 style).
struct AlarmStatistics {
    std::int64_t from = 0;
    std::int64_t to = 0;
    int total = 0;
    std::vector<DayCount> perDay;  // every day of the period, oldest first
    int maxPer10Minutes = 0;       // the largest count in any 10 minutes
    double floodShare = 0.0;       // share of 10-minute intervals with more than 10 alarms, 0..1
    std::vector<DeviceCount> chattering;  // devices with 3 or more alarms within a minute
    std::vector<AlarmRecord> stale;       // active for more than 24 h
    std::vector<DeviceCount> topDevices;  // the ten devices with the most alarms
};

}  // namespace zm::alarms
