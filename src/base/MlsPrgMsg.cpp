#include "base/MlsPrgMsg.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <system_error>

#include "base/Folders.h"
#include "base/Ini.h"
#include "base/MessageSink.h"
#include "base/MlsCatalogue.h"
#include "base/MlsText.h"
#include "base/TextFile.h"
#include "base/texts/MenuTexts.h"

namespace zm {

namespace {

// The process-wide service and the lock that keeps it alive while a free Translate() uses
// it: the service unregisters itself under this lock before it goes away. Plain mutexes
// throughout: with a readers-writer lock, busy device threads could keep a language switch
// waiting indefinitely.
std::mutex& InstanceMutex() {
    static std::mutex mutex;
    return mutex;
}
CMlsPrgMsg*& InstancePointer() {
    static CMlsPrgMsg* instance = nullptr;
    return instance;
}

std::mutex& DefaultFolderMutex() {
    static std::mutex mutex;
    return mutex;
}
std::string& DefaultFolderValue() {
    static std::string folder;
    return folder;
}

constexpr const char* kMenuRecentDbs = "tpRecentDBListMenu_RecentlyOpenedDbs";
constexpr const char* kMenuLanguage = "Language";

const char* kNoCodepageText =
    "The language file you choosed has no Codepage definition!\n\nUnable to continue..";

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// The INI reader looks sections up without regard to case, so "codepage" would be read as
// the code page too; it must then also be spared as one.
bool IsCodepageSection(std::string_view section) {
    return EqualsNoCase(section, CMlsPrgMsg::kCodepageSection);
}

// True when the file begins with a byte-order mark, i.e. is no longer an ANSI file.
bool HasByteOrderMark(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    char head[3] = {0, 0, 0};
    file.read(head, sizeof head);
    const std::string_view start(head, static_cast<size_t>(file.gcount()));
    for (TextEncoding encoding : {TextUtf16Le, TextUtf16Be, TextUtf8}) {
        if (start.starts_with(ByteOrderMark(encoding))) {
            return true;
        }
    }
    return false;
}

std::string WithSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/') {
        folder += '/';
    }
    return folder;
}

}  // namespace

// ---- process-wide state ------------------------------------------------------------

CMlsPrgMsg::CMlsPrgMsg() : folder_(GetDefaultFolder()) {
    std::unique_lock lock(InstanceMutex());
    if (InstancePointer() == nullptr) {
        InstancePointer() = this;
    }
}

CMlsPrgMsg::~CMlsPrgMsg() {
    {
        // After this no other thread can reach the service, so no gap is added after the
        // write below.
        std::unique_lock lock(InstanceMutex());
        if (InstancePointer() == this) {
            InstancePointer() = nullptr;
        }
    }
    std::unique_lock lock(mutex_);
    WriteLanguageFileLocked(current_, false, false);
}

CMlsPrgMsg* CMlsPrgMsg::Instance() {
    std::unique_lock lock(InstanceMutex());
    return InstancePointer();
}

void CMlsPrgMsg::SetDefaultFolder(const std::string& folder) {
    std::lock_guard lock(DefaultFolderMutex());
    DefaultFolderValue() = WithSlash(folder);
}

std::string CMlsPrgMsg::GetDefaultFolder() {
    std::lock_guard lock(DefaultFolderMutex());
    return DefaultFolderValue();
}

void CMlsPrgMsg::SetFolder(const std::string& folder) {
    std::unique_lock lock(mutex_);
    folder_ = WithSlash(folder);
}

std::string CMlsPrgMsg::GetFolder() const {
    std::unique_lock lock(mutex_);
    return folder_;
}

std::string CMlsPrgMsg::GetLastError() const {
    std::unique_lock lock(mutex_);
    return lastError_;
}

void CMlsPrgMsg::Report(const std::string& error) {
    {
        std::unique_lock lock(mutex_);
        lastError_ = error;
    }
    // Outside the lock: a message box may wait for the operator while device threads keep
    // translating.
    ShowMessage(error, MessageBoxType{MsgButtons::kOk, MsgIcon::kError});
}

std::string CMlsPrgMsg::SearchFolder() const {
    return folder_.empty() ? GetTranslationsFolder() : folder_;
}

std::string CMlsPrgMsg::LanguagePath(const std::string& name) const {
    return SearchFolder() + name + kLanguageExtension;
}

// ---- lookups -----------------------------------------------------------------------

std::string CMlsPrgMsg::Translate(const CMlsEntry& entry, const char* section) {
    std::string_view key = entry.Key();
    if (key.empty()) {
        return {};
    }
    const bool ownText = entry.HasOwnText();
    const std::pair<std::string_view, std::string_view> where{section ? section : kDefaultSection,
                                                              key};
    std::unique_lock lock(mutex_);
    const bool english = current_ == kEnglish;
    if (english && ownText) {
        return entry.text;
    }
    if (auto it = loaded_.find(where); it != loaded_.end()) {
        return it->second;
    }
    if (auto it = missing_.find(where); it != missing_.end()) {
        return it->second;
    }
    if (!ownText) {
        // An entry that only names its key: the catalogue's text of that key.
        if (const CMlsEntry* registered = FindMlsEntry(key)) {
            return registered->text;
        }
        return english ? std::string(key) : "{" + std::string(key) + "}";
    }
    if (!entry.recordGaps) {
        return entry.text;
    }
    auto [it, inserted] = missing_.try_emplace({std::string(where.first), std::string(key)},
                                               "{" + std::string(entry.text) + "}");
    return it->second;
}

std::string Translate(const CMlsEntry& entry, const char* section) {
    std::unique_lock lock(InstanceMutex());
    if (CMlsPrgMsg* service = InstancePointer()) {
        return service->Translate(entry, section);
    }
    if (entry.HasOwnText()) {
        return entry.text;
    }
    const CMlsEntry* registered = FindMlsEntry(entry.Key());
    return registered ? std::string(registered->text) : std::string(entry.Key());
}

std::string Translate(const CMlsEntry& entry) {
    return Translate(entry, entry.section);
}

// ---- languages ---------------------------------------------------------------------

void CMlsPrgMsg::InitLanguages() {
    std::unique_lock lock(mutex_);
    // Called again while another language is current, this ends that language properly:
    // its gaps would otherwise be lost and its texts outlive it.
    WriteLanguageFileLocked(current_, false, false);
    loaded_.clear();
    missing_.clear();
    current_ = kEnglish;
    languages_.assign(1, kEnglish);
    std::error_code ec;
    std::filesystem::directory_iterator it(SearchFolder(), ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        const std::string_view extension = kLanguageExtension;
        if (name.size() <= extension.size() ||
            name.compare(name.size() - extension.size(), extension.size(), extension) != 0) {
            continue;
        }
        std::error_code typeError;
        if (!it->is_regular_file(typeError)) {
            continue;
        }
        languages_.push_back(name.substr(0, name.size() - extension.size()));
    }
}

std::vector<std::string> CMlsPrgMsg::GetLanguages() const {
    std::unique_lock lock(mutex_);
    return languages_;
}

int CMlsPrgMsg::GetLanguageCount() const {
    std::unique_lock lock(mutex_);
    return static_cast<int>(languages_.size());
}

std::string CMlsPrgMsg::GetLanguageName(int index) const {
    std::unique_lock lock(mutex_);
    if (index < 0 || static_cast<size_t>(index) >= languages_.size()) {
        return kEnglish;
    }
    return languages_[static_cast<size_t>(index)];
}

std::string CMlsPrgMsg::GetCurrentLanguage() const {
    std::unique_lock lock(mutex_);
    return current_;
}

bool CMlsPrgMsg::SwitchLanguage(const std::string& name, bool ctrlHeld) {
    std::string error;
    bool switched;
    {
        std::unique_lock lock(mutex_);
        switched = SwitchLanguageLocked(name, ctrlHeld, error);
    }
    if (!error.empty()) {
        Report(error);
    }
    return switched;
}

bool CMlsPrgMsg::SwitchLanguageLocked(const std::string& name, bool ctrlHeld, std::string& error) {
    WriteLanguageFileLocked(current_, false, ctrlHeld);

    // Refreshing a language from the template: the template's texts and gaps stay in the
    // loaded table, the language's own file is read over them, and the result is written
    // back whole.
    const bool refresh = ctrlHeld && current_ == kTemplate && name != kEnglish;
    if (refresh) {
        loaded_.insert(missing_.begin(), missing_.end());
    } else {
        loaded_.clear();
    }
    missing_.clear();

    if (std::find(languages_.begin(), languages_.end(), name) == languages_.end()) {
        current_ = kEnglish;
        return false;
    }
    if (name != kEnglish) {
        if (!LoadLanguageFileLocked(LanguagePath(name), error)) {
            loaded_.clear();
            missing_.clear();
            std::string ignored;
            SwitchLanguageLocked(kEnglish, false, ignored);
            return false;
        }
        if (refresh) {
            WriteLanguageFileLocked(name, true, ctrlHeld);
        }
    }
    current_ = name;
    return true;
}

// ---- files -------------------------------------------------------------------------

bool CMlsPrgMsg::LoadLanguageFile(const std::string& path) {
    std::string error;
    bool loaded;
    {
        std::unique_lock lock(mutex_);
        loaded = LoadLanguageFileLocked(path, error);
    }
    if (!error.empty()) {
        Report(error);
    }
    return loaded;
}

bool CMlsPrgMsg::LoadLanguageFileLocked(const std::string& path, std::string& error) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        // A language file removed after the list was built must not be reported as one
        // without a code page.
        error = "The language file cannot be found:\n\n" + path;
        return false;
    }
    CIni ini(path);  // converts an ANSI file (with its code page, else the system's)
    const int codepage = ini.GetInt(kCodepageSection, "codepage", -1, 10);
    if (codepage == -1 && !HasByteOrderMark(path)) {
        error = kNoCodepageText;
        return false;
    }
    std::vector<std::string> sections;
    ini.GetSectionNames(sections);
    std::vector<std::string> keys;
    for (const std::string& section : sections) {
        if (IsCodepageSection(section)) {
            continue;
        }
        ini.GetKeyNames(section, keys);
        for (const std::string& key : keys) {
            loaded_[{section, key}] = MlsDecodeValue(ini.GetString(section, key, ""));
        }
    }
    return true;
}

void CMlsPrgMsg::WriteLanguageFile(const std::string& name, bool full, bool ctrlHeld) {
    std::unique_lock lock(mutex_);
    WriteLanguageFileLocked(name, full, ctrlHeld);
}

void CMlsPrgMsg::WriteLanguageFileLocked(const std::string& name, bool full, bool ctrlHeld) {
    if (current_ == kEnglish || (missing_.empty() && !ctrlHeld)) {
        return;
    }
    // One batch: the file is rewritten once, and a full rewrite replaces the old file only
    // when complete, so the translator's work is never left half-deleted.
    const std::string path = LanguagePath(name);
    CIni ini(path);
    CIniBatch batch(path);
    if (!full) {
        for (const auto& [where, text] : missing_) {
            // A key already in the file keeps the translator's text.
            if (!ini.IsKeyExist(where.first, where.second)) {
                ini.WriteString(where.first, where.second, MlsEncodeValue(text));
            }
        }
        return;
    }
    std::vector<std::string> sections;
    ini.GetSectionNames(sections);
    for (const std::string& section : sections) {
        if (!IsCodepageSection(section)) {
            ini.DeleteSection(section);
        }
    }
    loaded_.insert(missing_.begin(), missing_.end());
    for (const auto& [where, text] : loaded_) {
        ini.WriteString(where.first, where.second, MlsEncodeValue(text));
    }
}

void CMlsPrgMsg::RecordCatalogue() {
    std::unique_lock lock(mutex_);
    if (current_ == kEnglish) {
        return;
    }
    for (const CMlsEntry* entry : GetMlsEntries()) {
        std::pair<std::string, std::string> where{entry->section ? entry->section : kDefaultSection,
                                                  entry->key};
        if (loaded_.count(where) != 0) {
            continue;
        }
        // Entries without text of their own (a hidden caption) go in with that empty text,
        // so the translator sees the key but nothing appears where it is used.
        std::string text =
            entry->HasOwnText() ? "{" + std::string(entry->text) + "}" : std::string(entry->text);
        missing_.try_emplace(std::move(where), std::move(text));
    }
}

CMlsPrgMsg::Table CMlsPrgMsg::GetLoadedTable() const {
    std::unique_lock lock(mutex_);
    return loaded_;
}

CMlsPrgMsg::Table CMlsPrgMsg::GetMissingTable() const {
    std::unique_lock lock(mutex_);
    return missing_;
}

// ---- menus -------------------------------------------------------------------------

void CMlsPrgMsg::TranslateMenu(IMlsMenu& menu, bool tagging) {
    for (int i = 0; i < menu.GetItemCount(); ++i) {
        const std::string caption = menu.GetItemCaption(i);
        IMlsMenu* subMenu = menu.GetSubMenu(i);
        if (subMenu && caption == kMenuLanguage) {
            continue;  // built from the language list by its owner
        }
        const CMlsEntry* entry = menu.GetItemEntry(i);
        if (tagging) {
            if (!entry) {
                for (const CMlsEntry* candidate : texts::MenuTexts()) {
                    if (candidate->Key() == caption) {
                        menu.SetItemEntry(i, candidate);
                        break;
                    }
                }
            }
        } else if (entry) {
            menu.SetItemCaption(i, Translate(*entry, kMenuSection));
        }
        if (subMenu && caption != kMenuRecentDbs) {
            TranslateMenu(*subMenu, tagging);
        }
    }
}

}  // namespace zm
