#include <gtest/gtest.h>

#include <sys/wait.h>

#include <unistd.h>
#include <cstdio>

#include <fstream>

#include "base/Folders.h"
#include "base/Startup.h"
#include "support/TempDir.h"

namespace {

// Runs a separate program that makes the start-up check under the given home root, as a
// second copy of the application would: 0 it may start, 1 "Application already launched.",
// 2 the lock could not be used (its message is kept).
int CheckInOtherProcess(const std::string& home, std::string* message = nullptr) {
    std::string command = std::string(ZM_INSTANCE_PROBE) + " --home '" + home + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return -1;
    }
    std::string output;
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe) != nullptr) {
        output += buffer;
    }
    int status = pclose(pipe);
    if (message != nullptr) {
        *message = output;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

// The instance lock lives for the whole test program, so every check of this process's
// own lock is in one test.
TEST(Startup, SingleInstancePerHome) {
    zm::test::TempDir temp;
    zm::SetHomeRoot(temp.folder());

    EXPECT_EQ(CheckInOtherProcess(temp.folder()), 0);  // nobody holds it yet
    EXPECT_FALSE(zm::IsAlreadyRunning());
    std::string message = "stale";
    EXPECT_TRUE(zm::CheckStartup(message));
    EXPECT_TRUE(message.empty());
    EXPECT_EQ(CheckInOtherProcess(temp.folder(), &message), 1);  // the second copy is refused
    EXPECT_EQ(message, "Application already launched.\n");
    EXPECT_FALSE(zm::IsAlreadyRunning());  // this process is the instance

    // Another home is another installation.
    zm::test::TempDir other;
    EXPECT_EQ(CheckInOtherProcess(other.folder()), 0);
    zm::SetHomeRoot("");
}

TEST(Startup, UnusableLockFolderIsReported) {
    zm::test::TempDir temp;
    std::ofstream(temp.file("Run")) << "not a folder";
    std::string message;
    EXPECT_EQ(CheckInOtherProcess(temp.folder(), &message), 2);
    EXPECT_EQ(message.rfind("Cannot check for a running copy of the application (", 0), 0u)
        << message;
    EXPECT_NE(message.find("Run"), std::string::npos);
}

TEST(Startup, ProcessCheckFindsThisProgram) {
    EXPECT_TRUE(zm::IsProcessRunning("test_base_utils"));
    EXPECT_TRUE(zm::IsProcessRunning("test_base_u", getpid()));
    EXPECT_FALSE(zm::IsProcessRunning("test_base_u", getpid(), true));
    EXPECT_FALSE(zm::IsProcessRunning("ZorConfigurator-not-running-4711"));
}
