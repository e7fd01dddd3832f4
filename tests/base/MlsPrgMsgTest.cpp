#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "MlsTestFiles.h"
#include "base/MessageSink.h"
#include "base/MlsCatalogue.h"
#include "base/MlsPrgMsg.h"
#include "base/texts/BaseTexts.h"
#include "base/texts/DialogTexts.h"
#include "base/texts/LogTexts.h"
#include "base/texts/MenuTexts.h"
#include "support/TempDir.h"

namespace zm {
namespace {

using test::ReadUtf16Lines;
using test::WriteUtf16Lines;

class MlsPrgMsgTest : public ::testing::Test {
  protected:
    MlsPrgMsgTest() {
        service.SetFolder(dir.folder());
        SetMessageSink([this](const std::string& text, MessageBoxType type, const std::string&) {
            messages.push_back(text);
            EXPECT_EQ(type.icon, MsgIcon::kError);
            return MsgResult::kOk;
        });
    }
    ~MlsPrgMsgTest() override { SetMessageSink(nullptr); }

    std::string Path(const std::string& language) const { return dir.file(language + ".lng"); }

    void WriteLanguage(const std::string& language, const std::vector<std::string>& lines) {
        WriteUtf16Lines(Path(language), lines);
    }

    std::vector<std::string> Lines(const std::string& language) const {
        bool ok = false;
        auto lines = ReadUtf16Lines(Path(language), &ok);
        EXPECT_TRUE(ok) << language << " is not UTF-16 LE with byte-order mark";
        return lines;
    }

    static bool Has(const std::vector<std::string>& lines, const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    // Lines of one section of a file, without the header.
    static std::vector<std::string> Section(const std::vector<std::string>& lines,
                                            const std::string& name) {
        std::vector<std::string> out;
        bool inside = false;
        for (const auto& line : lines) {
            if (!line.empty() && line.front() == '[') {
                inside = line == "[" + name + "]";
            } else if (inside && !line.empty()) {
                out.push_back(line);
            }
        }
        return out;
    }

    test::TempDir dir;
    std::vector<std::string> messages;
    CMlsPrgMsg service;
};

// The conversion of an ANSI file refuses to overwrite an existing backup; backups named for
// the next half minute make it fail, so the file stays ANSI.
void BlockAnsiBackup(const std::string& path) {
    const std::time_t now = std::time(nullptr);
    for (int second = -2; second <= 30; ++second) {
        std::time_t when = now + second;
        std::tm local{};
        localtime_r(&when, &local);
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H-%M-%S", &local);
        test::WriteBytes(path + "-" + stamp + ".ansi.bak", "taken");
    }
}

const std::vector<std::string> kGerman = {"[Codepage]",
                                          "codepage=1252",
                                          "[Menu]",
                                          "tpMenu_Exit= Beenden",
                                          "[common_translations]",
                                          "tp_Cancel= Abbrechen",
                                          "tp_Apply= 'Anwenden  '",
                                          "[ZorSetsDlg]",
                                          "tpZorSetsDlg_SureToCancel= Wirklich\\r\\nabbrechen\\n",
                                          "[ZorSetsView]",
                                          "tpZorSetsView_= Feld"};

TEST_F(MlsPrgMsgTest, EnglishGivesBuiltInTextsAndRecordsNothing) {
    WriteLanguage("German", kGerman);
    service.InitLanguages();
    EXPECT_EQ(service.GetCurrentLanguage(), "English");
    for (const CMlsEntry* entry : GetMlsEntries()) {
        EXPECT_EQ(service.Translate(*entry), entry->text) << entry->key;
        EXPECT_EQ(service.Translate(*entry, "Menu"), entry->text) << entry->key;
    }
    EXPECT_TRUE(service.GetMissingTable().empty());
    service.WriteLanguageFile("German", false);
    EXPECT_EQ(Lines("German"), kGerman) << "English writes nothing";
}

TEST_F(MlsPrgMsgTest, LanguageListHoldsEnglishAndTheLanguageFiles) {
    WriteLanguage("German", kGerman);
    WriteLanguage("_Template_", {"[Codepage]", "codepage=1252"});
    WriteLanguage("Russian", {"[Codepage]", "codepage=1251"});
    test::WriteBytes(dir.file("notes.txt"), "x");
    test::WriteBytes(dir.file(".lng"), "x");
    std::filesystem::create_directory(dir.path() / "Folder.lng");
    service.InitLanguages();

    auto languages = service.GetLanguages();
    ASSERT_EQ(languages.size(), 4u);
    EXPECT_EQ(languages[0], "English");
    EXPECT_EQ(std::set<std::string>(languages.begin() + 1, languages.end()),
              (std::set<std::string>{"German", "Russian", "_Template_"}));
    EXPECT_EQ(service.GetLanguageCount(), 4);
    EXPECT_EQ(service.GetLanguageName(2), languages[2]);
    for (int index : {-1, 4, 1000}) {
        EXPECT_EQ(service.GetLanguageName(index), "English") << index;
    }

    // Building the list again starts afresh, in English, after the gaps of the language that
    // was current have gone to its file.
    ASSERT_TRUE(service.SwitchLanguage("German"));
    EXPECT_EQ(service.Translate(texts::tpMenu_File), "{&File}");
    std::filesystem::remove(Path("Russian"));
    service.InitLanguages();
    EXPECT_EQ(service.GetCurrentLanguage(), "English");
    EXPECT_EQ(service.GetLanguageCount(), 3);
    EXPECT_TRUE(service.GetLoadedTable().empty());
    EXPECT_TRUE(service.GetMissingTable().empty());
    EXPECT_TRUE(Has(Lines("German"), "tpMenu_File= {&File}"));
}

TEST_F(MlsPrgMsgTest, TranslationsComeFromTheLanguageFile) {
    WriteLanguage("German", kGerman);
    service.InitLanguages();
    ASSERT_TRUE(service.SwitchLanguage("German"));
    EXPECT_EQ(service.GetCurrentLanguage(), "German");

    EXPECT_EQ(service.Translate(texts::tpMenu_Exit, "Menu"), "Beenden");
    EXPECT_EQ(service.TranslateCommon(texts::tp_Cancel), "Abbrechen");
    EXPECT_EQ(service.TranslateCommon(texts::tp_Apply), "Anwenden  ") << "quotes keep blanks";
    EXPECT_EQ(service.Translate(texts::tpZorSetsDlg_SureToCancel), "Wirklich\r\nabbrechen\n");
    EXPECT_EQ(service.Translate(texts::tpZorSetsView_), "Feld") << "a hidden caption translated";
    // The section is part of the lookup, and sections compare exactly.
    EXPECT_EQ(service.Translate(texts::tpMenu_Exit, "menu"), "{E&xit}");
    EXPECT_EQ(service.Translate(texts::tpMenu_Exit, nullptr), "{E&xit}");
    // The code page section is never a translation.
    EXPECT_EQ(service.GetLoadedTable().count({"Codepage", "codepage"}), 0u);
    EXPECT_TRUE(messages.empty());
}

TEST_F(MlsPrgMsgTest, GapsAreShownInBracesAndAddedToTheFile) {
    WriteLanguage("German", kGerman);
    service.InitLanguages();
    ASSERT_TRUE(service.SwitchLanguage("German"));

    EXPECT_EQ(service.Translate(texts::tpMenu_File, "Menu"), "{&File}");
    EXPECT_EQ(service.Translate(texts::tpMenu_File, "Menu"), "{&File}");
    EXPECT_EQ(service.TranslateCommon(texts::tp_Ok), "{OK}");
    EXPECT_EQ(service.Translate(texts::tp_AlarmReportHeader_5),
              "{Connection lost or manually aborted at: %s \t}");
    EXPECT_EQ(service.GetMissingTable().size(), 3u);

    ASSERT_TRUE(service.SwitchLanguage("English"));
    EXPECT_TRUE(service.GetMissingTable().empty());
    auto lines = Lines("German");
    // Old lines stay where they were; each gap is added at the end of its section.
    EXPECT_EQ(Section(lines, "Codepage"), (std::vector<std::string>{"codepage=1252"}));
    EXPECT_EQ(Section(lines, "Menu"),
              (std::vector<std::string>{"tpMenu_Exit= Beenden", "tpMenu_File= {&File}"}));
    EXPECT_EQ(Section(lines, "common_translations"),
              (std::vector<std::string>{"tp_Cancel= Abbrechen", "tp_Apply= 'Anwenden  '",
                                        "tp_Ok= {OK}"}));
    EXPECT_EQ(Section(lines, "Log"),
              (std::vector<std::string>{"tp_AlarmReportHeader_5= '{Connection lost or manually "
                                        "aborted at: %s \t}'"}));

    // Back in German the recorded gaps read as they were shown, now from the file.
    ASSERT_TRUE(service.SwitchLanguage("German"));
    EXPECT_EQ(service.Translate(texts::tpMenu_File, "Menu"), "{&File}");
    EXPECT_EQ(service.Translate(texts::tp_AlarmReportHeader_5),
              "{Connection lost or manually aborted at: %s \t}");
    EXPECT_TRUE(service.GetMissingTable().empty());
}

TEST_F(MlsPrgMsgTest, LineBreaksAreEscapedBothWays) {
    WriteLanguage("German", {"[Codepage]", "codepage=1252"});
    service.InitLanguages();
    ASSERT_TRUE(service.SwitchLanguage("German"));
    const std::string shown = service.Translate(texts::tp_AlarmReportHeader_3);
    EXPECT_EQ(shown, std::string("{") + texts::tp_AlarmReportHeader_3.text + "}");
    ASSERT_TRUE(service.SwitchLanguage("English"));

    EXPECT_TRUE(Has(Lines("German"),
                    "tp_AlarmReportHeader_3= {\\r\\nSignal/Background values during the end of the "
                    "alarm:\\r\\nNr\tSignal   \tBackground\\r\\n}"));
    ASSERT_TRUE(service.SwitchLanguage("German"));
    EXPECT_EQ(service.Translate(texts::tp_AlarmReportHeader_3), shown);
}

TEST_F(MlsPrgMsgTest, IncrementalWriteKeepsTheTranslatorsText) {
    WriteLanguage("German", kGerman);
    service.InitLanguages();
    ASSERT_TRUE(service.SwitchLanguage("German"));
    EXPECT_EQ(service.Translate(texts::tpMenu_File, "Menu"), "{&File}");

    // The translator fills the key in while the program runs.
    auto lines = kGerman;
    lines.insert(lines.begin() + 3, "TPMENU_FILE= &Datei");
    WriteLanguage("German", lines);
    ASSERT_TRUE(service.SwitchLanguage("English"));
    EXPECT_EQ(Lines("German"), lines);
}

TEST_F(MlsPrgMsgTest, EndingTheServiceWritesTheGaps) {
    WriteLanguage("German", kGerman);
    {
        CMlsPrgMsg other;
        other.SetFolder(dir.folder());
        other.InitLanguages();
        ASSERT_TRUE(other.SwitchLanguage("German"));
        EXPECT_EQ(other.Translate(texts::tpMenu_Help, "Menu"), "{&Help}");
    }
    EXPECT_TRUE(Has(Lines("German"), "tpMenu_Help= {&Help}"));
}

TEST_F(MlsPrgMsgTest, TemplateCollectsEveryKeyUsed) {
    WriteLanguage("_Template_", {"[Codepage]", "codepage=1252"});
    service.InitLanguages();
    ASSERT_TRUE(service.SwitchLanguage("_Template_"));
    service.Translate(texts::tpMenu_About, "Menu");
    service.TranslateCommon(texts::tp_Ok);
    ASSERT_TRUE(service.SwitchLanguage("English"));
    auto lines = Lines("_Template_");
    EXPECT_EQ(Section(lines, "Menu"), (std::vector<std::string>{"tpMenu_About= {&About...}"}));
    EXPECT_EQ(Section(lines, "common_translations"), (std::vector<std::string>{"tp_Ok= {OK}"}));
}

TEST_F(MlsPrgMsgTest, TemplateHoldsTheWholeCatalogue) {
    WriteLanguage("_Template_", {"[Codepage]", "codepage=1252"});
    service.InitLanguages();
    ASSERT_TRUE(service.SwitchLanguage("_Template_"));
    service.RecordCatalogue();
    ASSERT_TRUE(service.SwitchLanguage("English"));

    auto lines = Lines("_Template_");
    std::set<std::pair<std::string, std::string>> found;
    std::string section;
    for (const auto& line : lines) {
        if (!line.empty() && line.front() == '[') {
            section = line.substr(1, line.size() - 2);
        } else if (auto eq = line.find('='); eq != std::string::npos && section != "Codepage") {
            found.insert({section, line.substr(0, eq)});
        }
    }
    EXPECT_EQ(found.size(), 294u);
    for (const CMlsEntry* entry : GetMlsEntries()) {
        EXPECT_TRUE(found.count({entry->section ? entry->section : "Default", entry->key}))
            << entry->key;
    }
    EXPECT_TRUE(Has(lines, "tpZorSetsView_= ")) << "the hidden caption stays empty";
    EXPECT_TRUE(Has(lines, "tpMenu_Exit= {E&xit}"));

    // Read back, every entry of the template shows its braced text.
    ASSERT_TRUE(service.SwitchLanguage("_Template_"));
    EXPECT_EQ(service.Translate(texts::tpMenu_Exit), "{E&xit}");
    EXPECT_EQ(service.Translate(texts::tpZorSetsView_), "");
    EXPECT_EQ(service.Translate(texts::tp_AlarmReportHeader_5),
              "{Connection lost or manually aborted at: %s \t}");
    EXPECT_EQ(service.GetLoadedTable().size(), 294u);
}

TEST_F(MlsPrgMsgTest, TemplateRefreshRewritesTheLanguageWithCtrl) {
    WriteLanguage("_Template_", {"[Codepage]", "codepage=1252", "[Menu]", "tpMenu_Help= {&Help}"});
    const std::vector<std::string> german = {"[Zebra]",
                                             "tpZ= z",
                                             "[Codepage]",
                                             "codepage=1252",
                                             "[Menu]",
                                             "tpMenu_Exit= Beenden",
                                             "tpMenu_About= 'Info '",
                                             "[common_translations]",
                                             "tp_Cancel= Abbrechen"};
    WriteLanguage("German", german);
    service.InitLanguages();

    // Without Ctrl the language file is only read.
    ASSERT_TRUE(service.SwitchLanguage("_Template_"));
    service.Translate(texts::tpMenu_Exit, "Menu");
    ASSERT_TRUE(service.SwitchLanguage("German", false));
    EXPECT_EQ(Lines("German"), german);
    EXPECT_EQ(service.Translate(texts::tpMenu_Help, "Menu"), "{&Help}");
    EXPECT_EQ(service.GetMissingTable().size(), 1u);

    // With Ctrl, from the template: rewritten whole, in sorted order.
    ASSERT_TRUE(service.SwitchLanguage("_Template_"));
    EXPECT_TRUE(Has(Lines("German"), "tpMenu_Help= {&Help}")) << "the gap went in first";
    service.TranslateCommon(texts::tp_Ok);
    ASSERT_TRUE(service.SwitchLanguage("German", true));
    EXPECT_EQ(service.GetCurrentLanguage(), "German");

    const std::vector<std::string> expected = {
        "[Codepage]",
        "codepage=1252",
        "[Menu]",
        "tpMenu_About= 'Info '",
        "tpMenu_Exit= Beenden",
        "tpMenu_Help= {&Help}",
        "[Zebra]",
        "tpZ= z",
        "[common_translations]",
        "tp_Cancel= Abbrechen",
        "tp_Ok= {OK}",
    };
    auto lines = Lines("German");
    lines.erase(std::remove(lines.begin(), lines.end(), std::string()), lines.end());
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(service.Translate(texts::tpMenu_About, "Menu"), "Info ");
    EXPECT_EQ(service.TranslateCommon(texts::tp_Ok), "{OK}");

    // Ctrl switching away from a language that is not the template rewrites nothing.
    auto germanBefore = test::ReadBytes(Path("German"));
    auto templateBefore = test::ReadBytes(Path("_Template_"));
    ASSERT_TRUE(service.SwitchLanguage("_Template_", true));
    EXPECT_EQ(test::ReadBytes(Path("German")), germanBefore);
    ASSERT_TRUE(service.SwitchLanguage("English", true));
    EXPECT_EQ(service.GetCurrentLanguage(), "English");
    EXPECT_EQ(test::ReadBytes(Path("_Template_")), templateBefore);
}

TEST_F(MlsPrgMsgTest, UnusableLanguagesFallBackToEnglish) {
    WriteLanguage("German", kGerman);
    WriteLanguage("Other", {"[Codepage]", "codepage=1252"});
    test::WriteBytes(Path("Ansi"), "[Menu]\r\ntpMenu_File=Datei\r\n");
    service.InitLanguages();
    std::filesystem::rename(Path("German"), dir.file("German.old"));

    struct Case {
        const char* language;
        const char* message;  // part of the reported error, or null for none
    };
    const Case cases[] = {
        {"Klingon", nullptr},           // not in the list
        {"German", "cannot be found"},  // removed after the list was built
        // Still ANSI (its conversion failed) and no code page named.
        {"Ansi", "has no Codepage definition!\n\nUnable to continue.."},
    };
    for (const Case& c : cases) {
        if (c.language == std::string("Ansi")) {
            BlockAnsiBackup(Path("Ansi"));
        }
        ASSERT_TRUE(service.SwitchLanguage("Other"));
        EXPECT_EQ(service.Translate(texts::tpMenu_Cache), "{Cache}");
        messages.clear();
        EXPECT_FALSE(service.SwitchLanguage(c.language)) << c.language;
        EXPECT_EQ(service.GetCurrentLanguage(), "English") << c.language;
        EXPECT_EQ(service.Translate(texts::tpMenu_File, "Menu"), "&File") << c.language;
        EXPECT_TRUE(service.GetLoadedTable().empty());
        EXPECT_TRUE(service.GetMissingTable().empty());
        if (c.message) {
            ASSERT_EQ(messages.size(), 1u) << c.language;
            EXPECT_NE(messages[0].find(c.message), std::string::npos) << messages[0];
            EXPECT_EQ(service.GetLastError(), messages[0]);
        } else {
            EXPECT_TRUE(messages.empty()) << c.language;
        }
        // The language being left still got its gaps.
        EXPECT_TRUE(Has(Lines("Other"), "tpMenu_Cache= {Cache}")) << c.language;
    }
    // The ANSI file without a code page is left for the translator to mend.
    EXPECT_EQ(test::ReadBytes(Path("Ansi")), "[Menu]\r\ntpMenu_File=Datei\r\n");
}

TEST_F(MlsPrgMsgTest, AnsiFilesAreConvertedAndRead) {
    // "Файл" in code page 1251, and in the system's 8-bit text (UTF-8 here) without a code page.
    test::WriteBytes(Path("Russian"),
                     "[Codepage]\r\ncodepage=1251\r\n[Menu]\r\ntpMenu_File= \xD4\xE0\xE9\xEB\r\n");
    test::WriteBytes(Path("Plain"), "[Menu]\r\ntpMenu_File= \xD0\xA4\xD0\xB0\xD0\xB9\xD0\xBB\r\n");
    service.InitLanguages();
    for (const char* language : {"Russian", "Plain"}) {
        ASSERT_TRUE(service.SwitchLanguage(language)) << service.GetLastError();
        EXPECT_EQ(service.Translate(texts::tpMenu_File, "Menu"), "\xD0\xA4\xD0\xB0\xD0\xB9\xD0\xBB")
            << language;
        bool ok = false;
        ReadUtf16Lines(Path(language), &ok);
        EXPECT_TRUE(ok) << language;
    }
    EXPECT_TRUE(messages.empty());
}

TEST_F(MlsPrgMsgTest, EntriesWithoutOwnTextUseTheCatalogue) {
    WriteLanguage("German", kGerman);
    service.InitLanguages();
    const CMlsEntry byKey("tpMenu_File", "");
    const CMlsEntry keyAsText("tpMenu_Exit", "tpMenu_Exit");
    const CMlsEntry unknown("tpNowhere_Key", "");
    const CMlsEntry noKey("", "text");
    const CMlsEntry quiet("tpQuiet_Text", "Quiet", false);

    EXPECT_EQ(service.Translate(byKey, "Menu"), "&File");
    EXPECT_EQ(service.Translate(unknown, "Menu"), "tpNowhere_Key");
    EXPECT_EQ(service.Translate(noKey, "Menu"), "");
    EXPECT_EQ(service.Translate(quiet, "Menu"), "Quiet");

    ASSERT_TRUE(service.SwitchLanguage("German"));
    EXPECT_EQ(service.Translate(byKey, "Menu"), "&File") << "the registered text, unbraced";
    EXPECT_EQ(service.Translate(keyAsText, "Menu"), "Beenden");
    EXPECT_EQ(service.Translate(unknown, "Menu"), "{tpNowhere_Key}");
    EXPECT_EQ(service.Translate(noKey, "Menu"), "");
    EXPECT_EQ(service.Translate(quiet, "Menu"), "Quiet");
    EXPECT_EQ(service.Translate(texts::tpZorSetsView_, "Default"), "");
    EXPECT_TRUE(service.GetMissingTable().empty());
}

TEST_F(MlsPrgMsgTest, FreeTranslateUsesTheProcessWideService) {
    ASSERT_EQ(CMlsPrgMsg::Instance(), &service);
    {
        CMlsPrgMsg second;
        EXPECT_EQ(CMlsPrgMsg::Instance(), &service) << "the first service stays the one";
    }
    WriteLanguage("German", kGerman);
    service.InitLanguages();
    ASSERT_TRUE(service.SwitchLanguage("German"));
    EXPECT_EQ(Translate(texts::tpMenu_Exit), "Beenden");
    EXPECT_EQ(Translate(texts::tpMenu_File), "{&File}");
    EXPECT_EQ(Translate(texts::tpWaitingDlg_PleaseWait), "{Please wait...}");
    EXPECT_EQ(service.GetMissingTable().count({"Default", "tpWaitingDlg_PleaseWait"}), 1u);
}

TEST(MlsPrgMsgAlone, FreeTranslateWithoutServiceGivesBuiltInTexts) {
    ASSERT_EQ(CMlsPrgMsg::Instance(), nullptr);
    EXPECT_EQ(Translate(texts::tpMenu_File), "&File");
    EXPECT_EQ(Translate(CMlsEntry("tpMenu_Exit", "")), "E&xit");
    EXPECT_EQ(Translate(CMlsEntry("tpNowhere_Key", "")), "tpNowhere_Key");
    {
        CMlsPrgMsg service;
        EXPECT_EQ(CMlsPrgMsg::Instance(), &service);
    }
    EXPECT_EQ(CMlsPrgMsg::Instance(), nullptr);
}

TEST_F(MlsPrgMsgTest, MenuTaggingAndTranslation) {
    CMlsMenuTree bar;
    CMlsMenuTree& file = bar.AddSubMenu("tpMenu_File");
    file.Add("tpMenu_SaveListOfDevicesAs").Add("Unknown caption").Add("tpMenu_Exit");
    CMlsMenuTree& recent = file.AddSubMenu("tpRecentDBListMenu_RecentlyOpenedDbs");
    recent.Add("tpMenu_About");
    CMlsMenuTree& language = bar.AddSubMenu("Language");
    language.Add("tpMenu_Exit");
    CMlsMenuTree& help = bar.AddSubMenu("tpMenu_Help");
    help.Add("tp_Ok");                     // not a menu entry
    help.At(0).entry = &texts::tp_Cancel;  // already carries data

    service.TranslateMenu(bar, true);
    EXPECT_EQ(bar.At(0).entry, &texts::tpMenu_File);
    EXPECT_EQ(file.At(0).entry, &texts::tpMenu_SaveListOfDevicesAs);
    EXPECT_EQ(file.At(1).entry, nullptr);
    EXPECT_EQ(file.At(2).entry, &texts::tpMenu_Exit);
    EXPECT_EQ(file.At(3).entry, nullptr);
    EXPECT_EQ(recent.At(0).entry, nullptr) << "recent list items are not visited";
    EXPECT_EQ(bar.At(1).entry, nullptr);
    EXPECT_EQ(language.At(0).entry, nullptr) << "the language menu is left alone";
    EXPECT_EQ(bar.At(2).entry, &texts::tpMenu_Help);
    EXPECT_EQ(help.At(0).entry, &texts::tp_Cancel);

    WriteLanguage("German", kGerman);
    service.InitLanguages();
    ASSERT_TRUE(service.SwitchLanguage("German"));
    service.TranslateMenu(bar, false);
    EXPECT_EQ(bar.At(0).caption, "{&File}");
    EXPECT_EQ(file.At(0).caption, "{&Save List of Devices as...}");
    EXPECT_EQ(file.At(1).caption, "Unknown caption");
    EXPECT_EQ(file.At(2).caption, "Beenden");
    EXPECT_EQ(file.At(3).caption, "tpRecentDBListMenu_RecentlyOpenedDbs");
    EXPECT_EQ(recent.At(0).caption, "tpMenu_About");
    EXPECT_EQ(language.At(0).caption, "tpMenu_Exit");
    EXPECT_EQ(help.At(0).caption, "{Cancel}") << "translated in section Menu";
    EXPECT_TRUE(service.GetMissingTable().count({"Menu", "tpMenu_File"}));

    ASSERT_TRUE(service.SwitchLanguage("English"));
    service.TranslateMenu(bar, false);
    EXPECT_EQ(bar.At(0).caption, "&File");
    EXPECT_EQ(file.At(2).caption, "E&xit");
    EXPECT_EQ(bar.At(2).caption, "&Help");
}

TEST_F(MlsPrgMsgTest, TranslateRunsWhileLanguagesSwitch) {
    WriteLanguage("German", kGerman);
    WriteLanguage("_Template_", {"[Codepage]", "codepage=1252"});
    service.InitLanguages();
    const auto& entries = GetMlsEntries();

    std::atomic<bool> stop{false};
    std::atomic<int> bad{0};
    std::atomic<long> lookups{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            size_t i = static_cast<size_t>(t) * 37;
            while (!stop.load()) {
                const CMlsEntry& entry = *entries[i++ % entries.size()];
                std::string text = (i % 3 == 0) ? Translate(entry) : service.Translate(entry);
                std::string own = entry.text;
                bool fine = text == own || text == "{" + own + "}" ||
                            (entry.Key() == "tpMenu_Exit" && text == "Beenden") ||
                            (entry.Key() == "tp_Cancel" && text == "Abbrechen") ||
                            (entry.Key() == "tp_Apply" && text == "Anwenden  ") ||
                            (entry.Key() == "tpZorSetsDlg_SureToCancel" &&
                             text == "Wirklich\r\nabbrechen\n") ||
                            (entry.Key() == "tpZorSetsView_" && text == "Feld");
                if (!fine) {
                    ++bad;
                }
                ++lookups;
            }
        });
    }
    // Every fourth switch refreshes German from the template (Ctrl held).
    const char* languages[] = {"German", "_Template_", "German", "English"};
    for (int round = 0; round < 40; ++round) {
        EXPECT_TRUE(service.SwitchLanguage(languages[round % 4], round % 4 == 2));
        if (round % 4 == 0) {
            service.InitLanguages();
        }
        service.GetMissingTable();
    }
    stop = true;
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(bad.load(), 0);
    EXPECT_GT(lookups.load(), 0);
    // The files are still whole language files afterwards.
    auto lines = Lines("German");
    EXPECT_TRUE(Has(lines, "tpMenu_Exit= Beenden"));
    EXPECT_TRUE(Has(lines, "codepage=1252"));
}

}  // namespace
}  // namespace zm
