#include "base/TextFile.h"
using namespace std::string_literals;

#include "support/FileBytes.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <string>
#include <thread>
#include <vector>

namespace zm {
namespace {

using test::ReadBytes;
using test::WriteBytes;

std::vector<std::string> ReadLines(const std::string& path, TextEncoding* encoding = nullptr) {
    CTextFileRead reader(path);
    if (encoding)
        *encoding = reader.GetEncoding();
    std::vector<std::string> lines;
    std::string line;
    while (reader.ReadLine(line))
        lines.push_back(line);
    return lines;
}

TEST(TextFileRead, RecognisesEncodingAndSplitsLines) {
    using Lines = std::vector<std::string>;
    struct Case {
        const char* name;
        std::string bytes;
        TextEncoding encoding;
        Lines lines;
    } cases[] = {
        {"utf16le",
         "\xFF\xFE"
         "A\0\r\0\n\0"s,
         TextUtf16Le,
         {"A", ""}},
        {"utf16be", "\xFE\xFF\0A"s, TextUtf16Be, {"A"}},
        {"utf8",
         "\xEF\xBB\xBF"
         "A",
         TextUtf8,
         {"A"}},
        {"broken utf8 mark is ansi (UTF-8 here)",
         "\xEF\xBB"
         "A",
         TextAnsi,
         {"\xEF\xBF\xBD"
          "A"}},
        {"crlf lf cr mixed", "a\r\nb\nc\rd", TextAnsi, {"a", "b", "c", "d"}},
        {"cr cr gives empty line", "a\r\rb", TextAnsi, {"a", "", "b"}},
        {"lf cr is two ends", "a\n\rb", TextAnsi, {"a", "", "b"}},
        {"trailing terminator", "a\r\n", TextAnsi, {"a", ""}},
        {"empty file", "", TextAnsi, {""}},
        {"utf8 four-byte kept whole",
         "\xEF\xBB\xBF\xF0\x9F\x98\x80",
         TextUtf8,
         {"\xF0\x9F\x98\x80"}},
        {"utf8 surrogates of older writers joined",
         "\xEF\xBB\xBF\xED\xA0\xBD\xED\xB8\x80",
         TextUtf8,
         {"\xF0\x9F\x98\x80"}},
        {"utf8 truncated sequence keeps line end",
         "\xEF\xBB\xBF"
         "a\xE2\x82\nb",
         TextUtf8,
         {"a\xEF\xBF\xBD", "b"}},
        {"utf16le pair", "\xFF\xFE\x3D\xD8\x00\xDE"s, TextUtf16Le, {"\xF0\x9F\x98\x80"}},
        {"utf16le lone surrogate",
         "\xFF\xFE\x3D\xD8"
         "A\0"s,
         TextUtf16Le,
         {"\xEF\xBF\xBD"
          "A"}},
        {"utf16le odd trailing byte",
         "\xFF\xFE"
         "A\0B"s,
         TextUtf16Le,
         {"A\xEF\xBF\xBD"}},
    };
    test::TempDir dir;
    for (const auto& c : cases) {
        std::string path = dir.file("f.txt");
        WriteBytes(path, c.bytes);
        TextEncoding encoding{};
        EXPECT_EQ(ReadLines(path, &encoding), c.lines) << c.name;
        EXPECT_EQ(encoding, c.encoding) << c.name;
    }
}

TEST(TextFileRead, LongLineIsReadWhole) {
    test::TempDir dir;
    std::string path = dir.file("long.txt");
    std::string longLine;
    for (int i = 0; i < 5000; ++i)
        longLine += static_cast<char>('a' + i % 26);
    ASSERT_TRUE(AppendTextFile(path, longLine + "\r\nend", true, TextUtf16Le));
    EXPECT_EQ(ReadLines(path), (std::vector<std::string>{longLine, "end"}));
}

TEST(TextFileRead, AnsiUsesTheCodePage) {
    test::TempDir dir;
    std::string path = dir.file("cp.txt");
    WriteBytes(path, "\xCF\xF0\xE8\xE2\xE5\xF2\r\nx");
    CTextFileRead reader(path);
    reader.SetCodePage(1251);
    std::string line;
    ASSERT_TRUE(reader.ReadLine(line));
    EXPECT_EQ(line, "Привет");

    WriteBytes(path,
               "\xEF\xBB"
               "A");
    CTextFileRead western(path);
    western.SetCodePage(1252);
    ASSERT_TRUE(western.ReadLine(line));
    EXPECT_EQ(line, "ï»A");
}

TEST(TextFileRead, MissingFile) {
    test::TempDir dir;
    CTextFileRead reader(dir.file("none.txt"));
    EXPECT_FALSE(reader.IsOpen());
    EXPECT_EQ(reader.GetEncoding(), TextAnsi);
    std::string line = "x";
    EXPECT_FALSE(reader.ReadLine(line));
    std::string text = "x";
    EXPECT_FALSE(ReadTextFile(dir.file("none.txt"), text));
    EXPECT_EQ(text, "");
    EXPECT_TRUE(IsAnsiFile(dir.file("none.txt")));
    EXPECT_FALSE(ReadTextFile(dir.folder(), text));  // a folder is not a file
}

TEST(ReadTextFile, JoinsWithCrLfAndKeepsFinalTerminator) {
    test::TempDir dir;
    std::string path = dir.file("t.txt");
    WriteBytes(path,
               "\xEF\xBB\xBF"
               "one\ntwo\rthree\r\n");
    std::string text;
    ASSERT_TRUE(ReadTextFile(path, text));
    EXPECT_EQ(text, "one\r\ntwo\r\nthree\r\n");
}

TEST(AppendTextFile, WritesTheMarkAtEveryAppend) {
    struct Case {
        TextEncoding encoding;
        std::string expected;
    } cases[] = {
        {TextUtf8,
         "\xEF\xBB\xBF"
         "a\xE2\x82\xAC\xC3\xA9\xF0\x9F\x98\x80"
         "\xEF\xBB\xBF"
         "b"},
        {TextUtf16Le,
         "\xFF\xFE"
         "a\0\xAC\x20\xE9\0\x3D\xD8\x00\xDE"
         "\xFF\xFE"
         "b\0"s},
        {TextUtf16Be,
         "\xFE\xFF\0a\x20\xAC\0\xE9\xD8\x3D\xDE\x00"
         "\xFE\xFF\0b"s},
        {TextAnsi,
         "a\xE2\x82\xAC\xC3\xA9\xF0\x9F\x98\x80"
         "b"},
    };
    test::TempDir dir;
    for (const auto& c : cases) {
        std::string path = dir.file("sub/folder/out.txt");
        ASSERT_TRUE(AppendTextFile(path, "a€é😀", true, c.encoding));
        ASSERT_TRUE(AppendTextFile(path, "b", false, c.encoding));
        EXPECT_EQ(ReadBytes(path), c.expected) << c.encoding;
    }
}

TEST(AppendTextFile, TruncateFlagAndEmptyPath) {
    test::TempDir dir;
    std::string path = dir.file("t.txt");
    ASSERT_TRUE(AppendTextFile(path, "first", false, TextAnsi));
    ASSERT_TRUE(AppendTextFile(path, "second", false, TextAnsi));
    EXPECT_EQ(ReadBytes(path), "firstsecond");
    ASSERT_TRUE(AppendTextFile(path, "third", true, TextAnsi));
    EXPECT_EQ(ReadBytes(path), "third");
    EXPECT_FALSE(AppendTextFile("", "x", false, TextAnsi));
}

TEST(AppendTextFile, AnsiWithCodePageReplacesAndFlags) {
    test::TempDir dir;
    std::string path = dir.file("a.txt");
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    {
        CTextFileWrite writer(fd, TextAnsi);
        writer.SetCodePage(1251);
        writer.WriteString("Да");
        EXPECT_FALSE(writer.IsLossy());
        writer.SetReplacementChar('_');
        writer.WriteString("中");
        EXPECT_TRUE(writer.IsLossy());
        EXPECT_TRUE(writer.Flush());
    }
    ::close(fd);
    EXPECT_EQ(ReadBytes(path), "\xC4\xE0_");
}

TEST(AppendTextFile, GivesUpWhileAnotherWriterHoldsTheFile) {
    test::TempDir dir;
    std::string path = dir.file("held.txt");
    ASSERT_TRUE(AppendTextFile(path, "old", false, TextAnsi));
    int holder = ::open(path.c_str(), O_WRONLY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(AppendTextFile(path, "new", true, TextAnsi));
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(40));
    EXPECT_LT(waited, std::chrono::seconds(5));
    ::close(holder);
    EXPECT_EQ(ReadBytes(path), "old");  // the truncate flag never cut the held file
    EXPECT_TRUE(AppendTextFile(path, "new", false, TextAnsi));
    EXPECT_EQ(ReadBytes(path), "oldnew");
}

TEST(AppendTextFile, FailedWriteIsReportedAndCutBack) {
    // /dev/full accepts the open and refuses every write.
    if (::access("/dev/full", W_OK) != 0)
        GTEST_SKIP() << "no /dev/full";
    EXPECT_FALSE(AppendTextFile("/dev/full", "text", false, TextUtf8));
}

TEST(AppendTextFile, ThreadsAppendingToOneFileLoseNothing) {
    test::TempDir dir;
    std::string path = dir.file("log.html");
    constexpr int kThreads = 4, kEntries = 500;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEntries; ++i)
                if (!AppendTextFile(path, "<li>" + std::to_string(t) + "</li>\r\n", false,
                                    TextAnsi))
                    ++failures;
        });
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(failures.load(), 0);
    std::string text = ReadBytes(path);
    for (int t = 0; t < kThreads; ++t) {
        std::string entry = "<li>" + std::to_string(t) + "</li>\r\n";
        size_t count = 0;
        for (size_t at = text.find(entry); at != std::string::npos; at = text.find(entry, at + 1))
            ++count;
        EXPECT_EQ(count, static_cast<size_t>(kEntries)) << t;
    }
    EXPECT_EQ(text.size(), kThreads * kEntries * std::string("<li>0</li>\r\n").size());
}

TEST(AppendTextFile, AnAppendStoppedPartWayIsCutBack) {
    test::TempDir dir;
    std::string path = dir.file("log.txt");
    ASSERT_TRUE(AppendTextFile(path, std::string(300, 'a'), false, TextAnsi));
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A file size limit lets the first bytes of the append in and refuses the rest.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{400, 400};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(AppendTextFile(path, std::string(3000, 'b'), false, TextUtf8) ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the failed append was reported as success";
    EXPECT_EQ(ReadBytes(path), std::string(300, 'a'));
}

TEST(AppendTextFile, FolderThatCannotBeMade) {
    test::TempDir dir;
    std::string blocker = dir.file("file");
    WriteBytes(blocker, "x");
    EXPECT_FALSE(AppendTextFile(blocker + "/sub/t.txt", "x", false, TextAnsi));
}

}  // namespace
}  // namespace zm
