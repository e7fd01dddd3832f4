#include "base/Ini.h"

#include "base/IniDocument.h"
#include "base/IniStore.h"
#include "base/TextFile.h"
#include "platform/CText.h"
#include "platform/CodePage.h"
#include "platform/FileIo.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <ctime>

namespace zm {

namespace {

constexpr size_t kShortValueChars = 63;

template <class F>
auto WithDocument(const std::string& canon, F&& f) {
    if (ini::Batch* batch = ini::ThreadBatch(canon))
        return f(static_cast<const CIniDocument&>(batch->doc));
    std::shared_ptr<const CIniDocument> doc = ini::Load(canon);
    return f(*doc);
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

int DigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    return 99;
}

// strtoul with a 32-bit unsigned long, as the stored files were written for.
uint32_t ParseUnsigned32(std::string_view text, int base) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    if (base == 16 && i + 2 < text.size() && text[i] == '0' &&
        (text[i + 1] == 'x' || text[i + 1] == 'X') && DigitValue(text[i + 2]) < 16)
        i += 2;
    uint64_t value = 0;
    bool overflow = false;
    for (; i < text.size() && DigitValue(text[i]) < base; ++i) {
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(DigitValue(text[i]));
        if (value > 0xFFFFFFFFull) {
            overflow = true;
            value = 0xFFFFFFFFull;
        }
    }
    if (overflow)
        return 0xFFFFFFFFu;
    uint32_t result = static_cast<uint32_t>(value);
    return negative ? static_cast<uint32_t>(0u - result) : result;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x + 32);
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y + 32);
        if (x != y)
            return false;
    }
    return true;
}

bool ParseBool(std::string_view text) {
    if (EqualsNoCase(text, "true") || EqualsNoCase(text, "yes"))
        return true;
    // strtol(text, 10) != 0: any non-zero digit in the leading number (overflow is non-zero).
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        if (text[i] != '0')
            return true;
    return false;
}

// A UTF-8 prefix of at most `chars` code points.
std::string_view FirstChars(std::string_view text, size_t chars) {
    size_t pos = 0;
    for (size_t n = 0; n < chars && pos < text.size(); ++n)
        platform::DecodeUtf8(text, pos);
    return text.substr(0, pos);
}

std::string FormatFixed(double value, int precision) {
    std::string out(400 + static_cast<size_t>(precision), '\0');
    auto [end, ec] = std::to_chars(out.data(), out.data() + out.size(), value,
                                   std::chars_format::fixed, precision);
    if (ec != std::errc())
        return "0";
    out.resize(static_cast<size_t>(end - out.data()));
    return out;
}

// "%o" and "%X" of the 32-bit pattern.
std::string UnsignedText(uint32_t value, int base) {
    char buffer[16];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, base);
    std::string text(buffer, ec == std::errc() ? end : buffer);
    for (char& c : text)
        if (c >= 'a' && c <= 'f')
            c = static_cast<char>(c - 32);
    return text;
}

std::string BackupName(const std::string& path) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H-%M-%S", &local);
    return path + "-" + stamp + ".ansi.bak";
}

// Copies the file; never overwrites an existing backup.
bool CopyExclusive(const std::string& from, const std::string& to) {
    int in = platform::OpenForRead(from);
    if (in < 0)
        return false;
    int out = platform::CreateNewFile(to, 0600);
    if (out < 0) {
        platform::CloseFile(in);
        return false;
    }
    bool ok = true;
    char buffer[65536];
    for (;;) {
        long n = platform::ReadFile(in, buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0 || !platform::WriteFile(out, buffer, static_cast<size_t>(n))) {
            ok = false;
            break;
        }
    }
    ok = platform::SyncFile(out) && ok;
    ok = platform::CloseFile(out) && ok;
    platform::CloseFile(in);
    if (!ok)
        platform::RemoveFile(to);
    return ok;
}

bool HasByteOrderMark(const std::string& path, bool& exists) {
    int fd = platform::OpenForRead(path);
    if (fd >= 0) {
        std::optional<platform::FileInfo> info = platform::FileInfoOf(fd);
        if (!info || !info->isRegular) {
            platform::CloseFile(fd);
            fd = -1;
        }
    }
    exists = fd >= 0;
    if (fd < 0)
        return false;
    unsigned char b[3] = {};
    long n = platform::ReadFile(fd, b, 3);
    platform::CloseFile(fd);
    if (n >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF)))
        return true;
    return n == 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF;
}

// Rewrites a BOM-less file as UTF-16 LE after a dated backup. Every stop before the rename
// leaves the file as it was; the rename replaces it whole.
void ConvertAnsiFile(const std::string& path, const std::string& canon) {
    ini::PathLock lock(canon);
    if (!lock.Acquire())
        return;
    bool exists = false;
    if (HasByteOrderMark(canon, exists) || !exists)
        return;  // another writer converted it meanwhile, or it went away
    if (!CopyExclusive(canon, BackupName(path)))
        return;
    int codePage = -1;
    {
        std::shared_ptr<const CIniDocument> doc = ini::Load(canon);
        std::string value;
        if (doc->GetValue("Codepage", "codepage", value)) {
            value.assign(FirstChars(value, kShortValueChars));
            if (!IniTrim(value).empty())
                codePage = static_cast<int32_t>(ParseUnsigned32(value, 10));
        }
    }
    if (codePage != -1 && !platform::IsCodePageAvailable(codePage))
        return;  // converting with the wrong table would destroy the text
    CTextFileRead reader(canon);
    if (!reader.IsOpen())
        return;
    reader.SetCodePage(codePage == -1 ? platform::kCodePageAnsi : codePage);
    std::string text;
    std::string line;
    while (reader.ReadLine(line)) {
        text += line;
        text += "\r\n";
    }
    reader.Close();
    std::string out(ByteOrderMark(TextUtf16Le));
    for (char16_t u : platform::Utf8ToUtf16(text)) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    }
    lock.WriteBytes(out);
}

}  // namespace

CIni::CIni(const std::string& path) {
    SetPathName(path);
}

CIni::~CIni() = default;

void CIni::SetPathName(const std::string& path) {
    path_ = path;
    canon_ = ini::CanonicalPath(path);
    converted_ = false;
    if (canon_.empty() || ini::ThreadBatch(canon_))
        return;  // a held batch already owns the file's contents
    bool exists = false;
    if (HasByteOrderMark(canon_, exists) || !exists)
        return;
    converted_ = true;
    ConvertAnsiFile(path_, canon_);
}

std::string CIni::GetString(std::string_view section, std::string_view key,
                            std::string_view defaultValue) const {
    if (section.empty() || key.empty() || canon_.empty())
        return std::string(defaultValue);
    return WithDocument(canon_, [&](const CIniDocument& doc) {
        std::string value;
        if (!doc.GetValue(section, key, value))
            value.assign(defaultValue);
        // A value ends at a NUL, as the profile functions always read it: nothing after
        // one could be written back (writes refuse it), so a save would drop the key.
        else if (size_t nul = value.find('\0'); nul != std::string::npos)
            value.resize(nul);
        return value;
    });
}

int CIni::GetString(std::string_view section, std::string_view key, char* buffer, int capacity,
                    std::string_view defaultValue) const {
    if (!buffer || capacity <= 0)
        return 0;
    std::string value = GetString(section, key, defaultValue);
    size_t room = static_cast<size_t>(capacity - 1);
    if (value.size() <= room) {
        value.copy(buffer, value.size());
        buffer[value.size()] = '\0';
        return static_cast<int>(value.size());
    }
    size_t cut = room;
    while (cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80)
        --cut;
    value.copy(buffer, cut);
    buffer[cut] = '\0';
    return capacity;
}

std::string CIni::ReadShortValue(std::string_view section, std::string_view key) const {
    std::string value = GetString(section, key, {});
    value.resize(FirstChars(value, kShortValueChars).size());
    return value;
}

int CIni::GetInt(std::string_view section, std::string_view key, int defaultValue, int base) const {
    std::string value = ReadShortValue(section, key);
    if (value.empty())
        return defaultValue;
    if (base != 2 && base != 8 && base != 16)
        base = 10;
    return static_cast<int32_t>(ParseUnsigned32(value, base));
}

bool CIni::GetBool(std::string_view section, std::string_view key, bool defaultValue) const {
    std::string value = ReadShortValue(section, key);
    return value.empty() ? defaultValue : ParseBool(value);
}

int32_t CIni::GetBOOL(std::string_view section, std::string_view key, int32_t defaultValue) const {
    std::string value = ReadShortValue(section, key);
    return value.empty() ? defaultValue : (ParseBool(value) ? 1 : 0);
}

double CIni::GetDouble(std::string_view section, std::string_view key, double defaultValue) const {
    std::string value = ReadShortValue(section, key);
    if (value.empty())
        return defaultValue;
    return platform::ParseDoubleC(value.c_str());
}

int CIni::GetDataBlock(std::string_view section, std::string_view key, void* buffer, int capacity,
                       int offset) const {
    std::string value = GetString(section, key, {});
    for (char c : value)
        if (DigitValue(c) >= 16)
            return 0;
    int n = static_cast<int>(value.size() / 2);
    if (offset < 0 || offset >= n)
        return 0;
    if (!buffer)
        return n - offset;
    int count = std::min(n - offset, std::max(capacity, 0));
    auto* out = static_cast<unsigned char*>(buffer);
    for (int j = 0; j < count; ++j) {
        size_t at = static_cast<size_t>(offset + j) * 2;
        out[j] = static_cast<unsigned char>(DigitValue(value[at]) * 16 + DigitValue(value[at + 1]));
    }
    return count;
}

bool CIni::IsKeyExist(std::string_view section, std::string_view key) const {
    if (section.empty() || key.empty())
        return false;
    return GetString(section, key, kNoKeyMarker) != kNoKeyMarker;
}

bool CIni::IsSectionExist(std::string_view section) const {
    if (section.empty() || canon_.empty())
        return false;
    return WithDocument(canon_, [&](const CIniDocument& doc) { return doc.HasSection(section); });
}

void CIni::GetSectionNames(std::vector<std::string>& names) const {
    names.clear();
    if (canon_.empty())
        return;
    names = WithDocument(canon_, [](const CIniDocument& doc) { return doc.SectionNames(); });
}

void CIni::GetKeyNames(std::string_view section, std::vector<std::string>& names) const {
    names.clear();
    if (section.empty() || canon_.empty())
        return;
    std::vector<std::string> lines =
        WithDocument(canon_, [&](const CIniDocument& doc) { return doc.SectionLines(section); });
    // Blanks, tabs, CR and LF only: a name listed here must be one GetString finds, and
    // the lookup keeps any other control character as part of the name.
    auto trimmed = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    for (const std::string& raw : lines) {
        std::string_view line = raw;
        while (!line.empty() && trimmed(line.front()))
            line.remove_prefix(1);
        size_t eq = line.find('=');
        if (eq == std::string_view::npos || eq == 0)
            continue;
        std::string_view name = line.substr(0, eq);
        while (!name.empty() && trimmed(name.back()))
            name.remove_suffix(1);
        names.emplace_back(name);
    }
}

bool CIni::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    if (section.empty() || key.empty() || canon_.empty())
        return false;
    return ini::Modify(canon_,
                       [&](CIniDocument& doc) { return doc.SetValue(section, key, value); });
}

bool CIni::WriteInt(std::string_view section, std::string_view key, int value, int base) {
    std::string text;
    auto bits = static_cast<uint32_t>(value);
    switch (base) {
        case 2:
            do {
                text.insert(text.begin(), static_cast<char>('0' + (bits & 1)));
                bits >>= 1;
            } while (bits != 0);
            break;
        case 8:
            text = UnsignedText(bits, 8);
            break;
        case 16:
            text = UnsignedText(bits, 16);
            break;
        default:
            text = std::to_string(value);
            break;
    }
    return WriteString(section, key, text);
}

bool CIni::WriteBool(std::string_view section, std::string_view key, bool value) {
    return WriteString(section, key, value ? "1" : "0");
}

bool CIni::WriteDouble(std::string_view section, std::string_view key, double value,
                       int precision) {
    return WriteString(section, key, FormatFixed(value, precision > 0 ? precision : 6));
}

bool CIni::WriteDataBlock(std::string_view section, std::string_view key, const void* bytes,
                          int length) {
    if (!bytes || length < 0)
        return false;
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(static_cast<size_t>(length) * 2);
    const auto* p = static_cast<const unsigned char*>(bytes);
    for (int i = 0; i < length; ++i) {
        text += kHex[p[i] >> 4];
        text += kHex[p[i] & 0x0F];
    }
    return WriteString(section, key, text);
}

bool CIni::DeleteSection(std::string_view section) {
    if (section.empty() || canon_.empty())
        return false;
    return ini::Modify(canon_, [&](CIniDocument& doc) { return doc.DeleteSection(section); });
}

// ---- batch scope ----

CIniBatch::CIniBatch(const std::string& path) {
    std::string canon = ini::CanonicalPath(path);
    if (canon.empty() || ini::ThreadBatch(canon))
        return;       // nothing to hold, or an outer scope of this thread holds it
    CIni bind(path);  // an ANSI file is converted before its contents are held
    auto batch = std::make_unique<ini::Batch>(canon);
    if (!batch->lock.Acquire())
        return;
    batch->doc = *ini::Load(canon);
    ini::RegisterBatch(batch.get());
    batch_ = std::move(batch);
}

CIniBatch::~CIniBatch() {
    if (!batch_)
        return;
    Commit();
    ini::UnregisterBatch(batch_.get());
}

bool CIniBatch::Commit() {
    if (!batch_ || !batch_->dirty)
        return true;
    if (!batch_->lock.Write(batch_->doc))
        return false;
    batch_->dirty = false;
    return true;
}

}  // namespace zm
