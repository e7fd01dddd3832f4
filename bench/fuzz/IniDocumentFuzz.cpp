// An INI file's bytes in any of its encodings (UTF-16 LE or BE, UTF-8 with a mark, or
// ANSI): parsing, lookups, an edit, and the edit surviving a write and a new parse.
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "base/IniDocument.h"
#include "platform/CodePage.h"

namespace {

// A value reads back as written unless blanks around it or enclosing quotes are taken off
// (the language files rely on that trimming).
bool ReadsBackAsIs(std::string_view value) {
    if (zm::IniTrim(value) != value)
        return false;
    return !(value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
             value.back() == value.front());
}

std::string_view TakeLine(std::string_view& text) {
    size_t end = text.find('\x01');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The edit comes first, separated by 0x01 bytes: section, key, value; then the file.
    std::string_view text = zm::fuzz::AsText(data, size);
    const std::string section = zm::platform::SanitizeUtf8(TakeLine(text));
    const std::string key = zm::platform::SanitizeUtf8(TakeLine(text));
    const std::string value = zm::platform::SanitizeUtf8(TakeLine(text));

    zm::CIniDocument doc = zm::CIniDocument::Parse(text);
    std::string found;
    for (const std::string& name : doc.SectionNames()) {
        ZM_FUZZ_REQUIRE(doc.HasSection(name));
        for (const std::string& line : doc.SectionLines(name)) {
            size_t eq = line.find('=');
            if (eq != std::string::npos)
                doc.GetValue(name, line.substr(0, eq), found);
        }
    }
    const std::string original = doc.Serialize();
    // An untouched document is written back as it was read, apart from line ends.
    zm::CIniDocument again = zm::CIniDocument::Parse(original);
    ZM_FUZZ_REQUIRE(again.Serialize() == original);
    ZM_FUZZ_REQUIRE(again.SectionNames() == doc.SectionNames());

    if (doc.SetValue(section, key, value) == zm::CIniDocument::Change::Changed &&
        ReadsBackAsIs(value)) {
        ZM_FUZZ_REQUIRE(doc.GetValue(section, key, found) && found == value);
        zm::CIniDocument written = zm::CIniDocument::Parse(doc.Serialize());
        ZM_FUZZ_REQUIRE(written.GetValue(section, key, found) && found == value);
    }
    if (doc.DeleteSection(section) == zm::CIniDocument::Change::Changed)
        ZM_FUZZ_REQUIRE(!doc.HasSection(section));
    return 0;
}
