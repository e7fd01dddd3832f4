#include "platform/ProcessInfo.h"

#include <filesystem>
#include <system_error>

namespace zm::platform {

std::string ExecutablePath() {
    std::error_code ec;
    auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : path.string();
}

}  // namespace zm::platform
