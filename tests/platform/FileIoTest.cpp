#include "platform/FileIo.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace zm::platform {
namespace {

class FileIoTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = std::filesystem::path(::testing::TempDir()) /
                  ("fileio-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::string PathOf(const std::string& name) const { return (folder_ / name).string(); }

    static std::string Contents(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::filesystem::path folder_;
};

// The lock must exclude a second descriptor of this very process (two logs or two settings
// writers in one program) and must go with the descriptor.
TEST_F(FileIoTest, LockExcludesOtherDescriptorsUntilClosed) {
    const std::string path = PathOf("locked");
    int first = OpenForUpdate(path, 0600);
    int second = OpenForWrite(path);
    ASSERT_GE(first, 0);
    ASSERT_GE(second, 0);
    EXPECT_TRUE(TryLockFile(first));
    EXPECT_FALSE(TryLockFile(second));
    EXPECT_TRUE(CloseFile(first));
    EXPECT_TRUE(TryLockFile(second));
    EXPECT_TRUE(CloseFile(second));
}

// A replacement is seen whole, gets a new identity, and leaves no temporary name behind.
TEST_F(FileIoTest, UniqueFileReplacesTargetWhole) {
    const std::string target = PathOf("settings.ini");
    std::ofstream(target, std::ios::binary) << "old";
    const FileInfo before = FileInfoOf(target).value();

    std::string temp = PathOf(".settings.ini.XXXXXX");
    int fd = CreateUniqueFile(temp);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(temp.find("XXXXXX"), std::string::npos);
    EXPECT_EQ(FileInfoOf(fd).value().permissions, 0600u);
    const std::string bytes = "new contents";
    ASSERT_TRUE(WriteFile(fd, bytes.data(), bytes.size()));
    ASSERT_TRUE(SyncFile(fd));
    ASSERT_TRUE(CloseFile(fd));
    ASSERT_TRUE(ReplaceFile(temp, target));

    EXPECT_EQ(Contents(target), bytes);
    EXPECT_FALSE(PathExists(temp));
    const FileInfo after = FileInfoOf(target).value();
    EXPECT_NE(after.inode, before.inode);
    EXPECT_EQ(after.size, static_cast<std::int64_t>(bytes.size()));
    EXPECT_TRUE(after.isRegular);
}

TEST_F(FileIoTest, PositionedIoTruncateAndNewFileRules) {
    const std::string path = PathOf("data");
    int fd = CreateNewFile(path, 0640);
    ASSERT_GE(fd, 0);
    EXPECT_LT(CreateNewFile(path, 0640), 0) << "an existing name must never be reused";
    ASSERT_TRUE(WriteFile(fd, "abcdef", 6));
    ASSERT_TRUE(WriteFileAt(fd, "XY", 2, 1));
    EXPECT_EQ(SeekFileEnd(fd), 6);
    ASSERT_TRUE(TruncateFile(fd, 4));
    ASSERT_TRUE(CloseFile(fd));
    EXPECT_EQ(Contents(path), "aXYd");

    fd = OpenForRead(path);
    ASSERT_GE(fd, 0);
    char buffer[8] = {};
    EXPECT_EQ(ReadFileAt(fd, buffer, 2, 2), 2);
    EXPECT_EQ(std::string(buffer, 2), "Yd");
    EXPECT_EQ(ReadFile(fd, buffer, sizeof buffer), 4) << "positioned reads leave the offset";
    EXPECT_EQ(ReadFile(fd, buffer, sizeof buffer), 0);
    ASSERT_TRUE(RewindFile(fd));
    EXPECT_EQ(ReadFile(fd, buffer, 1), 1);
    EXPECT_EQ(FileInfoOf(fd).value().permissions & ~0640u, 0u);
    CloseFile(fd);

    EXPECT_FALSE(FileInfoOf(PathOf("missing")).has_value());
    EXPECT_TRUE(FileInfoOf(folder_.string()).value().isDirectory);
    EXPECT_LT(OpenForRead(PathOf("missing")), 0);
}

}  // namespace
}  // namespace zm::platform
