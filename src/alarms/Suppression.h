#pragma once

#include <cstdint>
#include <string>

#include "alarms/AlarmTypes.h"

namespace zm::alarms {

// The number of characters (UTF-8 code points) of a text.
std::size_t CharacterCount(const std::string& text);

// The reason as it is kept: surrounding blanks removed.
std::string TrimmedReason(const std::string& reason);

// Ok, or BadInput with the operator's explanation.
OpResult CheckShelve(int minutes, const std::string& reason);
OpResult CheckOutOfService(const std::string& reason);
OpResult CheckComment(const std::string& comment);

DeviceSuppression ShelvedFor(std::int64_t now, int minutes, const std::string& reason,
                             const std::string& by);
DeviceSuppression OutOfService(std::int64_t now, const std::string& reason, const std::string& by);

// A shelving whose forced expiry has come.
bool IsExpired(const DeviceSuppression& suppression, std::int64_t now);

// What a device's suppression withholds from people: the alarm's popup, sound, mails and
// SMS; and, out of service only, the connection-lost actions too.
bool WithholdsAlarmActions(const DeviceSuppression& suppression, std::int64_t now);
bool WithholdsConnectionActions(const DeviceSuppression& suppression, std::int64_t now);

// "shelved", "out_of_service" or "none": how the journal and the API name the kind.
const char* SuppressionKindName(DeviceSuppression::Kind kind);
DeviceSuppression::Kind ParseSuppressionKind(const std::string& name);

}  // namespace zm::alarms
