#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace zm {

// The demo's simulated bus as a child process: zor-sim with the home's bus file. It gets
// a process group of its own, so that Ctrl-C at the terminal reaches only the server,
// which stops it after the devices; and it is asked to end when the thread that started
// it dies, so that no simulator outlives a killed server and keeps the bus port. Its
// output goes to a log file of its own, never to the operator's terminal.
class CDemoBus {
  public:
    CDemoBus() = default;
    ~CDemoBus();
    CDemoBus(const CDemoBus&) = delete;
    CDemoBus& operator=(const CDemoBus&) = delete;

    // Called on the watch thread when the simulator ends while it should run; the text
    // says how it ended (exit code or signal, and its last words).
    void SetOnUnexpectedEnd(std::function<void(const std::string& why)> callback);

    // Starts `simPath --config busFile` with its output appended to `logPath` and waits
    // (at most readyMs) until it listens. The thread that calls this must live until
    // Stop. False with the reason (the simulator's own when it gave one); nothing is left
    // running then.
    bool Start(const std::string& simPath, const std::string& busFile, const std::string& logPath,
               std::string* error, int readyMs = 5000);
    // SIGTERM, at most graceMs for it to end, then SIGKILL; always reaped. Harmless when
    // nothing runs.
    void Stop(int graceMs = 3000);

    int Pid() const;
    // "127.0.0.1:PORT" of the bus and of its control port, as the simulator reported them.
    std::string Endpoint() const;
    std::string ControlEndpoint() const;

  private:
    void Watch();
    void Output(const std::string& line);
    // Reaps the child, killing it when it does not end within graceMs; the exit as text.
    // Called with processMutex_ held.
    std::string ReapLocked(int graceMs, bool terminate);
    void LogLine(const std::string& line);

    mutable std::mutex processMutex_;  // pid_ and reaping
    int pid_ = -1;
    mutable std::mutex stateMutex_;  // what the output said so far
    std::condition_variable stateChanged_;
    bool ready_ = false;
    bool outputEnded_ = false;
    std::string endpoint_;
    std::string controlEndpoint_;
    std::string lastWords_;  // the last line that was not a report of the simulator's own
    std::atomic<bool> stopping_ = false;
    std::function<void(const std::string&)> onUnexpectedEnd_;
    int outputFd_ = -1;
    int logFd_ = -1;
    std::thread watcher_;
};

}  // namespace zm
