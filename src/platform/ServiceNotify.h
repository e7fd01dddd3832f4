#pragma once

#include <string>

namespace zm::platform {

// Tells the service manager that started this process how it is doing (readiness,
// reloads, the stop, a one-line status), so that "start" returns only once the server
// really runs. Each call is a no-op that returns false when the process was not started
// as such a service; true when the message was handed over. Line breaks in a status
// text become blanks, so that a text cannot add fields of its own. Thread-safe.
bool NotifyServiceReady(const std::string& status);
bool NotifyServiceReloading();
bool NotifyServiceStatus(const std::string& status);
bool NotifyServiceStopping();

}  // namespace zm::platform
