#pragma once

#include <string>
#include <string_view>

namespace zm::platform {

// Windows code page numbers as the settings and files name them. "ANSI" text is UTF-8 on
// this platform whatever the locale: a C/POSIX locale would otherwise turn every non-ASCII
// name into "?".
inline constexpr int kCodePageAnsi = 0;
inline constexpr int kCodePageUtf8 = 65001;

// The iconv name of a numbered code page ("CP1251", "UTF-8" for 0, -1 and 65001); empty for
// numbers no converter could know (other negative values).
std::string CodePageName(int codePage);

// True when iconv on this machine converts the code page.
bool IsCodePageAvailable(int codePage);

// Code page bytes to UTF-8. Bytes the code page does not define become U+FFFD and set
// *lossy. False (and nothing in out) when the code page cannot be converted at all.
bool CodePageToUtf8(int codePage, std::string_view bytes, std::string& out, bool* lossy = nullptr);

// UTF-8 to code page bytes. Characters the code page cannot express (and invalid UTF-8)
// become the replacement character (0 = '?', or U+FFFD when the target is UTF-8) and set
// *lossy. False (and nothing in out) when the code page cannot be converted at all.
bool Utf8ToCodePage(int codePage, std::string_view utf8, std::string& out, char replacement = 0,
                    bool* lossy = nullptr);

// One code point from UTF-8 at pos, advancing pos. Invalid, overlong, surrogate and
// truncated sequences give U+FFFD and advance past the bad bytes only (never past a byte
// that could start the next character).
char32_t DecodeUtf8(std::string_view text, size_t& pos, bool* bad = nullptr);

// Appends the UTF-8 form of a code point; surrogates and values above U+10FFFF give U+FFFD.
void AppendUtf8(std::string& out, char32_t codePoint);

// UTF-8 with every invalid sequence replaced by U+FFFD.
std::string SanitizeUtf8(std::string_view text, bool* lossy = nullptr);
bool IsValidUtf8(std::string_view text);

// UTF-8 <-> UTF-16 code units (host order). Lone surrogates and invalid UTF-8 give U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text, bool* lossy = nullptr);
std::string Utf16ToUtf8(std::u16string_view text, bool* lossy = nullptr);

}  // namespace zm::platform
