#pragma once

#include <cstddef>
#include <cstdint>

namespace zm::platform {

// A system thread started with a chosen stack size, then joined or detached by its owner
// (std::thread cannot set the stack, and a thousand devices need small ones).
class NativeThread {
  public:
    using Entry = void (*)(void* arg);

    // Runs entry(arg) on a new thread (stackBytes 0: the system default). False when the
    // system refuses; entry then never runs.
    bool Start(Entry entry, void* arg, std::size_t stackBytes);
    bool Started() const { return started_; }
    bool IsCurrent() const;
    // Each ends the ownership: the object is empty afterwards.
    void Join();
    void Detach();
    // A short form of the system's handle, for log lines.
    std::uint32_t ShortHandle() const;

  private:
    std::uintptr_t handle_ = 0;
    bool started_ = false;
};

// The system's numbers for the calling thread and this process, as log lines show them.
int CurrentThreadId();
int CurrentProcessId();

// How far the system may delay timed wake-ups of the calling thread to serve several at
// once; no effect where it cannot.
void SetCurrentThreadTimerSlack(unsigned long nanoseconds);
// Prepares the process for thousands of mostly waiting threads; once is enough.
void PrepareForManyThreads();

}  // namespace zm::platform
