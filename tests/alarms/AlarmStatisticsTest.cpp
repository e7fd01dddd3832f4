#include <gtest/gtest.h>

#include <ctime>

#include "alarms/AlarmOperations.h"
#include "alarms/AlarmStatistics.h"
#include "support/ScopedEnv.h"

namespace {

using namespace zm::alarms;

// Local dates are those of a zone with daylight saving, so a day of 23 hours is in play.
struct StatsFixture : ::testing::Test {
    zm::test::ScopedEnv env;
    void SetUp() override {
        env.Set("TZ", "Europe/Berlin");
        tzset();
    }
    void TearDown() override { tzset(); }

    static std::int64_t Local(int year, int month, int day, int hour = 0, int minute = 0,
                              int second = 0) {
        std::tm t{};
        t.tm_year = year - 1900;
        t.tm_mon = month - 1;
        t.tm_mday = day;
        t.tm_hour = hour;
        t.tm_min = minute;
        t.tm_sec = second;
        t.tm_isdst = -1;
        return std::mktime(&t);
    }
    static AlarmRecord Alarm(const std::string& device, std::int64_t opened,
                             AlarmState state = AlarmState::Closed) {
        AlarmRecord a;
        a.device = device;
        a.opened = opened;
        a.state = state;
        return a;
    }
};

TEST_F(StatsFixture, FiguresOfAPeriod) {
    // Three days across the change to summer time (2026-03-29 has 23 hours).
    const std::int64_t from = Local(2026, 3, 28);
    const std::int64_t to = Local(2026, 3, 31);
    std::vector<AlarmRecord> alarms;
    // A flood: 12 alarms in 9 minutes on the 28th, all inside one 10-minute interval.
    for (int i = 0; i < 12; ++i) {
        alarms.push_back(Alarm(i % 2 ? "Pier-1" : "Pier-2", Local(2026, 3, 28, 10, 0, 45 * i)));
    }
    // Chattering: three alarms of Buoy within 59 seconds, late on the short day.
    for (int s : {0, 30, 59}) {
        alarms.push_back(Alarm("Buoy", Local(2026, 3, 29, 23, 0, s)));
    }
    // Harbour: three alarms, but 61 seconds from first to last; not chattering.
    for (int s : {0, 30, 61}) {
        alarms.push_back(Alarm("Harbour", Local(2026, 3, 30, 8, 0, s)));
    }
    // Outside the period: counted nowhere.
    alarms.push_back(Alarm("Pier-1", from - 1));
    alarms.push_back(Alarm("Pier-1", to));

    std::vector<AlarmRecord> open = {
        Alarm("Old", to - 25 * 3600, AlarmState::ActiveAcked),
        Alarm("Recent", to - 23 * 3600, AlarmState::ActiveUnacked),
        Alarm("Returned", to - 48 * 3600, AlarmState::RtnUnacked),
    };
    const AlarmStatistics s = ComputeStatistics(alarms, open, from, to, to);
    EXPECT_EQ(s.total, 18);
    ASSERT_EQ(s.perDay.size(), 3u);
    EXPECT_EQ(s.perDay[0].day, "2026-03-28");
    EXPECT_EQ(s.perDay[0].count, 12);
    EXPECT_EQ(s.perDay[1].day, "2026-03-29");
    EXPECT_EQ(s.perDay[1].count, 3);
    EXPECT_EQ(s.perDay[2].day, "2026-03-30");
    EXPECT_EQ(s.perDay[2].count, 3);
    EXPECT_EQ(s.maxPer10Minutes, 12);
    // 71 hours are 426 intervals; one of them floods.
    EXPECT_DOUBLE_EQ(s.floodShare, 1.0 / 426.0);
    // The flood's devices raise one alarm every 90 s each: a flood, but no chatter.
    ASSERT_EQ(s.chattering.size(), 1u);
    EXPECT_EQ(s.chattering[0].device, "Buoy");
    EXPECT_EQ(s.chattering[0].count, 3);
    ASSERT_EQ(s.stale.size(), 1u);
    EXPECT_EQ(s.stale[0].device, "Old");
    ASSERT_GE(s.topDevices.size(), 4u);
    EXPECT_EQ(s.topDevices[0].device, "Pier-1");
    EXPECT_EQ(s.topDevices[0].count, 6);
}

TEST_F(StatsFixture, TopTenAndSlidingWindowAcrossIntervalBorders) {
    const std::int64_t from = Local(2026, 6, 1);
    const std::int64_t to = from + 86400;
    std::vector<AlarmRecord> alarms;
    for (int d = 0; d < 12; ++d) {
        for (int n = 0; n <= d; ++n) {
            alarms.push_back(Alarm("D" + std::to_string(100 + d), from + 3600 * d + 3000 + n * 60));
        }
    }
    // Eleven alarms straddling a fixed interval border: no interval floods, but some ten
    // minutes hold all eleven.
    for (int n = 0; n < 11; ++n) {
        alarms.push_back(Alarm("Edge", from + 20 * 3600 + 300 + n * 50));
    }
    const AlarmStatistics s = ComputeStatistics(alarms, {}, from, to, to);
    ASSERT_EQ(s.topDevices.size(), 10u);
    EXPECT_EQ(s.topDevices[0].device, "D111");
    EXPECT_EQ(s.topDevices[0].count, 12);
    EXPECT_EQ(s.topDevices[9].count, 4);  // Edge's eleven take a place
    EXPECT_EQ(s.maxPer10Minutes, 11);
    EXPECT_EQ(s.floodShare, 0.0);

    const AlarmStatistics empty = ComputeStatistics({}, {}, from, to, to);
    EXPECT_EQ(empty.total, 0);
    EXPECT_EQ(empty.perDay.size(), 1u);
    EXPECT_EQ(empty.maxPer10Minutes, 0);
    EXPECT_TRUE(empty.topDevices.empty());
}

TEST_F(StatsFixture, HistoryCsvQuotesWhatNeedsIt) {
    AlarmRecord a = Alarm("Pier, \"North\"", Local(2026, 5, 4, 8, 30, 0));
    a.id = 7;
    a.returned = a.opened + 95;
    a.maxValue = 1234.5;
    a.ackedBy = "anna";
    a.ackedAt = a.opened + 10;
    a.comment = "line one\r\nline two";
    AlarmRecord b =
        Alarm("=HYPERLINK(\"x\")", Local(2026, 5, 4, 9, 0, 0), AlarmState::ActiveUnacked);
    b.id = 8;
    b.maxValue = 20;
    b.comment = "@cmd";
    const std::string csv = HistoryCsv({a, b});
    EXPECT_EQ(csv,
              "id,device,opened,returned,duration_s,maximum,state,acknowledged_by,"
              "acknowledged_at,comment\r\n"
              "7,\"Pier, \"\"North\"\"\",2026-05-04 08:30:00,2026-05-04 08:31:35,95,1234.5,closed,"
              "anna,2026-05-04 08:30:10,\"line one\r\nline two\"\r\n"
              "8,\"'=HYPERLINK(\"\"x\"\")\",2026-05-04 09:00:00,,,20,active_unacked,,,'@cmd\r\n");
    EXPECT_EQ(HistoryCsv({}),
              "id,device,opened,returned,duration_s,maximum,state,acknowledged_by,"
              "acknowledged_at,comment\r\n");
}

}  // namespace
