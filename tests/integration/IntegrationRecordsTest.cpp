#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include <nlohmann/json.hpp>

#include "integration/IntegrationRecords.h"
#include "integration/MqttTopics.h"

namespace zm {
namespace {

std::string Decoded(const std::string& level) {
    std::string out;
    for (size_t i = 0; i < level.size(); ++i) {
        if (level[i] == '%' && i + 2 < level.size()) {
            out += static_cast<char>(std::stoi(level.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += level[i];
        }
    }
    return out;
}

TEST(MqttTopicsTest, NamesBecomeOneSafeLevelThatDecodesBack) {
    struct Case {
        std::string name;
        std::string level;
    };
    const Case cases[] = {
        {"Buoy 7", "Buoy 7"},
        {"Pier/North", "Pier%2FNorth"},
        {"A+B#1", "A%2BB%231"},
        {"50%", "50%25"},
        {"tab\there", "tab%09here"},
        {"del\x7f", "del%7F"},
        {"Причал", "Причал"},                          // valid UTF-8 stays as it is
        {std::string("bad\xff\xc3", 5), "bad%FF%C3"},  // broken UTF-8 is escaped byte by byte
        {"\xc2\x85next", "%C2%85next"},                // a C1 control
        {"", ""},
    };
    for (const Case& c : cases) {
        const std::string level = EncodeTopicLevel(c.name);
        EXPECT_EQ(level, c.level) << c.name;
        EXPECT_EQ(Decoded(level), c.name) << c.name;
        EXPECT_EQ(level.find_first_of("/+#"), std::string::npos) << c.name;
    }
}

TEST(MqttTopicsTest, TopicsOfAStation) {
    const MqttTopics topics("zormanager", "harbour-1");
    EXPECT_EQ(topics.Status(), "zormanager/harbour-1/status");
    EXPECT_EQ(topics.Alarm(), "zormanager/harbour-1/alarm");
    EXPECT_EQ(topics.DeviceState("Pier/North#2"),
              "zormanager/harbour-1/device/Pier%2FNorth%232/state");
    EXPECT_EQ(topics.DeviceData("B"), "zormanager/harbour-1/device/B/data");
    EXPECT_EQ(topics.DeviceStateWildcard(), "zormanager/harbour-1/device/+/state");
    // A prefix may have levels of its own but no wildcard; the station is one level.
    const MqttTopics nested("coast/guard/", "st/a+");
    EXPECT_EQ(nested.Status(), "coast/guard/st%2Fa%2B/status");
    EXPECT_EQ(MqttTopics("", "S").Alarm(), "S/alarm");
}

TEST(IntegrationRecordsTest, StateJsonHasEveryFieldAndSurvivesBadInput) {
    DeviceStateRecord state;
    state.name = std::string("Pier/North#\xff", 12);
    state.status = 5;
    state.statusText = "Alarm reported";
    state.level = 4;
    state.icon = "Alarm";
    state.time = 1700000000;
    state.latitude = 59.9375;
    state.longitude = 30.3086;
    state.value = std::nan("");
    state.red = 200;
    state.green = 0;
    state.blue = 10;
    const auto json = nlohmann::json::parse(JsonText(ToJson(state)));
    EXPECT_EQ(json["name"], "Pier/North#\xEF\xBF\xBD");  // the broken byte replaced
    EXPECT_EQ(json["status"], 5);
    EXPECT_EQ(json["statusText"], "Alarm reported");
    EXPECT_EQ(json["level"], 4);
    EXPECT_EQ(json["icon"], "Alarm");
    EXPECT_EQ(json["time"], "2023-11-14T22:13:20Z");
    EXPECT_DOUBLE_EQ(json["lat"].get<double>(), 59.9375);
    EXPECT_DOUBLE_EQ(json["lon"].get<double>(), 30.3086);
    EXPECT_TRUE(json["value"].is_null());
    EXPECT_EQ(json["colour"], "#C8000A");
}

TEST(IntegrationRecordsTest, DataAndAlarmJson) {
    DataPortionRecord data{"B", 0, {1.5f, 2.0f}, {0.25f, 0.5f}};
    const auto d = nlohmann::json::parse(JsonText(ToJson(data)));
    EXPECT_EQ(d["time"], "1970-01-01T00:00:00Z");
    EXPECT_EQ(d["count"], 2);
    EXPECT_EQ(d["values"], nlohmann::json({1.5, 2.0}));
    EXPECT_EQ(d["backgrounds"], nlohmann::json({0.25, 0.5}));

    AlarmEventRecord opened{AlarmEventRecord::kOpened, "B", 60, 812.0, "/logs/r.txt"};
    const auto a = nlohmann::json::parse(JsonText(ToJson(opened)));
    EXPECT_EQ(a["event"], "opened");
    EXPECT_EQ(a["device"], "B");
    EXPECT_EQ(a["time"], "1970-01-01T00:01:00Z");
    EXPECT_EQ(a["value"], 812.0);
    EXPECT_EQ(a["report"], "/logs/r.txt");
    AlarmEventRecord lost{AlarmEventRecord::kConnectionLost, "B", 60, 0.0, ""};
    const auto l = nlohmann::json::parse(JsonText(ToJson(lost, false)));
    EXPECT_FALSE(l.contains("report"));
    EXPECT_FALSE(l.contains("event"));
}

TEST(IntegrationRecordsTest, SameStateIgnoresTimeAndSignalOnly) {
    DeviceStateRecord a;
    a.name = "A";
    a.statusText = "Online and Ok";
    DeviceStateRecord b = a;
    b.time = 99;
    b.value = 5;
    EXPECT_TRUE(a.SameStateAs(b));
    b.statusText = "Alarm reported";
    EXPECT_FALSE(a.SameStateAs(b));
    b = a;
    b.latitude = 1;
    EXPECT_FALSE(a.SameStateAs(b));
}

}  // namespace
}  // namespace zm
