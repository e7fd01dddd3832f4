#include "app/OperatorCommands.h"

#include <vector>

#include "auth/OperatorFile.h"
#include "auth/PasswordHash.h"

namespace zm {

namespace {

// The first line of `in` without its line end; false when there is none or it is too long.
bool ReadPasswordLine(std::FILE* in, std::string* password, std::string* why) {
    std::string line;
    int c;
    while ((c = std::fgetc(in)) != EOF && c != '\n') {
        line += static_cast<char>(c);
        if (line.size() > auth::kMaxPasswordLength + 1) {
            *why = "the password is longer than " + std::to_string(auth::kMaxPasswordLength) +
                   " bytes";
            return false;
        }
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    if (line.empty()) {
        *why = "no password on standard input";
        return false;
    }
    if (line.size() > auth::kMaxPasswordLength) {
        *why = "the password is longer than " + std::to_string(auth::kMaxPasswordLength) + " bytes";
        return false;
    }
    *password = std::move(line);
    return true;
}

void PrintProblems(const auth::COperatorFile& file, std::FILE* err) {
    for (const std::string& problem : file.Problems()) {
        std::fprintf(err, "zormanagerd: %s: %s\n", file.Path().c_str(), problem.c_str());
    }
}

}  // namespace

int RunOperatorCommand(const OperatorCommand& command, const std::string& path, std::FILE* in,
                       std::FILE* out, std::FILE* err) {
    using Kind = OperatorCommand::Kind;
    std::string error;
    if (command.kind == Kind::List) {
        auth::COperatorFile file(path);
        if (!file.Load(&error)) {
            std::fprintf(err, "zormanagerd: %s\n", error.c_str());
            return 1;
        }
        PrintProblems(file, err);
        for (const auth::Account& account : file.Accounts()) {
            std::fprintf(out, "%s\t%s\n", account.name.c_str(), auth::RoleName(account.role));
        }
        return 0;
    }
    const std::string problem = auth::NameProblem(command.name);
    if (!problem.empty()) {
        std::fprintf(err, "zormanagerd: \"%s\" cannot be an operator name: %s\n",
                     command.name.c_str(), problem.c_str());
        return 2;
    }
    if (command.kind == Kind::Remove) {
        bool found = false;
        const bool ok = auth::COperatorFile::Modify(
            path,
            [&](auth::COperatorFile& file, std::string*) {
                PrintProblems(file, err);
                found = file.Remove(command.name);
                return found;  // nothing to write otherwise
            },
            &error);
        if (!found && error.empty()) {
            std::fprintf(err, "zormanagerd: there is no operator \"%s\"\n", command.name.c_str());
            return 1;
        }
        if (!ok) {
            std::fprintf(err, "zormanagerd: %s\n", error.c_str());
            return 1;
        }
        std::fprintf(out, "operator \"%s\" removed\n", command.name.c_str());
        return 0;
    }
    const std::optional<auth::Role> role = auth::ParseRole(command.role);
    if (!role) {
        std::fprintf(err, "zormanagerd: --role must be viewer, operator or admin\n");
        return 2;
    }
    if (!command.passwordStdin) {
        std::fprintf(err,
                     "zormanagerd: --add-operator needs --password-stdin (a password on the "
                     "command line would be seen by every user of the computer)\n");
        return 2;
    }
    std::string password;
    if (!ReadPasswordLine(in, &password, &error)) {
        std::fprintf(err, "zormanagerd: %s\n", error.c_str());
        return 1;
    }
    // Hashed before the file is locked: the lock is held only for the short rewrite.
    const std::string hash = auth::HashPassword(password);
    if (hash.empty()) {
        std::fprintf(err, "zormanagerd: the password could not be hashed (out of memory?)\n");
        return 1;
    }
    bool existed = false;
    const bool ok = auth::COperatorFile::Modify(
        path,
        [&](auth::COperatorFile& file, std::string*) {
            PrintProblems(file, err);
            existed = file.Find(command.name) != nullptr;
            file.Set({command.name, *role, hash});
            return true;
        },
        &error);
    if (!ok) {
        std::fprintf(err, "zormanagerd: %s\n", error.c_str());
        return 1;
    }
    std::fprintf(out, "operator \"%s\" %s with role %s (%s)\n", command.name.c_str(),
                 existed ? "updated" : "created", auth::RoleName(*role), path.c_str());
    return 0;
}

}  // namespace zm
