#include "base/MlsText.h"

#include <algorithm>
#include <cstdint>

namespace zm {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

bool IsQuote(char c) {
    return c == '\'' || c == '"';
}

// Next code point of UTF-8 text at pos (advancing pos); a malformed byte stands for itself.
uint32_t NextCodePoint(std::string_view s, size_t& pos) {
    auto byte = [&](size_t i) { return static_cast<uint8_t>(s[i]); };
    uint8_t lead = byte(pos);
    size_t length = lead < 0x80           ? 1
                    : (lead >> 5) == 0x6  ? 2
                    : (lead >> 4) == 0xE  ? 3
                    : (lead >> 3) == 0x1E ? 4
                                          : 0;
    if (length <= 1 || pos + length > s.size()) {
        ++pos;
        return lead;
    }
    uint32_t cp = lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        if ((byte(pos + i) & 0xC0) != 0x80) {
            ++pos;
            return lead;
        }
        cp = (cp << 6) | (byte(pos + i) & 0x3F);
    }
    pos += length;
    return cp;
}

// Maps a code point so that numeric order equals the order of its UTF-16 code units:
// characters beyond the basic plane are written with surrogates (D800-DFFF) and therefore
// sort before E000-FFFF.
uint32_t Utf16Rank(uint32_t cp) {
    if (cp < 0xD800) {
        return cp;
    }
    if (cp >= 0x10000) {
        return cp - 0x10000 + 0xD800;
    }
    return cp + 0x100000;
}

bool EndsInBlank(std::string_view text) {
    return !text.empty() && (IsBlank(text.front()) || IsBlank(text.back()));
}

}  // namespace

std::string MlsEncodeValue(std::string_view text) {
    // A gap is quoted by the text inside its braces too, as language files have always had
    // it; quoting is harmless to the reader either way.
    const bool gap = text.size() >= 2 && text.front() == '{' && text.back() == '}';
    const bool quote = EndsInBlank(text) || (gap && EndsInBlank(text.substr(1, text.size() - 2))) ||
                       (text.size() >= 2 && IsQuote(text.front()) && text.front() == text.back());
    std::string value = quote ? " '" : " ";
    for (char c : text) {
        if (c == '\n') {
            value += "\\n";
        } else if (c == '\r') {
            value += "\\r";
        } else {
            value += c;
        }
    }
    if (quote) {
        value += '\'';
    }
    return value;
}

std::string MlsDecodeValue(std::string_view stored) {
    std::string text;
    text.reserve(stored.size());
    for (size_t i = 0; i < stored.size(); ++i) {
        if (stored[i] == '\\' && i + 1 < stored.size() &&
            (stored[i + 1] == 'n' || stored[i + 1] == 'r')) {
            text += stored[i + 1] == 'n' ? '\n' : '\r';
            ++i;
        } else {
            text += stored[i];
        }
    }
    return text;
}

bool MlsTextLess::operator()(std::string_view a, std::string_view b) const {
    // Up to the first difference the texts are equal whatever the encoding; when that
    // difference lies between two ASCII bytes (or one text ends), bytes decide as well.
    auto [at, bt] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
    if (bt == b.end()) {
        return false;
    }
    if (at == a.end()) {
        return true;
    }
    if (static_cast<uint8_t>(*at) < 0x80 && static_cast<uint8_t>(*bt) < 0x80) {
        return static_cast<uint8_t>(*at) < static_cast<uint8_t>(*bt);
    }
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        uint32_t x = Utf16Rank(NextCodePoint(a, i));
        uint32_t y = Utf16Rank(NextCodePoint(b, j));
        if (x != y) {
            return x < y;
        }
    }
    return i >= a.size() && j < b.size();
}

}  // namespace zm
