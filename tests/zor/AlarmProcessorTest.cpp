#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "device/zor/AlarmProcessor.h"
#include "zor/ZorLogsSupport.h"

namespace zm {
namespace {

using test::Col;
using test::LocalTime;
using test::ReadBytes;
using test::SetBatch;

const std::string kLogHeader =
    "DeviceName   \tSerial       \tLatitude     \tLongitude    \tStart date\tStart Time  \tEnd "
    "date   \tEnd Time   \tMax. Signal  \tAvg. Signal  \tThresholdLo  \tThresholdHi  "
    "\tDuration(s)\r\n";
const std::string kDuringHeader =
    "\r\nSignals during the alarm:\r\nAverage Signal\tAvg Background\t  Min Signal  \tMin "
    "Background\t  Max Signal  \tMax Background\r\n";
const std::string kEndHeader =
    "\r\nSignal/Background values during the end of the alarm:\r\nNr\tSignal   \tBackground\r\n";

// One history line of the report.
std::string H(int nr, const std::string& signal, const std::string& background) {
    return Col(std::to_string(nr), 2) + "\t" + Col(signal, 9) + "\t" + Col(background, 9) + "\r\n";
}

// One statistics line of the report.
std::string S(const std::vector<std::string>& values) {
    std::string line;
    for (size_t i = 0; i < values.size(); ++i) {
        line += Col(values[i], 14) + (i + 1 < values.size() ? "\t" : "\r\n");
    }
    return line;
}

std::string ReportHead(const std::string& when, const std::string& low = "500",
                       const std::string& high = "10000") {
    return "Alarm report of " + when +
           "\r\nDevice name: \tPier-2\r\nDevice serial no.: \tZS-0042\r\nLatitude: \t54.12345679 "
           "\r\nLongitude: \t18.50000000 \r\nThreshold low:  \t" +
           Col(low, 12) + "\r\nThreshold high: \t" + Col(high, 12) +
           "\r\nSignal values before the alarm:\r\nNr\tSignal   \tBackground\r\n";
}

std::string ReportEnd(const std::string& start, const std::string& end,
                      const std::string& duration) {
    return "\r\nAlarm Start Time: \t" + start + "\r\nAlarm End Time: \t" + end +
           "\r\nAlarm duration (s): \t" + Col(duration, 10);
}

std::string EntryStart(const std::string& start) {
    return Col("Pier-2", 12) + " \t" + Col("ZS-0042", 12) + " \t" + Col("54.12345679", 12) + " \t" +
           Col("18.50000000", 12) + " \t" + start + "  ";
}

std::string EntryEnd(const std::string& end, const std::string& max, const std::string& mean,
                     const std::string& duration, const std::string& connection,
                     const std::string& low = "500", const std::string& high = "10000") {
    return "\t" + end + " \t" + Col(max, 12) + " \t" + Col(mean, 12) + " \t" + Col(low, 12) +
           " \t" + Col(high, 12) + " \t" + Col(duration, 12) + " \t" + connection + "\r\n";
}

const std::string kLost = "Connection lost or manually aborted at: 14.05.2013\t08:30:10 \t";

class AlarmProcessorTest : public ::testing::Test {
  protected:
    test::FixedZone zone;
    test::TempDir dir;
    ZorLogSnapshot snap = test::PierSnapshot(dir);
    CAlarmProcessor alarms;
    std::time_t t0 = LocalTime(2013, 5, 14, 8, 30, 0);

    std::filesystem::path AlarmLog(const std::string& month = "2013-05") const {
        return dir.path() / "Alarms" / ("AlarmLog_ZS-0042_Pier-2_" + month + ".txt");
    }
    std::filesystem::path Report(const std::string& stamp) const {
        return dir.path() / "Alarms" / "Reports_Pier-2" /
               ("AlarmReport_ZS-0042_Pier-2_" + stamp + ".txt");
    }
    // A data event: a new batch with the status the device has after it.
    void Data(int status, std::initializer_list<std::pair<float, float>> records, int at) {
        snap.deviceStatus = status;
        SetBatch(snap, records, t0 + at);
        EXPECT_TRUE(alarms.Process(snap));
    }
    // A state event: the status changed, the latest batch is still the old one.
    void State(int status, int at) {
        snap.deviceStatus = status;
        snap.now = t0 + at;
        EXPECT_TRUE(alarms.Process(snap));
    }
    // The first two events of every scenario: normal data, then the alarm begins.
    void NormalThenAlarm() {
        Data(1, {{100, 10}, {200, 20}}, 0);
        Data(5, {{600, 60}, {700, 70}}, 10);
    }
};

TEST_F(AlarmProcessorTest, OneAlarmFromNormalAlarmAlarmAlarmNormal) {
    NormalThenAlarm();
    Data(5, {{800, 80}, {1000, 100}}, 20);
    Data(5, {{1200, 120}, {1400, 140}}, 30);
    Data(1, {{300, 30}, {400, 40}}, 40);
    EXPECT_FALSE(alarms.InAlarm());

    EXPECT_EQ(ReadBytes(AlarmLog()),
              kLogHeader + EntryStart("14.05.2013\t08:30:10") +
                  EntryEnd("14.05.2013\t08:30:40", "1400", "1100", "30", ""));
    EXPECT_EQ(ReadBytes(Report("2013-05-14_08-30-10")),
              ReportHead("14.May 2013, 08:30:10") + H(0, "100", "10") + H(1, "200", "20") +
                  H(2, "600", "60") + H(3, "700", "70") + kDuringHeader +
                  S({"900", "90", "800", "80", "1000", "100"}) +
                  S({"1300", "130", "1200", "120", "1400", "140"}) + kEndHeader +
                  H(0, "100", "10") + H(1, "200", "20") + H(2, "600", "60") + H(3, "700", "70") +
                  H(4, "800", "80") + H(5, "1000", "100") + H(6, "1200", "120") +
                  H(7, "1400", "140") + H(8, "300", "30") + H(9, "400", "40") +
                  ReportEnd("14.05.2013\t08:30:10", "14.05.2013\t08:30:40", "30"));
    EXPECT_EQ(test::FilesBelow(dir.path()),
              (std::vector<std::string>{"Alarms/AlarmLog_ZS-0042_Pier-2_2013-05.txt",
                                        "Alarms/Reports_Pier-2/"
                                        "AlarmReport_ZS-0042_Pier-2_2013-05-14_08-30-10.txt"}));
    // The popup may take the path until the alarm ends; then a new alarm gets a new one.
    EXPECT_FALSE(alarms.ReportPath().IsAssigned());
}

TEST_F(AlarmProcessorTest, ConnectionLostTwiceEndsTheAlarm) {
    NormalThenAlarm();
    State(0, 27);
    EXPECT_TRUE(alarms.InAlarm());
    EXPECT_TRUE(alarms.ConnectionLost());
    State(0, 50);
    EXPECT_FALSE(alarms.InAlarm());

    const std::string history =
        H(0, "100", "10") + H(1, "200", "20") + H(2, "600", "60") + H(3, "700", "70");
    // The state events brought the last batch again; it is in the history once.
    EXPECT_EQ(ReadBytes(Report("2013-05-14_08-30-10")),
              ReportHead("14.May 2013, 08:30:10") + history + kDuringHeader + "\r\n" + kLost +
                  kEndHeader + history +
                  ReportEnd("14.05.2013\t08:30:10", "14.05.2013\t08:30:10", "40"));
    EXPECT_EQ(ReadBytes(AlarmLog()), kLogHeader + EntryStart("14.05.2013\t08:30:10") +
                                         EntryEnd("14.05.2013\t08:30:10", "0", "0", "40", kLost));

    // The next alarm starts clean: no recovered line for the alarm that ended, in no file.
    const std::string firstReport = ReadBytes(Report("2013-05-14_08-30-10"));
    Data(1, {{100, 10}}, 100);
    Data(5, {{900, 90}}, 110);
    Data(1, {{100, 10}}, 120);
    EXPECT_EQ(ReadBytes(Report("2013-05-14_08-30-10")), firstReport);
    std::string second = ReadBytes(Report("2013-05-14_08-31-50"));
    EXPECT_EQ(second.find("Connection"), std::string::npos);
    std::string log = ReadBytes(AlarmLog());
    const std::string lastColumns = Col("10", 12) + " \t\r\n";
    ASSERT_GT(log.size(), lastColumns.size());
    EXPECT_EQ(log.substr(log.size() - lastColumns.size()), lastColumns);
}

TEST_F(AlarmProcessorTest, ConnectionRecoveredDuringTheAlarm) {
    const std::string recovered = "Connection recovered at: 14.05.2013\t08:30:40";
    struct Case {
        const char* what;
        int comesBackWith;
        std::string reportTail;  // after the lost line
        std::string entryEnd;
    };
    const Case cases[] = {
        {"alarm continues", 5,
         "\r\n" + recovered + "\r\n" + kDuringHeader +
             S({"1000", "100", "900", "90", "1100", "110"}) + kEndHeader + H(0, "100", "10") +
             H(1, "200", "20") + H(2, "600", "60") + H(3, "700", "70") + H(4, "900", "90") +
             H(5, "1100", "110") + H(6, "300", "30") +
             ReportEnd("14.05.2013\t08:30:10", "14.05.2013\t08:30:50", "40"),
         EntryEnd("14.05.2013\t08:30:50", "1100", "1000", "40", kLost + recovered)},
        {"alarm ends at once", 1,
         "\r\n" + recovered + "\r\n" + kEndHeader + H(0, "100", "10") + H(1, "200", "20") +
             H(2, "600", "60") + H(3, "700", "70") + H(4, "900", "90") + H(5, "1100", "110") +
             ReportEnd("14.05.2013\t08:30:10", "14.05.2013\t08:30:40", "30"),
         EntryEnd("14.05.2013\t08:30:40", "0", "0", "30", kLost + recovered)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDir caseDir;
        snap.logFolder = caseDir.folder();
        CAlarmProcessor processor;
        auto run = [&](int status, std::initializer_list<std::pair<float, float>> records, int at) {
            snap.deviceStatus = status;
            SetBatch(snap, records, t0 + at);
            EXPECT_TRUE(processor.Process(snap));
        };
        run(1, {{100, 10}, {200, 20}}, 0);
        run(5, {{600, 60}, {700, 70}}, 10);
        snap.deviceStatus = 3;
        snap.now = t0 + 27;
        EXPECT_TRUE(processor.Process(snap));
        run(c.comesBackWith, {{900, 90}, {1100, 110}}, 40);
        if (c.comesBackWith == 5) {
            EXPECT_TRUE(processor.InAlarm());
            EXPECT_FALSE(processor.ConnectionLost());
            run(1, {{300, 30}}, 50);
        }
        EXPECT_FALSE(processor.InAlarm());
        const auto alarmFolder = caseDir.path() / "Alarms";
        EXPECT_EQ(ReadBytes(alarmFolder / "Reports_Pier-2" /
                            "AlarmReport_ZS-0042_Pier-2_2013-05-14_08-30-10.txt"),
                  ReportHead("14.May 2013, 08:30:10") + H(0, "100", "10") + H(1, "200", "20") +
                      H(2, "600", "60") + H(3, "700", "70") + kDuringHeader + "\r\n" + kLost +
                      c.reportTail);
        EXPECT_EQ(ReadBytes(alarmFolder / "AlarmLog_ZS-0042_Pier-2_2013-05.txt"),
                  kLogHeader + EntryStart("14.05.2013\t08:30:10") + c.entryEnd);
    }
}

TEST_F(AlarmProcessorTest, EachDeviceFollowsItsOwnAlarm) {
    ZorLogSnapshot quay = test::PierSnapshot(dir);
    quay.deviceName = "Quay-7";
    quay.params.SetDeviceNum("ZS-0077");
    CAlarmProcessor quayAlarms;
    auto quayData = [&](int status, float signal, int at) {
        quay.deviceStatus = status;
        SetBatch(quay, {{signal, 1}}, t0 + at);
        EXPECT_TRUE(quayAlarms.Process(quay));
    };

    NormalThenAlarm();
    quayData(1, 50, 12);  // normal data of another device does not end this alarm
    EXPECT_TRUE(alarms.InAlarm());
    EXPECT_FALSE(quayAlarms.InAlarm());
    quayData(5, 777, 14);  // its own alarm, its own files
    Data(5, {{800, 80}}, 20);
    quayData(1, 60, 25);
    EXPECT_TRUE(alarms.InAlarm());
    EXPECT_FALSE(quayAlarms.InAlarm());
    Data(1, {{300, 30}}, 30);

    std::string pierReport = ReadBytes(Report("2013-05-14_08-30-10"));
    EXPECT_EQ(pierReport.find("777"), std::string::npos);
    EXPECT_EQ(pierReport.find("\t50 "), std::string::npos);
    EXPECT_NE(pierReport.find(ReportEnd("14.05.2013\t08:30:10", "14.05.2013\t08:30:30", "20")),
              std::string::npos);
    std::string quayReport = ReadBytes(dir.path() / "Alarms" / "Reports_Quay-7" /
                                       "AlarmReport_ZS-0077_Quay-7_2013-05-14_08-30-14.txt");
    // Its history holds only its own records.
    EXPECT_NE(quayReport.find(H(0, "50", "1") + H(1, "777", "1") + kDuringHeader),
              std::string::npos);
    EXPECT_NE(quayReport.find(ReportEnd("14.05.2013\t08:30:14", "14.05.2013\t08:30:25", "11")),
              std::string::npos);
    EXPECT_EQ(ReadBytes(dir.path() / "Alarms" / "AlarmLog_ZS-0077_Quay-7_2013-05.txt").find("Pier"),
              std::string::npos);
}

TEST_F(AlarmProcessorTest, AlarmOverTheMonthEndKeepsItsEntryWhole) {
    const std::time_t may31 = LocalTime(2013, 5, 31, 23, 59, 50);
    snap.deviceStatus = 5;
    SetBatch(snap, {{600, 60}}, may31);
    ASSERT_TRUE(alarms.Process(snap));
    snap.deviceStatus = 1;
    SetBatch(snap, {{100, 10}}, may31 + 20);
    ASSERT_TRUE(alarms.Process(snap));

    EXPECT_EQ(ReadBytes(AlarmLog("2013-05")),
              kLogHeader + EntryStart("31.05.2013\t23:59:50") +
                  EntryEnd("01.06.2013\t00:00:10", "0", "0", "20", ""));
    // The new month's file is begun by the run that ended the alarm, with its header only.
    EXPECT_EQ(ReadBytes(AlarmLog("2013-06")), kLogHeader);
    EXPECT_TRUE(std::filesystem::exists(Report("2013-05-31_23-59-50")));
}

TEST_F(AlarmProcessorTest, EmulatedDeviceShowsZeroThresholds) {
    snap.linkType = "EMUL";
    snap.deviceStatus = 5;
    SetBatch(snap, {{600, 150}}, t0);
    ASSERT_TRUE(alarms.Process(snap));
    snap.deviceStatus = 4;
    SetBatch(snap, {{40, 10}}, t0 + 10);
    ASSERT_TRUE(alarms.Process(snap));
    EXPECT_EQ(ReadBytes(Report("2013-05-14_08-30-00")),
              ReportHead("14.May 2013, 08:30:00", "0", "0") + H(0, "600", "150") + kDuringHeader +
                  kEndHeader + H(0, "600", "150") + H(1, "40", "10") +
                  ReportEnd("14.05.2013\t08:30:00", "14.05.2013\t08:30:10", "10"));
    EXPECT_EQ(ReadBytes(AlarmLog()),
              kLogHeader + EntryStart("14.05.2013\t08:30:00") +
                  EntryEnd("14.05.2013\t08:30:10", "0", "0", "10", "", "0", "0"));
}

TEST_F(AlarmProcessorTest, ReportPathAssignedByThePopupIsUsed) {
    const std::string chosen = dir.folder() + "Alarms/Reports_Pier-2/chosen.txt";
    EXPECT_EQ(alarms.ReportPath().GetOrAssign(chosen), chosen);
    NormalThenAlarm();
    EXPECT_EQ(alarms.ReportPath().GetOrAssign("other"), chosen);
    Data(1, {{100, 10}}, 20);
    EXPECT_EQ(ReadBytes(chosen).rfind(ReportHead("14.May 2013, 08:30:10"), 0), 0u);
    EXPECT_FALSE(std::filesystem::exists(Report("2013-05-14_08-30-10")));
    EXPECT_FALSE(alarms.ReportPath().IsAssigned());
}

TEST_F(AlarmProcessorTest, RunsWithoutUsableDataChangeNothing) {
    // A device that never delivered data leaves no file at all.
    snap.deviceStatus = 0;
    EXPECT_FALSE(alarms.Process(snap));
    snap.batch.assign(7, 0);
    EXPECT_FALSE(alarms.Process(snap));
    EXPECT_TRUE(test::FilesBelow(dir.path()).empty());

    // A batch with a value that is not a number neither starts nor ends an alarm.
    snap.deviceStatus = 5;
    SetBatch(snap, {{std::nanf(""), 1}}, t0);
    EXPECT_FALSE(alarms.Process(snap));
    EXPECT_FALSE(alarms.InAlarm());
    Data(5, {{600, 60}}, 10);
    snap.deviceStatus = 1;
    SetBatch(snap, {{1, std::nanf("")}}, t0 + 20);
    EXPECT_FALSE(alarms.Process(snap));
    EXPECT_TRUE(alarms.InAlarm());
    EXPECT_EQ(ReadBytes(AlarmLog()), kLogHeader + EntryStart("14.05.2013\t08:30:10"));
}

TEST_F(AlarmProcessorTest, FilesThatCannotBeWrittenGetTheirTextLaterInOrder) {
    // A file stands where the alarm folder belongs until the alarm's third batch.
    const auto blocked = dir.path() / "Alarms";
    std::ofstream(blocked) << "x";
    snap.deviceStatus = 1;
    SetBatch(snap, {{100, 10}, {200, 20}}, t0);
    EXPECT_FALSE(alarms.Process(snap));
    snap.deviceStatus = 5;
    SetBatch(snap, {{600, 60}, {700, 70}}, t0 + 10);
    EXPECT_FALSE(alarms.Process(snap));
    EXPECT_TRUE(alarms.InAlarm());
    SetBatch(snap, {{800, 80}, {1000, 100}}, t0 + 20);
    EXPECT_FALSE(alarms.Process(snap));
    std::filesystem::remove(blocked);
    Data(5, {{1200, 120}, {1400, 140}}, 30);
    Data(1, {{300, 30}, {400, 40}}, 40);

    // The same files as when nothing went wrong.
    EXPECT_EQ(ReadBytes(AlarmLog()),
              kLogHeader + EntryStart("14.05.2013\t08:30:10") +
                  EntryEnd("14.05.2013\t08:30:40", "1400", "1100", "30", ""));
    std::string report = ReadBytes(Report("2013-05-14_08-30-10"));
    EXPECT_EQ(report.rfind(ReportHead("14.May 2013, 08:30:10"), 0), 0u);
    EXPECT_NE(report.find(kDuringHeader + S({"900", "90", "800", "80", "1000", "100"}) +
                          S({"1300", "130", "1200", "120", "1400", "140"}) + kEndHeader),
              std::string::npos);
}

TEST_F(AlarmProcessorTest, HistoryKeepsTheLastEightyRecords) {
    for (int i = 0; i < 9; ++i) {
        snap.deviceStatus = 1;
        snap.batch.clear();
        for (int r = 0; r < 10; ++r) {
            AppendDataRecord(snap.batch, static_cast<float>(i * 10 + r), 1);
        }
        snap.statusTime = test::FileTimeOf(t0 + i);
        snap.now = t0 + i;
        ++snap.batchSerial;
        ASSERT_TRUE(alarms.Process(snap));
    }
    Data(5, {{1000, 2}}, 10);
    std::string report = ReadBytes(Report("2013-05-14_08-30-10"));
    // Records 0..10 fell out; the oldest kept is 11, the newest the alarm's own.
    std::string expected;
    for (int n = 0; n < 79; ++n) {
        expected += H(n, std::to_string(n + 11), "1");
    }
    expected += H(79, "1000", "2");
    EXPECT_NE(report.find("Nr\tSignal   \tBackground\r\n" + expected + kDuringHeader),
              std::string::npos);
}

}  // namespace
}  // namespace zm
