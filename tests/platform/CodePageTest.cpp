#include "platform/CodePage.h"

#include <gtest/gtest.h>

#include <string>

namespace zm::platform {
namespace {

TEST(CodePage, NamesOfNumberedPages) {
    EXPECT_EQ(CodePageName(0), "UTF-8");
    EXPECT_EQ(CodePageName(-1), "UTF-8");
    EXPECT_EQ(CodePageName(65001), "UTF-8");
    EXPECT_EQ(CodePageName(1251), "CP1251");
    EXPECT_EQ(CodePageName(28595), "ISO-8859-5");
    EXPECT_EQ(CodePageName(-7), "");
    EXPECT_TRUE(IsCodePageAvailable(1251));
    EXPECT_FALSE(IsCodePageAvailable(99999));
}

TEST(CodePage, Cp1251BothWays) {
    std::string utf8;
    bool lossy = false;
    ASSERT_TRUE(CodePageToUtf8(1251, "\xCF\xF0\xE8\xE2\xE5\xF2", utf8, &lossy));
    EXPECT_EQ(utf8, "Привет");
    EXPECT_FALSE(lossy);

    std::string bytes;
    ASSERT_TRUE(Utf8ToCodePage(1251, "Привет", bytes, 0, &lossy));
    EXPECT_EQ(bytes, "\xCF\xF0\xE8\xE2\xE5\xF2");
    EXPECT_FALSE(lossy);
}

TEST(CodePage, UnexpressibleCharactersAreReplacedAndReported) {
    struct Case {
        int page;
        std::string text;
        char replacement;
        std::string expected;
        bool lossy;
    } cases[] = {
        {1251, "a€b", 0,
         "a\x88"
         "b",
         false},  // the euro sign exists in CP1251 (0x88)
        {1251, "a中b", 0, "a?b", true},
        {1251, "a中😀b", '#', "a##b", true},
        {1252, "é", 0, "\xE9", false},
        {0,
         "a\xFF"
         "b",
         0,
         "a\xEF\xBF\xBD"
         "b",
         true},  // invalid UTF-8 into UTF-8
        {0,
         "a\xFF"
         "b",
         '*', "a*b", true},
        {0, "中", 0, "中", false},
    };
    for (const auto& c : cases) {
        std::string out;
        bool lossy = false;
        ASSERT_TRUE(Utf8ToCodePage(c.page, c.text, out, c.replacement, &lossy)) << c.text;
        EXPECT_EQ(out, c.expected) << c.text;
        EXPECT_EQ(lossy, c.lossy) << c.text;
    }
}

TEST(CodePage, UndefinedBytesDecodeToReplacement) {
    std::string out;
    bool lossy = false;
    // 0x98 is the one byte CP1251 leaves undefined.
    ASSERT_TRUE(CodePageToUtf8(1251, "a\x98z", out, &lossy));
    EXPECT_EQ(out, "a\xEF\xBF\xBDz");
    EXPECT_TRUE(lossy);
    EXPECT_FALSE(CodePageToUtf8(99999, "abc", out));
    EXPECT_TRUE(out.empty());
}

TEST(CodePage, Utf8Decoding) {
    struct Case {
        std::string in;
        std::string sanitized;
        bool valid;
    } cases[] = {
        {"abc", "abc", true},
        {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80", true},
        {"\xC0\x80", "\xEF\xBF\xBD", false},          // overlong NUL
        {"\xED\xA0\x80", "\xEF\xBF\xBD", false},      // encoded surrogate
        {"\xE2\x82\r", "\xEF\xBF\xBD\r", false},      // truncated, CR kept
        {"\x80x", "\xEF\xBF\xBDx", false},            // lone continuation
        {"\xF4\x90\x80\x80", "\xEF\xBF\xBD", false},  // above U+10FFFF
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SanitizeUtf8(c.in), c.sanitized);
        EXPECT_EQ(IsValidUtf8(c.in), c.valid);
    }
}

TEST(CodePage, Utf16RoundTripWithSurrogates) {
    std::string text = "A€😀я";
    std::u16string units = Utf8ToUtf16(text);
    EXPECT_EQ(units, u"A€😀я");
    EXPECT_EQ(Utf16ToUtf8(units), text);
    bool lossy = false;
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800)) + u"x", &lossy), "\xEF\xBF\xBDx");
    EXPECT_TRUE(lossy);
}

}  // namespace
}  // namespace zm::platform
