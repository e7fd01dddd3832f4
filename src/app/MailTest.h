#pragma once

#include <string>
#include <vector>

#include "app/ManagerSettings.h"

namespace zm {

// The outcome of one test message: what the operator is shown, line by line.
struct MailTestResult {
    bool bSucceeded = false;
    std::vector<std::string> lines;
};

// Sends one test message with the settings' SMTP account (certificate check as
// smtp_tls_verify says) to `address`, or to the recipient list's mail addresses when `address` is
// empty. Success gives "Connection succeeded" and "Test mail was successfully sent (recipients:
// n)."; failure "Connection failed:" and " --> <error text>.", then the client's own
// reason when it has one. Writes no log: it runs before, and without, the engine.
MailTestResult SendTestMail(const ManagerSettings& settings, const std::string& address);

}  // namespace zm
