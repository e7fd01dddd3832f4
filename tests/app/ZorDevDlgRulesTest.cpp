// The device dialog's rules without the dialog.

#include <gtest/gtest.h>

#include "app/ZorDevDlgRules.h"
#include "device/zor/ZorRecords.h"

namespace zm {
namespace {

TEST(ZorDevDlgRulesTest, IdleTimeText) {
    const struct {
        bool runningAndIdle;
        std::int64_t seconds;
        const char* text;
    } cases[] = {
        {false, 5, "-"},           {true, 0, "00:00"},    {true, 59, "00:59"},
        {true, 61, "01:01"},       {true, 3599, "59:59"}, {true, 3600, "01:00:00"},
        {true, 86399, "23:59:59"}, {true, 86400, "24 h"}, {true, 400000, "24 h"},
        {true, -3, "00:00"},  // a clock set back shows no negative time
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IdleTimeText(c.runningAndIdle, c.seconds), c.text) << c.seconds;
    }
}

TEST(ZorDevDlgRulesTest, KnownDeviceTypes) {
    for (int code = 0; code < 9; ++code) {
        ZorContrType type;
        type.bytes[0] = static_cast<uint8_t>(code);
        EXPECT_EQ(IsKnownDeviceType(type), code == 1 || code >= 5) << code;
    }
}

}  // namespace
}  // namespace zm
