#include "notify/Clickatell.h"

#include <gtest/gtest.h>

namespace zm {
namespace {

TEST(Clickatell, CompleteOnlyWithAllFourValues) {
    EXPECT_TRUE(CClickatell("user", "pass", "client", "api").IsComplete());
    // The client ID is not part of the body but still required.
    EXPECT_FALSE(CClickatell("user", "pass", "", "api").IsComplete());
    EXPECT_FALSE(CClickatell("", "pass", "client", "api").IsComplete());
    EXPECT_FALSE(CClickatell("user", "", "client", "api").IsComplete());
    EXPECT_FALSE(CClickatell("user", "pass", "client", "").IsComplete());
}

TEST(Clickatell, BodyListsOnlyAllDigitEntries) {
    const CClickatell account("ZorManager", "pw", "cid", "3456789");
    struct Case {
        const char* recipients;
        const char* toLines;  // nullptr: no body at all
    };
    const Case cases[] = {
        {"op@zm.test, 4917612345678 ,+4917699999999", "to:4917612345678\r\n"},
        {"111,222", "to:111\r\nto:222\r\n"},
        {" 333 ,op@zm.test,,444", "to:333\r\nto:444\r\n"},
        {"op@zm.test,+49 176 1,12 34", nullptr},
        {"", nullptr},
        {",,", nullptr},
    };
    for (const auto& c : cases) {
        std::string body = account.BuildSmsBody("Alarm at Pier 7", c.recipients);
        if (c.toLines == nullptr) {
            EXPECT_EQ(body, "") << c.recipients;
            continue;
        }
        EXPECT_EQ(body, std::string("User:ZorManager\r\npassword:pw\r\napi_id:3456789\r\n"
                                    "text:Alarm at Pier 7\r\n") +
                            c.toLines)
            << c.recipients;
    }
}

TEST(Clickatell, LineEndsInsideValuesCannotAddGatewayLines) {
    const CClickatell account("u", "p", "c", "a");
    std::string body = account.BuildSmsBody("first\r\nto:999", "123");
    EXPECT_EQ(body, "User:u\r\npassword:p\r\napi_id:a\r\ntext:first  to:999\r\nto:123\r\n");
}

}  // namespace
}  // namespace zm
