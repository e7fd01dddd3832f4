#include "auth/OperatorDirectory.h"

#include <sodium.h>

#include <cstdint>
#include <optional>
#include <utility>

#include "auth/PasswordHash.h"
#include "platform/FileIo.h"

namespace zm::auth {

namespace {

using Clock = std::chrono::steady_clock;

// What tells one version of the file from the next without reading it.
struct FileStamp {
    bool exists = false;
    std::uint64_t dev = 0;
    std::uint64_t ino = 0;
    std::int64_t size = 0;
    std::int64_t mtimeNs = 0;
    bool operator==(const FileStamp&) const = default;
};

FileStamp StampOf(const std::string& path) {
    FileStamp stamp;
    if (const std::optional<platform::FileInfo> info = platform::FileInfoOf(path)) {
        stamp.exists = true;
        stamp.dev = info->device;
        stamp.ino = info->inode;
        stamp.size = info->size;
        stamp.mtimeNs = info->mtimeSec * 1000000000 + info->mtimeNsec;
    }
    return stamp;
}

// A hash to compare against when the name is unknown, so that an unknown name costs what
// a wrong password costs and names cannot be probed by timing.
const std::string& DummyHash() {
    static const std::string hash = HashPassword("no such operator");
    return hash;
}

}  // namespace

struct COperatorDirectory::Snapshot {
    FileStamp stamp;
    std::map<std::string, Account> accounts;
};

COperatorDirectory::COperatorDirectory(std::string path)
    : COperatorDirectory(std::move(path), Limits{}) {}

COperatorDirectory::COperatorDirectory(std::string path, Limits limits)
    : path_(std::move(path)), limits_(limits) {
    // Without the library nothing verifies (VerifyPassword says no), so everyone is refused.
    [[maybe_unused]] const int ready = sodium_init();
    randombytes_buf(cacheKey_, sizeof cacheKey_);
}

std::shared_ptr<const COperatorDirectory::Snapshot> COperatorDirectory::Current() {
    const FileStamp stamp = StampOf(path_);
    {
        std::lock_guard lock(mutex_);
        if (snapshot_ && snapshot_->stamp == stamp) {
            return snapshot_;
        }
    }
    auto fresh = std::make_shared<Snapshot>();
    fresh->stamp = stamp;
    COperatorFile file(path_);
    std::string error;
    std::vector<std::string> problems;
    if (file.Load(&error)) {
        for (Account& account : file.Accounts()) {
            fresh->accounts[account.name] = std::move(account);
        }
        problems = file.Problems();
    } else {
        problems.push_back(error + "; nobody can sign in until it can be read");
    }
    for (std::string& p : problems) {
        p = path_ + ": " + p;
    }
    std::shared_ptr<const Snapshot> current;
    {
        std::lock_guard lock(mutex_);
        snapshot_ = fresh;
        // Credentials remembered from an older file may belong to a changed or removed
        // account.
        remembered_.clear();
        if (!sink_) {
            newProblems_.insert(newProblems_.end(), problems.begin(), problems.end());
        }
        current = snapshot_;
    }
    if (sink_) {
        for (const std::string& p : problems) {
            sink_(p);
        }
    }
    return current;
}

std::string COperatorDirectory::CacheKey(const std::string& name, const std::string& password,
                                         const std::string& hash) const {
    unsigned char out[32];
    crypto_generichash_state state;
    crypto_generichash_init(&state, cacheKey_, sizeof cacheKey_, sizeof out);
    const std::string parts[] = {name, password, hash};
    for (const std::string& part : parts) {
        const std::uint64_t size = part.size();
        crypto_generichash_update(&state, reinterpret_cast<const unsigned char*>(&size),
                                  sizeof size);
        crypto_generichash_update(&state, reinterpret_cast<const unsigned char*>(part.data()),
                                  part.size());
    }
    crypto_generichash_final(&state, out, sizeof out);
    return std::string(reinterpret_cast<const char*>(out), sizeof out);
}

COperatorDirectory::Result COperatorDirectory::Authenticate(const std::string& name,
                                                            const std::string& password) {
    const std::shared_ptr<const Snapshot> snapshot = Current();
    const auto found = snapshot->accounts.find(name);
    const bool known = found != snapshot->accounts.end() && password.size() <= kMaxPasswordLength;
    const std::string& hash = known ? found->second.hash : DummyHash();
    const std::string key = CacheKey(name, password, hash);
    const auto now = Clock::now();
    {
        std::unique_lock lock(mutex_);
        if (known) {
            auto it = remembered_.find(key);
            if (it != remembered_.end() && it->second > now && snapshot_ == snapshot) {
                return {Outcome::Ok, found->second.role};
            }
        }
        if (!turnFree_.wait_for(lock, limits_.turnWait,
                                [&] { return hashing_ < limits_.concurrentHashes; })) {
            return {Outcome::Busy, Role::Viewer};
        }
        ++hashing_;
    }
    const bool verified = VerifyPassword(hash, password.substr(0, kMaxPasswordLength)) && known;
    std::lock_guard lock(mutex_);
    --hashing_;
    turnFree_.notify_one();
    if (!verified) {
        return {Outcome::Refused, Role::Viewer};
    }
    if (snapshot_ == snapshot) {
        if (remembered_.size() >= limits_.rememberedMax) {
            remembered_.clear();
        }
        remembered_[key] = Clock::now() + limits_.remember;
    }
    return {Outcome::Ok, found->second.role};
}

std::vector<std::string> COperatorDirectory::TakeNewProblems() {
    Current();
    std::lock_guard lock(mutex_);
    return std::exchange(newProblems_, {});
}

bool COperatorDirectory::HasAccounts() {
    return !Current()->accounts.empty();
}

}  // namespace zm::auth
