#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "auth/OperatorFile.h"

namespace zm::auth {

// The accounts as the server checks them, from any connection thread. The file is read
// again whenever it changed on disk, so that an account added with the command line while
// the server runs counts at once.
//
// A password check is an Argon2id hash that takes tens of milliseconds and 19 MiB: no
// lock is held while hashing, at most kConcurrentHashes run at once, and a request that
// cannot get a turn within the wait is answered "busy" rather than queued for ever.
// Credentials that passed are remembered for a while (keyed by a keyed hash, never the
// password itself), so that a client sending the same Basic header with every request
// does not pay the hash each time.
class COperatorDirectory {
  public:
    enum class Outcome { Ok, Refused, Busy };
    struct Result {
        Outcome outcome = Outcome::Refused;
        Role role = Role::Viewer;
    };
    struct Limits {
        int concurrentHashes = 2;
        std::chrono::milliseconds turnWait{3000};
        std::chrono::seconds remember{600};
        std::size_t rememberedMax = 1024;
    };

    explicit COperatorDirectory(std::string path);
    COperatorDirectory(std::string path, Limits limits);

    Result Authenticate(const std::string& name, const std::string& password);
    // Called (without a lock held) with each problem a reading of the file finds, so that
    // a file broken while the server runs is reported when it is read, not at the next
    // start. Set before the first sign-in.
    void SetProblemSink(std::function<void(const std::string&)> sink) { sink_ = std::move(sink); }
    // The accounts' problems since the last read that found some (for the run log); each
    // reading's problems are handed out once.
    std::vector<std::string> TakeNewProblems();
    bool HasAccounts();
    const std::string& Path() const { return path_; }

  private:
    struct Snapshot;
    std::shared_ptr<const Snapshot> Current();
    std::string CacheKey(const std::string& name, const std::string& password,
                         const std::string& hash) const;

    const std::string path_;
    const Limits limits_;
    std::function<void(const std::string&)> sink_;
    unsigned char cacheKey_[32];

    std::mutex mutex_;  // never held while hashing
    std::shared_ptr<const Snapshot> snapshot_;
    std::vector<std::string> newProblems_;
    std::map<std::string, std::chrono::steady_clock::time_point> remembered_;
    std::condition_variable turnFree_;
    int hashing_ = 0;
};

}  // namespace zm::auth
