#include "platform/NativeThread.h"

#include <pthread.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <mutex>

namespace zm::platform {

namespace {

static_assert(sizeof(pthread_t) <= sizeof(std::uintptr_t));

struct StartArgs {
    NativeThread::Entry entry;
    void* arg;
};

void* Trampoline(void* raw) {
    const StartArgs start = *static_cast<StartArgs*>(raw);
    delete static_cast<StartArgs*>(raw);
    start.entry(start.arg);
    return nullptr;
}

pthread_t ThreadOf(std::uintptr_t handle) {
    return static_cast<pthread_t>(handle);
}

// Linux 6.16 and later give a multi-threaded process a private futex hash sized by the
// number of CPUs, not of threads. A thousand devices park two thousand threads in it,
// and every wake-up then walks long bucket chains: measured, that doubles the cost of an
// idle device. A table sized for many threads keeps the chains short. Older kernels
// refuse the request, which changes nothing.
constexpr int kPrFutexHash = 78;         // PR_FUTEX_HASH
constexpr int kPrFutexHashSetSlots = 1;  // PR_FUTEX_HASH_SET_SLOTS
constexpr unsigned long kFutexSlots = 4096;

}  // namespace

bool NativeThread::Start(Entry entry, void* arg, std::size_t stackBytes) {
    if (started_) {
        return false;
    }
    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0) {
        return false;
    }
    if (stackBytes > 0) {
        pthread_attr_setstacksize(&attr, stackBytes);
    }
    auto* start = new StartArgs{entry, arg};
    pthread_t thread{};
    const int rc = pthread_create(&thread, &attr, &Trampoline, start);
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        delete start;
        return false;
    }
    handle_ = static_cast<std::uintptr_t>(thread);
    started_ = true;
    return true;
}

bool NativeThread::IsCurrent() const {
    return started_ && pthread_equal(ThreadOf(handle_), pthread_self());
}

void NativeThread::Join() {
    if (started_) {
        pthread_join(ThreadOf(handle_), nullptr);
    }
    handle_ = 0;
    started_ = false;
}

void NativeThread::Detach() {
    if (started_) {
        pthread_detach(ThreadOf(handle_));
    }
    handle_ = 0;
    started_ = false;
}

std::uint32_t NativeThread::ShortHandle() const {
    return static_cast<std::uint32_t>(handle_);
}

int CurrentThreadId() {
    return static_cast<int>(gettid());
}

int CurrentProcessId() {
    return static_cast<int>(getpid());
}

void SetCurrentThreadTimerSlack(unsigned long nanoseconds) {
    prctl(PR_SET_TIMERSLACK, nanoseconds, 0, 0, 0);
}

void PrepareForManyThreads() {
    static std::once_flag once;
    std::call_once(once, [] { prctl(kPrFutexHash, kPrFutexHashSetSlots, kFutexSlots, 0, 0); });
}

}  // namespace zm::platform
