#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/MlsText.h"

namespace zm {
namespace {

TEST(MlsText, EncodesValuesForTheFileReader) {
    struct Case {
        const char* text;
        const char* stored;
    };
    const Case cases[] = {
        {"", " "},
        {"&File", " &File"},
        {"{&File}", " {&File}"},
        // Blanks at either end would be trimmed by the reader: quoted.
        {" lead", " ' lead'"},
        {"trail ", " 'trail '"},
        // A gap counts by the text inside its braces.
        {"{at: %s \t}", " '{at: %s \t}'"},
        {"{ x}", " '{ x}'"},
        {"{x}", " {x}"},
        {"{", " {"},
        {"at: %s \t", " 'at: %s \t'"},
        {"\tTab", " '\tTab'"},
        // A text enclosed in quotes would lose them to the reader: quoted once more.
        {"'x'", " ''x''"},
        {"\"x\"", " '\"x\"'"},
        {"'x\"", " 'x\""},
        {"a\r\nb\n", " a\\r\\nb\\n"},
        {"inner  blanks", " inner  blanks"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MlsEncodeValue(c.text), c.stored) << c.text;
    }
}

TEST(MlsText, DecodesLineBreakEscapes) {
    struct Case {
        const char* stored;
        const char* text;
    };
    const Case cases[] = {
        {"plain", "plain"},         {"a\\nb", "a\nb"},  {"a\\r\\nb", "a\r\nb"},
        {"\\t stays", "\\t stays"}, {"end\\", "end\\"}, {"\\\\n", "\\\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MlsDecodeValue(c.stored), c.text) << c.stored;
    }
    // What the encoder writes, read as the INI reader does (blanks and tabs trimmed, then one
    // pair of enclosing quotes stripped), decodes back to the text.
    auto read = [](std::string value) {
        value.erase(0, value.find_first_not_of(" \t"));
        value.erase(value.find_last_not_of(" \t") + 1);
        if (value.size() >= 2 && (value[0] == '\'' || value[0] == '"') &&
            value.back() == value[0]) {
            value = value.substr(1, value.size() - 2);
        }
        return value;
    };
    for (std::string text :
         {"x\r\ny", "{Connection lost at: %s \t}", "\n\n", " both ", "'q'", "\ttab", "", "{ }"}) {
        EXPECT_EQ(MlsDecodeValue(read(MlsEncodeValue(text))), text) << text;
    }
}

TEST(MlsText, OrdersByUtf16CodeUnits) {
    MlsTextLess less;
    EXPECT_TRUE(less("Menu", "ZorDevice"));
    EXPECT_TRUE(less("ZorDevice", "common_translations"));  // upper case before lower case
    EXPECT_TRUE(less("tpMenu", "tpMenu_"));
    EXPECT_FALSE(less("same", "same"));
    // U+1F600 is written with surrogates (D83D DE00) and so comes before U+FF01, although
    // its UTF-8 bytes (F0 ...) sort after those of U+FF01 (EF ...).
    const std::string emoji = "\xF0\x9F\x98\x80", fullwidth = "\xEF\xBC\x81";
    EXPECT_TRUE(less(emoji, fullwidth));
    EXPECT_FALSE(less(fullwidth, emoji));
    // Below the surrogate range the order is that of the code points.
    EXPECT_TRUE(less("z", "\xD0\x90"));
    std::vector<std::string> keys = {"tpMenu_Help", "tpAp_\xD0\x90larmForbidden",
                                     "tpAp_Use AlarmRelayAsOpen", "tpAp_UseAlarmEmulation",
                                     "tpMenu_About"};
    std::sort(keys.begin(), keys.end(), less);
    EXPECT_EQ(keys, (std::vector<std::string>{"tpAp_Use AlarmRelayAsOpen", "tpAp_UseAlarmEmulation",
                                              "tpAp_\xD0\x90larmForbidden", "tpMenu_About",
                                              "tpMenu_Help"}));
}

}  // namespace
}  // namespace zm
