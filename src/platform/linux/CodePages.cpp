// Numbered Windows code pages through iconv; the "ANSI" page is UTF-8 here.
#include "platform/CodePage.h"

#include <iconv.h>

#include <cerrno>
#include <string>

namespace zm::platform {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsUtf8Page(int codePage) {
    return codePage == kCodePageAnsi || codePage == -1 || codePage == kCodePageUtf8;
}

// Owns one iconv descriptor for the length of a conversion.
class Converter {
  public:
    Converter(const std::string& to, const std::string& from)
        : cd_(iconv_open(to.c_str(), from.c_str())) {}
    ~Converter() {
        if (ok())
            iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts as much as possible; returns the errno that stopped it (0 at the end).
    int Run(const char*& in, size_t& inLeft, std::string& out) {
        char buffer[4096];
        while (inLeft > 0) {
            char* inPtr = const_cast<char*>(in);
            char* outPtr = buffer;
            size_t outLeft = sizeof buffer;
            size_t rc = iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft);
            int err = rc == static_cast<size_t>(-1) ? errno : 0;
            in = inPtr;
            out.append(buffer, static_cast<size_t>(outPtr - buffer));
            if (err == E2BIG)
                continue;
            if (err != 0)
                return err;
        }
        return 0;
    }

  private:
    iconv_t cd_;
};

}  // namespace

std::string CodePageName(int codePage) {
    if (IsUtf8Page(codePage))
        return "UTF-8";
    if (codePage < 0)
        return {};
    switch (codePage) {
        case 1200:
            return "UTF-16LE";
        case 1201:
            return "UTF-16BE";
        case 20127:
            return "ASCII";
        case 20866:
            return "KOI8-R";
        case 21866:
            return "KOI8-U";
        case 28605:
            return "ISO-8859-15";
        default:
            break;
    }
    if (codePage >= 28591 && codePage <= 28599)
        return "ISO-8859-" + std::to_string(codePage - 28590);
    return "CP" + std::to_string(codePage);
}

bool IsCodePageAvailable(int codePage) {
    std::string name = CodePageName(codePage);
    if (name.empty())
        return false;
    Converter probe("UTF-8", name);
    return probe.ok();
}

bool CodePageToUtf8(int codePage, std::string_view bytes, std::string& out, bool* lossy) {
    out.clear();
    if (IsUtf8Page(codePage)) {
        out = SanitizeUtf8(bytes, lossy);
        return true;
    }
    std::string name = CodePageName(codePage);
    if (name.empty())
        return false;
    Converter conv("UTF-8", name);
    if (!conv.ok())
        return false;
    const char* in = bytes.data();
    size_t inLeft = bytes.size();
    while (int err = conv.Run(in, inLeft, out)) {
        if (err != EILSEQ && err != EINVAL) {
            out.clear();
            return false;
        }
        // A byte the code page does not define (or a truncated multi-byte sequence).
        AppendUtf8(out, kReplacement);
        if (lossy)
            *lossy = true;
        ++in;
        --inLeft;
    }
    return true;
}

bool Utf8ToCodePage(int codePage, std::string_view utf8, std::string& out, char replacement,
                    bool* lossy) {
    out.clear();
    if (IsUtf8Page(codePage)) {
        bool bad = false;
        out = SanitizeUtf8(utf8, &bad);
        if (bad) {
            if (lossy)
                *lossy = true;
            if (replacement != 0) {
                // Honour the caller's replacement character in place of U+FFFD.
                out.clear();
                size_t pos = 0;
                while (pos < utf8.size()) {
                    size_t start = pos;
                    bool wrong = false;
                    DecodeUtf8(utf8, pos, &wrong);
                    if (wrong)
                        out += replacement;
                    else
                        out.append(utf8.substr(start, pos - start));
                }
            }
        }
        return true;
    }
    std::string name = CodePageName(codePage);
    if (name.empty())
        return false;
    Converter conv(name, "UTF-8");
    if (!conv.ok())
        return false;
    const char rep = replacement != 0 ? replacement : '?';
    const char* in = utf8.data();
    size_t inLeft = utf8.size();
    while (int err = conv.Run(in, inLeft, out)) {
        if (err != EILSEQ && err != EINVAL) {
            out.clear();
            return false;
        }
        // Skip the whole character that could not be expressed (or the invalid bytes).
        size_t pos = static_cast<size_t>(in - utf8.data());
        size_t next = pos;
        DecodeUtf8(utf8, next);
        out += rep;
        if (lossy)
            *lossy = true;
        in += next - pos;
        inLeft -= next - pos;
    }
    return true;
}

}  // namespace zm::platform
