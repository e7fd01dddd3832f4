#pragma once

#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/MlsEntry.h"
#include "base/MlsMenu.h"
#include "base/MlsText.h"

namespace zm {

// The translation service. English is built in (the catalogue's texts); every other
// language is a "<name>.lng" INI file in the translations folder. A text the current
// language lacks is shown as "{English text}" and remembered; the remembered gaps are
// added to the language's file at the next switch and when the service ends, so a
// translator only has to fill in the file.
//
// Translate() may run on any thread; the other operations belong to the user-interface
// thread. The first service constructed becomes the process-wide one (Instance()), which
// the free Translate() functions use.
class CMlsPrgMsg {
  public:
    static constexpr const char* kEnglish = "English";
    static constexpr const char* kTemplate = "_Template_";
    static constexpr const char* kDefaultSection = "Default";
    static constexpr const char* kMenuSection = "Menu";
    static constexpr const char* kCodepageSection = "Codepage";
    static constexpr const char* kLanguageExtension = ".lng";

    CMlsPrgMsg();
    // Adds the gaps of the current language to its file.
    ~CMlsPrgMsg();
    CMlsPrgMsg(const CMlsPrgMsg&) = delete;
    CMlsPrgMsg& operator=(const CMlsPrgMsg&) = delete;

    // The process-wide service, or null while none exists.
    static CMlsPrgMsg* Instance();

    // Where the language files are, ending in "/". The application sets it once at start
    // (SetDefaultFolder) before the service exists; a service takes that value when it is
    // constructed. An empty folder means the program's translations folder
    // (GetTranslationsFolder: "Translations/" beside the program, else the installed one).
    static void SetDefaultFolder(const std::string& folder);
    static std::string GetDefaultFolder();
    void SetFolder(const std::string& folder);
    std::string GetFolder() const;

    // The error of the last language file that could not be used; it was also shown to the
    // operator as an error message (ShowMessage).
    std::string GetLastError() const;

    // The text to show for an entry in a section (null: "Default").
    std::string Translate(const CMlsEntry& entry, const char* section);
    // The same in the entry's own section.
    std::string Translate(const CMlsEntry& entry) { return Translate(entry, entry.section); }
    std::string TranslateCommon(const CMlsEntry& entry) {
        return Translate(entry, "common_translations");
    }
    std::string TranslateEmulation(const CMlsEntry& entry) { return Translate(entry, "Emulation"); }
    std::string TranslateDeviceStatus(const CMlsEntry& entry) {
        return Translate(entry, "Device Statuses");
    }
    std::string TranslatePcParam(const CMlsEntry& entry) { return Translate(entry, "PC_params"); }
    std::string TranslateDeviceParam(const CMlsEntry& entry) {
        return Translate(entry, "Device_params");
    }

    // Builds the language list: "English", then every "*.lng" file of the folder in the
    // order the directory returns them. The current language becomes "English".
    void InitLanguages();
    std::vector<std::string> GetLanguages() const;
    int GetLanguageCount() const;
    // The list entry at that index; an index outside the list gives "English".
    std::string GetLanguageName(int index) const;
    std::string GetCurrentLanguage() const;

    // Ends the current language (its gaps go to its file) and makes the named one current.
    // With ctrlHeld while "_Template_" is current, the new language's file is refreshed
    // from the template: rewritten whole with every key it lacked. False when the name is
    // not listed or its file cannot be used; English is then current.
    bool SwitchLanguage(const std::string& name, bool ctrlHeld = false);

    // Reads a language file into the loaded table. False only when the file cannot be used
    // (still ANSI without a code page, or missing); the error is shown to the operator.
    bool LoadLanguageFile(const std::string& path);

    // Writes the remembered gaps into "<folder><name>.lng" (incremental: keys already in
    // the file are left alone) or rewrites the file from both tables (full).
    void WriteLanguageFile(const std::string& name, bool full, bool ctrlHeld = false);

    // Records every catalogue entry the current language lacks, so that the next write
    // puts the whole catalogue into the file (the template gets every key at once instead
    // of only those shown so far). Nothing happens in English.
    void RecordCatalogue();

    // Tagging: items whose caption is a menu key get that entry as item data. Otherwise:
    // items that carry an entry get its translation in section "Menu" as caption.
    void TranslateMenu(IMlsMenu& menu, bool tagging);

    // Snapshot of the tables, for diagnostics and tests: (section, key) -> text.
    using Table = std::map<std::pair<std::string, std::string>, std::string, MlsPairLess>;
    Table GetLoadedTable() const;
    Table GetMissingTable() const;

  private:
    bool SwitchLanguageLocked(const std::string& name, bool ctrlHeld, std::string& error);
    bool LoadLanguageFileLocked(const std::string& path, std::string& error);
    void WriteLanguageFileLocked(const std::string& name, bool full, bool ctrlHeld);
    std::string LanguagePath(const std::string& name) const;
    std::string SearchFolder() const;
    void Report(const std::string& error);

    mutable std::mutex mutex_;  // guards every member below
    std::string folder_;
    std::string current_ = kEnglish;
    std::vector<std::string> languages_{kEnglish};
    Table loaded_;
    Table missing_;
    std::string lastError_;
};

// The text of an entry from the process-wide service; without a service the built-in
// English text. Safe on any thread, also while the service is being created or destroyed.
std::string Translate(const CMlsEntry& entry, const char* section);
std::string Translate(const CMlsEntry& entry);

}  // namespace zm
