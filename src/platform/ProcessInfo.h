#pragma once

#include <string>

namespace zm::platform {

// Full path of the running program file; empty when the system cannot tell.
std::string ExecutablePath();

}  // namespace zm::platform
