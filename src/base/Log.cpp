#include "base/Log.h"

#include <limits>

#include "base/DateTimeText.h"
#include "base/Folders.h"
#include "base/Paths.h"
#include "base/Printf.h"
#include "base/SystemInfo.h"
#include "base/TextFile.h"
#include "base/Version.h"
#include "platform/ProcessInfo.h"

namespace zm {
namespace {

constexpr std::int64_t kNoEntry = std::numeric_limits<std::int64_t>::min();

constexpr const char* kBullet = "\xE2\x80\xA2 ";  // U+2022 and a blank

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    size_t at = 0;
    while ((at = text.find(from, at)) != std::string::npos) {
        text.replace(at, from.size(), to);
        at += to.size();
    }
}

}  // namespace

CLog::CLog() : lastEntryNs_(kNoEntry) {}

CLog::~CLog() {
    Close();
}

void CLog::SetFolder(const std::string& folder) {
    std::lock_guard lock(mutex_);
    folder_ = folder;
    if (!folder_.empty() && folder_.back() != '/') {
        folder_ += '/';
    }
}

std::string CLog::GetFolder() const {
    std::lock_guard lock(mutex_);
    return folder_;
}

bool CLog::Open(const std::string& name, bool overwrite) {
    std::lock_guard lock(mutex_);
    if (open_) {
        return true;
    }
    return OpenLocked(name, overwrite);
}

bool CLog::Reopen(const std::string& folder, const std::string& name) {
    std::lock_guard lock(mutex_);
    if (open_ && address_) {
        return true;
    }
    if (open_) {
        AppendTextFile(path_, "</body></html>", false, TextUtf8);
        open_ = false;
    }
    folder_ = folder;
    if (!folder_.empty() && folder_.back() != '/') {
        folder_ += '/';
    }
    return OpenLocked(name, false);
}

bool CLog::OpenLocked(const std::string& name, bool overwrite) {
    std::string path = folder_ + (name.empty() ? std::string("RunLog") : name) + ".html";
    NormalizePath(path);
    std::string text;
    if (overwrite || !FileExists(path)) {
        text = StrPrintf(
            "<html><head>\r\n<title>Log File</title>\r\n<meta http-equiv=\"Content-Type\" "
            "content=\"text/html; charset=%s\">\r\n<style type=\"text/css\"> "
            "body{background-color:Lavender; font-family:\"%s\";font-weight:bold; "
            "font-size:10px; color:black;}</style>\r\n</head>\r\n<body>\r\n<font "
            "size=\"4\"><u>Log File</u></font>\r\n",
            charset_.c_str(), font_.c_str());
    }
    text += StrPrintf("<hr/><font size=\"4\">%s</font><hr/>\r\n", LocalDateTimeC().c_str());
    path_ = path;
    address_ = false;
    open_ = AppendTextFile(path_, text, overwrite, TextUtf8);
    return open_;
}

void CLog::OpenAddress(const std::string& address) {
    std::lock_guard lock(mutex_);
    if (open_) {
        return;
    }
    path_ = address.empty() ? std::string(kDefaultAddress) : address;
    address_ = true;
    open_ = true;
}

void CLog::Close() {
    std::lock_guard lock(mutex_);
    if (!open_) {
        return;
    }
    if (!address_) {
        AppendTextFile(path_, "</body></html>", false, TextUtf8);
    }
    open_ = false;
}

std::string CLog::GetPath() const {
    std::lock_guard lock(mutex_);
    return path_;
}

void CLog::SetFont(const std::string& font) {
    std::lock_guard lock(mutex_);
    font_ = font;
}

void CLog::SetCharset(const std::string& charset) {
    std::lock_guard lock(mutex_);
    charset_ = charset;
}

void CLog::SetLineBreak(bool on) {
    std::lock_guard lock(mutex_);
    lineBreak_ = on;
}

void CLog::SetBullets(bool on) {
    std::lock_guard lock(mutex_);
    bullets_ = on;
}

void CLog::WriteEntryLocked(LogColor color, const std::string& body, bool lineBreak) {
    auto now = std::chrono::system_clock::now();
    lastEntryNs_ =
        std::chrono::duration_cast<std::chrono::nanoseconds>(now.time_since_epoch()).count();
    // The caller's part was formatted on its own and is wrapped here: the same bytes as
    // formatting the wrapped format, without ever using the wrapper text as a format.
    std::string text = StrPrintf("<font color=#%02X%02X%02X>", color & 0xFF, (color >> 8) & 0xFF,
                                 (color >> 16) & 0xFF) +
                       body + "</font>";
    if (text.find("<dt>") != std::string::npos) {
        std::string stamp = "<font color=blue>[" +
                            LocalDateTimeC(std::chrono::system_clock::to_time_t(now)) + "]</font>";
        ReplaceAll(text, "<dt>", stamp);
    }
    if (bullets_) {
        ReplaceAll(text, "<li>", kBullet);
        ReplaceAll(text, "</li>", "");
    }
    if (lineBreak && text.find("<br/>") == std::string::npos &&
        text.find("<hr/>") == std::string::npos) {
        text += "<br/>";
    }
    text += "\r\n";
    // A lost entry (file held by another program too long) is not retried; the next
    // entry tries again.
    AppendTextFile(path_, text, false, TextUtf8);
}

void CLog::AddColoredV(LogColor color, const char* format, va_list args) {
    if (!open_ || address_) {
        return;
    }
    std::string body = StrVPrintf(format, args);
    {
        std::lock_guard lock(mutex_);
        if (!open_ || address_) {  // closed meanwhile: nothing may follow the footer
            return;
        }
        WriteEntryLocked(color, body, lineBreak_);
    }
    NotifyViews();
}

void CLog::AddColored(LogColor color, const char* format, ...) {
    va_list args;
    va_start(args, format);
    AddColoredV(color, format, args);
    va_end(args);
}

void CLog::AddText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    AddColoredV(kLogBlack, format, args);
    va_end(args);
}

void CLog::AddWarning(const char* format, ...) {
    va_list args;
    va_start(args, format);
    AddColoredV(kLogOrange, format, args);
    va_end(args);
}

void CLog::AddError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    AddColoredV(kLogRed, format, args);
    va_end(args);
}

void CLog::AddSuccess(const char* format, ...) {
    va_list args;
    va_start(args, format);
    AddColoredV(kLogDarkGreen, format, args);
    va_end(args);
}

void CLog::AddResult(const std::string& name, int result, LogColor color) {
    if (!open_ || address_) {
        return;
    }
    LogColor statusColor = color;
    const char* status = "Done.";
    if (result == 0) {
        statusColor = kLogRed;
        status = "Error!";
    } else if (result >= 1) {
        statusColor = kLogDarkGreen;
        status = "Ok.";
    }
    {
        // The three parts make one line, so no other entry may come between them; the
        // line-break setting is passed rather than switched, so other writers keep theirs.
        std::lock_guard lock(mutex_);
        if (!open_ || address_) {
            return;
        }
        WriteEntryLocked(statusColor, "<li><dt>", false);
        WriteEntryLocked(color, StrPrintf(" %s ... ", name.c_str()), false);
        WriteEntryLocked(statusColor, StrPrintf("%s</li>", status), lineBreak_);
    }
    NotifyViews();
}

void CLog::AddStartupInfo() {
    std::string text = GetVersionText(true, true);
    text += StrPrintf("\r\nAppPath = \"%s\"", HtmlEscaped(platform::ExecutablePath()).c_str());
    text += StrPrintf("\r\nAppDataDir = \"%s\"", HtmlEscaped(GetAppDataFolder()).c_str());
    text += StrPrintf("\r\nAppUserDocsDir = \"%s\"", HtmlEscaped(GetUserDocsFolder()).c_str());
    text += StrPrintf("<hr/>%s<hr/>",
                      HtmlEscaped(GetSystemDescription(true, true, true, true)).c_str());
    text += StrPrintf("<li><dt> Application started (%s).</li>\r\n",
                      IsUserAdmin() ? "as administrator" : "as invoker");
    ReplaceAll(text, "\r\n", "<br/>\r\n");
    // The block holds folder names: it goes in as an argument, never as a format.
    AddColored(kLogDarkGreen, "%s", text.c_str());
}

std::optional<std::chrono::system_clock::time_point> CLog::GetLastEntryTime() const {
    std::int64_t ns = lastEntryNs_;
    if (ns == kNoEntry) {
        return std::nullopt;
    }
    return std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::nanoseconds(ns)));
}

bool CLog::AttachView(const void* view, ViewCallback onChanged) {
    std::lock_guard lock(viewsMutex_);
    for (const auto& known : views_) {
        if (known.id == view) {
            return false;
        }
    }
    views_.push_back({view, std::move(onChanged)});
    return true;
}

void CLog::DetachView(const void* view) {
    std::lock_guard lock(viewsMutex_);
    std::erase_if(views_, [view](const View& known) { return known.id == view; });
}

void CLog::NotifyViews() {
    std::lock_guard lock(viewsMutex_);
    // A callback may detach views; walk a copy of the list.
    auto views = views_;
    for (const auto& view : views) {
        if (view.onChanged) {
            view.onChanged();
        }
    }
}

std::string HtmlEscaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

}  // namespace zm
