#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// Language files written and read independently of the INI class, so the tests check the
// bytes on disk rather than the class against itself.
namespace zm::test {

inline std::u16string Utf8To16(const std::string& s) {
    std::u16string out;
    for (size_t i = 0; i < s.size();) {
        auto b = static_cast<uint8_t>(s[i]);
        uint32_t cp;
        size_t n;
        if (b < 0x80) {
            cp = b, n = 1;
        } else if ((b >> 5) == 6) {
            cp = b & 0x1F, n = 2;
        } else if ((b >> 4) == 14) {
            cp = b & 0x0F, n = 3;
        } else {
            cp = b & 0x07, n = 4;
        }
        for (size_t k = 1; k < n; ++k) {
            cp = (cp << 6) | (static_cast<uint8_t>(s[i + k]) & 0x3F);
        }
        i += n;
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

inline std::string Utf16To8(const std::u16string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        uint32_t cp = s[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < s.size()) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[++i] - 0xDC00);
        }
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
    return out;
}

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// Writes lines as a Windows-style INI file: UTF-16 LE with byte-order mark, CR LF.
inline void WriteUtf16Lines(const std::string& path, const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) {
        text += line + "\r\n";
    }
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : Utf8To16(text)) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    WriteBytes(path, bytes);
}

// Reads a UTF-16 LE file with byte-order mark back into its lines (UTF-8, CR LF removed).
// An empty result with ok=false means the file is missing or not in that form.
inline std::vector<std::string> ReadUtf16Lines(const std::string& path, bool* ok = nullptr) {
    std::string bytes = ReadBytes(path);
    bool good =
        bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE' && bytes.size() % 2 == 0;
    if (ok) {
        *ok = good;
    }
    std::vector<std::string> lines;
    if (!good) {
        return lines;
    }
    std::u16string units;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        units += static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) |
                                       (static_cast<uint8_t>(bytes[i + 1]) << 8));
    }
    std::string text = Utf16To8(units);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

}  // namespace zm::test
