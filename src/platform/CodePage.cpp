#include "platform/CodePage.h"

#include <string>

namespace zm::platform {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

}  // namespace

char32_t DecodeUtf8(std::string_view text, size_t& pos, bool* bad) {
    auto fail = [&](size_t used) {
        pos += used;
        if (bad)
            *bad = true;
        return kReplacement;
    };
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char lead = byte(pos);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    size_t need;
    char32_t cp;
    char32_t min;
    if ((lead & 0xE0) == 0xC0) {
        need = 1, cp = lead & 0x1F, min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        need = 2, cp = lead & 0x0F, min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        need = 3, cp = lead & 0x07, min = 0x10000;
    } else {
        return fail(1);
    }
    size_t i = 1;
    for (; i <= need; ++i) {
        if (pos + i >= text.size() || (byte(pos + i) & 0xC0) != 0x80)
            return fail(i);
        cp = (cp << 6) | (byte(pos + i) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return fail(i);
    pos += i;
    return cp;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        cp = kReplacement;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string SanitizeUtf8(std::string_view text, bool* lossy) {
    std::string out;
    out.reserve(text.size());
    size_t pos = 0;
    while (pos < text.size()) {
        size_t start = pos;
        bool bad = false;
        char32_t cp = DecodeUtf8(text, pos, &bad);
        if (bad) {
            AppendUtf8(out, cp);
            if (lossy)
                *lossy = true;
        } else {
            out.append(text.substr(start, pos - start));
        }
    }
    return out;
}

bool IsValidUtf8(std::string_view text) {
    size_t pos = 0;
    bool bad = false;
    while (pos < text.size() && !bad)
        DecodeUtf8(text, pos, &bad);
    return !bad;
}

std::u16string Utf8ToUtf16(std::string_view text, bool* lossy) {
    std::u16string out;
    out.reserve(text.size());
    size_t pos = 0;
    while (pos < text.size()) {
        char32_t cp = DecodeUtf8(text, pos, lossy);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text, bool* lossy) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            unit = 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            unit = kReplacement;
            if (lossy)
                *lossy = true;
        }
        AppendUtf8(out, unit);
    }
    return out;
}

}  // namespace zm::platform
