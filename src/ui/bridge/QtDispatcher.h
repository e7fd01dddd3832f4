#pragma once

#include <QEvent>
#include <QObject>

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "app/Dispatcher.h"

class QTimer;

namespace zm {

// The engine's user-interface thread in the desktop program: the GUI thread's own event
// loop. It keeps the contract of HeadlessDispatcher: any thread posts, each thread's
// order is kept, timers fire on the GUI thread and never inside their own task, Pump runs
// what is ready for a bounded time, and an exception never crosses the event loop (it is
// written to the run log). Pump lets timers, posted tasks and painting through but holds
// back the operator's input, so that a wait inside a command cannot take a second click.
//
// Create it on the GUI thread (the thread of the application object), after the
// application object. Timers started from another thread start on the GUI thread shortly
// after.
class QtDispatcher final : public QObject, public Dispatcher {
    Q_OBJECT

  public:
    explicit QtDispatcher(QObject* parent = nullptr);
    ~QtDispatcher() override;  // Stop
    QtDispatcher(const QtDispatcher&) = delete;
    QtDispatcher& operator=(const QtDispatcher&) = delete;

    // Drops the queued tasks and stops every timer; later posts and timers are refused.
    void Stop();

    void Post(Task task) override;
    void StartTimer(int id, int intervalMs, TimerMode mode, Task task) override;
    bool StopTimer(int id) override;
    bool IsTimerActive(int id) const override;
    int Pump(int maxMs) override;
    bool IsDispatcherThread() const override;

    // Tasks and timer calls run so far (for Pump's count and for tests).
    std::uint64_t RunCount() const { return runCount_; }

  protected:
    bool event(QEvent* event) override;

  private:
    struct Timer {
        std::shared_ptr<Task> task;
        QTimer* timer = nullptr;  // GUI thread only
        TimerMode mode = TimerMode::kRepeat;
        std::uint64_t generation = 0;
        bool running = false;
    };

    // Runs queued tasks, at most `limit`, one at a time, so that a task that pumps keeps
    // the order; false when none was queued.
    bool RunQueued(std::size_t limit);
    void RequestWakeLocked();
    void StartTimerHere(int id, int intervalMs, TimerMode mode, std::shared_ptr<Task> task,
                        std::uint64_t generation);
    void Fire(int id, std::uint64_t generation);
    void DropTimer(Timer& timer);
    void RunGuarded(const Task& task);

    static const QEvent::Type kWakeEvent;

    const std::thread::id guiThread_;
    mutable std::mutex mutex_;  // tasks_, wakePending_, stopped_, timers_'s bookkeeping
    std::deque<Task> tasks_;
    bool wakePending_ = false;
    bool stopped_ = false;
    std::map<int, Timer> timers_;
    std::uint64_t nextGeneration_ = 1;
    std::uint64_t runCount_ = 0;  // GUI thread only
};

}  // namespace zm
