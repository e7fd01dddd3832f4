#pragma once

#include <cstdint>
#include <string>

namespace zm {

struct ZorContrType;

// The seconds the device dialog offers between two samples.
inline constexpr int kIdleTimeChoices[] = {0, 1, 2, 3, 4, 5, 6, 7, 10, 30, 60, 120, 300, 600};

// Type code 1 or 5 and above: the sensor's parameters may be shown and written.
bool IsKnownDeviceType(const ZorContrType& type);

// The time since the last sample as the device dialog shows it: "-" unless the device is
// running and not busy, "24 h" from a day on, else "%H:%M:%S" from an hour on, else "%M:%S".
std::string IdleTimeText(bool bRunningAndIdle, std::int64_t nSecondsSinceSample);

}  // namespace zm
