#include "platform/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zm::platform {

namespace {

std::string ExitText(int status) {
    if (WIFEXITED(status)) {
        return "exit code " + std::to_string(WEXITSTATUS(status));
    }
    if (WIFSIGNALED(status)) {
        return "signal " + std::to_string(WTERMSIG(status)) + " (" + strsignal(WTERMSIG(status)) +
               ")";
    }
    return "unknown end";
}

// Runs in the child between fork and exec: only calls that are safe there.
[[noreturn]] void ExecChild(pid_t parent, int in, int out, char* const* argv,
                            const ChildOptions& options) {
    if (options.ownProcessGroup) {
        setpgid(0, 0);
    }
    if (options.endsWithStarter) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) {
            _exit(126);  // the starter is gone already
        }
    }
    // A server blocks its stop signals for sigwait; the child needs them.
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
        signal(sig, SIG_DFL);
    }
    dup2(in, STDIN_FILENO);
    dup2(out, STDOUT_FILENO);
    dup2(out, STDERR_FILENO);
    // Nothing else of the parent's (its instance lock above all) goes with it.
    if (syscall(SYS_close_range, 3U, ~0U, 0U) != 0) {
        for (int fd = 3; fd < 1024; ++fd) {
            close(fd);
        }
    }
    execv(argv[0], argv);
    const std::string& text = options.execFailureText;
    [[maybe_unused]] ssize_t n = write(STDERR_FILENO, text.data(), text.size());
    _exit(127);
}

}  // namespace

StartFailure StartChild(const std::vector<std::string>& args, const ChildOptions& options,
                        StartedChild& child, int& systemError) {
    int pipeFds[2] = {-1, -1};
    const int devNull = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (pipe2(pipeFds, O_CLOEXEC) != 0 || devNull < 0) {
        systemError = errno;
        for (int fd : {pipeFds[0], pipeFds[1], devNull}) {
            if (fd >= 0) {
                close(fd);
            }
        }
        return StartFailure::kNoPipe;
    }
    std::vector<std::string> copy = args;
    std::vector<char*> argv;
    for (std::string& arg : copy) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        ExecChild(parent, devNull, pipeFds[1], argv.data(), options);
    }
    const int forkErrno = errno;
    close(pipeFds[1]);
    close(devNull);
    if (pid < 0) {
        close(pipeFds[0]);
        systemError = forkErrno;
        return StartFailure::kNoProcess;
    }
    child.pid = static_cast<int>(pid);
    child.output = pipeFds[0];
    return StartFailure::kNone;
}

ChildState ReapChild(int pid, bool wait, std::string& text) {
    int status = 0;
    const pid_t got = waitpid(pid, &status, wait ? 0 : WNOHANG);
    if (got == 0) {
        return ChildState::kRunning;
    }
    if (got < 0) {
        text = std::strerror(errno);
        return ChildState::kUnknown;
    }
    text = ExitText(status);
    return ChildState::kEnded;
}

void TerminateChild(int pid) {
    kill(pid, SIGTERM);
}

void KillChild(int pid) {
    kill(pid, SIGKILL);
}

int WaitForInput(int fd, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    const int rc = poll(&p, 1, timeoutMs);
    if (rc < 0 && errno == EINTR) {
        return 0;
    }
    return rc < 0 ? -1 : (rc > 0 ? 1 : 0);
}

}  // namespace zm::platform
