#pragma once

#include <string>

namespace zm {

// One copy of the program per user: the first caller in the process takes a lock named
// after the product identifier and keeps it until the process ends.
enum class InstanceState {
    kFirst,           // this process holds the lock
    kAlreadyRunning,  // another process holds it
    kLockFailed,      // the lock could not be used (see the error)
};
InstanceState CheckSingleInstance(std::string* error = nullptr);

// Another copy of the program holds the lock.
bool IsAlreadyRunning();

// The start-up checks; false with the message to show. Messages: "Application already
// launched." and, when the lock cannot be used at all, "Cannot check for a running copy
// of the application (%s)." with the reason.
bool CheckStartup(std::string& message);

// A process runs whose program name equals the name (exact) or begins with it;
// pid 0 means any process. Case-sensitive.
bool IsProcessRunning(const std::string& name, int pid = 0, bool exact = false);

}  // namespace zm
