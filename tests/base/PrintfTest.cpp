#include <gtest/gtest.h>

#include <string>

#include "base/Printf.h"

TEST(StrPrintf, FormatsShortAndLongTexts) {
    EXPECT_EQ(zm::StrPrintf("Zor-%02d", 7), "Zor-07");
    std::string longText(1000, 'x');
    EXPECT_EQ(zm::StrPrintf("<%s>", longText.c_str()), "<" + longText + ">");
    // Outside text with a percent sign stays as it is when passed as an argument.
    EXPECT_EQ(zm::StrPrintf("%s", "100% %s %n"), "100% %s %n");
}
