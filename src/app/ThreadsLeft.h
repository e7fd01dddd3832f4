#pragma once

#include <chrono>
#include <vector>

#include "platform/ProcessInfo.h"

namespace zm {

class CLog;

// The threads of this process besides the main thread and the calling one. A thread
// that was just joined may still be listed for a moment: the list is taken again until
// it is empty or `grace` has passed.
std::vector<platform::ThreadEntry> ThreadsLeft(std::chrono::milliseconds grace);

// The last check of an orderly shutdown: when threads are left (abandoned by a bounded
// stop, or never stopped), writes one red line to `log` with their number, names and
// ids and returns false. Nothing is written when none is left.
bool ReportThreadsLeft(CLog& log, std::chrono::milliseconds grace);

}  // namespace zm
