#pragma once

#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zm {

// Colours of log entries as the platform's COLORREF: red in the low byte.
using LogColor = std::uint32_t;
constexpr LogColor Rgb(unsigned r, unsigned g, unsigned b) {
    return r | (g << 8) | (b << 16);
}
inline constexpr LogColor kLogBlack = Rgb(0x00, 0x00, 0x00);
inline constexpr LogColor kLogOrange = Rgb(0xC8, 0x64, 0x00);
inline constexpr LogColor kLogRed = Rgb(0xC8, 0x00, 0x00);
inline constexpr LogColor kLogDarkGreen = Rgb(0x00, 0x64, 0x00);

// A diary kept as an HTML file that a browser shows as it is: the run log and the device
// log. Entries are printf-style HTML fragments such as "<li><dt> %s</li>", where "<dt>"
// becomes the time stamp. Every append is UTF-8 with its own byte-order mark. Any thread
// may write; each entry reaches the file whole and in the order the entries were made.
//
// A log can instead stand for a web address (OpenAddress): it then only carries that
// address to the views attached to it and ignores entries.
class CLog {
  public:
    // Address shown for OpenAddress with an empty address.
    static constexpr const char* kDefaultAddress = "about:blank";

    CLog();
    virtual ~CLog();  // closes the log (writes the footer) when still open
    CLog(const CLog&) = delete;
    CLog& operator=(const CLog&) = delete;

    // Folder of the log file; "/" is added unless empty or already there.
    void SetFolder(const std::string& folder);
    std::string GetFolder() const;

    // Opens folder + name + ".html" ("RunLog" when the name is empty). A new file, or
    // any file with overwrite set, starts with the page header; every opening adds a
    // separator with the date and time. Nothing happens when the log is already open.
    // Returns whether the log is open afterwards; when the first write fails it stays
    // closed and its entries are dropped.
    bool Open(const std::string& name, bool overwrite);

    // Makes the log stand for a web address (kDefaultAddress when empty); nothing is
    // written. Nothing happens when the log is already open.
    void OpenAddress(const std::string& address);

    // Moves an open file log to folder + name + ".html" in one step: the footer ends the
    // old file and the new one starts as Open starts it (never overwritten), so that no
    // entry of another thread falls between the two. Opens the log when it was closed;
    // nothing happens to a log that stands for an address. Returns whether it is open.
    bool Reopen(const std::string& folder, const std::string& name);
    // Appends the footer (files only) and closes the log.
    void Close();

    bool IsOpen() const { return open_; }
    bool IsAddress() const { return address_; }

    // The file path, or the web address.
    std::string GetPath() const;

    // Page settings: the font family and charset named in the header.
    void SetFont(const std::string& font);
    void SetCharset(const std::string& charset);
    // Append "<br/>" to entries that have neither "<br/>" nor "<hr/>" (default on).
    void SetLineBreak(bool on);
    // Show "<li>" as a bullet and drop "</li>" (default on).
    void SetBullets(bool on);

    // One entry in the colour given; the format must be a literal and outside text goes
    // in as an argument ("%s").
    [[gnu::format(printf, 3, 4)]] void AddColored(LogColor color, const char* format, ...);
    [[gnu::format(printf, 3, 0)]] void AddColoredV(LogColor color, const char* format,
                                                   va_list args);
    [[gnu::format(printf, 2, 3)]] void AddText(const char* format, ...);     // black
    [[gnu::format(printf, 2, 3)]] void AddWarning(const char* format, ...);  // orange
    [[gnu::format(printf, 2, 3)]] void AddError(const char* format, ...);    // red
    [[gnu::format(printf, 2, 3)]] void AddSuccess(const char* format, ...);  // dark green

    // One line "<time> name ... status": result 0 "Error!" in red, 1 or more "Ok." in dark
    // green, negative "Done." in the colour given (which the name is always shown in).
    void AddResult(const std::string& name, int result, LogColor color);

    // The version, program and folders, the system description and "Application started"
    // as one dark-green entry.
    void AddStartupInfo();

    // When the latest entry was written; empty before the first.
    std::optional<std::chrono::system_clock::time_point> GetLastEntryTime() const;

    // Views are told after every entry operation, on the writing thread, after the entry
    // is in the file. The callback must only hand the news on (post it), not wait. A view
    // is known by its id and is attached once however often it asks. After DetachView
    // returns, its callback is not running and will not be called again.
    using ViewCallback = std::function<void()>;
    bool AttachView(const void* view, ViewCallback onChanged);
    void DetachView(const void* view);

  private:
    bool OpenLocked(const std::string& name, bool overwrite);
    // Finishes one entry (the caller's part already formatted) and appends it; the lock
    // must be held.
    void WriteEntryLocked(LogColor color, const std::string& body, bool lineBreak);
    void NotifyViews();

    mutable std::mutex mutex_;  // opening, each entry, closing
    std::atomic<bool> open_{false};
    std::atomic<bool> address_{false};
    std::string path_;
    std::string folder_;
    bool lineBreak_ = true;
    bool bullets_ = true;
    std::string font_ = "Arial";
    std::string charset_ = "utf-8";
    std::atomic<std::int64_t> lastEntryNs_;

    struct View {
        const void* id;
        ViewCallback onChanged;
    };
    std::recursive_mutex viewsMutex_;  // a callback may detach its own view
    std::vector<View> views_;
};

// Text from outside (a path, a peer's words) made safe to stand in a log entry's HTML.
std::string HtmlEscaped(std::string_view text);

}  // namespace zm
