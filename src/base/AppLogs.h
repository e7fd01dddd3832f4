#pragma once

#include "base/Log.h"

namespace zm {

// The application's three logs, reachable from every layer. They start closed (entries
// are dropped) until start-up opens them, and live until the process ends, so that a
// thread still writing at exit never meets a destroyed log.
CLog& RunLog();     // the run log: application, server and publishing events
CLog& DeviceLog();  // device state changes, links and alarms
CLog& WebLog();     // never written: holds the address of the preview page

}  // namespace zm
