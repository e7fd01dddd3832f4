#include "base/AppLogs.h"

namespace zm {

// Created on first use and never destroyed (see the header); the application closes
// them in its shutdown.
CLog& RunLog() {
    static CLog* log = new CLog;
    return *log;
}

CLog& DeviceLog() {
    static CLog* log = new CLog;
    return *log;
}

CLog& WebLog() {
    static CLog* log = new CLog;
    return *log;
}

}  // namespace zm
