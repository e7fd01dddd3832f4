#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <queue>
#include <thread>
#include <vector>

#include "app/Dispatcher.h"

namespace zm {

// The dispatcher of the headless server: one thread with a task queue and a timer heap.
// Tasks posted before Start wait for it.
class HeadlessDispatcher final : public Dispatcher {
  public:
    HeadlessDispatcher();
    ~HeadlessDispatcher() override;  // Stop
    HeadlessDispatcher(const HeadlessDispatcher&) = delete;
    HeadlessDispatcher& operator=(const HeadlessDispatcher&) = delete;

    // Starts the dispatcher thread (once).
    void Start();

    // Ends the dispatcher thread after the task it runs now; queued tasks are dropped and
    // timers stopped. From another thread it waits for the thread to end; on the
    // dispatcher thread it only asks it to end.
    void Stop();

    bool IsRunning() const { return running_.load(); }

    // Runs the task on the dispatcher thread and waits until it has run (at once when
    // called there). False when the dispatcher stopped before running it.
    bool Call(Task task);

    void Post(Task task) override;
    void StartTimer(int id, int intervalMs, TimerMode mode, Task task) override;
    bool StopTimer(int id) override;
    bool IsTimerActive(int id) const override;
    int Pump(int maxMs) override;
    bool IsDispatcherThread() const override;

  private:
    using Clock = std::chrono::steady_clock;

    struct Timer {
        std::chrono::milliseconds interval{1};
        TimerMode mode = TimerMode::kRepeat;
        std::shared_ptr<Task> task;
        std::uint64_t generation = 0;
        bool running = false;  // its task runs now (a nested Pump must not fire it again)
    };
    struct Due {
        Clock::time_point when;
        int id;
        std::uint64_t generation;
        bool operator>(const Due& other) const { return when > other.when; }
    };

    void ThreadMain();
    // Runs one due timer or else one queued task; false when nothing was ready. The lock
    // is held on entry and on return, not while the task runs.
    bool RunOneLocked(std::unique_lock<std::mutex>& lock);
    // Drops heap entries of stopped or restarted timers; the next live due time.
    bool NextDueLocked(Clock::time_point* when);
    static void RunGuarded(const Task& task);

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Task> tasks_;
    std::map<int, Timer> timers_;
    std::priority_queue<Due, std::vector<Due>, std::greater<Due>> heap_;
    std::uint64_t nextGeneration_ = 1;
    bool stopping_ = false;
    std::atomic<bool> running_{false};
    std::atomic<std::thread::id> threadId_{};
    std::thread thread_;
};

}  // namespace zm
