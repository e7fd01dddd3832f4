#pragma once

#include <memory>
#include <string>

namespace zm::platform {

// A lock shared by every process of this user that names it the same way: the single
// instance of the program, and the turn-taking of devices on one serial port or one TCP
// endpoint. Any text can be a name.
//
// Two NamedLock objects on one name exclude each other also inside one process. One
// object may be shared by threads: it is then held by one thread at a time, and the
// holding thread may take it again (each Acquire needs its Unlock). The lock is released
// by Unlock, by the destructor, and by the system when the process ends in any way.
class NamedLock {
  public:
    enum class Result {
        kAcquired,
        kTimedOut,  // another holder kept it for the whole wait
        kFailed,    // the lock could not be used at all (see Error)
    };

    explicit NamedLock(std::string name);
    ~NamedLock();
    NamedLock(const NamedLock&) = delete;
    NamedLock& operator=(const NamedLock&) = delete;

    // Tries to take the lock, waiting at most timeoutMs milliseconds (0 or less: one try).
    Result Acquire(int timeoutMs);
    bool TryLock(int timeoutMs) { return Acquire(timeoutMs) == Result::kAcquired; }

    // Gives up one level of holding by the calling thread; no effect when it does not hold.
    void Unlock();

    // Held through this object by the calling thread.
    bool IsHeldByThisThread() const;

    const std::string& Name() const { return name_; }

    // Reason of the last kFailed result.
    std::string Error() const;

    // The lock file used for a name (folder from RuntimeFolder()).
    static std::string LockFilePath(const std::string& name);

  private:
    struct State;
    std::string name_;
    std::unique_ptr<State> state_;
};

// Holds a NamedLock for one scope when it could be taken in time.
class NamedLockGuard {
  public:
    NamedLockGuard(NamedLock& lock, int timeoutMs)
        : lock_(lock), result_(lock.Acquire(timeoutMs)) {}
    ~NamedLockGuard() {
        if (result_ == NamedLock::Result::kAcquired) {
            lock_.Unlock();
        }
    }
    NamedLockGuard(const NamedLockGuard&) = delete;
    NamedLockGuard& operator=(const NamedLockGuard&) = delete;

    bool Owns() const { return result_ == NamedLock::Result::kAcquired; }
    NamedLock::Result Result() const { return result_; }

  private:
    NamedLock& lock_;
    NamedLock::Result result_;
};

}  // namespace zm::platform
