#include "device/DeviceThread.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <mutex>

#include "platform/NativeThread.h"
#include "platform/ProcessInfo.h"

namespace zm {

namespace {

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer's red zones need the full default stack.
constexpr std::size_t kDefaultStack = 0;
#else
// Device threads run short, shallow loops; a modest stack keeps a thousand devices cheap.
constexpr std::size_t kDefaultStack = 512 * 1024;
#endif

std::atomic<std::size_t> g_StackSize{kDefaultStack};

// Device threads wake every 100 or 500 ms; letting the kernel move such a wake-up by a
// couple of milliseconds lets it serve many devices in one timer interrupt (measured: a
// third less CPU for a thousand idle devices).
std::atomic<unsigned long> g_TimerSlackNs{2'000'000};

// The device catches what its loops throw and logs it; what still gets here ended the
// thread, and at least the console learns which one.
void ReportEscapedException(const char* what) {
    std::fprintf(stderr, "thread %s ended by an exception: %s\n",
                 platform::CurrentThreadName().c_str(), what);
}

std::mutex g_AbandonedMutex;
std::condition_variable g_AbandonedChanged;
int g_Abandoned = 0;

}  // namespace

struct CDeviceThread::Control {
    std::mutex mutex;
    std::condition_variable changed;
    std::function<void()> body;
    bool idKnown = false;
    bool resumed = false;
    bool done = false;
    bool abandoned = false;
    int tid = 0;
};

CDeviceThread::~CDeviceThread() {
    if (m_Ctl) {
        // Not stopped by its owner: never block here; let it end on its own.
        Resume();
        WaitForEnd(std::chrono::milliseconds(0));
    }
}

void CDeviceThread::Entry(void* arg) {
    std::shared_ptr<Control> ctl = std::move(*static_cast<std::shared_ptr<Control>*>(arg));
    delete static_cast<std::shared_ptr<Control>*>(arg);
    std::function<void()> body;
    {
        std::unique_lock lock(ctl->mutex);
        ctl->tid = platform::CurrentThreadId();
        if (const unsigned long slack = g_TimerSlackNs.load(); slack > 0) {
            platform::SetCurrentThreadTimerSlack(slack);
        }
        ctl->idKnown = true;
        ctl->changed.notify_all();
        ctl->changed.wait(lock, [&] { return ctl->resumed; });
        body = std::move(ctl->body);
    }
    try {
        body();
    } catch (const std::exception& e) {
        ReportEscapedException(e.what());
    } catch (...) {
        ReportEscapedException("unknown exception");
    }
    // The body's captures go first: they may own the device, whose destruction then runs
    // on this thread and must find the thread still marked as running.
    body = nullptr;
    std::lock_guard lock(ctl->mutex);
    ctl->done = true;
    if (ctl->abandoned) {
        std::lock_guard glock(g_AbandonedMutex);
        --g_Abandoned;
        g_AbandonedChanged.notify_all();
    }
    ctl->changed.notify_all();
}

bool CDeviceThread::Create(std::function<void()> body) {
    if (m_Ctl) {
        return false;
    }
    platform::PrepareForManyThreads();
    auto ctl = std::make_shared<Control>();
    ctl->body = std::move(body);

    auto* arg = new std::shared_ptr<Control>(ctl);
    if (!m_Thread.Start(&CDeviceThread::Entry, arg, g_StackSize.load())) {
        delete arg;
        return false;
    }
    m_Ctl = std::move(ctl);
    std::unique_lock lock(m_Ctl->mutex);
    m_Ctl->changed.wait(lock, [&] { return m_Ctl->idKnown; });
    return true;
}

void CDeviceThread::Resume() {
    if (!m_Ctl) {
        return;
    }
    std::lock_guard lock(m_Ctl->mutex);
    m_Ctl->resumed = true;
    m_Ctl->changed.notify_all();
}

bool CDeviceThread::IsCurrent() const {
    return m_Ctl && m_Thread.IsCurrent();
}

int CDeviceThread::Id() const {
    if (!m_Ctl) {
        return 0;
    }
    std::lock_guard lock(m_Ctl->mutex);
    return m_Ctl->tid;
}

uint32_t CDeviceThread::Handle() const {
    return m_Ctl ? m_Thread.ShortHandle() : 0;
}

void CDeviceThread::Forget() {
    m_Ctl.reset();
}

CDeviceThread::StopResult CDeviceThread::WaitForEnd(std::chrono::milliseconds limit,
                                                    const WaitHook& pump) {
    if (!m_Ctl) {
        return StopResult::NotRunning;
    }
    if (IsCurrent()) {
        m_Thread.Detach();
        Forget();
        return StopResult::Ended;
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::unique_lock lock(m_Ctl->mutex);
    for (;;) {
        if (m_Ctl->done) {
            lock.unlock();
            m_Thread.Join();
            Forget();
            return StopResult::Ended;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            break;
        }
        const auto slice = std::min<std::chrono::steady_clock::duration>(
            deadline - now, std::chrono::milliseconds(50));
        m_Ctl->changed.wait_for(lock, slice);
        if (pump && !m_Ctl->done) {
            lock.unlock();
            pump();
            lock.lock();
        }
    }
    m_Ctl->abandoned = true;
    {
        std::lock_guard glock(g_AbandonedMutex);
        ++g_Abandoned;
    }
    lock.unlock();
    m_Thread.Detach();
    Forget();
    return StopResult::Abandoned;
}

int CDeviceThread::AbandonedCount() {
    std::lock_guard lock(g_AbandonedMutex);
    return g_Abandoned;
}

bool CDeviceThread::WaitForAbandoned(std::chrono::milliseconds limit) {
    std::unique_lock lock(g_AbandonedMutex);
    return g_AbandonedChanged.wait_for(lock, limit, [] { return g_Abandoned == 0; });
}

void CDeviceThread::SetStackSize(std::size_t bytes) {
    g_StackSize.store(bytes);
}

std::size_t CDeviceThread::StackSize() {
    return g_StackSize.load();
}

void CDeviceThread::SetTimerSlack(std::chrono::microseconds slack) {
    g_TimerSlackNs.store(static_cast<unsigned long>(std::max<long long>(0, slack.count())) *
                         1000UL);
}

}  // namespace zm
