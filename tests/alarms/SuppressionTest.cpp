#include <gtest/gtest.h>

#include "alarms/Suppression.h"

namespace {

using namespace zm::alarms;

TEST(Suppression, ShelveAndServiceInputIsChecked) {
    const std::string longest(200, 'r');
    // 200 characters of two bytes each are 200 characters, not 400.
    std::string cyrillic;
    for (int i = 0; i < 200; ++i) {
        cyrillic += "\xD0\x96";
    }
    struct Case {
        int minutes;
        std::string reason;
        bool ok;
    };
    const Case cases[] = {
        {1, "cleaning", true},
        {1440, "calibration", true},
        {0, "cleaning", false},
        {1441, "cleaning", false},
        {-5, "cleaning", false},
        {60, "", false},
        {60, " \t\r\n", false},
        {60, longest, true},
        {60, longest + "r", false},
        {60, cyrillic, true},
        {60, cyrillic + "\xD0\x96", false},
        {60, "  " + longest + "  ", true},  // blanks around do not count
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.minutes) + " / " + std::to_string(c.reason.size()));
        const OpResult shelve = CheckShelve(c.minutes, c.reason);
        EXPECT_EQ(static_cast<bool>(shelve), c.ok);
        if (!c.ok) {
            EXPECT_EQ(shelve.status, OpStatus::BadInput);
            EXPECT_FALSE(shelve.error.empty());
        }
        if (c.minutes >= 1 && c.minutes <= 1440) {
            EXPECT_EQ(static_cast<bool>(CheckOutOfService(c.reason)), c.ok);
        }
    }
    EXPECT_TRUE(CheckComment(""));
    EXPECT_TRUE(CheckComment(cyrillic));
    EXPECT_EQ(CheckComment(longest + "x").status, OpStatus::BadInput);
}

TEST(Suppression, WhatEachKindWithholdsAndWhen) {
    const std::int64_t now = 1'700'000'000;
    const DeviceSuppression shelved = ShelvedFor(now, 15, "  flushing the pump ", "anna");
    EXPECT_EQ(shelved.until, now + 900);
    EXPECT_EQ(shelved.reason, "flushing the pump");
    const DeviceSuppression service = OutOfService(now, "cleaning", "anna");
    const DeviceSuppression none;
    struct Case {
        const char* what;
        const DeviceSuppression& s;
        std::int64_t at;
        bool alarms;
        bool connection;
        bool expired;
    };
    const Case cases[] = {
        {"shelved, running", shelved, now + 899, true, false, false},
        {"shelved, at expiry", shelved, now + 900, false, false, true},
        {"shelved, past expiry", shelved, now + 5000, false, false, true},
        {"out of service", service, now + 10'000'000, true, true, false},
        {"none", none, now, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(WithholdsAlarmActions(c.s, c.at), c.alarms);
        EXPECT_EQ(WithholdsConnectionActions(c.s, c.at), c.connection);
        EXPECT_EQ(IsExpired(c.s, c.at), c.expired);
    }
    for (auto kind : {DeviceSuppression::Kind::None, DeviceSuppression::Kind::Shelved,
                      DeviceSuppression::Kind::OutOfService}) {
        EXPECT_EQ(ParseSuppressionKind(SuppressionKindName(kind)), kind);
    }
}

}  // namespace
