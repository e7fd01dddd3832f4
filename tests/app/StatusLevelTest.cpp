#include <gtest/gtest.h>

#include "app/StatusLevel.h"

namespace zm {
namespace {

TEST(StatusLevel, EveryCodeRanksAsTheTableSays) {
    struct Case {
        int code;
        int level;
        std::string icon;
        LogColor color;
    };
    const Case cases[] = {
        {0, 2, "Error", Rgb(200, 100, 0)}, {1, 3, "Good", Rgb(0, 100, 0)},
        {2, 0, "Off", Rgb(200, 200, 200)}, {3, 1, "Wait", Rgb(100, 100, 100)},
        {4, 0, "Off", Rgb(200, 200, 200)}, {5, 4, "Alarm", Rgb(200, 0, 0)},
        {6, 0, "Off", Rgb(200, 200, 200)}, {-1, 0, "Off", Rgb(200, 200, 200)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        StatusLevel level = GetStatusLevel(c.code);
        EXPECT_EQ(level.level, c.level);
        EXPECT_EQ(level.icon, c.icon);
        EXPECT_EQ(level.Color(), c.color);
        EXPECT_EQ(level.IconFile(), c.icon + ".png");
    }
    // The log's own alarm and success colours are the status colours.
    EXPECT_EQ(GetStatusLevel(5).Color(), kLogRed);
    EXPECT_EQ(GetStatusLevel(1).Color(), kLogDarkGreen);
}

}  // namespace
}  // namespace zm
