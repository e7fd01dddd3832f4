#pragma once

#include <string>

namespace zm {

class CLog;

// The web server's one road into the run log (and always to standard error, the debugger
// output of this platform). `entry` is a complete run-log entry ("<li><dt> ...").
void ServerLogError(CLog* log, const std::string& entry);
void ServerLogWarning(CLog* log, const std::string& entry);
// A result line of the run log: "<name> ... Ok." or "... Error!".
void ServerLogResult(CLog* log, const std::string& name, bool result);

}  // namespace zm
