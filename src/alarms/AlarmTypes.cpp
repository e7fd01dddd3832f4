#include "alarms/AlarmTypes.h"

namespace zm::alarms {

namespace {
constexpr struct {
    AlarmState state;
    const char* name;
} kStateNames[] = {
    {AlarmState::ActiveUnacked, "active_unacked"},
    {AlarmState::ActiveAcked, "active_acked"},
    {AlarmState::RtnUnacked, "rtn_unacked"},
    {AlarmState::Closed, "closed"},
};
}  // namespace

const char* StateName(AlarmState state) {
    for (const auto& entry : kStateNames) {
        if (entry.state == state) {
            return entry.name;
        }
    }
    return "closed";
}

std::optional<AlarmState> ParseStateName(std::string_view name) {
    for (const auto& entry : kStateNames) {
        if (name == entry.name) {
            return entry.state;
        }
    }
    return std::nullopt;
}

bool IsActive(AlarmState state) {
    return state == AlarmState::ActiveUnacked || state == AlarmState::ActiveAcked;
}

bool IsAcknowledged(AlarmState state) {
    return state == AlarmState::ActiveAcked || state == AlarmState::Closed;
}

}  // namespace zm::alarms
