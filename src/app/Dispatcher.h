#pragma once

#include <chrono>
#include <functional>

namespace zm {

// The engine's user-interface thread. Work that the operator's side owns (views, the
// alarm actions, timers) runs here, one task after the other; other threads hand work
// over with Post and never wait for it. The GUI implements it on the Qt main thread;
// the headless server with one thread of its own (HeadlessDispatcher).
class Dispatcher {
  public:
    using Task = std::function<void()>;

    enum class TimerMode {
        kRepeat,  // fires every interval until stopped
        kOnce,    // fires once and is then gone
    };

    virtual ~Dispatcher() = default;

    // Queues the task to run on the dispatcher thread after the tasks queued before it.
    // Any thread may post. Tasks posted after the dispatcher stopped are dropped.
    virtual void Post(Task task) = 0;

    // Starts the timer with this id, replacing one with the same id (its interval counts
    // from now). The task runs on the dispatcher thread; a timer does not fire again
    // while its own task still runs. intervalMs below 1 counts as 1.
    virtual void StartTimer(int id, int intervalMs, TimerMode mode, Task task) = 0;

    // Stops the timer; false when no such timer was running. Once it returns on the
    // dispatcher thread the task will not be called again.
    virtual bool StopTimer(int id) = 0;

    virtual bool IsTimerActive(int id) const = 0;

    // Runs the tasks that are ready and the timers that are due, for at most maxMs, on
    // the calling thread, and returns without waiting when nothing is ready. A wait
    // that must keep the operator's side alive calls it at least every 50 ms. Only the
    // dispatcher thread runs anything; elsewhere it returns 0 at once. Returns the number
    // of tasks and timer calls run.
    virtual int Pump(int maxMs) = 0;

    // Whether the calling thread is the dispatcher thread.
    virtual bool IsDispatcherThread() const = 0;

    // Waits until done() is true or timeoutMs passed. On the dispatcher thread it keeps
    // pumping meanwhile; elsewhere it only polls. Returns done()'s last answer.
    bool WaitPumping(const std::function<bool()>& done, int timeoutMs);
};

}  // namespace zm
