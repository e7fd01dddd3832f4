#include "platform/Folders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <system_error>
#include <vector>

#include "platform/ProcessInfo.h"

namespace zm::platform {
namespace {

std::mutex g_rootMutex;
std::string g_homeRoot;  // set by SetHomeRoot; ends in "/" or is empty

std::string WithSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/') {
        folder += '/';
    }
    return folder;
}

std::string Absolute(const std::string& dir) {
    std::error_code ec;
    auto path = std::filesystem::absolute(dir, ec);
    return ec ? dir : path.lexically_normal().string();
}

// An XDG variable counts only when it holds an absolute path (the XDG rule).
std::string XdgVariable(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/') {
        return {};
    }
    return WithSlash(value);
}

std::string XdgOrHome(const char* name, const char* underHome) {
    std::string value = XdgVariable(name);
    return value.empty() ? UserHomeFolder() + underHome : value;
}

// Reads XDG_<key>_DIR from user-dirs.dirs, written by xdg-user-dirs-update as
// XDG_DOCUMENTS_DIR="$HOME/Documents" or with an absolute path.
std::string UserDir(const char* key, const char* fallbackUnderHome) {
    std::string home = UserHomeFolder();
    std::string wanted = std::string("XDG_") + key + "_DIR";
    std::ifstream in(XdgOrHome("XDG_CONFIG_HOME", ".config/") + "user-dirs.dirs");
    std::string line;
    while (std::getline(in, line)) {
        size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == '#') {
            continue;
        }
        if (line.compare(start, wanted.size(), wanted) != 0 ||
            line.size() <= start + wanted.size() || line[start + wanted.size()] != '=') {
            continue;
        }
        std::string raw = line.substr(start + wanted.size() + 1);
        while (!raw.empty() && (raw.back() == ' ' || raw.back() == '\t' || raw.back() == '\r')) {
            raw.pop_back();
        }
        if (raw.size() >= 2 && raw.front() == '"' && raw.back() == '"') {
            raw = raw.substr(1, raw.size() - 2);
        }
        std::string value;
        for (size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] == '\\' && i + 1 < raw.size()) {
                ++i;
            }
            value += raw[i];
        }
        if (value.rfind("$HOME", 0) == 0) {
            std::string rest = value.substr(5);
            if (!rest.empty() && rest[0] == '/') {
                rest.erase(0, 1);
            }
            return WithSlash(home + rest);
        }
        if (!value.empty() && value[0] == '/') {
            return WithSlash(value);
        }
    }
    return home + fallbackUnderHome;
}

bool IsFolder(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_directory(path, ec);
}

}  // namespace

void SetHomeRoot(const std::string& dir) {
    std::string root = dir.empty() ? std::string() : WithSlash(Absolute(dir));
    std::lock_guard lock(g_rootMutex);
    g_homeRoot = root;
}

std::string HomeRoot() {
    {
        std::lock_guard lock(g_rootMutex);
        if (!g_homeRoot.empty()) {
            return g_homeRoot;
        }
    }
    const char* env = std::getenv("ZORMANAGER_HOME");
    if (env == nullptr || env[0] == '\0') {
        return {};
    }
    return WithSlash(Absolute(env));
}

std::string UserHomeFolder() {
    const char* env = std::getenv("HOME");
    if (env != nullptr && env[0] != '\0') {
        return WithSlash(env);
    }
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] != '\0') {
        return WithSlash(found->pw_dir);
    }
    return "/";
}

std::string AppDataFolder(const std::string& productId) {
    std::string root = HomeRoot();
    if (!root.empty()) {
        return root + "AppData/";
    }
    return SpecialFolderPath(SpecialFolder::kAppData) + productId + "/";
}

std::string DocumentsFolder(const std::string& productId) {
    std::string root = HomeRoot();
    if (!root.empty()) {
        return root + "Documents/";
    }
    return SpecialFolderPath(SpecialFolder::kDocuments) + productId + "/";
}

std::string ProgramFolder() {
    std::string exe = ExecutablePath();
    size_t slash = exe.rfind('/');
    return slash == std::string::npos ? std::string() : exe.substr(0, slash + 1);
}

std::string InstalledDataFolder() {
    std::filesystem::path bin(ProgramFolder());
    bin = bin.parent_path();  // drop the empty name after the final "/"
    if (bin.filename() != "bin") {
        return {};
    }
    std::string data = WithSlash(bin.parent_path().string()) + "share/zormanager/";
    return IsFolder(data) ? data : std::string();
}

std::string TranslationsFolder() {
    std::string beside = ProgramFolder() + "Translations/";
    if (IsFolder(beside)) {
        return beside;
    }
    std::string data = InstalledDataFolder();
    if (!data.empty() && IsFolder(data + "Translations/")) {
        return data + "Translations/";
    }
    return beside;
}

std::string RuntimeFolder() {
    std::string root = HomeRoot();
    if (!root.empty()) {
        return root + "Run/";
    }
    std::string runtime = XdgVariable("XDG_RUNTIME_DIR");
    if (!runtime.empty()) {
        return runtime + "zormanager/";
    }
    return "/tmp/zormanager-" + std::to_string(geteuid()) + "/";
}

bool EnsurePrivateFolder(const std::string& folder, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error != nullptr) {
            *error = folder + ": " + why;
        }
        return false;
    };
    std::string path = folder;
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    std::error_code ec;
    std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (!parent.empty()) {
        std::filesystem::create_directories(parent, ec);
    }
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        return fail(std::strerror(errno));
    }
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) {
        return fail(std::strerror(errno));
    }
    if (!S_ISDIR(info.st_mode)) {
        return fail("not a folder");
    }
    if (info.st_uid != geteuid()) {
        return fail("owned by another user");
    }
    if ((info.st_mode & 077) != 0 && chmod(path.c_str(), 0700) != 0) {
        return fail(std::strerror(errno));
    }
    return true;
}

std::string SpecialFolderPath(SpecialFolder id) {
    switch (id) {
        case SpecialFolder::kHome:
            return UserHomeFolder();
        case SpecialFolder::kAppData:
            return XdgOrHome("XDG_DATA_HOME", ".local/share/");
        case SpecialFolder::kConfig:
            return XdgOrHome("XDG_CONFIG_HOME", ".config/");
        case SpecialFolder::kCache:
            return XdgOrHome("XDG_CACHE_HOME", ".cache/");
        case SpecialFolder::kDocuments:
            return UserDir("DOCUMENTS", "Documents/");
        case SpecialFolder::kDesktop:
            return UserDir("DESKTOP", "Desktop/");
        case SpecialFolder::kTemp: {
            std::string temp = XdgVariable("TMPDIR");
            return temp.empty() ? std::string("/tmp/") : temp;
        }
    }
    return {};
}

}  // namespace zm::platform
