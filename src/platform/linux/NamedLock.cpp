#include "platform/NamedLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/Folders.h"

namespace zm::platform {
namespace {

using Clock = std::chrono::steady_clock;

// Safe file-name characters stay; everything else becomes %XX, so that every name maps
// to one file and no name can reach outside the folder.
std::string EncodeName(const std::string& name) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : name) {
        bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                     c == '-' || c == '_' || c == '.';
        if (plain) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

// File names are limited to 255 bytes; long names keep a readable start and a hash of
// the whole name.
std::string FileNameFor(const std::string& name) {
    std::string encoded = EncodeName(name);
    if (encoded.size() > 180) {
        std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
        for (unsigned char c : name) {
            hash = (hash ^ c) * 1099511628211ull;
        }
        char tail[24];
        std::snprintf(tail, sizeof tail, "~%016llx", static_cast<unsigned long long>(hash));
        encoded = encoded.substr(0, 160) + tail;
    }
    return "lock-" + encoded;
}

// Age-based cleaners of temporary folders (systemd-tmpfiles) leave alone a folder on
// which a flock is held: a lock file removed under its holder would let a second holder in.
int HoldFolder(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0 && ::flock(fd, LOCK_SH | LOCK_NB) != 0) {
        ::close(fd);
        fd = -1;
    }
    return fd;  // best effort: the lock itself does not depend on it
}

void CloseIfOpen(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

}  // namespace

struct NamedLock::State {
    std::mutex mutex;
    std::condition_variable released;
    int fd = -1;        // open while held; closing it releases the flock
    int folderFd = -1;  // the lock folder, share-locked while held (see HoldFolder)
    std::thread::id owner;
    int depth = 0;
    std::string error;
};

NamedLock::NamedLock(std::string name)
    : name_(std::move(name)), state_(std::make_unique<State>()) {}

NamedLock::~NamedLock() {
    std::lock_guard guard(state_->mutex);
    CloseIfOpen(state_->fd);
    CloseIfOpen(state_->folderFd);
}

std::string NamedLock::LockFilePath(const std::string& name) {
    return RuntimeFolder() + FileNameFor(name);
}

NamedLock::Result NamedLock::Acquire(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    std::unique_lock guard(state_->mutex);
    const auto self = std::this_thread::get_id();

    // Another thread of this process holds it through this same object.
    if (state_->depth > 0 && state_->owner == self) {
        ++state_->depth;
        return Result::kAcquired;
    }
    if (!state_->released.wait_until(guard, deadline, [&] { return state_->depth == 0; })) {
        return Result::kTimedOut;
    }

    const std::string folder = RuntimeFolder();
    std::string folderError;
    if (!EnsurePrivateFolder(folder, &folderError)) {
        state_->error = folderError;
        return Result::kFailed;
    }
    std::string path = folder + FileNameFor(name_);
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        state_->error = path + ": " + std::strerror(errno);
        return Result::kFailed;
    }

    // flock has no timed form: poll, sleeping a little longer each time up to 10 ms.
    // The object's own mutex is released while sleeping so that other threads can see
    // that it is busy, not block on it.
    auto pause = std::chrono::milliseconds(1);
    while (true) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            state_->fd = fd;
            state_->folderFd = HoldFolder(folder);
            state_->owner = self;
            state_->depth = 1;
            return Result::kAcquired;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            state_->error = path + ": " + std::strerror(errno);
            ::close(fd);
            return Result::kFailed;
        }
        auto now = Clock::now();
        if (now >= deadline) {
            ::close(fd);
            return Result::kTimedOut;
        }
        auto sleep = std::min<Clock::duration>(pause, deadline - now);
        guard.unlock();
        std::this_thread::sleep_for(sleep);
        guard.lock();
        pause = std::min(pause * 2, std::chrono::milliseconds(10));
        // Another thread may have taken the object meanwhile (it found depth 0); then
        // wait for it like for any other holder.
        if (state_->depth > 0 &&
            !state_->released.wait_until(guard, deadline, [&] { return state_->depth == 0; })) {
            ::close(fd);
            return Result::kTimedOut;
        }
    }
}

void NamedLock::Unlock() {
    std::lock_guard guard(state_->mutex);
    if (state_->depth == 0 || state_->owner != std::this_thread::get_id()) {
        return;
    }
    if (--state_->depth == 0) {
        CloseIfOpen(state_->fd);
        CloseIfOpen(state_->folderFd);
        state_->owner = std::thread::id();
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
