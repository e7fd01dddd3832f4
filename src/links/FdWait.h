#pragma once

#include <chrono>

#include "platform/Sockets.h"

// Deadline-bounded waits of the socket links: every read and write of a link waits
// through these, so no wait can outlast its time-out.
namespace zm::links {

using Clock = std::chrono::steady_clock;

// Milliseconds until the deadline, 0 once it has passed.
int MsLeft(Clock::time_point deadline);

// Waits for the events on fd until the deadline: the returned events, 0 when the time ran
// out, -1 on error (platform::LastSocketError() set).
int WaitFd(int fd, short events, Clock::time_point deadline);

}  // namespace zm::links
