#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "base/Log.h"
#include "device/zor/ZorDataLog.h"
#include "zor/ZorLogsSupport.h"

namespace zm {
namespace {

using test::Col;
using test::LocalTime;
using test::ReadBytes;
using test::SetBatch;

const std::string kColumnLine =
    "Date      \tTime    \tFluoBkg     \tSignal      \tBackground  \tStatus          \tThresh-Low  "
    "\tThesh-High  \tTresh-Bkg   \tTime delay  \tSealevel(cm)  \tTemperature   \tPressure(kPa)  "
    "\tSignalMin   \tBackgroundMin \tSignalMax   \tBackgroundMax \tCnt\t\r\n";

class ZorDataLogTest : public ::testing::Test {
  protected:
    test::FixedZone zone;
    test::TempDir dir;
    ZorLogSnapshot snap = test::PierSnapshot(dir);
    CZorDataLog log;
    std::time_t t0 = LocalTime(2013, 5, 14, 8, 30, 0);

    std::filesystem::path DayFile(const std::string& date) const {
        return dir.path() / "Pier-2" / ("DataLog_ZS-0042_Pier-2_" + date + ".txt");
    }
};

TEST_F(ZorDataLogTest, FirstBatchOfTheDayWritesHeaderColumnsAndLineThenOnlyLines) {
    SetBatch(snap, {{1, 10}, {2, 20}, {3, 30}, {4, 40}, {5, 50}}, t0);
    ASSERT_TRUE(log.Write(snap, false));

    const std::string pcBlock =
        "\r\nPC Parameters:\r\n"
        "  Software Version: 6.1.0.10\r\n"
        "  Device version:   5.2.0.1\r\n"
        "  Link type: TCP/IP\r\n"
        "  Idle time: 10 s\r\n"
        "  Timeout: 3000ms\r\n"
        "\r\n";
    const std::string line1 =
        "14.05.2013\t08:30:00  \t" + Col("123", 12) + "\t" + Col("3", 12) + "\t" + Col("30", 12) +
        "\t" + Col("Online and Ok", 16) + "\t" + Col("500", 12) + "\t" + Col("10000", 12) + "\t" +
        Col("10.00", 12) + "\t" + Col("5", 12) + "\t" + Col("123.4", 14) + "\t" + Col("-5.5", 14) +
        "\t" + Col("101.3", 15) + "\t" + Col("1.0", 12) + "\t" + Col("10.0", 14) + "\t" +
        Col("5.0", 12) + "\t" + Col("50.0", 14) + "\t" + "5   \r\n";
    const std::string header = pcBlock + RenderParams(snap.params, "Pier-2") + "\r\n";
    EXPECT_EQ(ReadBytes(DayFile("2013-05-14")), header + kColumnLine + line1);

    // Later batches of the day add one line each; the column line comes again only when asked.
    snap.deviceStatus = 5;
    SetBatch(snap, {{600.4f, 60}}, t0 + 65);
    ASSERT_TRUE(log.Write(snap, false));
    SetBatch(snap, {{700, 70}}, t0 + 75);
    ASSERT_TRUE(log.Write(snap, true));
    const std::string content = ReadBytes(DayFile("2013-05-14"));
    const std::string line2 = "14.05.2013\t08:31:05  \t" + Col("123", 12) + "\t" + Col("600", 12) +
                              "\t" + Col("60", 12) + "\t" + Col("Alarm reported", 16) + "\t";
    ASSERT_EQ(content.substr(0, header.size() + kColumnLine.size() + line1.size()),
              header + kColumnLine + line1);
    std::string rest = content.substr(header.size() + kColumnLine.size() + line1.size());
    EXPECT_EQ(rest.substr(0, line2.size()), line2);
    size_t secondLineEnd = rest.find("\r\n") + 2;
    EXPECT_EQ(rest.substr(secondLineEnd, kColumnLine.size()), kColumnLine);
    const std::string third = "14.05.2013\t08:31:15  \t";
    EXPECT_EQ(rest.substr(secondLineEnd + kColumnLine.size(), third.size()), third);
    EXPECT_EQ(test::FilesBelow(dir.path()),
              std::vector<std::string>{"Pier-2/DataLog_ZS-0042_Pier-2_2013-05-14.txt"});
}

TEST_F(ZorDataLogTest, StatisticsOverTheBatch) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        const char* what;
        std::vector<std::pair<float, float>> records;
        bool written;
        // Signal, Background, SignalMin, BackgroundMin, SignalMax, BackgroundMax, Cnt
        const char* columns;
    };
    const Case cases[] = {
        {"one record", {{7.25f, -1.5f}}, true, "7|-2|7.2|-1.5|7.2|-1.5|1"},
        {"extremes anywhere", {{5, 1}, {-3, 9}, {11, 4}}, true, "4|5|-3.0|1.0|11.0|9.0|3"},
        {"NaN signal", {{1, 1}, {nan, 1}}, false, ""},
        {"infinite background", {{1, inf}}, false, ""},
    };
    // The file and its header exist already; each case adds its line or nothing.
    SetBatch(snap, {{1, 1}}, t0);
    ASSERT_TRUE(log.Write(snap, false));
    std::time_t t = t0 + 10;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        snap.batch.clear();
        for (auto [s, b] : c.records) {
            AppendDataRecord(snap.batch, s, b);
        }
        // A trailing partial record is not a record.
        snap.batch.push_back(0x7F);
        snap.statusTime = test::FileTimeOf(t);
        snap.now = t;
        const std::string before = ReadBytes(DayFile("2013-05-14"));
        EXPECT_EQ(log.Write(snap, false), c.written);
        const std::string after = ReadBytes(DayFile("2013-05-14"));
        if (!c.written) {
            EXPECT_EQ(after, before);
            continue;
        }
        std::string line = after.substr(before.size());
        std::vector<std::string> cells;
        for (size_t start = 0, tab; start < line.size(); start = tab + 1) {
            tab = line.find('\t', start);
            if (tab == std::string::npos) {
                tab = line.size();
            }
            std::string cell = line.substr(start, tab - start);
            cell.erase(cell.find_last_not_of(" \r\n") + 1);
            cells.push_back(cell);
        }
        ASSERT_EQ(cells.size(), 18u) << line;
        std::string got = cells[3] + "|" + cells[4] + "|" + cells[13] + "|" + cells[14] + "|" +
                          cells[15] + "|" + cells[16] + "|" + cells[17];
        EXPECT_EQ(got, c.columns);
        t += 10;
    }
}

TEST_F(ZorDataLogTest, NonFiniteFirstBatchStillCreatesTheFileWithItsHeader) {
    SetBatch(snap, {{std::nanf(""), 1}}, t0);
    EXPECT_FALSE(log.Write(snap, false));
    std::string content = ReadBytes(DayFile("2013-05-14"));
    ASSERT_GE(content.size(), kColumnLine.size());
    EXPECT_EQ(content.substr(content.size() - kColumnLine.size()), kColumnLine);
    EXPECT_EQ(content.find("14.05.2013"), std::string::npos);

    // An empty batch writes nothing at all.
    snap.batch.assign(7, 0);
    EXPECT_FALSE(log.Write(snap, true));
    EXPECT_EQ(ReadBytes(DayFile("2013-05-14")), content);
}

TEST_F(ZorDataLogTest, EmulatedDeviceShowsZerosForTheSensor) {
    snap.linkType = "EMUL";
    snap.deviceStatus = 4;
    SetBatch(snap, {{450, 112.5f}}, t0);
    ASSERT_TRUE(log.Write(snap, false));
    const std::string expected =
        "\r\nPC Parameters:\r\n"
        "  Software Version: 6.1.0.10\r\n"
        "  Device version:   Emulation\r\n"
        "  Link type: EMUL\r\n"
        "  Idle time: 10 s\r\n"
        "\r\n" +
        RenderParams(ZorParams{}, "Pier-2") + "\r\n" + kColumnLine + "14.05.2013\t08:30:00  \t" +
        Col("0", 12) + "\t" + Col("450", 12) + "\t" + Col("112", 12) + "\t" +
        Col("Emulation mode", 16) + "\t" + Col("0", 12) + "\t" + Col("0", 12) + "\t" +
        Col("0.00", 12) + "\t" + Col("0", 12) + "\t" + Col("0.0", 14) + "\t" + Col("0.0", 14) +
        "\t" + Col("0.0", 15) + "\t" + Col("450.0", 12) + "\t" + Col("112.5", 14) + "\t" +
        Col("450.0", 12) + "\t" + Col("112.5", 14) + "\t" + "1   \r\n";
    // The file still carries the sensor's number: the device keeps its identity.
    EXPECT_EQ(ReadBytes(DayFile("2013-05-14")), expected);
}

TEST_F(ZorDataLogTest, SerialLinkShowsTheFixedTimeout) {
    snap.linkType = "COM";
    SetBatch(snap, {{1, 1}}, t0);
    ASSERT_TRUE(log.Write(snap, false));
    EXPECT_NE(ReadBytes(DayFile("2013-05-14"))
                  .find("  Link type: COM\r\n  Idle time: 10 s\r\n  "
                        "Timeout: 1000ms\r\n\r\n"),
              std::string::npos);
}

TEST_F(ZorDataLogTest, NewFileEveryLocalDayAndAfterARename) {
    // 23:59:59 and 00:00:01 local time are on different days, though the same UTC day.
    SetBatch(snap, {{1, 1}}, LocalTime(2013, 5, 31, 23, 59, 59));
    ASSERT_TRUE(log.Write(snap, false));
    SetBatch(snap, {{2, 2}}, LocalTime(2013, 6, 1, 0, 0, 1));
    ASSERT_TRUE(log.Write(snap, false));
    snap.deviceName = "Pier-3";
    SetBatch(snap, {{3, 3}}, LocalTime(2013, 6, 1, 0, 0, 11));
    ASSERT_TRUE(log.Write(snap, false));

    EXPECT_EQ(test::FilesBelow(dir.path()),
              (std::vector<std::string>{"Pier-2/DataLog_ZS-0042_Pier-2_2013-05-31.txt",
                                        "Pier-2/DataLog_ZS-0042_Pier-2_2013-06-01.txt",
                                        "Pier-3/DataLog_ZS-0042_Pier-3_2013-06-01.txt"}));
    for (const auto& file : test::FilesBelow(dir.path())) {
        std::string content = ReadBytes(dir.path() / file);
        EXPECT_EQ(content.rfind("\r\nPC Parameters:\r\n", 0), 0u) << file;
        EXPECT_NE(content.find(kColumnLine), std::string::npos) << file;
    }
    EXPECT_NE(ReadBytes(DayFile("2013-06-01")).find("01.06.2013\t00:00:01  \t"), std::string::npos);
}

TEST_F(ZorDataLogTest, NamesThatAreNoFileNamesStayInsideTheLogFolder) {
    struct Case {
        std::string name;
        std::string deviceNum;
        std::string file;
    };
    const Case cases[] = {
        {"Pier/2", "ZS:42*", "Pier_2/DataLog_ZS_42__Pier_2_2013-05-14.txt"},
        {"..", "../../x", "__/DataLog_.._.._x____2013-05-14.txt"},
        {"a\\b<c>|\"?", "id\tx", "a_b_c____/DataLog_id_x_a_b_c_____2013-05-14.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir root;
        std::string folder = root.folder() + "Logs/";
        snap.logFolder = folder;
        snap.deviceName = c.name;
        snap.params.SetDeviceNum(c.deviceNum);
        SetBatch(snap, {{1, 1}}, t0);
        ASSERT_TRUE(log.Write(snap, false));
        EXPECT_EQ(test::FilesBelow(root.path()), std::vector<std::string>{"Logs/" + c.file});
        // The texts inside keep the name as it is.
        EXPECT_NE(ReadBytes(root.path() / "Logs" / c.file).find("Device name: " + c.name + "\r\n"),
                  std::string::npos);
    }
}

TEST_F(ZorDataLogTest, BlankLogFolderMeansTheWorkingFolder) {
    EXPECT_EQ(ZorLogFolderOf("DevLog_2013-05-14.html"), " ");
    EXPECT_EQ(ZorLogFolderOf("/var/log/zm/2013-05/DevLog_2013-05-14.html"), "/var/log/zm/2013-05/");
    EXPECT_EQ(ZorDataLogPath(" ", "Pier-2", "ZS-0042", t0),
              "Pier-2/DataLog_ZS-0042_Pier-2_2013-05-14.txt");
    EXPECT_EQ(ZorAlarmFolder(" "), "Alarms/");
    EXPECT_EQ(ZorAlarmFolder("/logs"), "/logs/Alarms/");
}

TEST_F(ZorDataLogTest, UnwritableFileIsReportedAndItsLinesFollowLater) {
    test::TempDir logs;
    CLog runLog;
    runLog.SetFolder(logs.folder());
    ASSERT_TRUE(runLog.Open("RunLog", true));
    CZorDataLog reporting(&runLog);

    // The log folder's place is taken by a file, so no folder can be made there.
    const std::filesystem::path blocked = dir.path() / "Blocked";
    std::ofstream(blocked) << "x";
    snap.logFolder = blocked.string() + "/";
    SetBatch(snap, {{1, 1}}, t0);
    EXPECT_FALSE(reporting.Write(snap, false));
    SetBatch(snap, {{2, 2}}, t0 + 10);
    EXPECT_FALSE(reporting.Write(snap, false));
    std::string entries = ReadBytes(runLog.GetPath());
    size_t first = entries.find("Cannot write the file " + snap.logFolder + "Pier-2/DataLog_");
    ASSERT_NE(first, std::string::npos) << entries;
    // Reported once, not at every batch.
    EXPECT_EQ(entries.find("Cannot write the file", first + 1), std::string::npos);

    std::filesystem::remove(blocked);
    SetBatch(snap, {{3, 3}}, t0 + 20);
    EXPECT_TRUE(reporting.Write(snap, false));
    std::string content = ReadBytes(blocked / "Pier-2" / "DataLog_ZS-0042_Pier-2_2013-05-14.txt");
    // One header, then the three lines in their order.
    EXPECT_EQ(content.find("PC Parameters"), content.rfind("PC Parameters"));
    size_t a = content.find("08:30:00  \t"), b = content.find("08:30:10  \t"),
           c = content.find("08:30:20  \t");
    ASSERT_NE(a, std::string::npos);
    EXPECT_LT(a, b);
    EXPECT_LT(b, c);
    EXPECT_NE(c, std::string::npos);
    EXPECT_NE(ReadBytes(runLog.GetPath()).find("is written again"), std::string::npos);
    runLog.Close();
}

// A file whose first text was lost to the queue's cap has never been written: when it can
// be written at last it still gets its header and column line, and no recovery is claimed.
TEST_F(ZorDataLogTest, FileWhoseFirstTextWasLostStillGetsItsHeader) {
    test::TempDir logs;
    CLog runLog;
    runLog.SetFolder(logs.folder());
    ASSERT_TRUE(runLog.Open("RunLog", true));
    CZorDataLog reporting(&runLog);
    const std::filesystem::path blocked = dir.path() / "Blocked";
    std::ofstream(blocked) << "x";
    snap.logFolder = blocked.string() + "/";
    // A header longer than the whole queue: the first text of the day cannot be kept.
    snap.deviceName = "Pier-2 " + std::string(CZorLogAppender::kMaxQueued, 'n');
    SetBatch(snap, {{1, 1}}, t0);
    EXPECT_FALSE(reporting.Write(snap, false));
    EXPECT_NE(ReadBytes(runLog.GetPath()).find("was lost"), std::string::npos);

    std::filesystem::remove(blocked);
    SetBatch(snap, {{2, 2}}, t0 + 10);
    EXPECT_TRUE(reporting.Write(snap, false));
    std::string file;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(blocked)) {
        if (entry.is_regular_file()) {
            file = ReadBytes(entry.path());
        }
    }
    EXPECT_EQ(file.find("\r\nPC Parameters:\r\n"), 0u) << file.substr(0, 200);
    EXPECT_NE(file.find(kColumnLine), std::string::npos);
    EXPECT_NE(file.find("08:30:10  \t"), std::string::npos);
    EXPECT_EQ(file.find("08:30:00  \t"), std::string::npos);  // lost, and said so
    EXPECT_EQ(ReadBytes(runLog.GetPath()).find("is written again"), std::string::npos);
    runLog.Close();
}

TEST(ZorLogAppender, TextLostToTheCapLeavesNoTraceOfTheFile) {
    test::TempDir dir;
    const std::string blocked = dir.file("Blocked");
    std::ofstream(blocked) << "x";
    CZorLogAppender appender(nullptr);
    const std::string first = blocked + "/first.txt", second = blocked + "/second.txt";
    EXPECT_FALSE(appender.Append(first, std::string(CZorLogAppender::kMaxQueued, 'a')));
    EXPECT_TRUE(appender.Exists(first));  // its text waits
    EXPECT_FALSE(appender.Append(second, "header\r\nline\r\n"));
    EXPECT_FALSE(appender.Exists(second));  // nothing of it waits, nothing was written
    std::filesystem::remove(blocked);
    EXPECT_TRUE(appender.Append(second, "header again\r\n"));
    EXPECT_EQ(ReadBytes(second), "header again\r\n");
    EXPECT_EQ(ReadBytes(first).size(), CZorLogAppender::kMaxQueued);
    EXPECT_FALSE(appender.HasQueued());
}

TEST(ZorLogText, PadRightCountsCharactersAndNeverCuts) {
    EXPECT_EQ(PadRight("Alarm", 8), "Alarm   ");
    // Cyrillic letters are two bytes each but one column each.
    EXPECT_EQ(PadRight("\xD0\xA2\xD1\x80\xD0\xB5\xD0\xB2\xD0\xBE\xD0\xB3\xD0\xB0", 9),
              "\xD0\xA2\xD1\x80\xD0\xB5\xD0\xB2\xD0\xBE\xD0\xB3\xD0\xB0  ");
    EXPECT_EQ(PadRight("A status text longer than sixteen", 16),
              "A status text longer than sixteen");
    // A long name is cut to a whole character, never in the middle of one.
    std::string longName(99, 'x');
    longName += "\xD0\xA2\xD0\xA2";
    EXPECT_EQ(ZorFileNamePart(longName), std::string(99, 'x'));
}

}  // namespace
}  // namespace zm
