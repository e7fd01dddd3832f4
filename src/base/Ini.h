#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zm {

namespace ini {
struct Batch;
}

// Typed access to one INI file (UTF-16 LE with byte-order mark, CR LF). Every call goes to
// the file anew, so a write by one object is seen by the next read of any other object, in
// this process or another; writes replace the file atomically and never lose another
// writer's change. An empty section or key name counts as absent: reads give the default,
// writes give false.
class CIni {
  public:
    CIni() = default;
    explicit CIni(const std::string& path);
    virtual ~CIni();
    CIni(const CIni&) = default;
    CIni& operator=(const CIni&) = default;

    // Binds to a path (empty = no path). A file without byte-order mark is converted to
    // UTF-16 LE after a dated "<path>-YYYY-MM-DD_hh-mm-ss.ansi.bak" copy, with the code
    // page named by key "codepage" of section "Codepage" (UTF-8 when absent).
    void SetPathName(const std::string& path);
    std::string GetPathName() const { return path_; }
    // Binding found the file without a byte-order mark and ran the conversion.
    bool WasConverted() const { return converted_; }

    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view defaultValue = {}) const;
    // Copies at most capacity-1 bytes (never splitting a character) and a terminator;
    // returns the value's length in bytes, or capacity when it did not fit.
    int GetString(std::string_view section, std::string_view key, char* buffer, int capacity,
                  std::string_view defaultValue = {}) const;
    // Unsigned 32-bit conversion by the C rules in base 2, 8, 16 (any other base means 10),
    // returned as signed; an empty value gives the default.
    int GetInt(std::string_view section, std::string_view key, int defaultValue,
               int base = 10) const;
    // "true"/"yes" in any case, else a non-zero decimal number; empty gives the default.
    bool GetBool(std::string_view section, std::string_view key, bool defaultValue) const;
    // The same rule as a 32-bit truth value (0 or 1).
    int32_t GetBOOL(std::string_view section, std::string_view key, int32_t defaultValue) const;
    // Decimal point is always "." whatever the locale; empty gives the default.
    double GetDouble(std::string_view section, std::string_view key, double defaultValue) const;
    // Bytes of a hexadecimal value from byte `offset` on: the count available without a
    // buffer, else the count copied (at most capacity). 0 when the value is not hex only.
    int GetDataBlock(std::string_view section, std::string_view key, void* buffer, int capacity,
                     int offset = 0) const;

    bool IsKeyExist(std::string_view section, std::string_view key) const;
    bool IsSectionExist(std::string_view section) const;
    void GetSectionNames(std::vector<std::string>& names) const;
    void GetKeyNames(std::string_view section, std::vector<std::string>& names) const;

    // Values cannot hold CR, LF or NUL and names cannot break the line form (a key with
    // "=" or starting with "[", a section with "]"): such writes give false.
    bool WriteString(std::string_view section, std::string_view key, std::string_view value);
    bool WriteInt(std::string_view section, std::string_view key, int value, int base = 10);
    bool WriteBool(std::string_view section, std::string_view key, bool value);
    // precision > 0: that many decimals; otherwise six.
    bool WriteDouble(std::string_view section, std::string_view key, double value,
                     int precision = 0);
    bool WriteDataBlock(std::string_view section, std::string_view key, const void* bytes,
                        int length);
    bool DeleteSection(std::string_view section);

    // Read when a key is absent by IsKeyExist; a stored value equal to it reads as absent.
    static constexpr std::string_view kNoKeyMarker = "{63788286-AE30-4D6B-95DF-3B451C1C79F9}";

  private:
    // The value as numeric and boolean reads judge it: at most its first 63 characters.
    std::string ReadShortValue(std::string_view section, std::string_view key) const;

    std::string path_;
    std::string canon_;
    bool converted_ = false;
};

// Holds one INI file parsed for the length of a scope: the CIni calls on that path made by
// the thread that created the scope read and change the held copy, which is written once
// when the scope ends (or at Commit). Other threads and processes wait to write the file
// until then; their reads see the file as it was. Use it for bulk saves. A scope that cannot
// get the file's locks within 5 s holds nothing, and the calls go to the file one by one.
// Scopes for the same path on the same thread nest (the outer one writes).
class CIniBatch {
  public:
    explicit CIniBatch(const std::string& path);
    ~CIniBatch();
    CIniBatch(const CIniBatch&) = delete;
    CIniBatch& operator=(const CIniBatch&) = delete;

    bool IsHeld() const { return batch_ != nullptr; }
    // Writes the held copy now when it changed; the scope stays held. False when the write
    // failed (the copy stays changed and is tried again when the scope ends).
    bool Commit();

  private:
    std::unique_ptr<ini::Batch> batch_;
};

}  // namespace zm
