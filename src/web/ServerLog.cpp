#include "web/ServerLog.h"

#include <cstdio>

#include "base/Log.h"

namespace zm {

namespace {

void ToStderr(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
}

}  // namespace

void ServerLogError(CLog* log, const std::string& entry) {
    if (log)
        log->AddError("%s", entry.c_str());
    ToStderr(entry);
}

void ServerLogWarning(CLog* log, const std::string& entry) {
    if (log)
        log->AddWarning("%s", entry.c_str());
    ToStderr(entry);
}

void ServerLogResult(CLog* log, const std::string& name, bool result) {
    if (log)
        log->AddResult(name, result ? 1 : 0, kLogBlack);
    else
        ToStderr(name + (result ? " ... Ok." : " ... Error!"));
}

}  // namespace zm
