#include "platform/ProcessInfo.h"

#include "platform/NativeThread.h"

#include <dirent.h>
#include <pthread.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace zm::platform {
namespace {

// The kernel keeps at most 15 bytes of a short name.
constexpr size_t kCommLength = 15;

std::string ExeName(const std::string& procDir) {
    std::error_code ec;
    std::string target = std::filesystem::read_symlink(procDir + "/exe", ec).string();
    if (ec) {
        return {};
    }
    const std::string deleted = " (deleted)";
    if (target.size() > deleted.size() &&
        target.compare(target.size() - deleted.size(), deleted.size(), deleted) == 0) {
        target.resize(target.size() - deleted.size());
    }
    size_t slash = target.rfind('/');
    return slash == std::string::npos ? target : target.substr(slash + 1);
}

std::string CommName(const std::string& procDir) {
    std::ifstream in(procDir + "/comm");
    std::string name;
    std::getline(in, name);
    return name;
}

bool Matches(const std::string& candidate, const std::string& name, bool exact) {
    if (candidate.empty()) {
        return false;
    }
    return exact ? candidate == name : candidate.compare(0, name.size(), name) == 0;
}

bool EntryMatches(const ProcessEntry& entry, const std::string& name, bool exact) {
    if (Matches(entry.exeName, name, exact)) {
        return true;
    }
    // The short name is usually the program file name cut short; it tells more only when
    // it is something else (Wine names a Windows program there) or the file is unknown.
    if (!entry.exeName.empty() &&
        entry.exeName.compare(0, entry.commName.size(), entry.commName) == 0) {
        return false;
    }
    if (Matches(entry.commName, name, exact)) {
        return true;
    }
    // A short name cut at the limit stands for any longer name that begins with it.
    return entry.commName.size() == kCommLength && name.size() > kCommLength &&
           name.compare(0, kCommLength, entry.commName) == 0;
}

}  // namespace

std::string ExecutablePath() {
    std::error_code ec;
    auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : path.string();
}

std::vector<ProcessEntry> ListProcesses() {
    std::vector<ProcessEntry> list;
    DIR* proc = opendir("/proc");
    if (proc == nullptr) {
        return list;
    }
    while (dirent* item = readdir(proc)) {
        char* end = nullptr;
        long pid = std::strtol(item->d_name, &end, 10);
        if (pid <= 0 || end == item->d_name || *end != '\0') {
            continue;
        }
        std::string dir = std::string("/proc/") + item->d_name;
        ProcessEntry entry;
        entry.pid = static_cast<int>(pid);
        entry.exeName = ExeName(dir);
        entry.commName = CommName(dir);
        if (entry.exeName.empty() && entry.commName.empty()) {
            continue;  // ended while we looked
        }
        list.push_back(std::move(entry));
    }
    closedir(proc);
    return list;
}

bool IsProcessRunning(const std::string& name, int pid, bool exact) {
    if (name.empty() && exact) {
        return false;
    }
    if (pid != 0) {
        std::string dir = "/proc/" + std::to_string(pid);
        ProcessEntry entry{pid, ExeName(dir), CommName(dir)};
        return EntryMatches(entry, name, exact);
    }
    for (const auto& entry : ListProcesses()) {
        if (EntryMatches(entry, name, exact)) {
            return true;
        }
    }
    return false;
}

std::vector<ThreadEntry> ListOwnThreads() {
    std::vector<ThreadEntry> threads;
    DIR* dir = opendir("/proc/self/task");
    if (dir == nullptr) {
        return threads;
    }
    while (dirent* entry = readdir(dir)) {
        char* end = nullptr;
        const long tid = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || tid <= 0) {
            continue;
        }
        ThreadEntry thread;
        thread.tid = static_cast<int>(tid);
        thread.name = CommName(std::string("/proc/self/task/") + entry->d_name);
        threads.push_back(std::move(thread));
    }
    closedir(dir);
    return threads;
}

void NameCurrentThread(const std::string& name) {
    pthread_setname_np(pthread_self(), name.substr(0, kCommLength).c_str());
}

std::string CurrentThreadName() {
    char name[32] = {};
    if (pthread_getname_np(pthread_self(), name, sizeof name) != 0 || name[0] == '\0') {
        return std::to_string(CurrentThreadId());
    }
    return name;
}

}  // namespace zm::platform
