// A Samba user share where Samba is installed, and world-readable mode bits in place of
// access entries for "Everyone".
#include "platform/NetworkShare.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <vector>

extern char** environ;

namespace zm::platform {

namespace {

constexpr int kCommandTimeoutMs = 5000;

struct CommandResult {
    bool started = false;
    int exitCode = -1;
    std::string output;  // standard output and error together
    std::string error;   // why it did not start or did not end
};

// Runs a program found in PATH with a bounded wait; a program that does not end in time
// is killed, so a hanging share service never holds up the application.
CommandResult RunCommand(const std::vector<std::string>& args) {
    CommandResult r;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        r.error = std::strerror(errno);
        return r;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        r.error = rc == ENOENT ? "not installed" : std::strerror(rc);
        return r;
    }
    r.started = true;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kCommandTimeoutMs);
    bool timedOut = false;
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0) {
            timedOut = true;
            break;
        }
        pollfd p{fds[0], POLLIN, 0};
        int n = poll(&p, 1, static_cast<int>(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            timedOut = n == 0;
            break;
        }
        char buf[512];
        ssize_t got = read(fds[0], buf, sizeof buf);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        if (r.output.size() < 4096)
            r.output.append(buf, static_cast<size_t>(got));
    }
    close(fds[0]);
    if (timedOut) {
        kill(pid, SIGKILL);
        r.error = "no answer within 5 s";
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!timedOut && WIFEXITED(status))
        r.exitCode = WEXITSTATUS(status);
    while (!r.output.empty() && (r.output.back() == '\n' || r.output.back() == '\r'))
        r.output.pop_back();
    return r;
}

std::string Describe(const CommandResult& r) {
    if (!r.error.empty())
        return r.error;
    return r.output.empty() ? "exit code " + std::to_string(r.exitCode) : r.output;
}

bool LooksNotFound(const std::string& output) {
    for (const char* marker : {"does not exist", "not found", "No such", "doesn't exist"})
        if (output.find(marker) != std::string::npos)
            return true;
    return false;
}

ShareResult ResultOf(const CommandResult& r) {
    ShareResult result;
    result.reached = r.started;
    result.ok = r.started && r.exitCode == 0;
    result.notFound = r.started && r.exitCode != 0 && LooksNotFound(r.output);
    if (!result.ok)
        result.detail = r.started ? Describe(r) : "Samba's net command: " + Describe(r);
    return result;
}

}  // namespace

ShareResult AddNetworkShare(const std::string& name, const std::string& folder,
                            const std::string& remark) {
    return ResultOf(
        RunCommand({"net", "usershare", "add", name, folder, remark, "Everyone:R", "guest_ok=n"}));
}

ShareResult RemoveNetworkShare(const std::string& name) {
    return ResultOf(RunCommand({"net", "usershare", "delete", name}));
}

std::string SetEveryoneCanRead(const std::string& path, bool isDirectory, bool grant) {
    namespace fs = std::filesystem;
    fs::perms bits = fs::perms::group_read | fs::perms::others_read;
    if (isDirectory)
        bits |= fs::perms::group_exec | fs::perms::others_exec;
    if (!grant)
        bits =
            isDirectory ? fs::perms::others_read | fs::perms::others_exec : fs::perms::others_read;
    std::error_code ec;
    fs::permissions(path, bits, grant ? fs::perm_options::add : fs::perm_options::remove, ec);
    return ec ? ec.message() : std::string();
}

}  // namespace zm::platform
