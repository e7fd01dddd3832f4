#pragma once

#include "base/IniDocument.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

// The file side of CIni: where a settings file's contents come from and how a change gets
// back to disk without losing anyone's write.
//
// - A write replaces the file by a temporary file beside it (fsync, rename), so the file is
//   never seen truncated or half-written; a new file gets mode 0600, an existing one keeps
//   its mode.
// - The read-modify-write of a change runs under a mutex per canonical path (threads) and
//   an exclusive flock on a hidden lock file beside the settings file (processes; the
//   settings file itself cannot carry the lock because every write replaces its inode).
// - The lock file also holds a 64-bit write counter that every writer bumps before its
//   rename. A parsed file is reused only while the counter, and the file's device, inode,
//   size and modification time in nanoseconds are unchanged, so the next read always sees
//   the last write, from this process or another one.
namespace zm::ini {

inline constexpr std::chrono::milliseconds kLockWait{5000};

struct PathState;

std::string CanonicalPath(const std::string& path);
// "<folder>/.<name>.lock"
std::string LockFilePath(const std::string& canon);

// The file's current contents (an empty UTF-16 LE document when it is missing or unreadable).
std::shared_ptr<const CIniDocument> Load(const std::string& canon);

// Exclusive right to change one file: the in-process mutex and the cross-process flock.
class PathLock {
  public:
    explicit PathLock(const std::string& canon);
    ~PathLock();
    PathLock(const PathLock&) = delete;
    PathLock& operator=(const PathLock&) = delete;

    // Waits at most `wait` for both locks; false leaves nothing held.
    bool Acquire(std::chrono::milliseconds wait = kLockWait);
    void Release();
    bool Held() const { return held_; }

    // Writes the document over the file (temporary file, fsync, rename) and refreshes the
    // cache. Needs the lock held.
    bool Write(const CIniDocument& doc);
    // Writes bytes over the file the same way (used by the ANSI conversion).
    bool WriteBytes(const std::string& bytes);

  private:
    std::string canon_;
    std::shared_ptr<PathState> state_;
    std::unique_lock<std::timed_mutex> threadLock_;
    int lockFd_ = -1;
    bool held_ = false;
};

// A change in progress on one thread for one file (the batch scope).
struct Batch {
    explicit Batch(const std::string& c) : canon(c), lock(c) {}
    std::string canon;
    PathLock lock;
    CIniDocument doc;
    bool dirty = false;
};

// The calling thread's batch for the file, if any.
Batch* ThreadBatch(const std::string& canon);
void RegisterBatch(Batch* batch);
void UnregisterBatch(Batch* batch);

// Applies a change to the file: on the thread's batch when there is one, otherwise as one
// locked read-modify-write. False when refused, when the locks cannot be had in time or
// when the file cannot be written.
bool Modify(const std::string& canon,
            const std::function<CIniDocument::Change(CIniDocument&)>& change);

}  // namespace zm::ini
