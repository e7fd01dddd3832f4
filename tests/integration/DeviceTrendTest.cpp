// A device's trend from its daily data logs: the files the data-log writer itself writes
// are read back, cut to a chart's number of points without losing a peak, with gaps where
// no data came, and answered by "/api/devices/<name>/data".
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "auth/OperatorDirectory.h"
#include "device/zor/ZorDataLog.h"
#include "device/zor/ZorDataLogReader.h"
#include "integration/DeviceTrend.h"
#include "integration/JsonApi.h"
#include "support/Loopback.h"
#include "web/ApiAccess.h"
#include "web/HttpServer.h"
#include "zor/ZorLogsSupport.h"

namespace zm {
namespace {

namespace fs = std::filesystem;
using test::LocalTime;
using test::SetBatch;

class DeviceTrendTest : public ::testing::Test {
  protected:
    // The writer's log folder is the month folder of the run's start.
    void WriteBatch(const std::string& month, std::initializer_list<std::pair<float, float>> r,
                    std::time_t t) {
        snap.logFolder = dir.folder() + month + "/";
        SetBatch(snap, r, t);
        ASSERT_TRUE(log.Write(snap, false));
    }
    test::FixedZone zone;
    test::TempDir dir;
    ZorLogSnapshot snap = test::PierSnapshot(dir);
    CZorDataLog log;
    std::time_t t0 = LocalTime(2013, 5, 14, 8, 30, 0);
};

TEST_F(DeviceTrendTest, ReadsBackWhatTheWriterWrote) {
    WriteBatch("2013-05", {{1, 10}, {2, 20}, {3, 30}, {4, 40}, {5, 50}}, t0);
    WriteBatch("2013-05", {{600.4f, 60}}, t0 + 65);
    // A run that began in May writes June's first day into May's folder.
    WriteBatch("2013-05", {{7, 70}}, LocalTime(2013, 6, 1, 0, 0, 5));
    WriteBatch("2013-06", {{8, 80}}, LocalTime(2013, 6, 1, 12, 0, 0));
    const std::string may = dir.folder() + "2013-05/Pier-2/DataLog_ZS-0042_Pier-2_2013-05-14.txt";
    // A line cut by a power loss, and one that is not data, are not read.
    std::ofstream(may, std::ios::app) << "garbage\tline\r\n14.05.2013\t08:32:00  \t123  ";

    std::vector<ZorLogSample> samples;
    const std::string text = test::ReadBytes(may);
    EXPECT_EQ(ParseZorDataLog(text, samples), text.rfind("\r\n") + 2);
    ASSERT_EQ(samples.size(), 2u);
    EXPECT_EQ(samples[0].time, t0);
    EXPECT_EQ(samples[0].signal, 3);
    EXPECT_EQ(samples[0].signalMin, 1);
    EXPECT_EQ(samples[0].signalMax, 5);
    EXPECT_EQ(samples[0].lowThreshold, 500);
    EXPECT_EQ(samples[0].highThreshold, 10000);
    EXPECT_EQ(samples[1].time, t0 + 65);
    EXPECT_EQ(samples[1].signal, 600);

    const auto files = FindZorDataLogs(dir.folder(), "Pier-2", 20130514, 20130601);
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0].date, 20130514);
    EXPECT_EQ(files[1].date, 20130601);
    EXPECT_EQ(files[2].date, 20130601);
    EXPECT_EQ(FindZorDataLogs(dir.folder(), "Pier-2", 20130515, 20130531).size(), 0u);
    EXPECT_EQ(FindZorDataLogs(dir.folder(), "Pier", 20130501, 20130701).size(), 0u);

    // Both files of June's first day, in time order, whichever folder they lie in.
    CDeviceTrendReader reader;
    TrendRequest request{LocalTime(2013, 6, 1, 0, 0, 0), LocalTime(2013, 6, 1, 23, 59, 59), 2000,
                         LocalTime(2013, 6, 2, 0, 0, 0)};
    const Trend june = reader.Read(dir.folder(), "Pier-2", request);
    EXPECT_EQ(june.samples, 2u);
    ASSERT_GE(june.points.size(), 2u);
    EXPECT_TRUE(std::is_sorted(june.points.begin(), june.points.end(),
                               [](auto& a, auto& b) { return a.time < b.time; }));
}

// One sample a second; `signal(i)` for the i-th.
template <typename Signal>
std::vector<ZorLogSample> Seconds(std::int64_t start, int count, Signal signal) {
    std::vector<ZorLogSample> s;
    for (int i = 0; i < count; ++i) {
        const float v = signal(i);
        s.push_back({start + i, v, v - 1, v + 1, 500, 10000});
    }
    return s;
}

TEST(BuildTrend, KeepsEveryBucketsExtremesWithinThePointLimit) {
    const std::int64_t t = 1'000'000'000;
    auto samples = Seconds(t, 10000, [](int i) { return static_cast<float>(i % 100); });
    samples[4321].signalMax = 99999;  // a peak of one second
    samples[777].signalMin = -5000;
    samples.back().lowThreshold = 450;  // the newest thresholds are the ones shown
    for (size_t maxPoints : {1u, 7u, 100u, 2000u, 20000u}) {
        const Trend trend = BuildTrend(samples, {t, t + 9999, maxPoints, t + 9999});
        EXPECT_LE(trend.points.size(), maxPoints) << maxPoints;
        EXPECT_TRUE(trend.gaps.empty()) << maxPoints;
        float high = -1e9f, low = 1e9f;
        for (const TrendPoint& p : trend.points) {
            high = std::max(high, p.max);
            low = std::min(low, p.min);
        }
        EXPECT_EQ(high, 99999) << maxPoints;
        EXPECT_EQ(low, -5000) << maxPoints;
        EXPECT_EQ(trend.samples, 10000u);
        EXPECT_TRUE(trend.hasThresholds);
        EXPECT_EQ(trend.lowThreshold, 450);
        EXPECT_EQ(trend.highThreshold, 10000);
    }
    // The range chooses: samples outside it do not count.
    const Trend part = BuildTrend(samples, {t + 100, t + 199, 2000, t + 9999});
    EXPECT_EQ(part.samples, 100u);
    EXPECT_EQ(part.points.size(), 100u);
    EXPECT_EQ(part.points.front().time, t + 100);
}

TEST(BuildTrend, CutsGapsWhereNoDataCame) {
    const std::int64_t t = 1'000'000'000;
    auto samples = Seconds(t + 100, 100, [](int) { return 1.0f; });
    auto later = Seconds(t + 1000, 100, [](int) { return 2.0f; });
    samples.insert(samples.end(), later.begin(), later.end());
    // A range from t to t + 2000 seen at t + 1500: before, between and after the data.
    const Trend trend = BuildTrend(samples, {t, t + 2000, 2000, t + 1500});
    using Gap = std::pair<std::int64_t, std::int64_t>;
    EXPECT_EQ(trend.gaps,
              (std::vector<Gap>{{t, t + 100}, {t + 199, t + 1000}, {t + 1099, t + 1500}}));
    // Each gap breaks the line once, where it begins; the points stay in time order.
    std::vector<std::int64_t> breaks;
    for (size_t i = 0; i < trend.points.size(); ++i) {
        if (trend.points[i].gap)
            breaks.push_back(trend.points[i].time);
        if (i > 0) {
            EXPECT_LE(trend.points[i - 1].time, trend.points[i].time);
        }
    }
    EXPECT_EQ(breaks, (std::vector<std::int64_t>{t, t + 199, t + 1099}));
    // A one-second data rate with a three-second hiccup is no outage.
    samples.erase(samples.begin() + 50, samples.begin() + 52);
    EXPECT_EQ(BuildTrend(samples, {t + 100, t + 199, 2000, t + 199}).gaps.size(), 0u);
    // Nothing at all in the range: one gap as far as now, no thresholds.
    const Trend empty = BuildTrend({}, {t, t + 2000, 2000, t + 600});
    EXPECT_EQ(empty.gaps, (std::vector<Gap>{{t, t + 600}}));
    EXPECT_FALSE(empty.hasThresholds);
}

class FakeStates : public IDeviceStateSource {
  public:
    std::string Station() override { return "station"; }
    std::vector<DeviceStateRecord> DeviceStates() override {
        DeviceStateRecord d;
        d.name = "Pier-2";
        return {d};
    }
    std::vector<AlarmEventRecord> OpenAlarms() override { return {}; }
    std::string DataLogsFolder() override { return folder; }
    std::string folder;
};

TEST_F(DeviceTrendTest, ApiAnswersTheTrendAndRefusesWhatItCannotAnswer) {
    for (int i = 0; i < 120; ++i)
        WriteBatch("2013-05", {{static_cast<float>(i), 0}, {static_cast<float>(2 * i), 0}}, t0 + i);
    FakeStates states;
    states.folder = dir.folder();
    CDeviceTrendReader reader;
    const std::string range = "from=" + std::to_string(t0) + "&to=" + std::to_string(t0 + 119);
    struct Case {
        std::string name, query, status;
    } cases[] = {
        {"Pier-2", range + "&max_points=10", "200 OK"},
        {"Pier-3", range, "404 Resource not found"},
        {"Pier-2", "from=yesterday", "400 Bad Request"},
        {"Pier-2", "from=" + std::to_string(t0) + "&to=" + std::to_string(t0 - 1),
         "400 Bad Request"},
        {"Pier-2", "from=0&to=" + std::to_string(t0), "400 Bad Request"},
        {"Pier-2", range + "&max_points=0", "400 Bad Request"},
        {"Pier-2", range + "&max_points=20001", "400 Bad Request"},
        {"Pier-2", range + "&max_points=12abc", "400 Bad Request"},
    };
    for (const Case& c : cases) {
        std::string body, status;
        DeviceDataJsonText(states, reader, c.name, c.query, t0 + 120, body, status);
        EXPECT_EQ(status, c.status) << c.query;
        EXPECT_TRUE(nlohmann::json::accept(body)) << body;
    }

    // Over HTTP, as the console asks.
    // No accounts: reads are open.
    auth::COperatorDirectory operators(
        (std::filesystem::path(dir.folder()) / "Operators.txt").string());
    CApiAccess access(operators);
    CHttpServer server;
    server.SetBindAddress("127.0.0.1");
    RegisterJsonApi(server, states, nullptr, access);
    ASSERT_TRUE(server.Start(dir.folder(), "/", 0, 2000));
    const std::string url = "http://127.0.0.1:" + std::to_string(server.GetPort()) +
                            "/api/devices/Pier-2/data?" + range + "&max_points=10";
    const auto json = nlohmann::json::parse(test::CurlGet(url), nullptr, false);
    server.Shutdown();
    ASSERT_FALSE(json.is_discarded());
    EXPECT_EQ(json["name"], "Pier-2");
    EXPECT_EQ(json["samples"], 120);
    EXPECT_EQ(json["bucket_seconds"], 12);
    EXPECT_EQ(json["time"].size(), 10u);
    EXPECT_EQ(json["min"][0], 0);    // the bucket's smallest signal of all its records
    EXPECT_EQ(json["max"][9], 238);  // and its largest
    EXPECT_EQ(json["thresholds"]["low"], 500);
    EXPECT_EQ(json["thresholds"]["high"], 10000);
    EXPECT_TRUE(json["gaps"].empty());
}

}  // namespace
}  // namespace zm
