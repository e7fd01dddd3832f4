#pragma once

#include <windows.h>

#include <string>

// UTF-8 inside the program, UTF-16 at every Windows call.
namespace zm::platform {

inline std::wstring Wide(const std::string& text) {
    if (text.empty())
        return {};
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

inline std::string Narrow(const std::wstring& text) {
    if (text.empty())
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

// A Windows path in the program's form: "/" between the parts.
inline std::string PortablePath(const std::wstring& path) {
    std::string out = Narrow(path);
    for (char& c : out)
        if (c == '\\')
            c = '/';
    return out;
}

}  // namespace zm::platform
