#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "platform/Folders.h"
#include "platform/NamedLock.h"
#include "support/TempDir.h"

namespace zp = zm::platform;
using Clock = std::chrono::steady_clock;
using Result = zp::NamedLock::Result;

namespace {

class NamedLockTest : public ::testing::Test {
  protected:
    void SetUp() override { zp::SetHomeRoot(temp.folder()); }
    void TearDown() override { zp::SetHomeRoot(""); }

    zm::test::TempDir temp;
};

// A child process that takes the lock and keeps it until killed (at most 30 s).
pid_t StartHolder(const std::string& name);

// Kills and reaps the child when the test ends early.
struct Reaper {
    pid_t pid;
    ~Reaper() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    void KillNow() {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        pid = -1;
    }
};

pid_t StartHolder(const std::string& name) {
    int ready[2];
    if (pipe(ready) != 0) {
        return -1;
    }
    pid_t pid = fork();
    if (pid == 0) {
        close(ready[0]);
        zp::NamedLock lock(name);
        char answer = lock.TryLock(5000) ? 'y' : 'n';
        ssize_t ignored = write(ready[1], &answer, 1);
        (void)ignored;
        sleep(30);
        _exit(0);
    }
    close(ready[1]);
    char answer = 0;
    bool ok = read(ready[0], &answer, 1) == 1 && answer == 'y';
    close(ready[0]);
    if (!ok) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return -1;
    }
    return pid;
}

}  // namespace

TEST_F(NamedLockTest, HolderInAnotherProcessExcludesUntilItIsKilled) {
    const std::string name = "TcpIp-Link::127.0.0.1:11221";
    Reaper holder{StartHolder(name)};
    ASSERT_GT(holder.pid, 0);

    zp::NamedLock lock(name);
    EXPECT_EQ(lock.Acquire(0), Result::kTimedOut);

    // The wait lasts as long as asked for, and not unboundedly longer.
    auto start = Clock::now();
    EXPECT_EQ(lock.Acquire(150), Result::kTimedOut);
    auto waited = Clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(150));
    EXPECT_LT(waited, std::chrono::seconds(3));

    // A holder that dies without cleaning up leaves the lock free.
    holder.KillNow();
    EXPECT_EQ(lock.Acquire(2000), Result::kAcquired);
    EXPECT_TRUE(lock.IsHeldByThisThread());
}

TEST_F(NamedLockTest, ReleasedLockIsTakenByAWaitingProcess) {
    const std::string name = "ComPort-Link::/dev/ttyUSB0";
    {
        zp::NamedLock lock(name);
        ASSERT_TRUE(lock.TryLock(0));
        lock.Unlock();
        EXPECT_FALSE(lock.IsHeldByThisThread());
    }
    Reaper holder{StartHolder(name)};  // succeeds only because we let go
    EXPECT_GT(holder.pid, 0);
}

TEST_F(NamedLockTest, TwoObjectsInOneProcessExcludeEachOther) {
    zp::NamedLock first("ZorManager__All_Ver-Lang");
    zp::NamedLock second("ZorManager__All_Ver-Lang");
    zp::NamedLock other("ZorManager__All_Ver-lang");  // names are case-sensitive
    ASSERT_TRUE(first.TryLock(0));
    EXPECT_EQ(second.Acquire(0), Result::kTimedOut);
    EXPECT_TRUE(other.TryLock(0));

    // A waiter in another thread gets it once the holder lets go.
    std::atomic<bool> got{false};
    std::thread waiter([&] {
        got = second.TryLock(5000);
        second.Unlock();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(got);
    first.Unlock();
    waiter.join();
    EXPECT_TRUE(got);
}

TEST_F(NamedLockTest, SharedObjectIsHeldByOneThreadAndReentrant) {
    zp::NamedLock lock("shared");
    ASSERT_TRUE(lock.TryLock(0));
    ASSERT_TRUE(lock.TryLock(0));  // the holder may take it again

    Result inOtherThread = Result::kAcquired;
    std::thread other([&] { inOtherThread = lock.Acquire(50); });
    other.join();
    EXPECT_EQ(inOtherThread, Result::kTimedOut);

    lock.Unlock();  // one level left: still held
    std::thread again([&] { inOtherThread = lock.Acquire(0); });
    again.join();
    EXPECT_EQ(inOtherThread, Result::kTimedOut);

    lock.Unlock();
    std::thread last([&] {
        inOtherThread = lock.Acquire(0);
        lock.Unlock();
    });
    last.join();
    EXPECT_EQ(inOtherThread, Result::kAcquired);
}

TEST_F(NamedLockTest, AnyTextNamesAFileInsideTheRuntimeFolder) {
    const std::string runtime = temp.folder() + "Run/";
    const std::string names[] = {
        "",
        ".",
        "..",
        "../../etc/passwd",
        "a/b\\c",
        "Zor-01 \xD0\x9F\xD1\x80\xD0\xB8",
        "100% sure",
        std::string(1000, 'x'),
        std::string(1000, 'x') + "y",
    };
    std::set<std::string> files;
    for (const auto& name : names) {
        std::string path = zp::NamedLock::LockFilePath(name);
        EXPECT_EQ(path.rfind(runtime, 0), 0u) << path;
        std::string file = path.substr(runtime.size());
        EXPECT_EQ(file.find('/'), std::string::npos) << file;
        EXPECT_LT(file.size(), 255u);
        files.insert(file);

        zp::NamedLock lock(name);
        EXPECT_TRUE(lock.TryLock(0)) << lock.Error();
        EXPECT_TRUE(std::filesystem::exists(path));
    }
    EXPECT_EQ(files.size(), std::size(names));  // no two names share a file
}

TEST_F(NamedLockTest, FolderIsKeptFromCleanersWhileALockIsHeld) {
    zp::NamedLock lock("kept");
    ASSERT_TRUE(lock.TryLock(0));
    // A cleaner asks for the folder exclusively and skips it when it cannot have it.
    int folder = open((temp.folder() + "Run").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(folder, 0);
    EXPECT_NE(flock(folder, LOCK_EX | LOCK_NB), 0);
    lock.Unlock();
    EXPECT_EQ(flock(folder, LOCK_EX | LOCK_NB), 0);
    close(folder);
}

TEST_F(NamedLockTest, UnusableRuntimeFolderIsAFailureNotATimeout) {
    std::ofstream(temp.file("Run")) << "not a folder";
    zp::NamedLock lock("x");
    EXPECT_EQ(lock.Acquire(100), Result::kFailed);
    EXPECT_NE(lock.Error().find("Run"), std::string::npos);
}

TEST_F(NamedLockTest, GuardReleasesAtEndOfScope) {
    zp::NamedLock lock("guarded");
    zp::NamedLock rival("guarded");
    {
        zp::NamedLockGuard guard(lock, 0);
        EXPECT_TRUE(guard.Owns());
        EXPECT_FALSE(rival.TryLock(0));
    }
    EXPECT_TRUE(rival.TryLock(0));
    {
        zp::NamedLockGuard late(lock, 20);
        EXPECT_FALSE(late.Owns());
        EXPECT_EQ(late.Result(), Result::kTimedOut);
    }
    {
        zp::NamedLock owner("dropped");
        ASSERT_TRUE(owner.TryLock(0));
    }  // destroyed while held
    zp::NamedLock next("dropped");
    EXPECT_TRUE(next.TryLock(0));
}
