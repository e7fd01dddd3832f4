#include "web/ServerLog.h"

#include <cstdio>

namespace zm {

namespace {

void ToStderr(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
}

}  // namespace

void ServerLogError(CLog* log, const std::string& entry) {
    (void)log;
    ToStderr(entry);
}

void ServerLogWarning(CLog* log, const std::string& entry) {
    (void)log;
    ToStderr(entry);
}

void ServerLogResult(CLog* log, const std::string& name, bool result) {
    (void)log;
    ToStderr(name + (result ? " ... Ok." : " ... Error!"));
}

}  // namespace zm
