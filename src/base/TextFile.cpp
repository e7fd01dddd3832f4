#include "base/TextFile.h"

#include "platform/CodePage.h"
#include "platform/FileIo.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>

namespace zm {

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr int kOpenAttempts = 5;
constexpr auto kOpenRetryPause = std::chrono::milliseconds(10);
// Longest wait for another thread's append to the same file before trying regardless.
constexpr auto kTurnWait = std::chrono::seconds(2);

bool IsHighSurrogate(char32_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLowSurrogate(char32_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

}  // namespace

std::string_view ByteOrderMark(TextEncoding encoding) {
    switch (encoding) {
        case TextUtf8:
            return "\xEF\xBB\xBF";
        case TextUtf16Be:
            return "\xFE\xFF";
        case TextUtf16Le:
            return "\xFF\xFE";
        default:
            return {};
    }
}

CTextFileBase::~CTextFileBase() {
    CTextFileBase::Close();
}

void CTextFileBase::Close() {
    if (fd_ >= 0 && ownsFile_)
        platform::CloseFile(fd_);
    fd_ = -1;
    ownsFile_ = false;
}

// ---- reader ----

CTextFileRead::CTextFileRead(const std::string& path) {
    fd_ = path.empty() ? -1 : platform::OpenForRead(path);
    if (fd_ >= 0) {
        std::optional<platform::FileInfo> info = platform::FileInfoOf(fd_);
        if (!info || info->isDirectory) {
            platform::CloseFile(fd_);
            fd_ = -1;
        }
    }
    if (fd_ < 0) {
        endOfFile_ = true;
        return;
    }
    ownsFile_ = true;
    DetectEncoding();
}

CTextFileRead::~CTextFileRead() {
    Close();
}

void CTextFileRead::DetectEncoding() {
    unsigned char b0 = 0, b1 = 0, b2 = 0;
    bool two = ReadByte(b0) && ReadByte(b1);
    if (two && b0 == 0xFF && b1 == 0xFE) {
        encoding_ = TextUtf16Le;
    } else if (two && b0 == 0xFE && b1 == 0xFF) {
        encoding_ = TextUtf16Be;
    } else if (two && b0 == 0xEF && b1 == 0xBB && ReadByte(b2) && b2 == 0xBF) {
        encoding_ = TextUtf8;
    } else {
        encoding_ = TextAnsi;
        platform::RewindFile(fd_);
        position_ = -1;
        filled_ = 0;
        endOfFile_ = false;
    }
    pushedBack_ = false;
    firstLine_ = true;
}

bool CTextFileRead::ReadByte(unsigned char& byte) {
    if (fd_ < 0) {
        endOfFile_ = true;
        return false;
    }
    if (position_ + 1 >= filled_) {
        long n = platform::ReadFile(fd_, buffer_.data(), buffer_.size());
        if (n <= 0) {
            endOfFile_ = true;
            return false;
        }
        filled_ = static_cast<int>(n);
        position_ = -1;
    }
    ++position_;
    byte = static_cast<unsigned char>(buffer_[static_cast<size_t>(position_)]);
    return true;
}

bool CTextFileRead::ReadUnit(char32_t& unit) {
    if (pendingUnit_ >= 0) {
        unit = static_cast<char32_t>(pendingUnit_);
        pendingUnit_ = -1;
        return true;
    }
    unsigned char first = 0, second = 0;
    if (!ReadByte(first))
        return false;
    if (!ReadByte(second)) {
        unit = kReplacement;  // a lone trailing byte
        return true;
    }
    unit = encoding_ == TextUtf16Le ? static_cast<char32_t>(first | (second << 8))
                                    : static_cast<char32_t>((first << 8) | second);
    return true;
}

bool CTextFileRead::ReadChar(char32_t& c) {
    if (pushedBack_) {
        pushedBack_ = false;
        c = pushedChar_;
        return true;
    }
    if (encoding_ == TextAnsi) {
        unsigned char b = 0;
        if (!ReadByte(b))
            return false;
        c = b;  // converted with the code page once the line is whole
        return true;
    }
    if (encoding_ == TextUtf16Le || encoding_ == TextUtf16Be) {
        if (!ReadUnit(c))
            return false;
        if (IsLowSurrogate(c)) {
            c = kReplacement;
        } else if (IsHighSurrogate(c)) {
            char32_t low = 0;
            if (!ReadUnit(low)) {
                c = kReplacement;
            } else if (IsLowSurrogate(low)) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            } else {
                pendingUnit_ = static_cast<int>(low);
                c = kReplacement;
            }
        }
        return true;
    }
    // UTF-8: whole four-byte sequences are decoded (the internal form is UTF-8), and a
    // surrogate pair written as two three-byte sequences by older writers is joined.
    auto decode = [this](char32_t& out) -> bool {
        unsigned char lead = 0;
        if (!ReadByte(lead))
            return false;
        if (lead < 0x80) {
            out = lead;
            return true;
        }
        int need;
        char32_t min;
        if ((lead & 0xE0) == 0xC0) {
            need = 1, out = lead & 0x1F, min = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            need = 2, out = lead & 0x0F, min = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            need = 3, out = lead & 0x07, min = 0x10000;
        } else {
            out = kReplacement;
            return true;
        }
        for (int i = 0; i < need; ++i) {
            unsigned char next = 0;
            if (!ReadByte(next)) {
                out = kReplacement;
                return true;
            }
            if ((next & 0xC0) != 0x80) {
                --position_;  // not ours: it starts the next character (maybe a CR)
                out = kReplacement;
                return true;
            }
            out = (out << 6) | (next & 0x3F);
        }
        if (out < min || out > 0x10FFFF)
            out = kReplacement;
        return true;
    };
    if (!decode(c))
        return false;
    if (IsLowSurrogate(c)) {
        c = kReplacement;
    } else if (IsHighSurrogate(c)) {
        char32_t low = 0;
        if (!decode(low)) {
            c = kReplacement;
        } else if (IsLowSurrogate(low)) {
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        } else {
            pushedChar_ = IsHighSurrogate(low) ? kReplacement : low;
            pushedBack_ = true;
            c = kReplacement;
        }
    }
    return true;
}

bool CTextFileRead::ReadLine(std::string& line) {
    line.clear();
    if (endOfFile_ && !pushedBack_ && pendingUnit_ < 0)
        return false;
    char32_t c = 0;
    bool got = ReadChar(c);
    if (firstLine_) {
        firstLine_ = false;
    } else {
        if (got && c == '\r')
            got = ReadChar(c);
        if (got && c == '\n')
            got = ReadChar(c);
    }
    std::string bytes;
    while (got && c != '\r' && c != '\n') {
        if (encoding_ == TextAnsi)
            bytes += static_cast<char>(c);
        else
            platform::AppendUtf8(line, c);
        got = ReadChar(c);
    }
    if (got) {
        pushedChar_ = c;
        pushedBack_ = true;
    }
    if (encoding_ == TextAnsi && !bytes.empty()) {
        bool lossy = false;
        if (!platform::CodePageToUtf8(codePage_, bytes, line, &lossy))
            platform::CodePageToUtf8(platform::kCodePageAnsi, bytes, line, &lossy);
        lossy_ = lossy_ || lossy;
    }
    return true;
}

bool CTextFileRead::ReadAll(std::string& text, std::string_view separator) {
    text.clear();
    if (!IsOpen())
        return false;
    std::optional<platform::FileInfo> info = platform::FileInfoOf(fd_);
    if (info && info->size > 0)
        text.reserve(static_cast<size_t>(info->size) + 2);
    std::string line;
    bool first = true;
    while (ReadLine(line)) {
        if (!first)
            text.append(separator);
        first = false;
        text += line;
    }
    return true;
}

// ---- writer ----

CTextFileWrite::CTextFileWrite(int fd, TextEncoding encoding) {
    fd_ = fd;
    ownsFile_ = false;
    encoding_ = encoding;
    PutBytes(ByteOrderMark(encoding));
}

CTextFileWrite::~CTextFileWrite() {
    Close();
}

void CTextFileWrite::PutByte(char byte) {
    if (position_ + 1 >= kBufferSize)
        Flush();
    buffer_[static_cast<size_t>(++position_)] = byte;
}

void CTextFileWrite::PutBytes(std::string_view bytes) {
    for (char b : bytes)
        PutByte(b);
}

void CTextFileWrite::WriteString(std::string_view text) {
    switch (encoding_) {
        case TextUtf8:
            PutBytes(platform::SanitizeUtf8(text));
            break;
        case TextUtf16Le:
        case TextUtf16Be: {
            bool le = encoding_ == TextUtf16Le;
            for (char16_t unit : platform::Utf8ToUtf16(text)) {
                char lo = static_cast<char>(unit & 0xFF);
                char hi = static_cast<char>(unit >> 8);
                PutByte(le ? lo : hi);
                PutByte(le ? hi : lo);
            }
            break;
        }
        default: {
            std::string bytes;
            bool lossy = false;
            if (!platform::Utf8ToCodePage(codePage_, text, bytes, replacement_, &lossy)) {
                // A code page this system cannot convert: keep the text rather than drop it.
                platform::Utf8ToCodePage(platform::kCodePageAnsi, text, bytes, replacement_,
                                         &lossy);
                lossy = true;
            }
            lossy_ = lossy_ || lossy;
            PutBytes(bytes);
            break;
        }
    }
}

bool CTextFileWrite::Flush() {
    if (position_ >= 0) {
        if (fd_ < 0 ||
            !platform::WriteFile(fd_, buffer_.data(), static_cast<size_t>(position_ + 1)))
            failed_ = true;
        position_ = -1;
    }
    return !failed_;
}

void CTextFileWrite::Close() {
    Flush();
    CTextFileBase::Close();
}

// ---- whole-file helpers ----

bool ReadTextFile(const std::string& path, std::string& text) {
    CTextFileRead reader(path);
    return reader.ReadAll(text, "\r\n");
}

bool AppendTextFile(const std::string& path, std::string_view text, bool truncate,
                    TextEncoding encoding) {
    if (path.empty())
        return false;
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        if (!std::filesystem::is_directory(folder, ec))
            return false;
    }
    // Appenders of this process take turns on a mutex first, so threads sharing a log never
    // use up each other's attempts; the attempts are for other processes.
    static std::array<std::timed_mutex, 64> stripes;
    std::unique_lock turn(stripes[std::hash<std::string>{}(path) % stripes.size()],
                          std::defer_lock);
    (void)turn.try_lock_for(kTurnWait);
    // Another writer holds the file while it holds an exclusive lock on it; wait for it
    // five times 10 ms apart, as a shared-mode open would on the original platform.
    int fd = -1;
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        if (attempt > 0)
            std::this_thread::sleep_for(kOpenRetryPause);
        fd = platform::OpenForWrite(path, 0666);
        if (fd < 0)
            continue;
        if (platform::TryLockFile(fd))
            break;
        platform::CloseFile(fd);
        fd = -1;
    }
    if (fd < 0)
        return false;
    // Truncation waits for the lock, so a writer still busy is never cut short.
    if (truncate && !platform::TruncateFile(fd, 0)) {
        platform::CloseFile(fd);
        return false;
    }
    int64_t end = platform::SeekFileEnd(fd);
    bool ok = end >= 0;
    if (ok) {
        CTextFileWrite writer(fd, encoding);
        writer.WriteString(text);
        ok = writer.Flush();
        writer.Close();
        // A half-written entry would corrupt the next one too: cut it back off.
        if (!ok && !platform::TruncateFile(fd, end))
            ok = false;
    }
    platform::CloseFile(fd);
    return ok;
}

bool IsAnsiFile(const std::string& path) {
    CTextFileRead reader(path);
    return reader.GetEncoding() == TextAnsi;
}

}  // namespace zm
