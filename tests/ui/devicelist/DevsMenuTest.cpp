#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "support/TempDir.h"
#include "ui/devicelist/DevsMenu.h"

namespace zm {
namespace {

// The menu as lines: "-" for a separator, "[header]", "text #command", submenus indented.
std::vector<std::string> Lines(const std::vector<DevsMenuItem>& items,
                               const std::string& indent = "") {
    std::vector<std::string> lines;
    for (const DevsMenuItem& item : items) {
        switch (item.kind) {
            case DevsMenuItem::kSeparator:
                lines.push_back(indent + "-");
                break;
            case DevsMenuItem::kHeader:
                lines.push_back(indent + "[" + item.text + "]");
                break;
            case DevsMenuItem::kCommand:
                lines.push_back(indent + item.text + " #" + std::to_string(item.command));
                break;
            case DevsMenuItem::kSubmenu: {
                lines.push_back(indent + item.text + " >");
                auto sub = Lines(item.children, indent + "  ");
                lines.insert(lines.end(), sub.begin(), sub.end());
                break;
            }
        }
    }
    return lines;
}

TEST(DevsMenu, OneSelectedDeviceInAdvancedModeWithTheMap) {
    DevsMenuState state;
    state.selectedNames = {"Pier & Co"};
    state.advanced = true;
    state.mapShown = true;
    state.dataLogDates = {"2026-12-09", "2026-12-10"};
    EXPECT_EQ(Lines(BuildDevsMenu(state)),
              (std::vector<std::string>{
                  "\"Pier & Co\" => Settings ... #1", "\"Pier & Co\" => Link Settings ... #2", "-",
                  "GetStatus #5", "-", "Start #6", "Stop #7", "Fly to this device #8", "-",
                  "Add new device #10", "Remove this device #11", "-", "Open Data Log >",
                  "  2026-12-09 #1230", "  2026-12-10 #1231", "  -", "  Update this list #1260"}));
}

TEST(DevsMenu, ThreeSelectedDevicesWithoutTheMap) {
    DevsMenuState state;
    state.selectedNames = {"A", "B", "C"};
    EXPECT_EQ(Lines(BuildDevsMenu(state)),
              (std::vector<std::string>{"[Multiple select (3):]", "-", "Start #6", "Stop #7", "-",
                                        "Add new device #10", "Remove devices #11"}));
    state.mapShown = true;
    auto lines = Lines(BuildDevsMenu(state));
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Fly to devices #8"), lines.end());
}

TEST(DevsMenu, NothingSelected) {
    DevsMenuState state;
    state.mapShown = true;
    state.advanced = true;  // GetStatus needs a selection
    EXPECT_EQ(Lines(BuildDevsMenu(state)),
              (std::vector<std::string>{"Fly to all devices #8", "-", "Add new device #10"}));
}

TEST(DevsMenu, NamesAndCommandIds) {
    EXPECT_EQ(DevsMenuCommandName(kMenuSettings), "UM_ZOR_MENU_01");
    EXPECT_EQ(DevsMenuCommandName(kMenuRemove), "UM_ZOR_MENU_11");
    EXPECT_EQ(DevsMenuCommandName(kMenuDataLogFirst), "");
    EXPECT_EQ(MenuPlainText("R&D <b>"), "R&&D <b>");
}

TEST(DevsMenu, ColumnWidthsFollowTheLongestTextAndHideAdvancedColumns) {
    DeviceRow row;
    row.cells[kColSensor] = std::string(30, 'x');
    row.cells[kColStatus] = "ok";
    row.cells[kColLink] = std::string(50, 'l');
    auto width = [](const std::string& s) { return int(s.size()) * 2; };
    std::vector<int> plain = FitColumnWidths({row}, false, width);
    EXPECT_EQ(plain[kColSensor], 60 + 15 + 20);
    EXPECT_EQ(plain[kColStatus], int(std::string("Status").size()) * 2 + 15);
    EXPECT_EQ(plain[kColLink], 0);
    EXPECT_EQ(plain[kColParameters], 0);
    std::vector<int> advanced = FitColumnWidths({row}, true, width);
    EXPECT_EQ(advanced[kColLink], 100 + 15);
    EXPECT_EQ(advanced[kColParameters], int(std::string("Parameters").size()) * 2 + 15);
}

TEST(DevsMenu, DataLogDatesAreFoundInTheMonthFolder) {
    test::TempDir dir;
    const std::string folder = dir.folder();
    std::filesystem::create_directories(dir.path() / "Pier");
    auto touch = [&](const std::string& relative) { std::ofstream(dir.file(relative)) << "x"; };
    for (int day = 1; day <= 31; ++day) {
        char date[16];
        std::snprintf(date, sizeof date, "2026-12-%02d", day);
        touch(std::string("Pier/DataLog_1234_Pier_") + date + ".txt");
    }
    touch("Pier/DataLog_1234_Pier2_2026-12-05.txt");  // another device
    touch("Pier/DataLog_1234_Pier_2026-12-06.csv");   // not a text log
    touch("DataLog_1234_Pier_short.txt");             // no date
    std::vector<std::string> dates = FindDataLogDates(folder, "1234", "Pier");
    ASSERT_EQ(dates.size(), 29u);
    EXPECT_EQ(dates.front(), "2026-12-03");
    EXPECT_EQ(dates.back(), "2026-12-31");
    EXPECT_EQ(DataLogFileFor(folder, "1234", "Pier", "2026-12-31"),
              folder + "Pier/DataLog_1234_Pier_2026-12-31.txt");
    EXPECT_TRUE(std::filesystem::exists(DataLogFileFor(folder, "1234", "Pier", "2026-12-31")));
    EXPECT_TRUE(FindDataLogDates(folder + "missing/", "1234", "Pier").empty());
    // A name with a path separator stays inside its folder.
    EXPECT_EQ(DataLogFileFor(folder, "1", "a/b", "2026-12-01"),
              folder + "a_b/DataLog_1_a_b_2026-12-01.txt");
}

TEST(DevsMenu, DataLogDatesOfEveryMonthFolder) {
    test::TempDir dir;
    const std::string root = dir.folder();
    auto touch = [&](const std::string& relative) {
        std::filesystem::create_directories(
            std::filesystem::path(dir.file(relative)).parent_path());
        std::ofstream(dir.file(relative)) << "x";
    };
    touch("2026-01/Pier/DataLog_1234_Pier_2026-01-31.txt");
    touch("2026-02/Pier/DataLog_1234_Pier_2026-02-01.txt");
    touch("2026-02/Quay/DataLog_1234_Quay_2026-02-01.txt");
    EXPECT_EQ(FindDataLogDates(root, "1234", "Pier"),
              (std::vector<std::string>{"2026-01-31", "2026-02-01"}));
    EXPECT_EQ(DataLogFileFor(root, "1234", "Pier", "2026-01-31"),
              root + "2026-01/Pier/DataLog_1234_Pier_2026-01-31.txt");
    EXPECT_EQ(DataLogFileFor(root, "1234", "Pier", "2026-02-01"),
              root + "2026-02/Pier/DataLog_1234_Pier_2026-02-01.txt");
}

TEST(DevsMenu, StatusReport) {
    EXPECT_EQ(StatusReportText({{"Pier", "12:00:01", "ZOR on 'EMUL' : Emulation mode."},
                                {"Harbour", "12:00:02", "No connection"}}),
              "Selected device(s):\r\n- Pier status (since 12:00:01):\r\nZOR on 'EMUL' : "
              "Emulation mode.\r\n- Harbour status (since 12:00:02):\r\nNo connection");
}

}  // namespace
}  // namespace zm
