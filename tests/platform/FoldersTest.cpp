#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/Folders.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

namespace zp = zm::platform;

namespace {

// Every test starts without a home root and with a made-up user home.
class FoldersTest : public ::testing::Test {
  protected:
    void SetUp() override {
        zp::SetHomeRoot("");
        env.Unset("ZORMANAGER_HOME");
        env.Set("HOME", temp.path().string());
        for (const char* name :
             {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR", "TMPDIR"}) {
            env.Unset(name);
        }
    }
    void TearDown() override { zp::SetHomeRoot(""); }

    zm::test::TempDir temp;
    zm::test::ScopedEnv env;
};

}  // namespace

TEST_F(FoldersTest, DefaultsFollowTheXdgRules) {
    std::string home = temp.folder();
    EXPECT_EQ(zp::UserHomeFolder(), home);
    EXPECT_EQ(zp::AppDataFolder("Id"), home + ".local/share/Id/");
    EXPECT_EQ(zp::DocumentsFolder("Id"), home + "Documents/Id/");
    EXPECT_EQ(zp::RuntimeFolder(), "/tmp/zormanager-" + std::to_string(geteuid()) + "/");
    EXPECT_EQ(zp::SpecialFolderPath(zp::SpecialFolder::kConfig), home + ".config/");
    EXPECT_EQ(zp::SpecialFolderPath(zp::SpecialFolder::kDesktop), home + "Desktop/");
    EXPECT_EQ(zp::SpecialFolderPath(zp::SpecialFolder::kTemp), "/tmp/");

    env.Set("XDG_DATA_HOME", "/data/share");
    env.Set("XDG_RUNTIME_DIR", "/run/user/77");
    env.Set("XDG_CACHE_HOME", "relative/is/ignored");
    EXPECT_EQ(zp::AppDataFolder("Id"), "/data/share/Id/");
    EXPECT_EQ(zp::RuntimeFolder(), "/run/user/77/zormanager/");
    EXPECT_EQ(zp::SpecialFolderPath(zp::SpecialFolder::kCache), home + ".cache/");
}

TEST_F(FoldersTest, DocumentsFolderComesFromUserDirsFile) {
    std::string home = temp.folder();
    std::filesystem::create_directories(temp.path() / "cfg");
    env.Set("XDG_CONFIG_HOME", (temp.path() / "cfg").string());
    {
        std::ofstream out(temp.file("cfg/user-dirs.dirs"));
        out << "# written by xdg-user-dirs-update\n"
               "XDG_DESKTOP_DIR=\"/srv/desk\"\n"
               "XDG_DOCUMENTS_DIR_OLD=\"$HOME/wrong\"\n"
               "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n";
    }
    EXPECT_EQ(zp::DocumentsFolder("Id"), home + "Dokumente/Id/");
    EXPECT_EQ(zp::SpecialFolderPath(zp::SpecialFolder::kDesktop), "/srv/desk/");
}

TEST_F(FoldersTest, HomeRootMovesEveryPerUserFolder) {
    std::string fromEnv = temp.folder() + "env-root/";
    std::string fromCall = temp.folder() + "call-root/";

    // The environment variable alone.
    env.Set("ZORMANAGER_HOME", temp.folder() + "env-root");
    EXPECT_EQ(zp::HomeRoot(), fromEnv);
    EXPECT_EQ(zp::AppDataFolder("Id"), fromEnv + "AppData/");
    EXPECT_EQ(zp::DocumentsFolder("Id"), fromEnv + "Documents/");
    EXPECT_EQ(zp::RuntimeFolder(), fromEnv + "Run/");

    // The command-line root wins over the environment.
    zp::SetHomeRoot(temp.folder() + "call-root/");
    EXPECT_EQ(zp::AppDataFolder("Id"), fromCall + "AppData/");
    EXPECT_EQ(zp::RuntimeFolder(), fromCall + "Run/");

    // Removing it lets the environment apply again.
    zp::SetHomeRoot("");
    EXPECT_EQ(zp::HomeRoot(), fromEnv);

    // A relative root is made absolute against the current folder.
    auto old = std::filesystem::current_path();
    std::filesystem::current_path(temp.path());
    zp::SetHomeRoot("demo/../demo2");
    std::filesystem::current_path(old);
    EXPECT_EQ(zp::HomeRoot(), temp.folder() + "demo2/");
}

TEST_F(FoldersTest, ProgramAndTranslationsFolders) {
    std::string program = zp::ProgramFolder();
    ASSERT_FALSE(program.empty());
    EXPECT_EQ(program.back(), '/');
    EXPECT_TRUE(std::filesystem::exists(program + "test_platform"));
    // No Translations folder beside the test program: the folder start-up would create.
    EXPECT_EQ(zp::TranslationsFolder(), program + "Translations/");
    // A program outside a <prefix>/bin/ folder has no installed data folder (the packages'
    // layout is tested on the packages themselves).
    EXPECT_EQ(zp::InstalledDataFolder(), "");
}

TEST_F(FoldersTest, PrivateFolderIsCreatedClosedAndChecked) {
    std::string folder = temp.folder() + "a/b/Run/";
    std::string error;
    ASSERT_TRUE(zp::EnsurePrivateFolder(folder, &error)) << error;
    struct stat info {};
    ASSERT_EQ(stat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    // Opened up by someone: closed again.
    chmod(folder.c_str(), 0777);
    ASSERT_TRUE(zp::EnsurePrivateFolder(folder, &error));
    ASSERT_EQ(stat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    // A file or a link in its place is refused.
    std::ofstream(temp.file("plain")) << "x";
    EXPECT_FALSE(zp::EnsurePrivateFolder(temp.folder() + "plain/", &error));
    EXPECT_NE(error.find("plain"), std::string::npos);
    std::filesystem::create_directory_symlink(folder, temp.path() / "link");
    EXPECT_FALSE(zp::EnsurePrivateFolder(temp.folder() + "link/", &error));
}
