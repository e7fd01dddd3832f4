#include "base/IniStore.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/FileIo.h"

namespace zm::ini {

namespace {

struct Stamp {
    uint64_t dev = 0;
    uint64_t ino = 0;
    int64_t size = -1;
    int64_t mtimeSec = 0;
    int64_t mtimeNsec = 0;
    bool operator==(const Stamp&) const = default;
};

Stamp StampOf(const platform::FileInfo& info) {
    return Stamp{info.device, info.inode, info.size, info.mtimeSec, info.mtimeNsec};
}

uint64_t ReadCounter(int fd) {
    unsigned char bytes[8] = {};
    if (platform::ReadFileAt(fd, bytes, sizeof bytes, 0) != static_cast<long>(sizeof bytes))
        return 0;
    uint64_t value = 0;
    for (int i = 7; i >= 0; --i)
        value = (value << 8) | bytes[i];
    return value;
}

bool WriteCounter(int fd, uint64_t value) {
    unsigned char bytes[8];
    for (auto& b : bytes) {
        b = static_cast<unsigned char>(value & 0xFF);
        value >>= 8;
    }
    return platform::WriteFileAt(fd, bytes, sizeof bytes, 0);
}

bool ReadAll(int fd, std::string& out, int64_t sizeHint) {
    out.clear();
    if (sizeHint > 0)
        out.reserve(static_cast<size_t>(sizeHint));
    char buffer[65536];
    for (;;) {
        long n = platform::ReadFile(fd, buffer, sizeof buffer);
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        out.append(buffer, static_cast<size_t>(n));
    }
}

thread_local std::vector<Batch*> tBatches;

}  // namespace

struct PathState {
    std::timed_mutex writeMutex;
    std::mutex cacheMutex;
    std::shared_ptr<const CIniDocument> doc;
    Stamp stamp;
    uint64_t counter = 0;
    bool valid = false;
    std::string lockPath;
    std::atomic<int> counterFd{-1};
};

namespace {

std::shared_ptr<PathState> StateOf(const std::string& canon) {
    static std::mutex registryMutex;
    static std::unordered_map<std::string, std::shared_ptr<PathState>> registry;
    std::lock_guard guard(registryMutex);
    auto& state = registry[canon];
    if (!state) {
        state = std::make_shared<PathState>();
        state->lockPath = LockFilePath(canon);
    }
    return state;
}

}  // namespace

std::string CanonicalPath(const std::string& path) {
    if (path.empty())
        return {};
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    if (ec)
        return path;
    std::filesystem::path canon = std::filesystem::weakly_canonical(absolute, ec);
    return (ec ? absolute.lexically_normal() : canon).string();
}

std::string LockFilePath(const std::string& canon) {
    std::filesystem::path p(canon);
    return (p.parent_path() / ("." + p.filename().string() + ".lock")).string();
}

namespace {

// The write counter of a file, read through a descriptor of its lock file kept open for the
// process (lock files are never removed), so a cached read costs three system calls.
constexpr int kMaxCounterFds = 32;
std::atomic<int> gCounterFds{0};

uint64_t CurrentCounter(PathState& state) {
    int fd = state.counterFd.load();
    if (fd < 0) {
        fd = platform::OpenForRead(state.lockPath);
        if (fd < 0)
            return 0;
        int expected = -1;
        if (gCounterFds.fetch_add(1) < kMaxCounterFds &&
            state.counterFd.compare_exchange_strong(expected, fd))
            return ReadCounter(fd);
        gCounterFds.fetch_sub(1);
        uint64_t value = ReadCounter(fd);
        platform::CloseFile(fd);
        return value;
    }
    return ReadCounter(fd);
}

}  // namespace

std::shared_ptr<const CIniDocument> Load(const std::string& canon) {
    static const auto kEmpty = std::make_shared<const CIniDocument>();
    if (canon.empty())
        return kEmpty;
    auto state = StateOf(canon);
    uint64_t before = CurrentCounter(*state);
    std::optional<platform::FileInfo> info = platform::FileInfoOf(canon);
    if (!info)
        return kEmpty;
    Stamp stamp = StampOf(*info);
    uint64_t after = CurrentCounter(*state);
    {
        std::lock_guard guard(state->cacheMutex);
        if (state->valid && before == after && state->counter == before && state->stamp == stamp)
            return state->doc;
    }
    int fd = platform::OpenForRead(canon);
    if (fd < 0)
        return kEmpty;
    // What is read is what the stamp describes only when the descriptor has that stamp.
    std::optional<platform::FileInfo> opened = platform::FileInfoOf(fd);
    bool same = opened && StampOf(*opened) == stamp;
    std::string bytes;
    bool ok = ReadAll(fd, bytes, opened ? opened->size : info->size);
    platform::CloseFile(fd);
    if (!ok)
        return kEmpty;
    auto doc = std::make_shared<const CIniDocument>(CIniDocument::Parse(bytes));
    if (same && before == after) {
        std::lock_guard guard(state->cacheMutex);
        state->doc = doc;
        state->stamp = stamp;
        state->counter = before;
        state->valid = true;
    }
    return doc;
}

PathLock::PathLock(const std::string& canon) : canon_(canon), state_(StateOf(canon)) {
    threadLock_ = std::unique_lock<std::timed_mutex>(state_->writeMutex, std::defer_lock);
}

PathLock::~PathLock() {
    Release();
}

bool PathLock::Acquire(std::chrono::milliseconds wait) {
    if (held_)
        return true;
    if (canon_.empty())
        return false;
    auto deadline = std::chrono::steady_clock::now() + wait;
    if (!threadLock_.try_lock_until(deadline))
        return false;
    lockFd_ = platform::OpenForUpdate(state_->lockPath, 0600);
    if (lockFd_ < 0) {
        threadLock_.unlock();
        return false;
    }
    // flock has no time-out: poll, so a process that hangs holding it cannot hang us.
    while (!platform::TryLockFile(lockFd_)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            platform::CloseFile(lockFd_);
            lockFd_ = -1;
            threadLock_.unlock();
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    held_ = true;
    return true;
}

void PathLock::Release() {
    if (!held_)
        return;
    platform::CloseFile(lockFd_);  // drops the file lock
    lockFd_ = -1;
    threadLock_.unlock();
    held_ = false;
}

namespace {

// Removes the copies that writers killed before their rename left beside the file. Every
// writer holds the file's lock while its copy exists, so under the lock any copy is dead.
void RemoveDeadCopies(const std::filesystem::path& target) {
    const std::string prefix = "." + target.filename().string() + ".";
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(target.parent_path(), ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        // mkstemp's six characters; the lock file's ".lock" is shorter.
        if (name.size() == prefix.size() + 6 && name.starts_with(prefix)) {
            std::error_code ignored;
            std::filesystem::remove(it->path(), ignored);
        }
    }
}

}  // namespace

bool PathLock::WriteBytes(const std::string& bytes) {
    if (!held_)
        return false;
    std::filesystem::path target(canon_);
    RemoveDeadCopies(target);
    // Settings hold passwords: a new file is private; an existing one keeps its mode.
    unsigned mode = 0600;
    std::optional<platform::FileInfo> old = platform::FileInfoOf(canon_);
    if (old)
        mode = old->permissions;
    std::string temp =
        (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
    int fd = platform::CreateUniqueFile(temp);
    if (fd < 0)
        return false;
    if (old && !old->ownedByThisProcess) {
        // An administrator's write must not take the file from its owner (for anyone else
        // the change is refused and the file becomes theirs, as any rewrite would).
        platform::SetFileOwner(fd, old->owner, old->group);
    }
    bool ok = platform::SetFilePermissions(fd, mode) &&
              platform::WriteFile(fd, bytes.data(), bytes.size()) && platform::SyncFile(fd);
    ok = platform::CloseFile(fd) && ok;
    uint64_t counter = ReadCounter(lockFd_) + 1;
    // The counter moves before the rename, so no reader can pair the new file with an old
    // counter value that a cached copy was stored under.
    ok = ok && WriteCounter(lockFd_, counter);
    if (!ok || !platform::ReplaceFile(temp, canon_)) {
        platform::RemoveFile(temp);
        std::lock_guard guard(state_->cacheMutex);
        state_->valid = false;
        return false;
    }
    // The folder is not synced: after a power loss the file is either the old or the new
    // one, both whole, which is all a settings file needs.
    std::lock_guard guard(state_->cacheMutex);
    state_->valid = false;
    return true;
}

bool PathLock::Write(const CIniDocument& doc) {
    if (!WriteBytes(doc.Serialize()))
        return false;
    std::optional<platform::FileInfo> info = platform::FileInfoOf(canon_);
    if (!info)
        return true;
    std::lock_guard guard(state_->cacheMutex);
    state_->doc = std::make_shared<const CIniDocument>(doc);
    state_->stamp = StampOf(*info);
    state_->counter = ReadCounter(lockFd_);
    state_->valid = true;
    return true;
}

Batch* ThreadBatch(const std::string& canon) {
    for (Batch* b : tBatches)
        if (b->canon == canon)
            return b;
    return nullptr;
}

void RegisterBatch(Batch* batch) {
    tBatches.push_back(batch);
}

void UnregisterBatch(Batch* batch) {
    std::erase(tBatches, batch);
}

bool Modify(const std::string& canon,
            const std::function<CIniDocument::Change(CIniDocument&)>& change) {
    if (canon.empty())
        return false;
    if (Batch* batch = ThreadBatch(canon)) {
        CIniDocument::Change result = change(batch->doc);
        if (result == CIniDocument::Change::Changed)
            batch->dirty = true;
        return result != CIniDocument::Change::Refused;
    }
    PathLock lock(canon);
    if (!lock.Acquire())
        return false;
    CIniDocument doc = *Load(canon);
    CIniDocument::Change result = change(doc);
    if (result == CIniDocument::Change::Refused)
        return false;
    if (result == CIniDocument::Change::Unchanged)
        return true;
    return lock.Write(doc);
}

}  // namespace zm::ini
