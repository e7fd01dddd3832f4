#pragma once

#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace zm::test {

// Whole-file byte access for fixtures that compare exact bytes.
inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// ASCII/UTF-8 text as UTF-16 LE bytes (the characters used in fixtures are all in the BMP).
inline std::string Utf16Le(std::u16string_view text) {
    std::string out;
    for (char16_t u : text) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    }
    return out;
}

}  // namespace zm::test
