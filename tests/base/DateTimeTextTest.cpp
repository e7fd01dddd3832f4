#include <gtest/gtest.h>

#include <climits>
#include <ctime>

#include "base/DateTimeText.h"
#include "support/ScopedEnv.h"

using namespace std::chrono;
using zm::TimePointMs;

namespace {

// Central European time: the local time of 2013-04-05 06:07:08 UTC is 08:07:08 (summer).
class DateTimeTextTest : public ::testing::Test {
  protected:
    void SetUp() override {
        env.Set("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
        tzset();
    }
    struct TzReset {
        ~TzReset() { tzset(); }  // runs after env has put TZ back
    } reset;
    zm::test::ScopedEnv env;
    const TimePointMs when =
        sys_days{year{2013} / 4 / 5} + hours{6} + minutes{7} + seconds{8} + milliseconds{9};
};

}  // namespace

TEST_F(DateTimeTextTest, FormatDateTimeWithCallersSeparators) {
    struct Case {
        bool local, date, time, ms;
        const char *dateSep, *dateTimeSep, *timeSep;
        bool yearFirst;
        const char* text;
    };
    const Case cases[] = {
        {false, true, true, false, "-", " ", ":", true, "2013-04-05 06:07:08"},
        {true, true, true, false, "-", " ", ":", true, "2013-04-05 08:07:08"},
        {true, true, true, true, "-", " ", ":", true, "2013-04-05 08:07:08.009"},
        {true, true, true, false, ".", " ", ":", false, "05.04.2013 08:07:08"},
        {true, true, true, false, "/", " ; ", ":", true, "2013/04/05 ; 08:07:08"},
        {true, true, false, false, "-", "_", "-", true, "2013-04-05"},
        {true, false, true, true, "-", "_", "-", true, "08-07-08.009"},  // no leading separator
        {true, false, false, true, "-", " ", ":", true, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(zm::FormatDateTime(when, c.local, c.date, c.time, c.ms, c.dateSep, c.dateTimeSep,
                                     c.timeSep, c.yearFirst),
                  c.text);
    }
    // Winter time is one hour from UTC.
    TimePointMs winter = sys_days{year{2013} / 1 / 31} + hours{23} + minutes{30};
    EXPECT_EQ(zm::FormatDateTime(winter), "2013-02-01 00:30:00");
}

TEST_F(DateTimeTextTest, EdgesOfTheTimeRange) {
    TimePointMs beforeEpoch{milliseconds{-500}};
    EXPECT_EQ(zm::FormatDateTime(beforeEpoch, false, true, true, true), "1969-12-31 23:59:59.500");
    EXPECT_EQ(zm::FormatDateTime(TimePointMs{milliseconds{LLONG_MAX}}), "<wrong time>");
    EXPECT_EQ(zm::FormatDateTime(TimePointMs{milliseconds{LLONG_MIN}}), "<wrong time>");
    EXPECT_EQ(zm::FormatDateTime(TimePointMs{sys_days{year{1600} / 12 / 31}}, false),
              "<wrong time>");

    // Now, when no time is given: compare with the clock, allowing a second tick.
    auto before = zm::FormatDateTime(zm::NowMs());
    auto now = zm::FormatDateTime();
    auto after = zm::FormatDateTime(zm::NowMs());
    EXPECT_TRUE(now == before || now == after) << now;

    // File times of the device data status.
    std::uint64_t fileTime = zm::FileTimeFromTime(when);
    EXPECT_EQ(fileTime, 130096156280090000ull);
    EXPECT_EQ(zm::TimeFromFileTime(fileTime), when);
}

TEST(DateTimeText, FormatDuration) {
    const std::pair<std::int64_t, const char*> cases[] = {
        {0, ""},
        {1, "01 second"},
        {59, "59 seconds"},
        {60, "01 minute"},
        {3600, "01 hour"},
        {86400, "1 day"},
        {90061, "1 day, 01 hour, 01 minute, 01 second"},
        {7260, "02 hours, 01 minute"},
        {2 * 86400 + 120, "2 days, 02 minutes"},
        {1000 * 86400 + 3599, "1000 days, 59 minutes, 59 seconds"},
        {-61, "-01 minute, 01 second"},
        {LLONG_MIN, "-106751991167300 days, 15 hours, 30 minutes, 08 seconds"},
    };
    for (const auto& [secs, text] : cases) {
        EXPECT_EQ(zm::FormatDuration(secs), text) << secs;
    }
}

TEST_F(DateTimeTextTest, StampNameReplacesItsOwnStamp) {
    struct Case {
        const char* name;
        int mode;
        const char* text;
    };
    const Case cases[] = {
        {"report", 0, "report_2013-04-05_08-07-08"},
        {"report_2013-04-05_06-07-08", 0, "report_2013-04-05_08-07-08"},
        {"report", 7, "report_2013-04-05_08-07-08"},
        {"report", 1, "report(2013-04-05 08-07-08)"},
        {"report(2001-01-01 00-00-00)", 1, "report(2013-04-05 08-07-08)"},
        {"report", 2, "report2013-04-05"},
        {"report2012-12-31", 2, "report2013-04-05"},
        // Only a stamp of the same kind goes.
        {"report_2013-04-05_06-07-08", 1, "report_2013-04-05_06-07-08(2013-04-05 08-07-08)"},
        // Text of the same length and first character that is not a stamp stays.
        {"my_file_name_with_long_part", 0, "my_file_name_with_long_part_2013-04-05_08-07-08"},
        {"log(not a stamp, really)", 1, "log(not a stamp, really)(2013-04-05 08-07-08)"},
        {"", 2, "2013-04-05"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(zm::StampName(c.name, when, c.mode), c.text) << c.name << " mode " << c.mode;
    }
}

TEST_F(DateTimeTextTest, LocalTimeText) {
    std::time_t t = system_clock::to_time_t(time_point_cast<seconds>(when));
    EXPECT_EQ(zm::LocalTimeText("RunLog_%Y-%m-%d", t), "RunLog_2013-04-05");
    EXPECT_EQ(zm::LocalTimeText("%Y-%m-%d_%H-%M-%S", t), "2013-04-05_08-07-08");
    EXPECT_EQ(zm::LocalDateTimeC(t), "Fri Apr  5 08:07:08 2013");
}
