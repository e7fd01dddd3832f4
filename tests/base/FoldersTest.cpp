#include <gtest/gtest.h>

#include <ctime>

#include "base/Folders.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

namespace {

class BaseFoldersTest : public ::testing::Test {
  protected:
    void SetUp() override {
        env.Unset("ZORMANAGER_HOME");
        env.Set("HOME", temp.path().string());
        env.Unset("XDG_DATA_HOME");
        env.Unset("XDG_CONFIG_HOME");
        zm::SetHomeRoot("");
    }
    void TearDown() override { zm::SetHomeRoot(""); }

    zm::test::TempDir temp;
    zm::test::ScopedEnv env;
};

std::string ThisMonth() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m", &local);
    return text;
}

}  // namespace

TEST_F(BaseFoldersTest, LayoutUnderTheUsersFolders) {
    const std::string home = temp.folder();
    EXPECT_EQ(zm::GetAppDataFolder(), home + ".local/share/ZorManager__All_Ver-Lang/");
    EXPECT_EQ(zm::GetUserDocsFolder(), home + "Documents/ZorManager__All_Ver-Lang/");
    EXPECT_EQ(zm::GetConfigFolder(), home + ".local/share/ZorManager__All_Ver-Lang/Config/");
    EXPECT_EQ(zm::GetSettingsFilePath(),
              home + ".local/share/ZorManager__All_Ver-Lang/Config/ZorManager__All_Ver-Lang.ini");
    EXPECT_EQ(zm::GetKmlRootFolder(), home + ".local/share/ZorManager__All_Ver-Lang/KmlRoot/");
    EXPECT_EQ(zm::GetLogFolder(),
              home + "Documents/ZorManager__All_Ver-Lang/Logs/" + ThisMonth() + "/");
    EXPECT_EQ(zm::GetSpecialFolder(zm::platform::SpecialFolder::kHome), home);
    EXPECT_EQ(zm::GetProgramFolder().back(), '/');
}

TEST_F(BaseFoldersTest, HomeOptionRootsEverything) {
    const std::string root = temp.folder() + "demo/";
    const char* argv[] = {"zormanagerd", "--verbose", "--home", root.c_str()};
    std::string error;
    ASSERT_TRUE(zm::ApplyHomeOption(4, argv, &error)) << error;
    EXPECT_EQ(zm::GetAppDataFolder(), root + "AppData/");
    EXPECT_EQ(zm::GetSettingsFilePath(), root + "AppData/Config/ZorManager__All_Ver-Lang.ini");
    EXPECT_EQ(zm::GetKmlRootFolder(), root + "AppData/KmlRoot/");
    EXPECT_EQ(zm::GetUserDocsFolder(), root + "Documents/");
    EXPECT_EQ(zm::GetLogFolder(), root + "Documents/Logs/" + ThisMonth() + "/");
    EXPECT_EQ(zm::GetRuntimeFolder(), root + "Run/");

    const std::string other = temp.folder() + "other";
    const std::string joined = "--home=" + other;
    const char* argv2[] = {"zormanagerd", joined.c_str()};
    ASSERT_TRUE(zm::ApplyHomeOption(2, argv2, &error));
    EXPECT_EQ(zm::GetAppDataFolder(), other + "/AppData/");

    const char* missing[] = {"zormanagerd", "--home"};
    EXPECT_FALSE(zm::ApplyHomeOption(2, missing, &error));
    EXPECT_EQ(error, "--home needs a folder");
    const char* empty[] = {"zormanagerd", "--home="};
    EXPECT_FALSE(zm::ApplyHomeOption(2, empty, &error));
}

TEST_F(BaseFoldersTest, EnvironmentRootAppliesWithoutOption) {
    env.Set("ZORMANAGER_HOME", temp.folder() + "env");
    zm::SetHomeRoot("");  // start afresh after changing the environment
    EXPECT_EQ(zm::GetAppDataFolder(), temp.folder() + "env/AppData/");
    EXPECT_EQ(zm::GetRuntimeFolder(), temp.folder() + "env/Run/");
}
