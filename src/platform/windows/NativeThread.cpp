#include "platform/NativeThread.h"

#include <windows.h>

#include <process.h>

namespace zm::platform {

namespace {

struct StartArgs {
    NativeThread::Entry entry;
    void* arg;
};

unsigned __stdcall Trampoline(void* raw) {
    const StartArgs start = *static_cast<StartArgs*>(raw);
    delete static_cast<StartArgs*>(raw);
    start.entry(start.arg);
    return 0;
}

HANDLE HandleOf(std::uintptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

bool NativeThread::Start(Entry entry, void* arg, std::size_t stackBytes) {
    if (started_)
        return false;
    auto* start = new StartArgs{entry, arg};
    const std::uintptr_t handle =
        _beginthreadex(nullptr, static_cast<unsigned>(stackBytes), &Trampoline, start,
                       stackBytes > 0 ? STACK_SIZE_PARAM_IS_A_RESERVATION : 0, nullptr);
    if (handle == 0) {
        delete start;
        return false;
    }
    handle_ = handle;
    started_ = true;
    return true;
}

bool NativeThread::IsCurrent() const {
    return started_ && GetThreadId(HandleOf(handle_)) == GetCurrentThreadId();
}

void NativeThread::Join() {
    if (started_) {
        WaitForSingleObject(HandleOf(handle_), INFINITE);
        CloseHandle(HandleOf(handle_));
    }
    handle_ = 0;
    started_ = false;
}

void NativeThread::Detach() {
    if (started_)
        CloseHandle(HandleOf(handle_));
    handle_ = 0;
    started_ = false;
}

std::uint32_t NativeThread::ShortHandle() const {
    return static_cast<std::uint32_t>(handle_);
}

int CurrentThreadId() {
    return static_cast<int>(GetCurrentThreadId());
}

int CurrentProcessId() {
    return static_cast<int>(GetCurrentProcessId());
}

// The Windows timer has no slack per thread; nothing to prepare for many threads either.
void SetCurrentThreadTimerSlack(unsigned long) {}

void PrepareForManyThreads() {}

}  // namespace zm::platform
