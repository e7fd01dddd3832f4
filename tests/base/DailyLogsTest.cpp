// The run log and the device log of a station that runs past midnight and a month end.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>

#include "base/DailyLogs.h"
#include "base/Folders.h"
#include "base/Log.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"

namespace zm {
namespace {

std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

class DailyLogsTest : public ::testing::Test {
  protected:
    void SetUp() override { SetHomeRoot(home.folder()); }
    void TearDown() override {
        runLog.Close();
        deviceLog.Close();
        SetHomeRoot("");
    }
    std::string Root() const { return GetLogsRootFolder(); }
    std::string Text(const std::string& relative) const {
        return test::ReadBytes(Root() + relative);
    }

    test::TempDir home;
    std::time_t now = LocalTime(2026, 1, 31, 23, 59, 58);
    CLog runLog;
    CLog deviceLog;
    CDailyLogs logs{runLog, deviceLog, [this] { return now; }};
};

TEST_F(DailyLogsTest, MidnightAtAMonthEndStartsTheNewDaysFilesInTheNewMonth) {
    logs.Open(false);
    EXPECT_EQ(runLog.GetPath(), Root() + "2026-01/RunLog_2026-01-31.html");
    EXPECT_EQ(deviceLog.GetPath(), Root() + "2026-01/DevLog_2026-01-31.html");
    EXPECT_EQ(GetLogFolder(), Root() + "2026-01/");
    EXPECT_FALSE(logs.RollOver());
    deviceLog.AddText("<li><dt> %s</li>", "before midnight");

    now = LocalTime(2026, 2, 1, 0, 0, 1);
    ASSERT_TRUE(logs.RollOver());
    EXPECT_EQ(logs.Day(), "2026-02-01");
    EXPECT_EQ(GetLogFolder(), Root() + "2026-02/");
    EXPECT_EQ(runLog.GetPath(), Root() + "2026-02/RunLog_2026-02-01.html");
    EXPECT_EQ(deviceLog.GetPath(), Root() + "2026-02/DevLog_2026-02-01.html");
    deviceLog.AddText("<li><dt> %s</li>", "after midnight");
    EXPECT_FALSE(logs.RollOver()) << "the same day again";

    // The old day's files are finished, the new ones begin as a file begins at start.
    for (const char* old : {"2026-01/RunLog_2026-01-31.html", "2026-01/DevLog_2026-01-31.html"}) {
        const std::string text = Text(old);
        EXPECT_TRUE(text.ends_with("</body></html>")) << old;
        EXPECT_EQ(text.find("after midnight"), std::string::npos) << old;
    }
    EXPECT_NE(Text("2026-01/DevLog_2026-01-31.html").find("before midnight"), std::string::npos);
    const std::string newRun = Text("2026-02/RunLog_2026-02-01.html");
    const std::string newDev = Text("2026-02/DevLog_2026-02-01.html");
    for (const std::string* text : {&newRun, &newDev}) {
        EXPECT_EQ(text->rfind("\xEF\xBB\xBF<html><head>\r\n<title>Log File</title>", 0), 0u)
            << *text;
        EXPECT_NE(text->find("<hr/><font size=\"4\">"), std::string::npos);
    }
    EXPECT_NE(newRun.find("Continued from RunLog_2026-01-31.html"), std::string::npos) << newRun;
    EXPECT_NE(newDev.find("Continued from DevLog_2026-01-31.html"), std::string::npos) << newDev;
    EXPECT_NE(newDev.find("after midnight"), std::string::npos);
    EXPECT_EQ(newDev.find("before midnight"), std::string::npos);

    // Within the month the folder stays; the day's file is new.
    now = LocalTime(2026, 2, 2, 0, 0, 0);
    ASSERT_TRUE(logs.RollOver());
    EXPECT_EQ(deviceLog.GetPath(), Root() + "2026-02/DevLog_2026-02-02.html");
}

TEST_F(DailyLogsTest, AWriterAfterMidnightMovesTheLogsBeforeItWrites) {
    EXPECT_FALSE(RollLogsIfNewDay()) << "no logs opened yet";
    logs.Open(false);
    EXPECT_FALSE(RollLogsIfNewDay());
    now = LocalTime(2026, 2, 1, 0, 0, 0);
    EXPECT_TRUE(RollLogsIfNewDay());
    EXPECT_EQ(std::filesystem::path(deviceLog.GetPath()).parent_path().filename(), "2026-02");
    EXPECT_FALSE(RollLogsIfNewDay());
}

TEST(DailyLogs, ReopenOfAnAddressChangesNothing) {
    CLog web;
    web.OpenAddress("http://127.0.0.1:8889/preview");
    EXPECT_TRUE(web.Reopen("/nonexistent/", "RunLog_2026-02-01"));
    EXPECT_EQ(web.GetPath(), "http://127.0.0.1:8889/preview");
}

}  // namespace
}  // namespace zm
