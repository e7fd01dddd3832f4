// Numbered code pages through the system's own tables; the "ANSI" page is the system's
// code page (GetACP), as the stored files of earlier installations were written in it.
#include "platform/CodePage.h"

#include <windows.h>

namespace zm::platform {

namespace {

UINT PageOf(int codePage) {
    return codePage == kCodePageAnsi || codePage == -1 ? GetACP() : static_cast<UINT>(codePage);
}

}  // namespace

std::string CodePageName(int codePage) {
    if (codePage < -1)
        return {};
    return "CP" + std::to_string(PageOf(codePage));
}

bool IsCodePageAvailable(int codePage) {
    return codePage >= -1 && IsValidCodePage(PageOf(codePage)) != 0;
}

bool CodePageToUtf8(int codePage, std::string_view bytes, std::string& out, bool* lossy) {
    out.clear();
    const UINT page = PageOf(codePage);
    if (page == CP_UTF8) {
        out = SanitizeUtf8(bytes, lossy);
        return true;
    }
    if (!IsValidCodePage(page))
        return false;
    if (bytes.empty())
        return true;
    const int size = static_cast<int>(bytes.size());
    int n = MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
    if (n == 0) {
        // Bytes the page does not define: convert with the system's replacements.
        if (lossy)
            *lossy = true;
        n = MultiByteToWideChar(page, 0, bytes.data(), size, nullptr, 0);
    }
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(page, 0, bytes.data(), size, wide.data(), n);
    std::u16string units(wide.begin(), wide.end());
    out = Utf16ToUtf8(units, lossy);
    return true;
}

bool Utf8ToCodePage(int codePage, std::string_view utf8, std::string& out, char replacement,
                    bool* lossy) {
    out.clear();
    const UINT page = PageOf(codePage);
    if (page == CP_UTF8) {
        out = SanitizeUtf8(utf8, lossy);
        return true;
    }
    if (!IsValidCodePage(page))
        return false;
    const std::u16string units = Utf8ToUtf16(utf8, lossy);
    if (units.empty())
        return true;
    const std::wstring wide(units.begin(), units.end());
    const char defaultChar[2] = {replacement != 0 ? replacement : '?', '\0'};
    BOOL usedDefault = FALSE;
    const int size = static_cast<int>(wide.size());
    const int n =
        WideCharToMultiByte(page, 0, wide.data(), size, nullptr, 0, defaultChar, &usedDefault);
    out.assign(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(page, 0, wide.data(), size, out.data(), n, defaultChar, &usedDefault);
    if (usedDefault && lossy)
        *lossy = true;
    return true;
}

}  // namespace zm::platform
