#pragma once

#include "base/TextFile.h"

#include <string>
#include <string_view>
#include <vector>

namespace zm {

// One INI file held in memory as its lines, so a rewrite keeps every line it did not touch
// (comments, blank lines, order, and the exact bytes of lines that did not decode cleanly).
class CIniDocument {
  public:
    enum class Change { Refused, Unchanged, Changed };

    // Recognises the encoding by the byte-order mark; no mark means ANSI (UTF-8 here). An
    // empty input is a new file in the on-disk form (UTF-16 LE).
    static CIniDocument Parse(std::string_view bytes);
    // Mark, then every line followed by CR LF, in the document's encoding.
    std::string Serialize() const;

    TextEncoding Encoding() const { return encoding_; }

    // The value of the first matching key in the first matching section, trimmed and with
    // one pair of enclosing quotes removed; false when section or key is absent.
    bool GetValue(std::string_view section, std::string_view key, std::string& value) const;
    // Replaces the value in place, or adds the key at the end of its section, or adds the
    // section at the end. Refused when the names or the value would break the line form.
    Change SetValue(std::string_view section, std::string_view key, std::string_view value);
    // Removes every section of that name with all its lines.
    Change DeleteSection(std::string_view section);

    bool HasSection(std::string_view section) const;
    std::vector<std::string> SectionNames() const;
    // The section's lines as stored (empty when the section is absent).
    std::vector<std::string> SectionLines(std::string_view section) const;

  private:
    struct Line {
        std::string text;
        std::string raw;  // the original bytes, kept only when decoding was lossy
        bool keepRaw = false;
    };
    struct Section {
        Line header;
        std::string name;
        std::vector<Line> lines;
    };

    const Section* Find(std::string_view section) const;
    Section* Find(std::string_view section);
    void AppendLine(std::string_view bytes);

    TextEncoding encoding_ = TextUtf16Le;
    std::vector<Line> preamble_;
    std::vector<Section> sections_;
};

// Names compare without regard to letter case (ASCII, Latin-1, Latin Extended-A, Greek and
// Cyrillic letters).
bool IniNamesEqual(std::string_view a, std::string_view b);
// Blanks and tabs off both ends.
std::string_view IniTrim(std::string_view text);

}  // namespace zm
