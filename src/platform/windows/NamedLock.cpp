#include "platform/NamedLock.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "Wide.h"

// Named mutexes in the Global\ namespace, so that every session of the machine shares
// them (the service and a console start of the same program exclude each other).
namespace zm::platform {
namespace {

using Clock = std::chrono::steady_clock;

// A Windows mutex lets its owning thread in again through any handle; two objects of
// this process must exclude each other all the same, so the process keeps its own list.
std::mutex g_heldMutex;
std::map<std::string, const void*> g_held;

std::wstring MutexName(const std::string& name) {
    // Backslashes would open a namespace of their own.
    std::string safe = name;
    std::replace(safe.begin(), safe.end(), '\\', '/');
    return L"Global\\ZorManager-" + Wide(safe);
}

}  // namespace

struct NamedLock::State {
    std::mutex mutex;
    std::condition_variable released;
    HANDLE handle = nullptr;
    std::thread::id owner;
    int depth = 0;
    std::string error;
};

NamedLock::NamedLock(std::string name)
    : name_(std::move(name)), state_(std::make_unique<State>()) {}

NamedLock::~NamedLock() {
    std::lock_guard guard(state_->mutex);
    if (state_->handle != nullptr)
        CloseHandle(state_->handle);  // an abandoned mutex is free for the next holder
}

std::string NamedLock::LockFilePath(const std::string& name) {
    return Narrow(MutexName(name));
}

NamedLock::Result NamedLock::Acquire(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    std::unique_lock guard(state_->mutex);
    const auto self = std::this_thread::get_id();
    if (state_->depth > 0 && state_->owner == self) {
        ++state_->depth;
        return Result::kAcquired;
    }
    if (!state_->released.wait_until(guard, deadline, [&] { return state_->depth == 0; }))
        return Result::kTimedOut;
    if (state_->handle == nullptr) {
        state_->handle = CreateMutexW(nullptr, FALSE, MutexName(name_).c_str());
        if (state_->handle == nullptr) {
            state_->error = "CreateMutexW " + name_ + ": error " + std::to_string(GetLastError());
            return Result::kFailed;
        }
    }
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        const DWORD wait = static_cast<DWORD>(std::clamp<long long>(left.count(), 0, 10));
        const DWORD rc = WaitForSingleObject(state_->handle, wait);
        if (rc == WAIT_OBJECT_0 || rc == WAIT_ABANDONED) {
            std::lock_guard held(g_heldMutex);
            auto [it, added] = g_held.emplace(name_, this);
            if (added || it->second == this) {
                state_->owner = self;
                state_->depth = 1;
                return Result::kAcquired;
            }
            ReleaseMutex(state_->handle);  // held by another object of this process
        } else if (rc == WAIT_FAILED) {
            state_->error =
                "WaitForSingleObject " + name_ + ": error " + std::to_string(GetLastError());
            return Result::kFailed;
        }
        if (Clock::now() >= deadline)
            return Result::kTimedOut;
        guard.unlock();
        std::this_thread::sleep_for(pause);
        guard.lock();
        pause = std::min(pause * 2, std::chrono::milliseconds(10));
        if (state_->depth > 0 &&
            !state_->released.wait_until(guard, deadline, [&] { return state_->depth == 0; }))
            return Result::kTimedOut;
    }
}

void NamedLock::Unlock() {
    std::lock_guard guard(state_->mutex);
    if (state_->depth == 0 || state_->owner != std::this_thread::get_id())
        return;
    if (--state_->depth == 0) {
        {
            std::lock_guard held(g_heldMutex);
            g_held.erase(name_);
        }
        ReleaseMutex(state_->handle);
        state_->owner = {};
        state_->released.notify_all();
    }
}

bool NamedLock::IsHeldByThisThread() const {
    std::lock_guard guard(state_->mutex);
    return state_->depth > 0 && state_->owner == std::this_thread::get_id();
}

std::string NamedLock::Error() const {
    std::lock_guard guard(state_->mutex);
    return state_->error;
}

}  // namespace zm::platform
