// A settings save cut off by a power loss (SIGKILL at a random moment of a 200-device
// save) leaves the file as the save before it or as the new one, whole, never a mixture.
// The suite cuts 100 saves (20 in the sanitizer build); bench_settings_power_loss 1,000.
#include <gtest/gtest.h>

#include "support/PowerLoss.h"
#include "support/TempDir.h"

namespace zm::test {
namespace {

TEST(SettingsPowerLoss, FileIsAlwaysTheOldOrTheNewSave) {
    TempDir dir;
    const PowerLossResult result =
        RunPowerLoss(ZM_SETTINGS_SAVE_CHILD, dir.folder(), ZM_POWER_LOSS_RUNS, 200,
                     testing::UnitTest::GetInstance()->random_seed());
    EXPECT_EQ(result.runs, ZM_POWER_LOSS_RUNS);
    EXPECT_TRUE(result.problems.empty()) << result.problems.front();
    // The cuts must land both before and after the new file took over, or the test did
    // not test the save at all.
    EXPECT_GT(result.keptOld, 0);
    EXPECT_GT(result.tookNew, 0);
    // A killed save leaves its copy behind until the next save clears it: at most one.
    EXPECT_LE(result.strayFiles, 1u);
}

TEST(SettingsPowerLoss, ReaderTellsAMixedFileApart) {
    // The check itself: a file whose device sections come from two saves is no save.
    TempDir dir;
    const std::string path = dir.folder() + "ZorManager__All_Ver-Lang.ini";
    ASSERT_GT(RunSaveChild(ZM_SETTINGS_SAVE_CHILD, path, "7", 3, std::chrono::microseconds(-1)), 0);
    EXPECT_EQ(ReadSavedGeneration(path, 3).generation, "7");
    EXPECT_FALSE(ReadSavedGeneration(path, 2).problem.empty());  // one device too many
    CIni(path).WriteString("Zor-02", "sName", PowerLossDeviceName("6", 2));
    EXPECT_NE(ReadSavedGeneration(path, 3).problem.find("Zor-02"), std::string::npos);
}

}  // namespace
}  // namespace zm::test
