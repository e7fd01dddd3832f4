#include "platform/Shell.h"

#include <fcntl.h>
#include <linux/close_range.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "platform/SystemInfo.h"

extern char** environ;

namespace zm::platform {
namespace {

std::string FindProgram(const std::string& name) {
    if (name.find('/') != std::string::npos) {
        return access(name.c_str(), X_OK) == 0 ? name : std::string();
    }
    const char* path = std::getenv("PATH");
    std::istringstream folders(path != nullptr && path[0] != '\0' ? path
                                                                  : "/usr/local/bin:/usr/bin:/bin");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        std::string candidate = (folder.empty() ? std::string(".") : folder) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return {};
}

void WriteErrno(int fd, int code) {
    ssize_t ignored = write(fd, &code, sizeof code);
    (void)ignored;
}

}  // namespace

bool SpawnDetached(const std::vector<std::string>& argv, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error != nullptr) {
            *error = why;
        }
        return false;
    };
    if (argv.empty()) {
        return fail("no program given");
    }
    std::string program = FindProgram(argv[0]);
    if (program.empty()) {
        return fail(argv[0] + ": program not found");
    }
    // Everything the child needs is prepared here: after fork only async-signal-safe
    // calls are allowed, because other threads may hold locks (malloc's among them).
    std::vector<char*> args;
    for (const auto& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);

    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        return fail(SystemErrorText(errno));
    }
    pid_t child = fork();
    if (child < 0) {
        int code = errno;
        close(report[0]);
        close(report[1]);
        return fail(SystemErrorText(code));
    }
    if (child == 0) {
        // The middle process starts a new session, starts the program and ends at once,
        // so the program is adopted by the system and never becomes our zombie.
        setsid();
        pid_t grandchild = fork();
        if (grandchild != 0) {
            if (grandchild < 0) {
                WriteErrno(report[1], errno);
            }
            _exit(0);
        }
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        int devNull = open("/dev/null", O_RDWR);
        if (devNull >= 0) {
            dup2(devNull, 0);
            dup2(devNull, 1);
            dup2(devNull, 2);
            if (devNull > 2) {
                close(devNull);
            }
        }
        // Descriptors of this process (sockets, lock files) must not live on in the program.
        syscall(SYS_close_range, 3u, ~0u, CLOSE_RANGE_CLOEXEC);
        execve(program.c_str(), args.data(), environ);
        WriteErrno(report[1], errno);
        _exit(127);
    }
    close(report[1]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    // The pipe closes on a successful exec; an error number arrives otherwise.
    int code = 0;
    ssize_t got;
    do {
        got = read(report[0], &code, sizeof code);
    } while (got < 0 && errno == EINTR);
    close(report[0]);
    if (got == static_cast<ssize_t>(sizeof code)) {
        return fail(program + ": " + SystemErrorText(code));
    }
    return true;
}

bool OpenWithShell(const std::string& target, std::string* error) {
    return SpawnDetached({"xdg-open", target}, error);
}

}  // namespace zm::platform
