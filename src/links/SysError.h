#pragma once

#include <string>

namespace zm {

// The operating system's message text for an errno value (thread-safe).
std::string SysErrorText(int nErrno);

}  // namespace zm
