#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/DeviceRegistry.h"
#include "app/ManagerSettings.h"
#include "base/Ini.h"

extern char** environ;

namespace zm::test {

// What a save of one generation writes; the reader below tells generations apart by it.
inline std::string PowerLossDeviceName(const std::string& generation, int n) {
    return "Sensor " + std::to_string(n) + " of save " + generation;
}
inline std::string PowerLossRecipients(const std::string& generation) {
    return "save-" + generation + "@example.org;duty@example.org";
}

// Which save a settings file holds: the generation when the file is whole and every part
// of it belongs to that one save, else empty with the problem.
struct SavedGeneration {
    std::string generation;
    std::string problem;
};

inline SavedGeneration ReadSavedGeneration(const std::string& path, int devices) {
    SavedGeneration result;
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!bytes.starts_with("\xFF\xFE")) {
        result.problem = "no UTF-16 byte-order mark (" + std::to_string(bytes.size()) + " bytes)";
        return result;
    }
    CIni ini(path);
    ManagerSettings settings;
    settings.Load(ini);
    const std::string prefix = "save-";
    const size_t at = settings.sMailRecipients.find('@');
    if (!settings.sMailRecipients.starts_with(prefix) || at == std::string::npos) {
        result.problem = "recipients \"" + settings.sMailRecipients + "\"";
        return result;
    }
    const std::string generation =
        settings.sMailRecipients.substr(prefix.size(), at - prefix.size());
    if (settings.sMailRecipients != PowerLossRecipients(generation)) {
        result.problem = "recipients \"" + settings.sMailRecipients + "\"";
        return result;
    }
    for (int n = 1; n <= devices; ++n) {
        const std::string section = CDeviceRegistry::SectionName(n);
        const std::string name = ini.GetString(section, "sName");
        if (name != PowerLossDeviceName(generation, n)) {
            result.problem = section + " is \"" + name + "\" in save " + generation;
            return result;
        }
    }
    if (ini.IsSectionExist(CDeviceRegistry::SectionName(devices + 1))) {
        result.problem = "a device more than saved";
        return result;
    }
    result.generation = generation;
    return result;
}

// One save by the child program, killed with SIGKILL `killAfter` after it said it began
// (never, when negative). Returns the time from its start signal to its end signal, or
// a negative time when it was killed before it ended.
inline double RunSaveChild(const std::string& child, const std::string& path,
                           const std::string& generation, int devices,
                           std::chrono::microseconds killAfter) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    const std::string count = std::to_string(devices);
    std::vector<char*> argv{const_cast<char*>(child.c_str()), const_cast<char*>(path.c_str()),
                            const_cast<char*>(generation.c_str()), const_cast<char*>(count.c_str()),
                            nullptr};
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, child.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (spawned != 0) {
        ::close(pipeFds[0]);
        return -1;
    }
    auto readSignal = [&](int timeoutMs) {
        pollfd p{pipeFds[0], POLLIN, 0};
        char c = 0;
        if (::poll(&p, 1, timeoutMs) == 1 && ::read(pipeFds[0], &c, 1) == 1)
            return c;
        return '\0';
    };
    double savedMs = -1;
    if (readSignal(30000) == 'S') {
        const auto begun = std::chrono::steady_clock::now();
        if (killAfter.count() >= 0) {
            std::this_thread::sleep_for(killAfter);
            ::kill(pid, SIGKILL);
        }
        if (readSignal(killAfter.count() >= 0 ? 0 : 60000) == 'D')
            savedMs =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begun)
                    .count();
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    ::close(pipeFds[0]);
    return savedMs;
}

// Many saves, each killed at a random moment up to twice the time a whole save takes;
// after each the file must hold the save before it or this one, whole.
struct PowerLossResult {
    int runs = 0;
    int keptOld = 0;
    int tookNew = 0;
    double saveMs = 0;  // the longest of three whole saves, from start to end
    std::vector<std::string> problems;
    size_t strayFiles = 0;  // files the killed saves left beside the settings file
};

inline PowerLossResult RunPowerLoss(const std::string& child, const std::string& folder, int runs,
                                    int devices, unsigned seed) {
    PowerLossResult result;
    const std::string path = folder + "ZorManager__All_Ver-Lang.ini";
    // The longest of three whole saves: a loaded machine makes one save much slower than
    // another, and the cuts must still spread over the whole of a save.
    for (int i = 0; i < 3; ++i) {
        const double ms = RunSaveChild(child, path, "0", devices, std::chrono::microseconds(-1));
        if (ms < 0) {
            result.problems.push_back("a save without a cut did not finish");
            return result;
        }
        result.saveMs = std::max(result.saveMs, ms);
    }
    std::mt19937 random(seed);
    std::uniform_int_distribution<long> delayUs(0, static_cast<long>(result.saveMs * 2000));
    std::string current = "0";
    for (int run = 1; run <= runs; ++run) {
        const std::string next = std::to_string(run);
        RunSaveChild(child, path, next, devices, std::chrono::microseconds(delayUs(random)));
        ++result.runs;
        const SavedGeneration saved = ReadSavedGeneration(path, devices);
        if (saved.generation == current) {
            ++result.keptOld;
        } else if (saved.generation == next) {
            ++result.tookNew;
            current = next;
        } else {
            result.problems.push_back(
                "run " + next + ": " +
                (saved.problem.empty() ? "save " + saved.generation : saved.problem));
        }
    }
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(".ZorManager__All_Ver-Lang.ini.") && !name.ends_with(".lock"))
            ++result.strayFiles;
    }
    return result;
}

}  // namespace zm::test
