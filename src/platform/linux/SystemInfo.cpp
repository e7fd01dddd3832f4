#include "platform/SystemInfo.h"

#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace zm::platform {
namespace {

// Value of KEY=value or KEY="value" in an os-release text.
std::string OsReleaseValue(const std::string& text, const std::string& key) {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, key.size() + 1, key + "=") != 0) {
            continue;
        }
        std::string value = line.substr(key.size() + 1);
        while (!value.empty() && (value.back() == '\r' || value.back() == ' ')) {
            value.pop_back();
        }
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front()) {
            value = value.substr(1, value.size() - 2);
        }
        std::string plain;
        for (size_t i = 0; i < value.size(); ++i) {
            if (value[i] == '\\' && i + 1 < value.size()) {
                ++i;
            }
            plain += value[i];
        }
        return plain;
    }
    return {};
}

std::string ReadFile(const char* path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

std::string HostName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (gethostname(name, sizeof name - 1) != 0) {
        return {};
    }
    return name;
}

std::string UserName() {
    char buffer[16384];
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr &&
        found->pw_name != nullptr) {
        return found->pw_name;
    }
    return std::to_string(geteuid());
}

std::string LoggedInUserName() {
    if (const char* sudo = std::getenv("SUDO_USER"); sudo != nullptr && *sudo != '\0') {
        return sudo;
    }
    char buffer[16384];
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr &&
        found->pw_name != nullptr && found->pw_name[0] != '\0') {
        return found->pw_name;
    }
    if (const char* user = std::getenv("USER"); user != nullptr && *user != '\0') {
        return user;
    }
    return UserName();
}

std::string OsDescriptionFrom(const std::string& osRelease, const std::string& kernelRelease) {
    int major = 0;
    int minor = 0;
    if (std::sscanf(kernelRelease.c_str(), "%d.%d", &major, &minor) != 2) {
        return {};
    }
    std::string distribution = OsReleaseValue(osRelease, "PRETTY_NAME");
    if (distribution.empty()) {
        distribution = OsReleaseValue(osRelease, "NAME");
        std::string version = OsReleaseValue(osRelease, "VERSION");
        if (distribution.empty()) {
            distribution = "Linux";
        }
        if (!version.empty()) {
            distribution += " " + version;
        }
    }
    char tail[64];
    std::snprintf(tail, sizeof tail, " (%d,%d)", major, minor);
    return distribution + ", kernel " + kernelRelease + tail;
}

std::string OsDescription() {
    utsname names{};
    if (uname(&names) != 0) {
        return {};
    }
    std::string osRelease = ReadFile("/etc/os-release");
    if (osRelease.empty()) {
        osRelease = ReadFile("/usr/lib/os-release");
    }
    return OsDescriptionFrom(osRelease, names.release);
}

std::string SystemDirectory() {
    return "/usr/lib";
}

std::string SystemConfigDirectory() {
    return "/etc";
}

bool IsAdministrator() {
    return geteuid() == 0;
}

std::string SystemErrorText(int code) {
    char buffer[256] = {};
    // The GNU strerror_r returns its text, which need not be in the buffer.
    const char* text = strerror_r(code, buffer, sizeof buffer);
    return text != nullptr ? text : std::string();
}

}  // namespace zm::platform
