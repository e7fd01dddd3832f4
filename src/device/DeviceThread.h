#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/NativeThread.h"

namespace zm {

// One worker thread of a device. It is created held before its body runs, so that the
// creator can log its identity first, and is never terminated by force: a thread that
// does not end in time is abandoned (detached) and counted until it ends by itself.
// Whatever its body uses must therefore be owned by the body (shared ownership).
class CDeviceThread {
  public:
    using WaitHook = std::function<void()>;
    enum class StopResult { NotRunning, Ended, Abandoned };

    CDeviceThread() = default;
    ~CDeviceThread();
    CDeviceThread(const CDeviceThread&) = delete;
    CDeviceThread& operator=(const CDeviceThread&) = delete;

    // Creates the thread, held before the body. False when the system refuses.
    bool Create(std::function<void()> body);
    // Lets the body run.
    void Resume();

    bool Exists() const { return m_Ctl != nullptr; }
    bool IsCurrent() const;
    // Kernel thread id and a short form of the thread handle, for log lines.
    int Id() const;
    uint32_t Handle() const;

    // Waits for the body to end, at most `limit`, waking at least every 50 ms to call
    // `pump` (the caller's message dispatching). Ended: the thread is joined. Abandoned:
    // it is detached and keeps running. Either way this object forgets the thread.
    // Called on the thread itself, it only detaches (the body is about to end).
    StopResult WaitForEnd(std::chrono::milliseconds limit, const WaitHook& pump = {});

    // Abandoned threads whose bodies have not ended yet, process-wide.
    static int AbandonedCount();
    // Waits until no abandoned thread is left, at most `limit`; true when none is left.
    // Meant for the end of the process, before the objects they use are torn down.
    static bool WaitForAbandoned(std::chrono::milliseconds limit);

    // Stack size of threads created afterwards (0: the system default).
    static void SetStackSize(std::size_t bytes);
    static std::size_t StackSize();
    // How far the kernel may delay a timed wake-up of threads created afterwards, to
    // serve several in one go (0: the system default).
    static void SetTimerSlack(std::chrono::microseconds slack);

  private:
    struct Control;
    static void Entry(void* arg);
    void Forget();

    std::shared_ptr<Control> m_Ctl;
    platform::NativeThread m_Thread;
};

}  // namespace zm
