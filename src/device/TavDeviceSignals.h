#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "device/EventSet.h"
#include "device/TavDevice.h"

namespace zm {

// The part of a device that its threads share with it: the event objects and the
// delayed-log state. A thread owns a reference, so an abandoned thread never waits on
// objects that its device has already destroyed.
struct CTavDevice::Signals {
    // Bits of `logEvents`.
    static constexpr unsigned kLogStop = 0;
    static constexpr unsigned kLogMessage = 1;

    explicit Signals(CLog* log) : runLog(log) {}

    CEventSet events;     // DeviceEventObject bits, served in that order
    CEventSet liveStop;   // bit 0
    CEventSet logEvents;  // kLogStop, kLogMessage

    CLog* const runLog;
    std::mutex logMutex;  // guards the three fields below
    std::string logMessage;
    int logRepeat = 0;
    std::int64_t tLastLogOutput = 0;
};

}  // namespace zm
