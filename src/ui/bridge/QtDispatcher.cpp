#include "ui/bridge/QtDispatcher.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <exception>

#include "base/AppLogs.h"
#include "base/Log.h"

namespace zm {

const QEvent::Type QtDispatcher::kWakeEvent =
    static_cast<QEvent::Type>(QEvent::registerEventType());

QtDispatcher::QtDispatcher(QObject* parent)
    : QObject(parent), guiThread_(std::this_thread::get_id()) {
    setObjectName(QStringLiteral("QtDispatcher"));
}

QtDispatcher::~QtDispatcher() {
    Stop();
}

void QtDispatcher::Stop() {
    std::deque<Task> dropped;
    std::map<int, Timer> droppedTimers;
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
        dropped.swap(tasks_);
        droppedTimers.swap(timers_);
    }
    for (auto& [id, timer] : droppedTimers) {
        DropTimer(timer);
    }
    // Destroyed outside the lock: their captures may post.
    dropped.clear();
    droppedTimers.clear();
}

void QtDispatcher::Post(Task task) {
    if (!task) {
        return;
    }
    std::lock_guard lock(mutex_);
    if (stopped_) {
        return;
    }
    tasks_.push_back(std::move(task));
    RequestWakeLocked();
}

void QtDispatcher::RequestWakeLocked() {
    // One wake event at a time: the queue itself keeps the order.
    if (!wakePending_) {
        wakePending_ = true;
        QCoreApplication::postEvent(this, new QEvent(kWakeEvent));
    }
}

bool QtDispatcher::event(QEvent* event) {
    if (event->type() != kWakeEvent) {
        return QObject::event(event);
    }
    std::size_t queued;
    {
        std::lock_guard lock(mutex_);
        wakePending_ = false;
        queued = tasks_.size();
    }
    // Only what was queued when the event came: tasks that post tasks must not keep the
    // event loop from painting and from the operator's input.
    RunQueued(queued);
    std::lock_guard lock(mutex_);
    if (!tasks_.empty() && !stopped_) {
        RequestWakeLocked();
    }
    return true;
}

bool QtDispatcher::RunQueued(std::size_t limit) {
    bool ran = false;
    for (std::size_t i = 0; i < limit; ++i) {
        Task task;
        {
            std::lock_guard lock(mutex_);
            if (stopped_ || tasks_.empty()) {
                break;
            }
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        RunGuarded(task);
        ran = true;
    }
    return ran;
}

void QtDispatcher::StartTimer(int id, int intervalMs, TimerMode mode, Task task) {
    if (!task) {
        return;
    }
    if (!IsDispatcherThread()) {
        // QTimer belongs to the GUI thread: the start goes there, in posting order.
        auto shared = std::make_shared<Task>(std::move(task));
        Post([this, id, intervalMs, mode, shared] { StartTimer(id, intervalMs, mode, *shared); });
        return;
    }
    std::shared_ptr<Task> shared = std::make_shared<Task>(std::move(task));
    std::uint64_t generation;
    {
        std::lock_guard lock(mutex_);
        if (stopped_) {
            return;
        }
        generation = nextGeneration_++;
    }
    StartTimerHere(id, intervalMs, mode, std::move(shared), generation);
}

void QtDispatcher::StartTimerHere(int id, int intervalMs, TimerMode mode,
                                  std::shared_ptr<Task> task, std::uint64_t generation) {
    auto* qtimer = new QTimer(this);
    qtimer->setObjectName(QStringLiteral("DispatcherTimer%1").arg(id));
    qtimer->setTimerType(Qt::PreciseTimer);
    qtimer->setSingleShot(mode == TimerMode::kOnce);
    qtimer->setInterval(std::max(intervalMs, 1));
    connect(qtimer, &QTimer::timeout, this, [this, id, generation] { Fire(id, generation); });
    Timer replaced;
    {
        std::lock_guard lock(mutex_);
        Timer& timer = timers_[id];
        replaced = std::move(timer);
        timer = Timer{};
        timer.task = std::move(task);
        timer.timer = qtimer;
        timer.mode = mode;
        timer.generation = generation;
    }
    DropTimer(replaced);
    qtimer->start();
}

void QtDispatcher::Fire(int id, std::uint64_t generation) {
    std::shared_ptr<Task> task;
    Timer finished;
    {
        std::lock_guard lock(mutex_);
        auto it = timers_.find(id);
        if (it == timers_.end() || it->second.generation != generation) {
            return;  // stopped or replaced meanwhile
        }
        Timer& timer = it->second;
        if (timer.running) {
            return;  // fired from a Pump inside its own task: the next interval will do
        }
        task = timer.task;
        if (timer.mode == TimerMode::kOnce) {
            finished = std::move(timer);
            timers_.erase(it);
        } else {
            timer.running = true;
        }
    }
    DropTimer(finished);
    RunGuarded(*task);
    task.reset();
    std::lock_guard lock(mutex_);
    auto it = timers_.find(id);
    if (it != timers_.end() && it->second.generation == generation) {
        it->second.running = false;
    }
}

bool QtDispatcher::StopTimer(int id) {
    Timer stopped;
    {
        std::lock_guard lock(mutex_);
        auto it = timers_.find(id);
        if (it == timers_.end()) {
            return false;
        }
        stopped = std::move(it->second);
        timers_.erase(it);
    }
    DropTimer(stopped);
    return true;
}

void QtDispatcher::DropTimer(Timer& timer) {
    if (timer.timer == nullptr) {
        return;
    }
    QTimer* qtimer = timer.timer;
    timer.timer = nullptr;
    // Its entry is gone, so a timeout already queued finds nothing to run. The object
    // goes later: this may be its own timeout call, or another thread.
    if (IsDispatcherThread()) {
        qtimer->stop();
    }
    qtimer->disconnect();
    qtimer->deleteLater();
}

bool QtDispatcher::IsTimerActive(int id) const {
    std::lock_guard lock(mutex_);
    return timers_.count(id) != 0;
}

bool QtDispatcher::IsDispatcherThread() const {
    return std::this_thread::get_id() == guiThread_;
}

int QtDispatcher::Pump(int maxMs) {
    if (!IsDispatcherThread()) {
        return 0;
    }
    const std::uint64_t before = runCount_;
    const qint64 budget = std::max(maxMs, 0);
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        const qint64 left = std::max<qint64>(budget - clock.elapsed(), 0);
        // Timers, posted events and painting; the operator's input waits.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, static_cast<int>(left));
        // Tasks queued behind the task that pumps have no wake event of their own.
        std::size_t queued;
        {
            std::lock_guard lock(mutex_);
            queued = tasks_.size();
        }
        const bool ran = RunQueued(queued);
        if (!ran || clock.elapsed() >= budget) {
            break;
        }
    }
    return static_cast<int>(runCount_ - before);
}

void QtDispatcher::RunGuarded(const Task& task) {
    // An exception must not unwind through Qt's event loop; one failing task must not end
    // the operator's side of the program.
    try {
        task();
    } catch (const std::exception& e) {
        RunLog().AddError("<li><dt> Dispatcher task failed: %s</li>",
                          HtmlEscaped(e.what()).c_str());
    } catch (...) {
        RunLog().AddError("<li><dt> Dispatcher task failed.</li>");
    }
    ++runCount_;
}

}  // namespace zm
