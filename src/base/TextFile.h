#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace zm {

// The four on-disk encodings; the values are stored in settings and must not change.
enum TextEncoding : int32_t {
    TextAnsi = 0,     // no mark; 8-bit text in a code page (UTF-8 on this platform)
    TextUtf8 = 1,     // EF BB BF
    TextUtf16Be = 2,  // FE FF
    TextUtf16Le = 3,  // FF FE
};

// The byte-order mark of an encoding (empty for TextAnsi).
std::string_view ByteOrderMark(TextEncoding encoding);

// Shared state of the reader and the writer. Text inside the program is UTF-8; the
// encoding applies only to the bytes on disk.
class CTextFileBase {
  public:
    CTextFileBase() = default;
    virtual ~CTextFileBase();
    CTextFileBase(const CTextFileBase&) = delete;
    CTextFileBase& operator=(const CTextFileBase&) = delete;

    TextEncoding GetEncoding() const { return encoding_; }
    bool IsOpen() const { return fd_ >= 0; }

    // Code page of TextAnsi text; 0 = the system's ANSI code page.
    void SetCodePage(int codePage) { codePage_ = codePage; }
    // Character written for text the code page cannot express (TextAnsi only; 0 = '?').
    void SetReplacementChar(char c) { replacement_ = c; }
    // An ANSI write needed the replacement character (or an ANSI read met undefined bytes).
    bool IsLossy() const { return lossy_; }

    virtual void Close();

  protected:
    static constexpr int kBufferSize = 1024;

    TextEncoding encoding_ = TextAnsi;
    int fd_ = -1;
    bool ownsFile_ = false;
    bool endOfFile_ = false;
    std::array<char, kBufferSize> buffer_{};
    int position_ = -1;
    int filled_ = 0;
    char replacement_ = 0;
    bool lossy_ = false;
    int codePage_ = 0;
    bool pushedBack_ = false;
    bool firstLine_ = false;
    char32_t pushedChar_ = 0;
};

class CTextFileRead : public CTextFileBase {
  public:
    // Opens the path for reading and recognises the encoding by its byte-order mark. A file
    // that cannot be opened leaves the reader closed, at end of file, reporting TextAnsi.
    // Readers take no lock: an appender must never lose a log entry because the file is
    // being shown; at worst a reader sees the file without an append still in progress.
    explicit CTextFileRead(const std::string& path);
    ~CTextFileRead() override;

    // The next line without its terminator (CR LF, LF or CR); false at end of file.
    bool ReadLine(std::string& line);
    // Every line joined with the separator between lines; false when not open.
    bool ReadAll(std::string& text, std::string_view separator = "\r\n");

  private:
    bool ReadByte(unsigned char& byte);
    // One character; false when the file ended before it began.
    bool ReadChar(char32_t& c);
    bool ReadUnit(char32_t& unit);
    void DetectEncoding();
    int pendingUnit_ = -1;  // a UTF-16 unit read ahead while looking for a low surrogate
};

class CTextFileWrite : public CTextFileBase {
  public:
    // Writes on the caller's open descriptor (not owned) and at once puts the encoding's
    // byte-order mark at the current file position.
    CTextFileWrite(int fd, TextEncoding encoding);
    ~CTextFileWrite() override;

    void WriteString(std::string_view text);
    // Writes the buffered bytes out; false when any write so far failed.
    bool Flush();
    // Flushes, then closes the descriptor only when owned.
    void Close() override;
    bool HasFailed() const { return failed_; }

  private:
    void PutByte(char byte);
    void PutBytes(std::string_view bytes);
    bool failed_ = false;
};

// Reads the whole file, lines joined with CR LF; false (and empty text) when the file
// cannot be opened.
bool ReadTextFile(const std::string& path, std::string& text);

// Appends text to the file (truncating it first when truncate is set), creating missing
// folders and the file. The encoding's byte-order mark is written before the text at
// every call, also in the middle of an existing file. False when the path is empty, the
// folder cannot be made, the file stays locked by another writer through five attempts
// 10 ms apart, or a write fails (an append that fails part-way is cut back off).
bool AppendTextFile(const std::string& path, std::string_view text, bool truncate,
                    TextEncoding encoding);

// The file has no byte-order mark (or cannot be opened).
bool IsAnsiFile(const std::string& path);

}  // namespace zm
