#include <gtest/gtest.h>

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "platform/ProcessInfo.h"
#include "support/TempDir.h"

namespace zp = zm::platform;

namespace {

// A child that runs until the test ends, optionally under another kernel short name.
class Child {
  public:
    explicit Child(const char* shortName) {
        int ready[2];
        if (pipe(ready) != 0) {
            return;
        }
        pid_ = fork();
        if (pid_ == 0) {
            close(ready[0]);
            prctl(PR_SET_NAME, shortName);
            char c = 'y';
            ssize_t ignored = write(ready[1], &c, 1);
            (void)ignored;
            sleep(30);
            _exit(0);
        }
        close(ready[1]);
        char c = 0;
        ssize_t ignored = read(ready[0], &c, 1);
        (void)ignored;
        close(ready[0]);
    }
    // Runs a copy of a system program under the given file name.
    Child(const zm::test::TempDir& temp, const std::string& fileName) {
        std::string program = temp.file(fileName);
        std::filesystem::copy_file("/bin/sleep", program);
        pid_ = fork();
        if (pid_ == 0) {
            execl(program.c_str(), fileName.c_str(), "30", static_cast<char*>(nullptr));
            _exit(127);
        }
        // Wait until the new program has replaced the forked copy of this one.
        for (int i = 0; i < 500; ++i) {
            std::error_code ec;
            auto exe = std::filesystem::read_symlink("/proc/" + std::to_string(pid_) + "/exe", ec);
            if (!ec && exe.filename() == fileName) {
                break;
            }
            usleep(10000);
        }
    }
    ~Child() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    int pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
};

}  // namespace

TEST(ProcessInfo, ExecutablePathNamesThisTestProgram) {
    auto path = zp::ExecutablePath();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(std::filesystem::path(path).filename(), "test_platform");
}

TEST(ProcessInfo, FindsThisProcessByName) {
    const int self = getpid();
    EXPECT_TRUE(zp::IsProcessRunning("test_platform", 0, true));
    EXPECT_TRUE(zp::IsProcessRunning("test_platform", self, true));
    EXPECT_TRUE(zp::IsProcessRunning("test_plat", self, false));
    EXPECT_FALSE(zp::IsProcessRunning("test_plat", self, true));
    EXPECT_FALSE(zp::IsProcessRunning("est_platform", self, false));
    EXPECT_FALSE(zp::IsProcessRunning("Test_platform", self, false));  // case counts
    EXPECT_FALSE(zp::IsProcessRunning("zm-no-such-program-4711", 0, false));

    bool listed = false;
    for (const auto& entry : zp::ListProcesses()) {
        listed = listed || (entry.pid == self && entry.exeName == "test_platform");
    }
    EXPECT_TRUE(listed);
}

TEST(ProcessInfo, ConfiguratorNameMatchesOnlyAtTheStart) {
    zm::test::TempDir temp;
    Child tool(temp, "ZorConfigurator-2.1");
    Child lookalike(temp, "MyZorConfigurator");
    ASSERT_GT(tool.pid(), 0);
    ASSERT_GT(lookalike.pid(), 0);

    EXPECT_TRUE(zp::IsProcessRunning("ZorConfigurator", tool.pid(), false));
    EXPECT_TRUE(zp::IsProcessRunning("ZorConfigurator-2.1", tool.pid(), true));
    EXPECT_FALSE(zp::IsProcessRunning("ZorConfigurator", tool.pid(), true));
    EXPECT_FALSE(zp::IsProcessRunning("ZorConfigurator", lookalike.pid(), false));
    EXPECT_TRUE(zp::IsProcessRunning("ZorConfigurator", 0, false));
}

TEST(ProcessInfo, KernelShortNameCountsToo) {
    // Wine shows a Windows program under the short name only, cut to 15 bytes.
    Child renamed("ZorConfigurator");
    ASSERT_GT(renamed.pid(), 0);
    EXPECT_TRUE(zp::IsProcessRunning("ZorConfigurator", renamed.pid(), true));
    EXPECT_TRUE(zp::IsProcessRunning("ZorConfigurator.exe", renamed.pid(), true));
    EXPECT_TRUE(zp::IsProcessRunning("ZorConf", renamed.pid(), false));
    EXPECT_FALSE(zp::IsProcessRunning("ZorConfigurat0r", renamed.pid(), false));

    Child worker("short-name");
    EXPECT_TRUE(zp::IsProcessRunning("short-name", worker.pid(), true));
    EXPECT_FALSE(zp::IsProcessRunning("short-name-but-longer", worker.pid(), true));
}
