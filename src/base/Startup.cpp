#include "base/Startup.h"

#include <mutex>

#include "base/Printf.h"
#include "base/Version.h"
#include "platform/NamedLock.h"
#include "platform/ProcessInfo.h"

namespace zm {
namespace {

std::mutex g_mutex;
bool g_holding = false;

}  // namespace

InstanceState CheckSingleInstance(std::string* error) {
    std::lock_guard lock(g_mutex);
    if (g_holding) {
        return InstanceState::kFirst;
    }
    // Never destroyed: the lock lasts as long as the process, and the system lets go of
    // it however the process ends.
    static auto* instanceLock = new platform::NamedLock(kProductId);
    switch (instanceLock->Acquire(0)) {
        case platform::NamedLock::Result::kAcquired:
            g_holding = true;
            return InstanceState::kFirst;
        case platform::NamedLock::Result::kTimedOut:
            return InstanceState::kAlreadyRunning;
        case platform::NamedLock::Result::kFailed:
            break;
    }
    if (error != nullptr) {
        *error = instanceLock->Error();
    }
    return InstanceState::kLockFailed;
}

bool IsAlreadyRunning() {
    return CheckSingleInstance() == InstanceState::kAlreadyRunning;
}

bool CheckStartup(std::string& message) {
    std::string error;
    switch (CheckSingleInstance(&error)) {
        case InstanceState::kFirst:
            message.clear();
            return true;
        case InstanceState::kAlreadyRunning:
            message = "Application already launched.";
            return false;
        case InstanceState::kLockFailed:
            message = StrPrintf("Cannot check for a running copy of the application (%s).",
                                error.c_str());
            return false;
    }
    return false;
}

bool IsProcessRunning(const std::string& name, int pid, bool exact) {
    return platform::IsProcessRunning(name, pid, exact);
}

}  // namespace zm
