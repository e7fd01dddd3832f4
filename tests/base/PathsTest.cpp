#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "base/Paths.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

TEST(Paths, NormalizeResolvesDotComponents) {
    const std::pair<std::string, std::string> cases[] = {
        {"/a/b/../c/./d.html", "/a/c/d.html"},
        {"/a/b/", "/a/b/"},
        {"/a//b", "/a/b"},
        {"/../x", "/x"},
        {"/a/../../x/", "/x/"},
        {"a/../../b", "../b"},
        {"../../a", "../../a"},
        {"a/b/..", "a/"},
        {"a/./", "a/"},
        {"a/..", "./"},
        {"/", "/"},
        {".", "./"},
        {"a/b", "a/b"},
        {"", ""},
    };
    for (const auto& [input, expected] : cases) {
        std::string path = input;
        EXPECT_EQ(zm::NormalizePath(path), expected) << input;
        EXPECT_EQ(path, expected) << input;
    }
}

TEST(Paths, CombineAndRelative) {
    struct Combine {
        const char* folder;
        const char* file;
        const char* expected;
    };
    const Combine combines[] = {
        {"/a/b/", "c.txt", "/a/b/c.txt"},
        {"/a/b", "c.txt", "/a/b/c.txt"},
        {"/a/x/../b/", "../c/d", "/a/c/d"},
        {"/a/", "/etc/hosts", "/etc/hosts"},
        {"", "f.txt", "f.txt"},
        {"/a/./", "", "/a/"},
    };
    for (const auto& c : combines) {
        EXPECT_EQ(zm::CombinePath(c.folder, c.file), c.expected) << c.folder << " + " << c.file;
    }

    const Combine relatives[] = {
        {"/kml/Title/files/", "/kml/Reports/Main.kml", "../../Reports/Main.kml"},
        {"/a/b/", "/a/b/c.txt", "./c.txt"},
        {"/a/b/", "/a/b/sub/c.txt", "./sub/c.txt"},
        {"/a/b/../c/", "/a/c/d/e", "./d/e"},
        {"/x/y", "/x/yz/f", "../yz/f"},  // whole components, not text prefixes
        {"/a/b/", "/", "../../"},
        {"/a/", "rel/x", "rel/x"},  // no relative path between absolute and relative
        {"../up/", "here/x", "here/x"},
        {"data/", "data/logs/x.txt", "./logs/x.txt"},
    };
    for (const auto& c : relatives) {
        EXPECT_EQ(zm::RelativePath(c.folder, c.file), c.expected) << c.folder << " -> " << c.file;
    }
}

TEST(Paths, CreateFolderChainAndFileExists) {
    zm::test::TempDir temp;
    EXPECT_TRUE(zm::CreateFolderChain(temp.folder() + "a/b/c/file.txt"));
    EXPECT_TRUE(fs::is_directory(temp.path() / "a/b/c"));
    EXPECT_FALSE(fs::exists(temp.path() / "a/b/c/file.txt"));
    EXPECT_TRUE(zm::CreateFolderChain(temp.folder() + "a/d/"));
    EXPECT_TRUE(fs::is_directory(temp.path() / "a/d"));

    std::ofstream(temp.file("blocker")) << "x";
    EXPECT_FALSE(zm::CreateFolderChain(temp.folder() + "blocker/sub/file.txt"));

    EXPECT_TRUE(zm::FileExists(temp.file("blocker")));
    EXPECT_TRUE(zm::FileExists(temp.folder() + "a/d/"));
    EXPECT_FALSE(zm::FileExists(temp.file("missing")));
    EXPECT_FALSE(zm::FileExists(""));
}

TEST(Paths, DeleteFolderTreeCountsAndKeepsLinkTargets) {
    zm::test::TempDir temp;
    const fs::path root = temp.path() / "tree";
    fs::create_directories(root / "one/two");
    std::ofstream(root / "a.txt") << "a";
    std::ofstream(root / "one/b.txt") << "b";
    std::ofstream(root / "one/two/c.txt") << "c";
    fs::create_directories(temp.path() / "outside");
    std::ofstream(temp.path() / "outside/keep.txt") << "keep";
    fs::create_directory_symlink(temp.path() / "outside", root / "one/link");

    zm::DeleteCounts counts;
    EXPECT_TRUE(zm::DeleteFolderTree(root.string() + "/", counts));
    EXPECT_FALSE(fs::exists(root));
    EXPECT_EQ(counts.deletedFiles, 4);  // three files and the link
    EXPECT_EQ(counts.deletedFolders, 3);
    EXPECT_EQ(counts.failedFiles, 0);
    EXPECT_EQ(counts.failedFolders, 0);
    EXPECT_TRUE(fs::exists(temp.path() / "outside/keep.txt"));

    zm::DeleteCounts none;
    EXPECT_FALSE(zm::DeleteFolderTree(root.string(), none));
    EXPECT_EQ(none.deletedFiles + none.deletedFolders + none.failedFiles + none.failedFolders, 0);
}

TEST(Paths, DeleteFolderTreeCountsFailures) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "the administrator may delete anything";
    }
    zm::test::TempDir temp;
    const fs::path root = temp.path() / "tree";
    fs::create_directories(root / "locked");
    std::ofstream(root / "locked/x.txt") << "x";
    std::ofstream(root / "free.txt") << "y";
    chmod((root / "locked").c_str(), 0500);  // its entries cannot be removed

    zm::DeleteCounts counts;
    EXPECT_FALSE(zm::DeleteFolderTree(root.string(), counts));
    chmod((root / "locked").c_str(), 0700);
    EXPECT_EQ(counts.deletedFiles, 1);
    EXPECT_EQ(counts.failedFiles, 1);
    EXPECT_EQ(counts.failedFolders, 2);  // "locked" and the tree itself
}
