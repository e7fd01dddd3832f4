#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zm::auth {

// What an account may do; each role includes the ones before it.
enum class Role { Viewer, Operator, Admin };

// "viewer", "operator", "admin".
const char* RoleName(Role role);
std::optional<Role> ParseRole(std::string_view name);
inline bool RoleAllows(Role have, Role need) {
    return static_cast<int>(have) >= static_cast<int>(need);
}

inline constexpr std::size_t kMaxNameLength = 64;        // bytes
inline constexpr std::size_t kMaxPasswordLength = 1024;  // bytes

// Empty when `name` can be an account name, otherwise why not. HTTP Basic splits the
// credentials at the first ':', and the accounts file is one account per line, so neither
// may appear; control characters and blanks at either end would make names that look alike.
std::string NameProblem(std::string_view name);

}  // namespace zm::auth
