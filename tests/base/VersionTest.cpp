#include <gtest/gtest.h>

#include "base/Version.h"

TEST(Version, TextsForEachCombination) {
    struct Case {
        bool name, version;
        const char* text;
    };
    const Case cases[] = {
        {true, true, "ZorManager__All_Ver-Lang version 6.1.0.10"},
        {true, false, "ZorManager__All_Ver-Lang"},
        {false, true, "6.1.0.10"},
        {false, false, "<nothing>"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(zm::GetVersionText(c.name, c.version), c.text);
    }
}
