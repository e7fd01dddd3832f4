#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "alarms/AlarmTypes.h"

namespace zm {

// The shelving durations the dialog offers, in minutes; the last choice is the operator's
// own number of minutes.
inline constexpr int kShelvePresetMinutes[] = {15, 60, 240, 480};
inline constexpr int kShelveCustomChoice = 4;

// What the shelve and out-of-service dialogs accept: a duration of 1 to 1440 minutes
// (shelving only) and a reason of 1 to 200 characters once trimmed.
struct SuppressInput {
    int choice = 0;          // index into the presets, or kShelveCustomChoice
    int customMinutes = 60;  // used with the custom choice
    std::string reason;
};
// The minutes a choice stands for; nullopt for a choice that is not offered.
std::optional<int> ShelveMinutes(int choice, int customMinutes);
// The reason as it is stored: trimmed of surrounding blanks.
std::string TrimmedReason(const std::string& reason);
// Empty when the input may be sent, else the operator's words for what is missing.
std::string ShelveInputError(const SuppressInput& input);
std::string ReasonError(const std::string& reason);

// The device list's status text with the device's suppression after it, e.g.
// "Alarm reported (shelved until 14:30: cleaning)".
std::string SuppressedStatusText(const std::string& status,
                                 const alarms::DeviceSuppression& suppression);

// Which of the alarm commands of the context menu apply to the selected devices.
struct AlarmMenuState {
    bool offered = false;  // the alarm lifecycle runs
    int unacked = 0;       // unacknowledged alarms of the selected devices
    int shelved = 0;       // selected devices that are shelved
    int outOfService = 0;
    int free = 0;  // selected devices without suppression
};

}  // namespace zm
