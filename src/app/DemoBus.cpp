#include "app/DemoBus.h"

#include <chrono>
#include <cstring>
#include <ctime>
#include <vector>

#include "base/Printf.h"
#include "platform/ChildProcess.h"
#include "platform/FileIo.h"
#include "platform/ProcessInfo.h"

namespace zm {

namespace {

std::string TimeStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

}  // namespace

CDemoBus::~CDemoBus() {
    Stop();
}

void CDemoBus::SetOnUnexpectedEnd(std::function<void(const std::string&)> callback) {
    onUnexpectedEnd_ = std::move(callback);
}

int CDemoBus::Pid() const {
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
    platform::WriteFile(logFd_, text.data(), text.size());  // appended whole
}

bool CDemoBus::Start(const std::string& simPath, const std::string& busFile,
                     const std::string& logPath, std::string* error, int readyMs) {
    Stop();
    logFd_ = platform::OpenForAppend(logPath, 0644);
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
    platform::ChildOptions options;
    options.ownProcessGroup = true;
    options.endsWithStarter = true;
    options.execFailureText = "zor-sim: the program could not be run\n";
    platform::StartedChild child;
    int systemError = 0;
    const platform::StartFailure failure =
        platform::StartChild({simPath, "--config", busFile}, options, child, systemError);
    if (failure == platform::StartFailure::kNoPipe) {
        *error = StrPrintf("no pipe for the simulator's output: %s", std::strerror(systemError));
        return false;
    }
    if (failure == platform::StartFailure::kNoProcess) {
        *error = StrPrintf("the simulator could not be started: %s", std::strerror(systemError));
        LogLine(*error);
        return false;
    }
    const int pid = child.pid;
    {
        std::lock_guard lock(processMutex_);
        pid_ = pid;
    }
    outputFd_ = child.output;
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
        LogLine(StrPrintf("zor-sim runs as process %d", pid));
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
            const int pid = pid_;
            const std::string ended = ReapLocked(graceMs, true);
            LogLine(StrPrintf("zor-sim (process %d) stopped: %s", pid, ended.c_str()));
        }
    }
    if (watcher_.joinable()) {
        watcher_.join();
    }
    if (outputFd_ >= 0) {
        platform::CloseFile(outputFd_);
        outputFd_ = -1;
    }
    if (logFd_ >= 0) {
        platform::CloseFile(logFd_);
        logFd_ = -1;
    }
}

std::string CDemoBus::ReapLocked(int graceMs, bool terminate) {
    if (pid_ <= 0) {
        return "already ended";
    }
    std::string ended;
    platform::ChildState state = platform::ReapChild(pid_, false, ended);
    if (state == platform::ChildState::kRunning && terminate) {
        platform::TerminateChild(pid_);
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMs);
    while (state == platform::ChildState::kRunning && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        state = platform::ReapChild(pid_, false, ended);
    }
    std::string text;
    if (state == platform::ChildState::kRunning) {
        platform::KillChild(pid_);
        state = platform::ReapChild(pid_, true, ended);
        text = "killed after " + std::to_string(graceMs) + " ms: ";
    }
    pid_ = -1;
    return state == platform::ChildState::kEnded ? text + ended : text + "not reaped: " + ended;
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
        const int rc = platform::WaitForInput(outputFd_, 200);
        if (rc == 0) {
            if (stopping_ && Pid() <= 0) {
                break;  // stopped, and the output is quiet
            }
            continue;
        }
        char buffer[1024];
        const long n = rc < 0 ? -1 : platform::ReadFile(outputFd_, buffer, sizeof buffer);
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
