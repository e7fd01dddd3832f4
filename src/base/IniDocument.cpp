#include "base/IniDocument.h"

#include "platform/CodePage.h"

#include <utility>

namespace zm {

namespace {

char32_t FoldCase(char32_t c) {
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? c + 0x20 : c;
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3AB && c != 0x3A2) ||
        (c >= 0x410 && c <= 0x42F))
        return c + 0x20;
    if (c >= 0x400 && c <= 0x40F)
        return c + 0x50;
    if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 &&
        c != 0x17F) {
        // Latin Extended-A pairs: even upper/odd lower, except the 0x139-0x148 and
        // 0x179-0x17E runs that pair odd upper/even lower.
        bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (oddUpper)
            return (c % 2 == 1) ? c + 1 : c;
        return (c % 2 == 0) ? c + 1 : c;
    }
    return c;
}

std::string_view TrimBlanks(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t'))
        --e;
    return s.substr(b, e - b);
}

// The section name of a header line, or false when the line is not a header.
bool HeaderName(std::string_view line, std::string_view& name) {
    std::string_view t = TrimBlanks(line);
    if (t.empty() || t.front() != '[')
        return false;
    t.remove_prefix(1);
    size_t close = t.find(']');
    name = TrimBlanks(close == std::string_view::npos ? t : t.substr(0, close));
    return true;
}

// The key of an entry line (text before the first "=", trimmed), or false.
bool EntryKey(std::string_view line, std::string_view& key, size_t& eq) {
    eq = line.find('=');
    if (eq == std::string_view::npos)
        return false;
    key = TrimBlanks(line.substr(0, eq));
    return !key.empty();
}

bool HasLineBreakOrNul(std::string_view s) {
    return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

}  // namespace

bool IniNamesEqual(std::string_view a, std::string_view b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        unsigned char ca = static_cast<unsigned char>(a[i]);
        unsigned char cb = static_cast<unsigned char>(b[j]);
        if (ca < 0x80 && cb < 0x80) {
            if (FoldCase(ca) != FoldCase(cb))
                return false;
            ++i, ++j;
            continue;
        }
        if (FoldCase(platform::DecodeUtf8(a, i)) != FoldCase(platform::DecodeUtf8(b, j)))
            return false;
    }
    return i == a.size() && j == b.size();
}

std::string_view IniTrim(std::string_view text) {
    return TrimBlanks(text);
}

CIniDocument CIniDocument::Parse(std::string_view bytes) {
    CIniDocument doc;
    if (bytes.empty())
        return doc;
    size_t start = 0;
    if (bytes.starts_with("\xFF\xFE")) {
        doc.encoding_ = TextUtf16Le, start = 2;
    } else if (bytes.starts_with("\xFE\xFF")) {
        doc.encoding_ = TextUtf16Be, start = 2;
    } else if (bytes.starts_with("\xEF\xBB\xBF")) {
        doc.encoding_ = TextUtf8, start = 3;
    } else {
        doc.encoding_ = TextAnsi;
    }
    const bool wide = doc.encoding_ == TextUtf16Le || doc.encoding_ == TextUtf16Be;
    const size_t unit = wide ? 2 : 1;
    auto unitAt = [&](size_t i) -> unsigned {
        if (!wide)
            return static_cast<unsigned char>(bytes[i]);
        if (i + 1 >= bytes.size()) {
            // A lone trailing byte counts as the unit it makes with a zero byte, as the line
            // reader and Serialize take it (so a lone CR ends the last line).
            unsigned lone = static_cast<unsigned char>(bytes[i]);
            return doc.encoding_ == TextUtf16Le ? lone : (lone << 8);
        }
        unsigned lo = static_cast<unsigned char>(bytes[doc.encoding_ == TextUtf16Le ? i : i + 1]);
        unsigned hi = static_cast<unsigned char>(bytes[doc.encoding_ == TextUtf16Le ? i + 1 : i]);
        return lo | (hi << 8);
    };
    size_t lineStart = start;
    size_t i = start;
    while (i < bytes.size()) {
        unsigned u = unitAt(i);
        if (u == '\r' || u == '\n') {
            doc.AppendLine(bytes.substr(lineStart, i - lineStart));
            i += unit;
            if (u == '\r' && i < bytes.size() && unitAt(i) == '\n')
                i += unit;
            lineStart = i;
        } else {
            i += unit;
        }
    }
    if (lineStart < bytes.size())
        doc.AppendLine(bytes.substr(lineStart));
    return doc;
}

void CIniDocument::AppendLine(std::string_view bytes) {
    Line line;
    bool lossy = false;
    switch (encoding_) {
        case TextUtf16Le:
        case TextUtf16Be: {
            std::u16string units;
            units.reserve(bytes.size() / 2 + 1);
            for (size_t i = 0; i < bytes.size(); i += 2) {
                if (i + 1 >= bytes.size()) {
                    // A lone last byte reads as the unit it makes with the zero byte that
                    // Serialize puts after it, so the text stays the same from save to save.
                    const unsigned a = static_cast<unsigned char>(bytes[i]);
                    units += static_cast<char16_t>(encoding_ == TextUtf16Le ? a : (a << 8));
                    lossy = true;
                    break;
                }
                unsigned a = static_cast<unsigned char>(bytes[i]);
                unsigned b = static_cast<unsigned char>(bytes[i + 1]);
                units += static_cast<char16_t>(encoding_ == TextUtf16Le ? (a | (b << 8))
                                                                        : ((a << 8) | b));
            }
            line.text = platform::Utf16ToUtf8(units, &lossy);
            break;
        }
        default:
            line.text = platform::SanitizeUtf8(bytes, &lossy);
            break;
    }
    if (lossy) {
        line.raw.assign(bytes);
        line.keepRaw = true;
    }
    std::string_view name;
    if (HeaderName(line.text, name)) {
        Section section;
        section.name.assign(name);
        section.header = std::move(line);
        sections_.push_back(std::move(section));
    } else if (sections_.empty()) {
        preamble_.push_back(std::move(line));
    } else {
        sections_.back().lines.push_back(std::move(line));
    }
}

std::string CIniDocument::Serialize() const {
    std::string out(ByteOrderMark(encoding_));
    std::string crlf;
    auto encode = [&](std::string_view text) {
        switch (encoding_) {
            case TextUtf16Le:
            case TextUtf16Be:
                for (char16_t u : platform::Utf8ToUtf16(text)) {
                    char lo = static_cast<char>(u & 0xFF), hi = static_cast<char>(u >> 8);
                    out += encoding_ == TextUtf16Le ? lo : hi;
                    out += encoding_ == TextUtf16Le ? hi : lo;
                }
                break;
            default:
                out += text;
                break;
        }
    };
    const bool wide = encoding_ == TextUtf16Le || encoding_ == TextUtf16Be;
    auto put = [&](const Line& line) {
        if (line.keepRaw) {
            out += line.raw;
            // A damaged UTF-16 file may end in a lone byte; without a byte to complete its
            // unit every line end written after it would be read one byte off.
            if (wide && line.raw.size() % 2 != 0)
                out += '\0';
        } else {
            encode(line.text);
        }
        encode("\r\n");
    };
    for (const Line& line : preamble_)
        put(line);
    for (const Section& section : sections_) {
        put(section.header);
        for (const Line& line : section.lines)
            put(line);
    }
    return out;
}

const CIniDocument::Section* CIniDocument::Find(std::string_view section) const {
    std::string_view wanted = TrimBlanks(section);
    for (const Section& s : sections_)
        if (IniNamesEqual(s.name, wanted))
            return &s;
    return nullptr;
}

CIniDocument::Section* CIniDocument::Find(std::string_view section) {
    return const_cast<Section*>(std::as_const(*this).Find(section));
}

bool CIniDocument::GetValue(std::string_view section, std::string_view key,
                            std::string& value) const {
    const Section* s = Find(section);
    if (!s)
        return false;
    std::string_view wanted = TrimBlanks(key);
    for (const Line& line : s->lines) {
        std::string_view k;
        size_t eq = 0;
        if (!EntryKey(line.text, k, eq) || !IniNamesEqual(k, wanted))
            continue;
        std::string_view v = TrimBlanks(std::string_view(line.text).substr(eq + 1));
        if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
            v = v.substr(1, v.size() - 2);
        value.assign(v);
        return true;
    }
    return false;
}

CIniDocument::Change CIniDocument::SetValue(std::string_view section, std::string_view key,
                                            std::string_view value) {
    std::string_view name = TrimBlanks(section);
    std::string_view wantedKey = TrimBlanks(key);
    if (name.empty() || wantedKey.empty() || HasLineBreakOrNul(section) || HasLineBreakOrNul(key) ||
        HasLineBreakOrNul(value) || name.find(']') != std::string_view::npos ||
        key.find('=') != std::string_view::npos || wantedKey.front() == '[')
        return Change::Refused;
    std::string entry;
    Section* s = Find(name);
    if (!s) {
        Section added;
        added.name.assign(name);
        added.header.text = "[" + std::string(name) + "]";
        entry.assign(wantedKey).append("=").append(value);
        added.lines.push_back(Line{entry, {}, false});
        sections_.push_back(std::move(added));
        return Change::Changed;
    }
    for (Line& line : s->lines) {
        std::string_view k;
        size_t eq = 0;
        if (!EntryKey(line.text, k, eq) || !IniNamesEqual(k, wantedKey))
            continue;
        entry.assign(k).append("=").append(value);
        if (!line.keepRaw && line.text == entry)
            return Change::Unchanged;
        line = Line{entry, {}, false};
        return Change::Changed;
    }
    // New key after the section's last non-blank line, so blank separators stay in place.
    size_t at = s->lines.size();
    while (at > 0 && TrimBlanks(s->lines[at - 1].text).empty())
        --at;
    entry.assign(wantedKey).append("=").append(value);
    s->lines.insert(s->lines.begin() + static_cast<std::ptrdiff_t>(at), Line{entry, {}, false});
    return Change::Changed;
}

CIniDocument::Change CIniDocument::DeleteSection(std::string_view section) {
    std::string_view wanted = TrimBlanks(section);
    size_t before = sections_.size();
    std::erase_if(sections_, [&](const Section& s) { return IniNamesEqual(s.name, wanted); });
    return sections_.size() == before ? Change::Unchanged : Change::Changed;
}

bool CIniDocument::HasSection(std::string_view section) const {
    return Find(section) != nullptr;
}

std::vector<std::string> CIniDocument::SectionNames() const {
    std::vector<std::string> names;
    names.reserve(sections_.size());
    for (const Section& s : sections_)
        names.push_back(s.name);
    return names;
}

std::vector<std::string> CIniDocument::SectionLines(std::string_view section) const {
    std::vector<std::string> lines;
    if (const Section* s = Find(section)) {
        lines.reserve(s->lines.size());
        for (const Line& line : s->lines)
            lines.push_back(line.text);
    }
    return lines;
}

}  // namespace zm
