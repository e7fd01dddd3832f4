#include "auth/OperatorFile.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>

#include "auth/PasswordHash.h"
#include "base/Folders.h"
#include "platform/FileIo.h"

namespace zm::auth {

namespace {

constexpr const char* kHeader =
    "# ZorManager operator accounts (name:role:hash). Manage them with\n"
    "# zormanagerd --add-operator, --remove-operator and --list-operators.\n";

std::string SysError(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

std::string LockPathFor(const std::string& path) {
    const std::filesystem::path p(path);
    return (p.parent_path() / ("." + p.filename().string() + ".lock")).string();
}

}  // namespace

std::string COperatorFile::DefaultPath() {
    return GetConfigFolder() + "Operators.txt";
}

COperatorFile::COperatorFile(std::string path) : path_(std::move(path)) {}

bool COperatorFile::Load(std::string* error) {
    lines_.clear();
    problems_.clear();
    const int fd = platform::OpenForRead(path_);
    if (fd < 0) {
        if (errno == ENOENT) {
            return true;
        }
        *error = SysError("cannot open", path_);
        return false;
    }
    std::string text;
    char buffer[4096];
    for (;;) {
        const long n = platform::ReadFile(fd, buffer, sizeof buffer);
        if (n < 0) {
            *error = SysError("cannot read", path_);
            platform::CloseFile(fd);
            return false;
        }
        if (n == 0) {
            break;
        }
        text.append(buffer, static_cast<size_t>(n));
    }
    const std::optional<platform::FileInfo> info = platform::FileInfoOf(fd);
    if (info && (info->permissions & 077) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", info->permissions & 07777);
        problems_.push_back(std::string("the file's mode is ") + mode +
                            ", others can read it; it is set to 0600 when it is next written");
    }
    platform::CloseFile(fd);

    std::set<std::string> seen;
    size_t number = 0;
    for (size_t pos = 0; pos < text.size();) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string raw = text.substr(pos, end - pos);
        pos = end + 1;
        ++number;
        Line line;
        line.text = raw;
        if (!raw.empty() && raw.back() == '\r') {
            raw.pop_back();
        }
        auto problem = [&](const std::string& why) {
            problems_.push_back("line " + std::to_string(number) + ": " + why +
                                " (kept as it is, not an account)");
        };
        if (raw.empty() || raw.front() == '#') {
            lines_.push_back(std::move(line));
            continue;
        }
        const size_t a = raw.find(':');
        const size_t b = a == std::string::npos ? a : raw.find(':', a + 1);
        if (b == std::string::npos) {
            problem("not of the form name:role:hash");
        } else {
            Account account;
            account.name = raw.substr(0, a);
            const std::string role = raw.substr(a + 1, b - a - 1);
            account.hash = raw.substr(b + 1);
            const std::optional<Role> parsed = ParseRole(role);
            const std::string nameProblem = NameProblem(account.name);
            if (!nameProblem.empty()) {
                problem(nameProblem);
            } else if (!parsed) {
                problem("unknown role \"" + role + "\"");
            } else if (!LooksLikeHash(account.hash)) {
                problem("the password hash is not an Argon2id hash");
            } else if (!seen.insert(account.name).second) {
                problem("a second line for \"" + account.name + "\"");
            } else {
                account.role = *parsed;
                line.isAccount = true;
                line.account = std::move(account);
            }
        }
        lines_.push_back(std::move(line));
    }
    return true;
}

bool COperatorFile::Save(std::string* error) const {
    std::string text;
    if (lines_.empty() || lines_.front().isAccount || lines_.front().text.rfind("#", 0) != 0) {
        text = kHeader;
    }
    for (const Line& line : lines_) {
        text += line.isAccount ? line.account.name + ":" + RoleName(line.account.role) + ":" +
                                     line.account.hash
                               : line.text;
        text += '\n';
    }
    const std::filesystem::path target(path_);
    std::error_code ec;
    std::filesystem::create_directories(target.parent_path(), ec);
    std::string temp = path_ + ".XXXXXX";
    const int fd = platform::CreateUniqueFile(temp);
    if (fd < 0) {
        *error = SysError("cannot create a temporary file beside", path_);
        return false;
    }
    const bool ok = platform::SetFilePermissions(fd, 0600) &&
                    platform::WriteFile(fd, text.data(), text.size()) && platform::SyncFile(fd);
    const int writeErrno = errno;
    platform::CloseFile(fd);
    if (!ok || !platform::ReplaceFile(temp, path_)) {
        errno = ok ? errno : writeErrno;
        *error = SysError("cannot write", path_);
        platform::RemoveFile(temp);
        return false;
    }
    // The rename itself reaches the disk with the folder.
    platform::SyncFolder(target.parent_path().string());
    return true;
}

bool COperatorFile::Modify(const std::string& path,
                           const std::function<bool(COperatorFile&, std::string*)>& change,
                           std::string* error) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    const std::string lockPath = LockPathFor(path);
    const int lock = platform::OpenForUpdate(lockPath, 0600);
    if (lock < 0) {
        *error = SysError("cannot open the lock file", lockPath);
        return false;
    }
    if (!platform::LockFile(lock)) {
        *error = SysError("cannot lock", lockPath);
        platform::CloseFile(lock);
        return false;
    }
    COperatorFile file(path);
    const bool ok = file.Load(error) && change(file, error) && file.Save(error);
    platform::CloseFile(lock);  // releases the lock
    return ok;
}

std::vector<Account> COperatorFile::Accounts() const {
    std::vector<Account> list;
    for (const Line& line : lines_) {
        if (line.isAccount) {
            list.push_back(line.account);
        }
    }
    return list;
}

const Account* COperatorFile::Find(const std::string& name) const {
    for (const Line& line : lines_) {
        if (line.isAccount && line.account.name == name) {
            return &line.account;
        }
    }
    return nullptr;
}

void COperatorFile::Set(const Account& account) {
    for (Line& line : lines_) {
        if (line.isAccount && line.account.name == account.name) {
            line.account = account;
            return;
        }
    }
    Line line;
    line.isAccount = true;
    line.account = account;
    lines_.push_back(std::move(line));
}

bool COperatorFile::Remove(const std::string& name) {
    for (auto it = lines_.begin(); it != lines_.end(); ++it) {
        if (it->isAccount && it->account.name == name) {
            lines_.erase(it);
            return true;
        }
    }
    return false;
}

}  // namespace zm::auth
