#include <gtest/gtest.h>

#include <filesystem>

#include "platform/ProcessInfo.h"

TEST(ProcessInfo, ExecutablePathNamesThisTestProgram) {
    auto path = zm::platform::ExecutablePath();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(std::filesystem::path(path).filename(), "test_platform");
}
