#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace zm {

// The value of a language file entry as written: one blank, then the text with LF as the
// two characters \n and CR as \r. A text the file reader would not give back whole (one
// beginning or ending with a blank or tab, or enclosed in a pair of quotes) is put in
// single quotes, and so is a gap "{...}" whose inner text begins or ends with a blank; the
// reader strips blanks and one pair of enclosing quotes.
std::string MlsEncodeValue(std::string_view text);

// A value as read from a language file (blanks and quotes already stripped by the reader):
// the two characters \n become LF and \r become CR.
std::string MlsDecodeValue(std::string_view stored);

// Orders texts by their UTF-16 code units, as language files have always been sorted, while
// the texts themselves stay UTF-8. Transparent, so lookups need not build strings.
struct MlsTextLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
};

// (section, key) pairs: section first, then key, each by MlsTextLess.
struct MlsPairLess {
    using is_transparent = void;
    template <typename A, typename B>
    bool operator()(const A& a, const B& b) const {
        MlsTextLess less;
        std::string_view aFirst = a.first, bFirst = b.first;
        if (less(aFirst, bFirst)) {
            return true;
        }
        if (less(bFirst, aFirst)) {
            return false;
        }
        return less(std::string_view(a.second), std::string_view(b.second));
    }
};

}  // namespace zm
