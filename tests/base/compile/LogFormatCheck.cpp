// Compiled by the tests, not linked: outside text must not be accepted as a log format.
#include <string>

#include "base/Log.h"

void Write(zm::CLog& log, const std::string& deviceName) {
    log.AddText("<li><dt> %s</li>", deviceName.c_str());
#ifndef ZM_LITERAL_ONLY
    log.AddError(deviceName.c_str());
#endif
}
