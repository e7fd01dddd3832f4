#pragma once

#include <string_view>

namespace zm {

// One translatable text: its stable key (always beginning with "tp"), the built-in English
// text and whether a lookup that finds no translation records the gap. The members are
// plain pointers to literals so that every entry is constant-initialised: code running
// before main (or on a device thread during start-up) never sees a half-built entry.
//
// `section` is the translation section the code asking for the text normally uses; it
// lets the template collect every key in the right place. A lookup may name another one.
struct CMlsEntry {
    const char* key = "";
    const char* text = "";
    bool recordGaps = true;
    const char* section = nullptr;  // null: the "Default" section

    constexpr CMlsEntry() = default;
    constexpr CMlsEntry(const char* aKey, const char* aText, bool aRecordGaps = true,
                        const char* aSection = nullptr)
        : key(aKey ? aKey : ""),
          text(aText ? aText : ""),
          recordGaps(aRecordGaps),
          section(aSection) {}

    constexpr std::string_view Key() const { return key; }
    constexpr std::string_view Text() const { return text; }

    // An entry whose text is empty or merely repeats the key stands for the key alone;
    // its text then comes from the registered entry of that key.
    constexpr bool HasOwnText() const { return !Text().empty() && Text() != Key(); }
};

}  // namespace zm
