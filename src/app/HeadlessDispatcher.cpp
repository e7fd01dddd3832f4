#include "app/HeadlessDispatcher.h"

#include <algorithm>
#include <exception>

#include "base/AppLogs.h"
#include "base/Log.h"
#include "platform/ProcessInfo.h"

namespace zm {

bool Dispatcher::WaitPumping(const std::function<bool()>& done, int timeoutMs) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return done();
        }
        if (Pump(10) == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    return true;
}

HeadlessDispatcher::HeadlessDispatcher() = default;

HeadlessDispatcher::~HeadlessDispatcher() {
    Stop();
}

void HeadlessDispatcher::Start() {
    std::lock_guard lock(mutex_);
    if (thread_.joinable() || stopping_) {
        return;
    }
    running_ = true;
    thread_ = std::thread([this] { ThreadMain(); });
}

void HeadlessDispatcher::Stop() {
    std::deque<Task> dropped;
    std::map<int, Timer> droppedTimers;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        dropped.swap(tasks_);
        droppedTimers.swap(timers_);
        heap_ = {};
    }
    wake_.notify_all();
    // The dropped tasks are destroyed here, outside the lock: their captures may post.
    dropped.clear();
    droppedTimers.clear();
    if (thread_.joinable() && !IsDispatcherThread()) {
        thread_.join();
    }
}

void HeadlessDispatcher::Post(Task task) {
    if (!task) {
        return;
    }
    {
        std::lock_guard lock(mutex_);
        if (stopping_) {
            return;
        }
        tasks_.push_back(std::move(task));
    }
    wake_.notify_one();
}

bool HeadlessDispatcher::Call(Task task) {
    if (IsDispatcherThread()) {
        RunGuarded(task);
        return true;
    }
    struct State {
        std::mutex mutex;
        std::condition_variable cv;
        bool finished = false;
        bool ran = false;
    };
    auto state = std::make_shared<State>();
    // Signals when the posted task is destroyed: after it ran, or when Stop dropped it.
    struct Finisher {
        std::shared_ptr<State> state;
        ~Finisher() {
            std::lock_guard lock(state->mutex);
            state->finished = true;
            state->cv.notify_all();
        }
    };
    auto finisher = std::make_shared<Finisher>();
    finisher->state = state;
    Post([finisher, task = std::move(task)] {
        RunGuarded(task);
        std::lock_guard lock(finisher->state->mutex);
        finisher->state->ran = true;
    });
    finisher.reset();
    std::unique_lock lock(state->mutex);
    state->cv.wait(lock, [&] { return state->finished; });
    return state->ran;
}

void HeadlessDispatcher::StartTimer(int id, int intervalMs, TimerMode mode, Task task) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_ || !task) {
            return;
        }
        Timer& timer = timers_[id];
        timer.interval = std::chrono::milliseconds(std::max(intervalMs, 1));
        timer.mode = mode;
        timer.task = std::make_shared<Task>(std::move(task));
        timer.generation = nextGeneration_++;
        timer.running = false;
        heap_.push(Due{Clock::now() + timer.interval, id, timer.generation});
    }
    wake_.notify_one();
}

bool HeadlessDispatcher::StopTimer(int id) {
    std::shared_ptr<Task> task;  // destroyed outside the lock
    std::lock_guard lock(mutex_);
    auto it = timers_.find(id);
    if (it == timers_.end()) {
        return false;
    }
    task = std::move(it->second.task);
    timers_.erase(it);
    return true;
}

bool HeadlessDispatcher::IsTimerActive(int id) const {
    std::lock_guard lock(mutex_);
    return timers_.count(id) != 0;
}

bool HeadlessDispatcher::IsDispatcherThread() const {
    return threadId_.load() == std::this_thread::get_id();
}

int HeadlessDispatcher::Pump(int maxMs) {
    if (!IsDispatcherThread()) {
        return 0;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(maxMs, 0));
    int count = 0;
    std::unique_lock lock(mutex_);
    while (!stopping_ && RunOneLocked(lock)) {
        ++count;
        if (Clock::now() >= deadline) {
            break;
        }
    }
    return count;
}

void HeadlessDispatcher::ThreadMain() {
    platform::NameCurrentThread("dispatcher");
    threadId_ = std::this_thread::get_id();
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (RunOneLocked(lock)) {
            continue;
        }
        Clock::time_point when;
        if (NextDueLocked(&when)) {
            wake_.wait_until(lock, when);
        } else {
            wake_.wait(lock);
        }
    }
    running_ = false;
}

bool HeadlessDispatcher::NextDueLocked(Clock::time_point* when) {
    while (!heap_.empty()) {
        const Due& top = heap_.top();
        auto it = timers_.find(top.id);
        if (it == timers_.end() || it->second.generation != top.generation) {
            heap_.pop();
            continue;
        }
        *when = top.when;
        return true;
    }
    return false;
}

bool HeadlessDispatcher::RunOneLocked(std::unique_lock<std::mutex>& lock) {
    // Due timers go first, so that a flood of posted tasks cannot hold back the clock.
    Clock::time_point when;
    const auto now = Clock::now();
    while (NextDueLocked(&when) && when <= now) {
        const Due due = heap_.top();
        heap_.pop();
        Timer& timer = timers_.at(due.id);
        if (timer.running) {
            // Fired from a nested Pump inside its own task: try again one interval later.
            heap_.push(Due{now + timer.interval, due.id, due.generation});
            continue;
        }
        std::shared_ptr<Task> task = timer.task;
        if (timer.mode == TimerMode::kOnce) {
            timers_.erase(due.id);
        } else {
            timer.running = true;
            heap_.push(Due{now + timer.interval, due.id, due.generation});
        }
        lock.unlock();
        RunGuarded(*task);
        task.reset();
        lock.lock();
        auto it = timers_.find(due.id);
        if (it != timers_.end() && it->second.generation == due.generation) {
            it->second.running = false;
        }
        return true;
    }
    if (tasks_.empty()) {
        return false;
    }
    Task task = std::move(tasks_.front());
    tasks_.pop_front();
    lock.unlock();
    RunGuarded(task);
    task = nullptr;
    lock.lock();
    return true;
}

void HeadlessDispatcher::RunGuarded(const Task& task) {
    // One failing task must not end the operator's side of the program.
    try {
        task();
    } catch (const std::exception& e) {
        RunLog().AddError("<li><dt> Dispatcher task failed: %s</li>",
                          HtmlEscaped(e.what()).c_str());
    } catch (...) {
        RunLog().AddError("<li><dt> Dispatcher task failed.</li>");
    }
}

}  // namespace zm
