#include "platform/ChildProcess.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/FileIo.h"

namespace zm::platform {
namespace {

std::string ReadAllOutput(int fd) {
    std::string text;
    char buffer[256];
    for (int rounds = 0; rounds < 100; ++rounds) {
        if (WaitForInput(fd, 100) <= 0)
            continue;
        long n = ReadFile(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        text.append(buffer, static_cast<size_t>(n));
    }
    return text;
}

TEST(ChildProcess, OutputAndExitCodeReachTheStarter) {
    StartedChild child;
    int error = 0;
    ASSERT_EQ(
        StartChild({"/bin/sh", "-c", "echo out; echo err >&2; read x; exit 3"}, {}, child, error),
        StartFailure::kNone);
    // Input is the null device, so the read ends at once instead of waiting for us.
    EXPECT_EQ(ReadAllOutput(child.output), "out\nerr\n");
    std::string how;
    EXPECT_EQ(ReapChild(child.pid, true, how), ChildState::kEnded);
    EXPECT_EQ(how, "exit code 3");
    CloseFile(child.output);
}

TEST(ChildProcess, TerminateKillAndAProgramThatCannotRun) {
    StartedChild child;
    int error = 0;
    ASSERT_EQ(StartChild({"/bin/sleep", "30"}, {}, child, error), StartFailure::kNone);
    std::string how;
    EXPECT_EQ(ReapChild(child.pid, false, how), ChildState::kRunning);
    TerminateChild(child.pid);
    EXPECT_EQ(ReapChild(child.pid, true, how), ChildState::kEnded);
    EXPECT_EQ(how.rfind("signal 15 (", 0), 0u) << how;
    EXPECT_EQ(ReapChild(child.pid, false, how), ChildState::kUnknown) << "reaped only once";
    CloseFile(child.output);

    ChildOptions options;
    options.execFailureText = "cannot run\n";
    ASSERT_EQ(StartChild({"/nonexistent/program"}, options, child, error), StartFailure::kNone);
    EXPECT_EQ(ReadAllOutput(child.output), "cannot run\n");
    EXPECT_EQ(ReapChild(child.pid, true, how), ChildState::kEnded);
    EXPECT_EQ(how, "exit code 127");
    CloseFile(child.output);
}

}  // namespace
}  // namespace zm::platform
