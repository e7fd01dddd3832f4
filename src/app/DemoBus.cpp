#include "app/DemoBus.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <vector>

#include "base/Printf.h"
#include "platform/ProcessInfo.h"

namespace zm {

namespace {

std::string ExitText(int status) {
    if (WIFEXITED(status)) {
        return StrPrintf("exit code %d", WEXITSTATUS(status));
    }
    if (WIFSIGNALED(status)) {
        return StrPrintf("signal %d (%s)", WTERMSIG(status), strsignal(WTERMSIG(status)));
    }
    return "unknown end";
}

std::string TimeStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

// Runs in the child between fork and exec: only calls that are safe there.
[[noreturn]] void ExecSimulator(pid_t parent, int in, int out, char* const* argv) {
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) {
        _exit(126);  // the server is gone already
    }
    // The server blocks its stop signals for sigwait; the simulator needs them.
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
        signal(sig, SIG_DFL);
    }
    dup2(in, STDIN_FILENO);
    dup2(out, STDOUT_FILENO);
    dup2(out, STDERR_FILENO);
    // Nothing else of the server's (its instance lock above all) goes with it.
    if (syscall(SYS_close_range, 3U, ~0U, 0U) != 0) {
        for (int fd = 3; fd < 1024; ++fd) {
            close(fd);
        }
    }
    execv(argv[0], argv);
    static const char kFailed[] = "zor-sim: the program could not be run\n";
    [[maybe_unused]] ssize_t n = write(STDERR_FILENO, kFailed, sizeof kFailed - 1);
    _exit(127);
}

}  // namespace

CDemoBus::~CDemoBus() {
    Stop();
}

void CDemoBus::SetOnUnexpectedEnd(std::function<void(const std::string&)> callback) {
    onUnexpectedEnd_ = std::move(callback);
}

pid_t CDemoBus::Pid() const {
    std::lock_guard lock(processMutex_);
    return pid_;
}

std::string CDemoBus::Endpoint() const {
    std::lock_guard lock(stateMutex_);
    return endpoint_;
}

std::string CDemoBus::ControlEndpoint() const {
    std::lock_guard lock(stateMutex_);
    return controlEndpoint_;
}

void CDemoBus::LogLine(const std::string& line) {
    if (logFd_ < 0) {
        return;
    }
    const std::string text = TimeStamp() + " " + line + "\n";
    [[maybe_unused]] ssize_t n = write(logFd_, text.data(), text.size());  // O_APPEND: whole
}

bool CDemoBus::Start(const std::string& simPath, const std::string& busFile,
                     const std::string& logPath, std::string* error, int readyMs) {
    Stop();
    logFd_ = open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    int pipeFds[2] = {-1, -1};
    const int devNull = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (pipe2(pipeFds, O_CLOEXEC) != 0 || devNull < 0) {
        *error = StrPrintf("no pipe for the simulator's output: %s", std::strerror(errno));
        for (int fd : {pipeFds[0], pipeFds[1], devNull}) {
            if (fd >= 0) {
                close(fd);
            }
        }
        return false;
    }
    std::vector<std::string> args = {simPath, "--config", busFile};
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    LogLine(StrPrintf("starting %s --config %s", simPath.c_str(), busFile.c_str()));
    {
        std::lock_guard lock(stateMutex_);
        ready_ = false;
        outputEnded_ = false;
        endpoint_.clear();
        controlEndpoint_.clear();
        lastWords_.clear();
    }
    stopping_ = false;
    const pid_t parent = getpid();
    pid_t pid = fork();
    if (pid == 0) {
        ExecSimulator(parent, devNull, pipeFds[1], argv.data());
    }
    const int forkErrno = errno;
    close(pipeFds[1]);
    close(devNull);
    if (pid < 0) {
        close(pipeFds[0]);
        *error = StrPrintf("the simulator could not be started: %s", std::strerror(forkErrno));
        LogLine(*error);
        return false;
    }
    {
        std::lock_guard lock(processMutex_);
        pid_ = pid;
    }
    outputFd_ = pipeFds[0];
    watcher_ = std::thread([this] { Watch(); });

    bool ready = false;
    std::string lastWords;
    {
        std::unique_lock lock(stateMutex_);
        stateChanged_.wait_for(lock, std::chrono::milliseconds(readyMs),
                               [this] { return ready_ || outputEnded_; });
        ready = ready_;
    }
    if (ready) {
        LogLine(StrPrintf("zor-sim runs as process %d", static_cast<int>(pid)));
        return true;
    }
    std::string ended;
    {
        std::lock_guard lock(processMutex_);
        stopping_ = true;
        ended = ReapLocked(1000, true);
    }
    watcher_.join();  // its output is complete now
    {
        std::lock_guard lock(stateMutex_);
        lastWords = lastWords_;
    }
    *error = lastWords.empty() ? StrPrintf("zor-sim did not report ready within %d ms (%s)",
                                           readyMs, ended.c_str())
                               : StrPrintf("%s (%s)", lastWords.c_str(), ended.c_str());
    LogLine("not started: " + *error);
    Stop();
    return false;
}

void CDemoBus::Stop(int graceMs) {
    stopping_ = true;
    {
        std::lock_guard lock(processMutex_);
        if (pid_ > 0) {
            const pid_t pid = pid_;
            const std::string ended = ReapLocked(graceMs, true);
            LogLine(StrPrintf("zor-sim (process %d) stopped: %s", static_cast<int>(pid),
                              ended.c_str()));
        }
    }
    if (watcher_.joinable()) {
        watcher_.join();
    }
    if (outputFd_ >= 0) {
        close(outputFd_);
        outputFd_ = -1;
    }
    if (logFd_ >= 0) {
        close(logFd_);
        logFd_ = -1;
    }
}

std::string CDemoBus::ReapLocked(int graceMs, bool terminate) {
    if (pid_ <= 0) {
        return "already ended";
    }
    int status = 0;
    pid_t got = waitpid(pid_, &status, WNOHANG);
    if (got == 0 && terminate) {
        kill(pid_, SIGTERM);
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMs);
    while (got == 0 && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        got = waitpid(pid_, &status, WNOHANG);
    }
    std::string text;
    if (got == 0) {
        kill(pid_, SIGKILL);
        got = waitpid(pid_, &status, 0);
        text = "killed after " + std::to_string(graceMs) + " ms: ";
    }
    pid_ = -1;
    return got > 0 ? text + ExitText(status) : text + "not reaped: " + std::strerror(errno);
}

void CDemoBus::Output(const std::string& line) {
    LogLine(line);
    std::lock_guard lock(stateMutex_);
    if (line.rfind("tcp ", 0) == 0) {
        endpoint_ = line.substr(4);
    } else if (line.rfind("control ", 0) == 0) {
        controlEndpoint_ = line.substr(8);
    } else if (line == "ready") {
        ready_ = true;
        stateChanged_.notify_all();
    } else if (!line.empty()) {
        lastWords_ = line;
    }
}

// Copies the simulator's output into its log until the output ends, which it does when
// the simulator ends; an end that nobody asked for is reported.
void CDemoBus::Watch() {
    platform::NameCurrentThread("demo-bus");
    std::string pending;
    for (;;) {
        pollfd p{outputFd_, POLLIN, 0};
        const int rc = poll(&p, 1, 200);
        if (rc == 0 || (rc < 0 && errno == EINTR)) {
            if (stopping_ && Pid() <= 0) {
                break;  // stopped, and the output is quiet
            }
            continue;
        }
        char buffer[1024];
        const ssize_t n = rc < 0 ? -1 : read(outputFd_, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        pending.append(buffer, static_cast<size_t>(n));
        for (size_t nl; (nl = pending.find('\n')) != std::string::npos;) {
            Output(pending.substr(0, nl));
            pending.erase(0, nl + 1);
        }
        if (pending.size() > 4096) {
            Output(pending);
            pending.clear();
        }
    }
    if (!pending.empty()) {
        Output(pending);
    }
    bool wasReady = false;
    std::string lastWords;
    {
        std::lock_guard lock(stateMutex_);
        outputEnded_ = true;
        wasReady = ready_;
        lastWords = lastWords_;
        stateChanged_.notify_all();
    }
    if (!wasReady || stopping_) {
        return;  // Start and Stop report these ends themselves
    }
    std::string why;
    {
        std::lock_guard lock(processMutex_);
        if (stopping_) {
            return;
        }
        why = ReapLocked(1000, false);
    }
    if (!lastWords.empty()) {
        why += ": " + lastWords;
    }
    LogLine("zor-sim ended unexpectedly: " + why);
    if (onUnexpectedEnd_) {
        onUnexpectedEnd_(why);
    }
}

}  // namespace zm
