#include "auth/Roles.h"

namespace zm::auth {

const char* RoleName(Role role) {
    switch (role) {
        case Role::Viewer:
            return "viewer";
        case Role::Operator:
            return "operator";
        case Role::Admin:
            return "admin";
    }
    return "viewer";
}

std::optional<Role> ParseRole(std::string_view name) {
    for (Role role : {Role::Viewer, Role::Operator, Role::Admin}) {
        if (name == RoleName(role)) {
            return role;
        }
    }
    return std::nullopt;
}

std::string NameProblem(std::string_view name) {
    if (name.empty()) {
        return "the name is empty";
    }
    if (name.size() > kMaxNameLength) {
        return "the name is longer than " + std::to_string(kMaxNameLength) + " bytes";
    }
    if (name.front() == ' ' || name.back() == ' ') {
        return "the name begins or ends with a blank";
    }
    if (name.front() == '#') {
        return "the name begins with '#'";
    }
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            return "the name contains a control character";
        }
        if (c == ':') {
            return "the name contains ':'";
        }
    }
    return {};
}

}  // namespace zm::auth
