#pragma once

#include <cstdio>
#include <string>

namespace zm {

// The headless server's account commands; they touch only the accounts file, so that they
// work beside a running server, which reads the file again at the next sign-in.
struct OperatorCommand {
    enum class Kind { None, Add, Remove, List };
    Kind kind = Kind::None;
    std::string name;
    std::string role;            // Add: viewer, operator or admin
    bool passwordStdin = false;  // Add: the password is the first line of standard input
};

// Exit codes: 0 done, 1 refused or failed (the reason on `err`), 2 a usage error.
int RunOperatorCommand(const OperatorCommand& command, const std::string& path, std::FILE* in,
                       std::FILE* out, std::FILE* err);

}  // namespace zm
