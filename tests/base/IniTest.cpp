#include "base/Ini.h"

#include "support/FileBytes.h"
#include "support/RequiredTool.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace zm {
namespace {

using test::ReadBytes;
using test::Utf16Le;
using test::WriteBytes;

const std::string kBom = "\xFF\xFE";

std::string Utf16File(std::u16string_view text) {
    return kBom + Utf16Le(text);
}

// A file as an editor on the original platform would leave it.
const std::u16string kWindowsStyle =
    u"; settings\r\n"
    u"[General]\r\n"
    u"Language=Русский\r\n"
    u"  Padded  =  some value  \r\n"
    u"Quoted='  kept blanks '\r\n"
    u"DoubleQuoted=\"x\"\r\n"
    u"HalfQuoted=\"x\r\n"
    u"Empty=\r\n"
    u"Equals=a=b\r\n"
    u"\r\n"
    u"[Zor-01]\r\n"
    u"sName=Pier 1\r\n"
    u"nPause=5\r\n"
    u"\r\n"
    u"[ZOR-01]\r\n"
    u"sName=shadowed\r\n";

TEST(Ini, ReadsAWindowsStyleFile) {
    test::TempDir dir;
    std::string path = dir.file("w.ini");
    WriteBytes(path, Utf16File(kWindowsStyle));
    CIni ini(path);
    EXPECT_FALSE(ini.WasConverted());
    struct Case {
        const char* section;
        const char* key;
        std::string expected;
    } cases[] = {
        {"General", "Language", "Русский"},
        {"general", "LANGUAGE", "Русский"},
        {"General", "Padded", "some value"},
        {"General", "Quoted", "  kept blanks "},
        {"General", "DoubleQuoted", "x"},
        {"General", "HalfQuoted", "\"x"},
        {"General", "Empty", ""},
        {"General", "Equals", "a=b"},
        {"General", "Missing", "<default>"},
        {"Nowhere", "Language", "<default>"},
        {"zor-01", "sname", "Pier 1"},  // the first of two sections of one name wins
        {"", "Language", "<default>"},
        {"General", "", "<default>"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ini.GetString(c.section, c.key, "<default>"), c.expected)
            << c.section << "/" << c.key;
    EXPECT_TRUE(ini.IsSectionExist("zor-01"));
    EXPECT_FALSE(ini.IsSectionExist("Zor-02"));
    EXPECT_TRUE(ini.IsKeyExist("General", "empty"));
    EXPECT_FALSE(ini.IsKeyExist("General", "nope"));
    std::vector<std::string> names;
    ini.GetSectionNames(names);
    EXPECT_EQ(names, (std::vector<std::string>{"General", "Zor-01", "ZOR-01"}));
    ini.GetKeyNames("General", names);
    EXPECT_EQ(names, (std::vector<std::string>{"Language", "Padded", "Quoted", "DoubleQuoted",
                                               "HalfQuoted", "Empty", "Equals"}));
    // Reads never change the file.
    EXPECT_EQ(ReadBytes(path), Utf16File(kWindowsStyle));
}

TEST(Ini, WritesTheOnDiskFormByteForByte) {
    test::TempDir dir;
    std::string path = dir.file("new.ini");
    CIni ini(path);
    EXPECT_EQ(ini.GetString("S", "k", "d"), "d");
    EXPECT_FALSE(std::filesystem::exists(path));  // a read creates nothing
    ASSERT_TRUE(ini.WriteString("S", "k", "v"));
    EXPECT_EQ(ReadBytes(path), Utf16File(u"[S]\r\nk=v\r\n"));
    ASSERT_TRUE(ini.WriteString("T", "a", "€😀"));
    ASSERT_TRUE(ini.WriteString("s", "second", "2"));  // into [S], found without case
    ASSERT_TRUE(ini.WriteString("S", "K", "new"));     // replaced in place
    EXPECT_EQ(ReadBytes(path), Utf16File(u"[S]\r\nk=new\r\nsecond=2\r\n[T]\r\na=€😀\r\n"));
    ASSERT_TRUE(ini.DeleteSection("s"));
    EXPECT_EQ(ReadBytes(path), Utf16File(u"[T]\r\na=€😀\r\n"));
    EXPECT_EQ(ini.GetString("T", "a"), "€😀");
}

TEST(Ini, EditsKeepEveryOtherLine) {
    test::TempDir dir;
    std::string path = dir.file("w.ini");
    WriteBytes(path, Utf16File(kWindowsStyle));
    CIni ini(path);
    ASSERT_TRUE(ini.WriteString("Zor-01", "nPause", "7"));
    ASSERT_TRUE(ini.WriteString("Zor-01", "bScanning", "1"));  // before the blank separator
    std::u16string expected = kWindowsStyle;
    expected.replace(expected.find(u"nPause=5"), 8, u"nPause=7\r\nbScanning=1");
    EXPECT_EQ(ReadBytes(path), Utf16File(expected));
}

TEST(Ini, WritesKeepTheFileEncodingAndUndecodableLines) {
    test::TempDir dir;
    std::string path = dir.file("e.ini");
    // A lone surrogate in a comment: the line cannot be decoded, its bytes must survive.
    const std::string broken = Utf16Le(u"; a") + "\x00\xD8" + Utf16Le(u"b\r\n");
    WriteBytes(path, kBom + Utf16Le(u"[S]\r\n") + broken);
    CIni ini(path);
    ASSERT_TRUE(ini.WriteString("S", "k", "v"));
    EXPECT_EQ(ReadBytes(path), kBom + Utf16Le(u"[S]\r\n") + broken + Utf16Le(u"k=v\r\n"));

    std::string be = dir.file("be.ini");
    WriteBytes(be, std::string("\xFE\xFF\0[\0S\0]\0\r\0\n", 12));
    CIni big(be);
    ASSERT_TRUE(big.WriteString("S", "k", "v"));
    EXPECT_EQ(ReadBytes(be), std::string("\xFE\xFF\0[\0S\0]\0\r\0\n\0k\0=\0v\0\r\0\n", 22));
}

TEST(Ini, RefusesWritesThatWouldBreakTheLineForm) {
    test::TempDir dir;
    std::string path = dir.file("r.ini");
    CIni ini(path);
    ASSERT_TRUE(ini.WriteString("S", "k", "v"));
    std::string before = ReadBytes(path);
    struct Case {
        std::string section, key, value;
    } cases[] = {
        {"S", "k", "two\r\nlines"},
        {"S", "k", "lf\n"},
        {"S", "a=b", "v"},
        {"S", "[x]", "v"},
        {"A]B", "k", "v"},
        {"", "k", "v"},
        {"S", "", "v"},
        {"S", "k", std::string("nul\0", 4)},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(ini.WriteString(c.section, c.key, c.value)) << c.key << "=" << c.value;
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_FALSE(CIni().WriteString("S", "k", "v"));  // no path
}

TEST(Ini, LongValuesAreReadWhole) {
    test::TempDir dir;
    CIni ini(dir.file("l.ini"));
    std::string value;
    for (int i = 0; i < 5000; ++i)
        value += static_cast<char>('a' + i % 26);
    value += "я";
    ASSERT_TRUE(ini.WriteString("S", "long", value));
    EXPECT_EQ(ini.GetString("S", "long"), value);
    char buffer[8];
    EXPECT_EQ(ini.GetString("S", "long", buffer, 8), 8);
    EXPECT_STREQ(buffer, "abcdefg");
    ASSERT_TRUE(ini.WriteString("S", "short", "xя"));
    EXPECT_EQ(ini.GetString("S", "short", buffer, 3), 3);
    EXPECT_STREQ(buffer, "x");  // never half a character
    EXPECT_EQ(ini.GetString("S", "short", buffer, 8), 3);
    EXPECT_STREQ(buffer, "xя");
}

TEST(Ini, NumbersAndBooleans) {
    test::TempDir dir;
    std::string path = dir.file("n.ini");
    CIni ini(path);
    struct IntCase {
        const char* text;
        int base;
        int expected;
    } ints[] = {
        {"ff", 16, 255},        {"ff", 10, 0},           {"-1", 10, -1}, {"0x1A", 16, 26},
        {"0x", 16, 0},          {"  42abc", 10, 42},     {"101", 2, 5},  {"17", 8, 15},
        {"12", 7, 12},  // base 7 means 10
        {"4294967295", 10, -1}, {"99999999999", 10, -1}, {"abc", 10, 0}, {"+7", 10, 7},
    };
    for (const auto& c : ints) {
        ASSERT_TRUE(ini.WriteString("N", "v", c.text));
        EXPECT_EQ(ini.GetInt("N", "v", 77, c.base), c.expected) << c.text << " base " << c.base;
    }
    EXPECT_EQ(ini.GetInt("N", "missing", 77), 77);
    ASSERT_TRUE(ini.WriteString("N", "v", ""));
    EXPECT_EQ(ini.GetInt("N", "v", 77), 77);

    struct BoolCase {
        const char* text;
        bool expected;
    } bools[] = {{"YES", true},  {"True", true}, {"2", true},   {"no", false}, {"0", false},
                 {"abc", false}, {"-1", true},   {"00", false}, {" 1", true},  {"truex", false}};
    for (const auto& c : bools) {
        ASSERT_TRUE(ini.WriteString("B", "v", c.text));
        EXPECT_EQ(ini.GetBool("B", "v", !c.expected), c.expected) << c.text;
        EXPECT_EQ(ini.GetBOOL("B", "v", 7), c.expected ? 1 : 0) << c.text;
    }
    EXPECT_TRUE(ini.GetBool("B", "missing", true));
    EXPECT_EQ(ini.GetBOOL("B", "missing", 7), 7);

    // Only the first 63 characters are judged.
    ASSERT_TRUE(ini.WriteString("N", "v", std::string(63, '0') + "5"));
    EXPECT_EQ(ini.GetInt("N", "v", 77), 0);
}

TEST(Ini, TypedWritesStoreTheirTextForms) {
    test::TempDir dir;
    CIni ini(dir.file("t.ini"));
    ASSERT_TRUE(ini.WriteInt("W", "b2", 5, 2));
    ASSERT_TRUE(ini.WriteInt("W", "b2zero", 0, 2));
    ASSERT_TRUE(ini.WriteInt("W", "b16", 255, 16));
    ASSERT_TRUE(ini.WriteInt("W", "b16neg", -1, 16));
    ASSERT_TRUE(ini.WriteInt("W", "b8", 8, 8));
    ASSERT_TRUE(ini.WriteInt("W", "b10", -3, 10));
    ASSERT_TRUE(ini.WriteInt("W", "b3", -3, 3));
    ASSERT_TRUE(ini.WriteBool("W", "t", true));
    ASSERT_TRUE(ini.WriteBool("W", "f", false));
    ASSERT_TRUE(ini.WriteDouble("W", "d2", 2.5, 2));
    ASSERT_TRUE(ini.WriteDouble("W", "d0", 2.5, 0));
    ASSERT_TRUE(ini.WriteDouble("W", "dneg", -0.125, 3));
    const unsigned char block[] = {0x0A, 0xFF};
    ASSERT_TRUE(ini.WriteDataBlock("W", "blk", block, 2));
    EXPECT_FALSE(ini.WriteDataBlock("W", "none", nullptr, 2));
    struct Case {
        const char* key;
        const char* stored;
    } cases[] = {{"b2", "101"},  {"b2zero", "0"}, {"b16", "FF"},      {"b16neg", "FFFFFFFF"},
                 {"b8", "10"},   {"b10", "-3"},   {"b3", "-3"},       {"t", "1"},
                 {"f", "0"},     {"d2", "2.50"},  {"d0", "2.500000"}, {"dneg", "-0.125"},
                 {"blk", "0AFF"}};
    for (const auto& c : cases)
        EXPECT_EQ(ini.GetString("W", c.key, "<none>"), c.stored) << c.key;
    EXPECT_FALSE(ini.IsKeyExist("W", "none"));
    EXPECT_DOUBLE_EQ(ini.GetDouble("W", "d2", 0), 2.5);
    EXPECT_DOUBLE_EQ(ini.GetDouble("W", "missing", 1.5), 1.5);
}

// The GUI toolkit sets the process locale from the environment; a decimal comma there must
// not change what is stored or read.
TEST(Ini, DoublesIgnoreTheLocale) {
    test::TempDir dir;
    std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) {
        // Build a minimal locale with a decimal comma.
        test::WriteBytes(dir.file("comma.src"),
                         "LC_NUMERIC\ndecimal_point \"<U002C>\"\nthousands_sep \"<U002E>\"\n"
                         "grouping 3;3\nEND LC_NUMERIC\n");
        std::string command = "localedef -c -i '" + dir.file("comma.src") + "' -f UTF-8 '" +
                              dir.file("xx_COMMA.UTF-8") + "' >/dev/null 2>&1";
        std::system(command.c_str());
        ::setenv("LOCPATH", dir.folder().c_str(), 1);
        if (!std::setlocale(LC_NUMERIC, "xx_COMMA.UTF-8")) {
            ::unsetenv("LOCPATH");
            ZM_REQUIRE_TOOL(false, "a locale with a decimal comma (localedef)");
        }
    }
    ASSERT_EQ(std::string(std::localeconv()->decimal_point), ",");
    CIni ini(dir.file("d.ini"));
    bool wrote = ini.WriteDouble("D", "x", 2.5, 2);
    std::string stored = ini.GetString("D", "x");
    double read = ini.GetDouble("D", "x", 0);
    std::setlocale(LC_NUMERIC, saved.c_str());
    ::unsetenv("LOCPATH");
    EXPECT_TRUE(wrote);
    EXPECT_EQ(stored, "2.50");
    EXPECT_DOUBLE_EQ(read, 2.5);
}

TEST(Ini, DataBlocks) {
    test::TempDir dir;
    CIni ini(dir.file("b.ini"));
    struct Case {
        const char* text;
        int capacity;
        int offset;
        bool withBuffer;
        int result;
        std::vector<unsigned char> bytes;
    } cases[] = {
        {"0AFF", 10, 0, false, 2, {}},
        {"0AFF", 10, 0, true, 2, {0x0A, 0xFF}},
        {"0AFF", 10, 1, true, 1, {0xFF}},
        {"0AFF", 1, 0, true, 1, {0x0A}},
        {"0aff1", 10, 0, true, 2, {0x0A, 0xFF}},  // the odd digit is ignored
        {"0AFG", 10, 0, true, 0, {}},
        {"0AFF", 10, 2, true, 0, {}},
        {"0AFF", 10, -1, true, 0, {}},
        {"", 10, 0, true, 0, {}},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(ini.WriteString("B", "k", c.text));
        unsigned char buffer[10] = {};
        int n = ini.GetDataBlock("B", "k", c.withBuffer ? buffer : nullptr, c.capacity, c.offset);
        EXPECT_EQ(n, c.result) << c.text << " offset " << c.offset;
        if (c.withBuffer && n > 0) {
            EXPECT_EQ(std::vector<unsigned char>(buffer, buffer + n), c.bytes) << c.text;
        }
    }
}

TEST(Ini, KeyNamesFollowTheLineRule) {
    test::TempDir dir;
    std::string path = dir.file("k.ini");
    WriteBytes(path, Utf16File(u"[S]\r\n a =1\r\n=2\r\nb\r\nc=3=4\r\n"));
    CIni ini(path);
    std::vector<std::string> names{"stale"};
    ini.GetKeyNames("s", names);
    EXPECT_EQ(names, (std::vector<std::string>{"a", "c"}));
    ini.GetKeyNames("missing", names);
    EXPECT_TRUE(names.empty());
}

TEST(Ini, ValueEqualToTheMarkerReadsAsMissingKey) {
    test::TempDir dir;
    CIni ini(dir.file("m.ini"));
    ASSERT_TRUE(ini.WriteString("S", "k", CIni::kNoKeyMarker));
    EXPECT_FALSE(ini.IsKeyExist("S", "k"));
}

TEST(Ini, BindingLeavesMarkedFilesAlone) {
    test::TempDir dir;
    const std::string bodies[] = {
        Utf16File(u"[S]\r\nk=v\r\n"),
        std::string("\xFE\xFF\0[\0S\0]\0\r\0\n\0k\0=\0v", 18),
        "\xEF\xBB\xBF[S]\r\nk=v\r\n",
    };
    for (const auto& body : bodies) {
        std::string path = dir.file("m.ini");
        WriteBytes(path, body);
        CIni ini(path);
        EXPECT_FALSE(ini.WasConverted());
        EXPECT_EQ(ReadBytes(path), body);
        EXPECT_EQ(ini.GetString("S", "k"), "v");
    }
    CIni missing(dir.file("none.ini"));
    EXPECT_FALSE(missing.WasConverted());
    EXPECT_FALSE(std::filesystem::exists(dir.file("none.ini")));
    size_t files = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.path()))
        ++files;
    EXPECT_EQ(files, 1u);  // no backup was made
}

std::vector<std::string> Backups(const test::TempDir& dir) {
    std::vector<std::string> found;
    for (auto& e : std::filesystem::directory_iterator(dir.path())) {
        std::string name = e.path().filename().string();
        if (name.ends_with(".ansi.bak"))
            found.push_back(name);
    }
    return found;
}

TEST(Ini, ConvertsAnAnsiFileWithItsCodePage) {
    test::TempDir dir;
    std::string path = dir.file("lang.ini");
    const std::string original =
        "[Codepage]\r\ncodepage=1251\r\n[Menu]\r\ntpMenu_Exit=\xC2\xFB\xF5\xEE\xE4\r\n";
    WriteBytes(path, original);
    ::chmod(path.c_str(), 0640);
    CIni ini(path);
    EXPECT_TRUE(ini.WasConverted());
    // Each line is followed by CR LF, the empty line after the last terminator included.
    EXPECT_EQ(ReadBytes(path),
              Utf16File(u"[Codepage]\r\ncodepage=1251\r\n[Menu]\r\ntpMenu_Exit=Выход\r\n\r\n"));
    EXPECT_EQ(ini.GetString("Menu", "tpMenu_Exit"), "Выход");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    auto backups = Backups(dir);
    ASSERT_EQ(backups.size(), 1u);
    // lang.ini-YYYY-MM-DD_hh-mm-ss.ansi.bak
    EXPECT_EQ(backups[0].size(), std::string("lang.ini-2026-01-01_00-00-00.ansi.bak").size());
    EXPECT_TRUE(backups[0].starts_with("lang.ini-20"));
    EXPECT_EQ(ReadBytes(dir.file(backups[0])), original);
    ASSERT_EQ(::stat(dir.file(backups[0]).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    CIni again(path);  // now marked: no second conversion
    EXPECT_FALSE(again.WasConverted());
    EXPECT_EQ(Backups(dir).size(), 1u);
}

TEST(Ini, AnsiFileWithoutCodePageIsUtf8Here) {
    test::TempDir dir;
    std::string path = dir.file("plain.ini");
    WriteBytes(path, "[S]\nk=Grüße");
    CIni ini(path);
    EXPECT_TRUE(ini.WasConverted());
    EXPECT_EQ(ReadBytes(path), Utf16File(u"[S]\r\nk=Grüße\r\n"));
}

TEST(Ini, ConversionStopsWhenTheBackupExists) {
    test::TempDir dir;
    std::string path = dir.file("x.ini");
    const std::string original = "[Codepage]\r\ncodepage=1251\r\n[S]\r\nk=\xC4\xE0\r\n";
    WriteBytes(path, original);
    // Occupy the backup names of this second and the next two.
    for (int i = 0; i < 3; ++i) {
        std::time_t t = std::time(nullptr) + i;
        std::tm local{};
        localtime_r(&t, &local);
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H-%M-%S", &local);
        WriteBytes(path + "-" + stamp + ".ansi.bak", "occupied");
    }
    CIni ini(path);
    EXPECT_TRUE(ini.WasConverted());
    EXPECT_EQ(ReadBytes(path), original);  // left in its ANSI form
    for (const auto& name : Backups(dir))
        EXPECT_EQ(ReadBytes(dir.file(name)), "occupied");
}

TEST(Ini, ConversionRefusesACodePageThisSystemCannotConvert) {
    test::TempDir dir;
    std::string path = dir.file("y.ini");
    const std::string original = "[Codepage]\r\ncodepage=99999\r\n[S]\r\nk=\xC4\r\n";
    WriteBytes(path, original);
    CIni ini(path);
    EXPECT_EQ(ReadBytes(path), original);
    EXPECT_EQ(Backups(dir).size(), 1u);
}

TEST(Ini, SettingsFilesArePrivateAndKeepTheirMode) {
    test::TempDir dir;
    std::string path = dir.file("p.ini");
    CIni ini(path);
    ASSERT_TRUE(ini.WriteString("S", "password", "secret"));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    ASSERT_TRUE(ini.WriteString("S", "k", "v"));
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    if (::geteuid() == 0) {
        // An administrator's write leaves the file with its owner.
        ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
        ASSERT_TRUE(ini.WriteString("S", "k", "w"));
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, 65534u);
        EXPECT_EQ(st.st_gid, 65534u);
    }
}

TEST(Ini, AFailedWriteLeavesTheOldFileWhole) {
    test::TempDir dir;
    std::string path = dir.file("f.ini");
    {
        CIni ini(path);
        for (int i = 0; i < 40; ++i)
            ASSERT_TRUE(ini.WriteString("S", "key" + std::to_string(i), "value"));
    }
    const std::string before = ReadBytes(path);
    ASSERT_GT(before.size(), 1000u);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A file size limit makes the write of the new contents stop part-way.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{512, 512};
        setrlimit(RLIMIT_FSIZE, &limit);
        CIni ini(path);
        bool wrote = ini.WriteString("S", "extra", std::string(100, 'x'));
        _exit(wrote ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the failed write was reported as success";
    EXPECT_EQ(ReadBytes(path), before);
    for (auto& e : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(e.path().filename().string().find(".XXXXXX"), std::string::npos);
    CIni ini(path);
    EXPECT_EQ(ini.GetString("S", "key39"), "value");
}

TEST(Ini, NextReadSeesEveryWrite) {
    test::TempDir dir;
    std::string path = dir.file("c.ini");
    CIni reader(path);
    CIni writer(path);
    ASSERT_TRUE(writer.WriteString("S", "k", "1"));
    EXPECT_EQ(reader.GetString("S", "k"), "1");
    ASSERT_TRUE(writer.WriteString("S", "k", "2"));
    EXPECT_EQ(reader.GetString("S", "k"), "2");

    // Another process.
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        CIni other(path);
        _exit(other.WriteString("S", "k", "3") ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(reader.GetString("S", "k"), "3");

    // Another program that rewrites the file in place with the same size.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::string bytes = ReadBytes(path);
    auto at = bytes.rfind(std::string("3\0", 2));
    ASSERT_NE(at, std::string::npos);
    bytes[at] = '4';
    {
        std::FILE* f = std::fopen(path.c_str(), "r+b");
        ASSERT_NE(f, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    EXPECT_EQ(reader.GetString("S", "k"), "4");
}

TEST(Ini, ConcurrentWritersLoseNothing) {
    test::TempDir dir;
    std::string path = dir.file("shared.ini");
    constexpr int kKeys = 40;
    auto writeKeys = [&](const std::string& prefix) {
        bool ok = true;
        for (int i = 0; i < kKeys; ++i) {
            CIni ini(path);  // short-lived objects, as callers make them
            ok = ini.WriteString(i % 2 ? "Odd" : "Even", prefix + std::to_string(i), prefix) && ok;
        }
        return ok;
    };
    pid_t children[2];
    for (int p = 0; p < 2; ++p) {
        children[p] = fork();
        ASSERT_GE(children[p], 0);
        if (children[p] == 0)
            _exit(writeKeys("proc" + std::to_string(p) + "_") ? 0 : 1);
    }
    bool t1 = false, t2 = false;
    std::thread a([&] { t1 = writeKeys("threadA_"); });
    std::thread b([&] { t2 = writeKeys("threadB_"); });
    a.join();
    b.join();
    EXPECT_TRUE(t1);
    EXPECT_TRUE(t2);
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    CIni ini(path);
    for (std::string prefix : {"proc0_", "proc1_", "threadA_", "threadB_"})
        for (int i = 0; i < kKeys; ++i)
            EXPECT_EQ(ini.GetString(i % 2 ? "Odd" : "Even", prefix + std::to_string(i)), prefix)
                << prefix << i;
    std::vector<std::string> names;
    ini.GetKeyNames("Odd", names);
    EXPECT_EQ(names.size(), 4u * kKeys / 2);
}

TEST(IniBatch, WritesOnceAtTheEndAndReadsItsOwnChanges) {
    test::TempDir dir;
    std::string path = dir.file("batch.ini");
    CIni ini(path);
    ASSERT_TRUE(ini.WriteString("Keep", "k", "v"));
    const std::string before = ReadBytes(path);
    std::string otherThreadSaw;
    bool otherWrote = false;
    std::thread other;
    {
        CIniBatch batch(path);
        ASSERT_TRUE(batch.IsHeld());
        for (int d = 1; d <= 3; ++d)
            for (int k = 0; k < 3; ++k)
                ASSERT_TRUE(ini.WriteInt("Zor-0" + std::to_string(d), "n" + std::to_string(k), k));
        EXPECT_EQ(ini.GetInt("zor-02", "N2", -1), 2);  // the held copy
        EXPECT_EQ(ReadBytes(path), before);            // nothing written yet
        {
            CIniBatch nested(path);  // same thread, same file: the outer scope writes
            EXPECT_FALSE(nested.IsHeld());
            ASSERT_TRUE(ini.WriteString("Zor-01", "nested", "1"));
        }
        EXPECT_EQ(ReadBytes(path), before);
        other = std::thread([&] {
            CIni mine(path);
            otherThreadSaw = mine.GetString("Zor-01", "n0", "<absent>");
            otherWrote = mine.WriteString("Other", "k", "waited");  // waits for the scope
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    other.join();
    EXPECT_EQ(otherThreadSaw, "<absent>");
    EXPECT_TRUE(otherWrote);
    EXPECT_EQ(ini.GetString("Keep", "k"), "v");
    EXPECT_EQ(ini.GetString("Zor-03", "n2"), "2");
    EXPECT_EQ(ini.GetString("Zor-01", "nested"), "1");
    EXPECT_EQ(ini.GetString("Other", "k"), "waited");
}

TEST(IniBatch, BatchesInTwoProcessesLoseNothing) {
    test::TempDir dir;
    std::string path = dir.file("two.ini");
    auto save = [&](const std::string& section) {
        CIniBatch batch(path);
        CIni ini(path);
        bool ok = batch.IsHeld();
        for (int k = 0; k < 30; ++k)
            ok = ini.WriteInt(section, "n" + std::to_string(k), k) && ok;
        return ok;
    };
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        _exit(save("Child") ? 0 : 1);
    EXPECT_TRUE(save("Parent"));
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    CIni ini(path);
    for (const char* section : {"Child", "Parent"})
        for (int k = 0; k < 30; ++k)
            EXPECT_EQ(ini.GetInt(section, "n" + std::to_string(k), -1), k) << section << k;
}

// An independent reader: Python's configparser over the decoded UTF-16 text.
TEST(IniInterop, ConfigParserReadsWhatCIniWrote) {
    ZM_REQUIRE_TOOL(::access("/usr/bin/python3", X_OK) == 0, "/usr/bin/python3");
    test::TempDir dir;
    std::string path = dir.file("interop.ini");
    CIni ini(path);
    std::vector<std::tuple<std::string, std::string, std::string>> entries = {
        {"General", "sLanguage", "Русский"}, {"General", "smtp_server", "mail.example.org"},
        {"Zor-01", "sName", "Pier ①"},       {"Zor-01", "crColor", "16711680"},
        {"Zor-01", "DevParams", "0AFF00"},   {"Zor-02", "dDegLat", "59.934280"},
        {"Zor-02", "sName", "Emoji 😀"},
    };
    for (const auto& [s, k, v] : entries)
        ASSERT_TRUE(ini.WriteString(s, k, v));
    ASSERT_TRUE(ini.WriteString("General", "sLanguage", "English"));  // replaced in place
    std::get<2>(entries[0]) = "English";

    std::string script = dir.file("read.py");
    WriteBytes(script,
               "import configparser, sys\n"
               "raw = open(sys.argv[1], 'rb').read()\n"
               "assert raw[:2] == b'\\xff\\xfe', 'no byte-order mark'\n"
               "text = raw[2:].decode('utf-16-le')\n"
               "assert '\\n' not in text.replace('\\r\\n', ''), 'bare line feed'\n"
               "cp = configparser.RawConfigParser(strict=False)\n"
               "cp.optionxform = str\n"
               "cp.read_string(text)\n"
               "out = open(sys.argv[2], 'w', encoding='utf-8', newline='')\n"
               "for s in cp.sections():\n"
               "    for k, v in cp.items(s):\n"
               "        out.write(s + '\\t' + k + '\\t' + v + '\\n')\n");
    std::string result = dir.file("out.txt");
    std::string command = "/usr/bin/python3 '" + script + "' '" + path + "' '" + result + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::string expected;
    for (const auto& [s, k, v] : entries)
        expected += s + "\t" + k + "\t" + v + "\n";
    EXPECT_EQ(ReadBytes(result), expected);
}

}  // namespace
}  // namespace zm

namespace zm {
namespace {

TEST(Ini, EveryListedKeyNameCanBeRead) {
    // A control character before a key is part of its name, for the list and the lookup.
    test::TempDir dir;
    const std::string path = dir.file("k.ini");
    WriteBytes(path, Utf16File(u"[S]\r\n\fform=1\r\n\vtab =2\r\n\t plain\t=3\r\n"));
    CIni ini(path);
    std::vector<std::string> names;
    ini.GetKeyNames("S", names);
    EXPECT_EQ(names, (std::vector<std::string>{"\fform", "\vtab", "plain"}));
    for (const std::string& name : names)
        EXPECT_TRUE(ini.IsKeyExist("S", name)) << name;
}

TEST(Ini, ValueEndsAtANul) {
    // Nothing after a NUL could be written back, so a save would have dropped the key.
    test::TempDir dir;
    const std::string path = dir.file("n.ini");
    WriteBytes(path, Utf16File(std::u16string(u"[S]\r\nk=ab\0cd\r\n", 14)));
    CIni ini(path);
    EXPECT_EQ(ini.GetString("S", "k"), "ab");
    ASSERT_TRUE(ini.WriteString("S", "k", ini.GetString("S", "k")));
    EXPECT_EQ(ini.GetString("S", "k"), "ab");
}

TEST(Ini, DamagedUtf16FileWithALoneLastByteStaysReadable) {
    // A UTF-16 file cut one byte short: what the program writes after its last line must
    // be readable, and a second save must not change the file again.
    struct Case {
        const char* what;
        std::string tail;
    };
    const Case cases[] = {
        {"lone letter", std::string("x", 1)},
        {"lone CR", std::string("\r", 1)},
        {"lone zero", std::string("\0", 1)},
    };
    for (const Case& c : cases) {
        test::TempDir dir;
        const std::string path = dir.file("d.ini");
        WriteBytes(path, Utf16File(u"[S]\r\nk=v") + c.tail);
        CIni ini(path);
        ASSERT_TRUE(ini.WriteString("T", "added", "1")) << c.what;
        EXPECT_EQ(ini.GetString("T", "added"), "1") << c.what;
        EXPECT_EQ(ini.GetString("S", "k").substr(0, 1), "v") << c.what;
        const std::string once = ReadBytes(path);
        ASSERT_TRUE(ini.WriteString("T", "added", "2")) << c.what;
        ASSERT_TRUE(ini.WriteString("T", "added", "1")) << c.what;
        EXPECT_EQ(ReadBytes(path), once) << c.what;
    }
}

}  // namespace
}  // namespace zm
