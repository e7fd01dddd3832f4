#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/Shell.h"
#include "support/TempDir.h"

namespace zp = zm::platform;

namespace {

std::string WaitForFile(const std::string& path) {
    for (int i = 0; i < 500; ++i) {
        std::ifstream in(path);
        std::string text;
        if (std::getline(in, text) && !text.empty()) {
            return text;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return {};
}

// Session id of a process, field 6 of /proc/<pid>/stat (after the command name).
long SessionOf(long pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat;
    std::getline(in, stat);
    std::istringstream rest(stat.substr(stat.rfind(')') + 2));
    std::string state;
    long ppid = 0, group = 0, session = -1;
    rest >> state >> ppid >> group >> session;
    return session;
}

}  // namespace

TEST(Shell, SpawnedProgramRunsDetachedAndLeavesNoChild) {
    zm::test::TempDir temp;
    std::string pidFile = temp.file("pid");
    std::string doneFile = temp.file("done");
    std::string gate = temp.file("gate");
    // The program waits for the gate file, so it is certainly still running on return.
    std::string script = "echo $$ > '" + pidFile + "'; i=0; while [ ! -e '" + gate +
                         "' ] && [ $i -lt 500 ]; do sleep 0.01; i=$((i+1)); done; echo $PPID > '" +
                         doneFile + "'";
    std::string error;
    ASSERT_TRUE(zp::SpawnDetached({"sh", "-c", script}, &error)) << error;
    EXPECT_FALSE(std::filesystem::exists(doneFile));  // the caller did not wait for it

    long pid = std::stol(WaitForFile(pidFile));
    EXPECT_NE(SessionOf(pid), getsid(0));
    std::ofstream(gate) << "go";
    std::string parent = WaitForFile(doneFile);
    ASSERT_FALSE(parent.empty());
    EXPECT_NE(std::stol(parent), static_cast<long>(getpid()));

    // Nothing of ours is left to be reaped.
    errno = 0;
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST(Shell, ProgramsThatCannotStartAreReported) {
    zm::test::TempDir temp;
    std::string error;
    EXPECT_FALSE(zp::SpawnDetached({"zm-no-such-program-4711"}, &error));
    EXPECT_NE(error.find("zm-no-such-program-4711"), std::string::npos);

    // Executable bit but no valid program inside: exec itself fails.
    std::string bogus = temp.file("bogus");
    std::ofstream(bogus) << "\x7f"
                            "ELF garbage";
    chmod(bogus.c_str(), 0700);
    error.clear();
    EXPECT_FALSE(zp::SpawnDetached({bogus}, &error));
    EXPECT_FALSE(error.empty());

    EXPECT_FALSE(zp::SpawnDetached({}, &error));
    errno = 0;
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
}
