#pragma once

#include <cstdarg>
#include <string>

namespace zm {

// printf-style formatting into a std::string. The format must be a string literal: the
// build turns -Wformat-nonliteral into an error, so text from outside (device names,
// settings, replies, translations) can only ever be an argument ("%s"), never a format.
[[gnu::format(printf, 1, 2)]] std::string StrPrintf(const char* format, ...);
[[gnu::format(printf, 1, 0)]] std::string StrVPrintf(const char* format, va_list args);

}  // namespace zm
