#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <regex>
#include <thread>

#include "base/AppLogs.h"
#include "base/DateTimeText.h"
#include "base/Folders.h"
#include "base/Log.h"
#include "base/Version.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"

namespace {

const std::string kBom = "\xEF\xBB\xBF";
const std::string kBullet = "\xE2\x80\xA2 ";

std::string Header(const std::string& charset = "utf-8", const std::string& font = "Arial") {
    return "<html><head>\r\n<title>Log File</title>\r\n<meta http-equiv=\"Content-Type\" "
           "content=\"text/html; charset=" +
           charset +
           "\">\r\n<style type=\"text/css\"> body{background-color:Lavender; font-family:\"" +
           font +
           "\";font-weight:bold; font-size:10px; color:black;}</style>\r\n</head>\r\n<body>\r\n"
           "<font size=\"4\"><u>Log File</u></font>\r\n";
}

const std::string kSeparator = "<hr/><font size=\"4\"><T></font><hr/>\r\n";
const std::string kStamp = "<font color=blue>[<T>]</font>";

// A log in a fresh folder; the file's bytes with every date-time text of the test's run
// replaced by "<T>", so that whole files can be compared byte for byte.
class LogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        start = std::time(nullptr);
        log.SetFolder(temp.folder() + "Logs/2026-12");
    }

    std::string Bytes(const std::string& path) {
        std::string bytes = zm::test::ReadBytes(path);
        // time() reads a coarse clock that can lag the log's own clock by a tick, so the
        // second after it counts as well.
        for (std::time_t t = start; t <= std::time(nullptr) + 1; ++t) {
            std::string text = zm::LocalDateTimeC(t);
            for (size_t at; (at = bytes.find(text)) != std::string::npos;) {
                bytes.replace(at, text.size(), "<T>");
            }
        }
        return bytes;
    }
    std::string Bytes() { return Bytes(log.GetPath()); }

    zm::test::TempDir temp;
    zm::CLog log;
    std::time_t start = 0;
};

}  // namespace

TEST_F(LogTest, NewFileGetsHeaderSeparatorAndWholeEntries) {
    ASSERT_TRUE(log.Open("RunLog_2026-12-09", false));
    EXPECT_EQ(log.GetPath(), temp.folder() + "Logs/2026-12/RunLog_2026-12-09.html");
    log.AddSuccess("<li><dt> %s</li>", "Ready");
    log.AddText("<li><dt> %s<br>%s </li>", "first", "second");
    log.AddError("<li><dt> Application ended (ID:%d).</li><br/><br/>", 4711);
    log.AddWarning("<hr/>");
    log.AddColored(zm::Rgb(1, 2, 0xAB), "plain %d%%", 5);
    log.Close();

    const std::string expected =
        kBom + Header() + kSeparator +
        // A success entry: colour, bullet, time stamp, the text, then the line break.
        kBom + "<font color=#006400>" + kBullet + kStamp + " Ready</font><br/>\r\n" + kBom +
        "<font color=#000000>" + kBullet + kStamp + " first<br>second </font><br/>\r\n" + kBom +
        "<font color=#C80000>" + kBullet + kStamp +
        " Application ended (ID:4711).<br/><br/></font>\r\n" + kBom +
        "<font color=#C86400><hr/></font>\r\n" + kBom +
        "<font color=#0102AB>plain 5%</font><br/>\r\n" + kBom + "</body></html>";
    EXPECT_EQ(Bytes(), expected);
}

TEST_F(LogTest, OutsideTextIsNeverAFormat) {
    ASSERT_TRUE(log.Open("x", false));
    log.AddText("<li><dt> %s</li>", "100% %s %n <dt>");
    log.Close();
    // The argument is kept as it is; a "<dt>" inside it is still a time stamp place.
    EXPECT_NE(Bytes().find("<font color=#000000>" + kBullet + kStamp + " 100% %s %n " + kStamp +
                           "</font><br/>\r\n"),
              std::string::npos);
}

TEST_F(LogTest, SettingsChangeHeaderAndEntries) {
    log.SetFont("Courier New");
    log.SetCharset("windows-1251");
    log.SetBullets(false);
    log.SetLineBreak(false);
    ASSERT_TRUE(log.Open("x", false));
    log.AddText("<li><dt> %s</li>", "a");
    log.Close();
    EXPECT_EQ(Bytes(), kBom + Header("windows-1251", "Courier New") + kSeparator + kBom +
                           "<font color=#000000><li>" + kStamp + " a</li></font>\r\n" + kBom +
                           "</body></html>");
}

TEST_F(LogTest, AddResultMakesOneLineOfThreeEntries) {
    struct Case {
        int result;
        const char* statusColor;
        const char* status;
    };
    const Case cases[] = {
        {0, "C80000", "Error!"},
        {1, "006400", "Ok."},
        {7, "006400", "Ok."},
        {-1, "0000FF", "Done."},  // the caller's colour
    };
    for (const auto& c : cases) {
        zm::CLog one;
        one.SetFolder(temp.folder());
        ASSERT_TRUE(one.Open("result" + std::to_string(c.result), true));
        one.AddResult("Saving settings", c.result, zm::Rgb(0, 0, 0xFF));
        std::string path = one.GetPath();
        one.Close();
        const std::string color = c.statusColor;
        EXPECT_EQ(Bytes(path), kBom + Header() + kSeparator + kBom + "<font color=#" + color + ">" +
                                   kBullet + kStamp + "</font>\r\n" + kBom +
                                   "<font color=#0000FF> Saving settings ... </font>\r\n" + kBom +
                                   "<font color=#" + color + ">" + c.status + "</font><br/>\r\n" +
                                   kBom + "</body></html>")
            << c.result;
    }
}

TEST_F(LogTest, ReopenAppendsOrOverwrites) {
    ASSERT_TRUE(log.Open("DevLog_2026-12-09", false));
    log.AddText("one");
    log.Close();
    const std::string first = kBom + Header() + kSeparator + kBom +
                              "<font color=#000000>one</font><br/>\r\n" + kBom + "</body></html>";
    ASSERT_EQ(Bytes(), first);

    // Without overwrite: no second header, only a separator after the footer.
    ASSERT_TRUE(log.Open("DevLog_2026-12-09", false));
    log.Close();
    EXPECT_EQ(Bytes(), first + kBom + kSeparator + kBom + "</body></html>");

    // With overwrite: the file starts again.
    ASSERT_TRUE(log.Open("DevLog_2026-12-09", true));
    EXPECT_EQ(Bytes(), kBom + Header() + kSeparator);

    // Opening an open log changes nothing.
    EXPECT_TRUE(log.Open("Other", true));
    EXPECT_EQ(log.GetPath(), temp.folder() + "Logs/2026-12/DevLog_2026-12-09.html");
    EXPECT_FALSE(std::filesystem::exists(temp.folder() + "Logs/2026-12/Other.html"));
}

TEST_F(LogTest, NamesAndFolders) {
    // The folder is made on the first write; the path is normalised; an empty name is RunLog.
    log.SetFolder(temp.folder() + "a/b/../c");
    EXPECT_EQ(log.GetFolder(), temp.folder() + "a/b/../c/");
    ASSERT_TRUE(log.Open("", false));
    EXPECT_EQ(log.GetPath(), temp.folder() + "a/c/RunLog.html");
    EXPECT_TRUE(std::filesystem::exists(log.GetPath()));
}

TEST_F(LogTest, ClosedLogWritesNothing) {
    log.AddText("before opening");
    log.AddResult("x", 1, zm::kLogBlack);
    EXPECT_FALSE(std::filesystem::exists(temp.folder() + "Logs"));
    EXPECT_FALSE(log.GetLastEntryTime());

    ASSERT_TRUE(log.Open("x", false));
    log.Close();
    const std::string closed = Bytes();
    log.AddText("after closing");
    log.AddStartupInfo();
    log.Close();  // a second close adds no footer
    EXPECT_EQ(Bytes(), closed);
    EXPECT_FALSE(log.GetLastEntryTime());
}

TEST_F(LogTest, FailedOpenLeavesTheLogClosed) {
    zm::test::WriteBytes(temp.file("blocker"), "a file where a folder should be");
    log.SetFolder(temp.folder() + "blocker/Logs");
    EXPECT_FALSE(log.Open("RunLog", false));
    EXPECT_FALSE(log.IsOpen());
    log.AddText("dropped");

    log.SetFolder(temp.folder());
    ASSERT_TRUE(log.Open("RunLog", false));
    log.AddText("kept");
    EXPECT_EQ(Bytes(),
              kBom + Header() + kSeparator + kBom + "<font color=#000000>kept</font><br/>\r\n");
}

TEST_F(LogTest, EntryWhileFileIsHeldIsLostAndTheNextOneWritten) {
    ASSERT_TRUE(log.Open("held", false));
    int fd = open(log.GetPath().c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(flock(fd, LOCK_EX), 0);
    log.AddText("lost");
    close(fd);
    log.AddText("written");
    std::string bytes = Bytes();
    EXPECT_EQ(bytes.find("lost"), std::string::npos);
    EXPECT_NE(bytes.find("<font color=#000000>written</font><br/>\r\n"), std::string::npos);
}

TEST_F(LogTest, WebAddressLogIgnoresEntries) {
    log.OpenAddress("http://127.0.0.1:8889/preview-embedded");
    EXPECT_TRUE(log.IsOpen());
    EXPECT_TRUE(log.IsAddress());
    EXPECT_EQ(log.GetPath(), "http://127.0.0.1:8889/preview-embedded");
    log.AddText("ignored");
    log.AddResult("ignored", 1, zm::kLogBlack);
    log.OpenAddress("http://127.0.0.1:9999/other");  // already open: kept
    log.Open("file", true);                          // likewise
    EXPECT_EQ(log.GetPath(), "http://127.0.0.1:8889/preview-embedded");
    log.Close();
    EXPECT_FALSE(log.IsOpen());
    EXPECT_FALSE(std::filesystem::exists(temp.folder() + "Logs"));

    zm::CLog blank;
    blank.OpenAddress("");
    EXPECT_EQ(blank.GetPath(), zm::CLog::kDefaultAddress);

    // A closed address log can become a file log again.
    ASSERT_TRUE(log.Open("file", false));
    EXPECT_FALSE(log.IsAddress());
    log.AddText("written");
    EXPECT_NE(Bytes().find("written"), std::string::npos);
}

TEST_F(LogTest, ViewsAreToldOnceEachAfterTheEntryIsInTheFile) {
    ASSERT_TRUE(log.Open("views", false));
    int first = 0;
    int second = 0;
    bool sawEntry = false;
    int marker1 = 0, marker2 = 0;
    EXPECT_TRUE(log.AttachView(&marker1, [&] {
        ++first;
        sawEntry = zm::test::ReadBytes(log.GetPath()).find("hello") != std::string::npos;
    }));
    EXPECT_FALSE(log.AttachView(&marker1, [&] { first += 100; }));  // same view again
    EXPECT_TRUE(log.AttachView(&marker2, [&] { ++second; }));

    log.AddText("hello");
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 1);
    EXPECT_TRUE(sawEntry);

    log.AddResult("three parts", 1, zm::kLogBlack);  // one operation, one notice
    EXPECT_EQ(first, 2);

    log.DetachView(&marker1);
    log.AddText("again");
    EXPECT_EQ(first, 2);
    EXPECT_EQ(second, 3);

    // A view may detach itself while being told.
    log.AttachView(&marker1, [&] { log.DetachView(&marker1); });
    log.AddText("detach");
    log.AddText("gone");
    EXPECT_EQ(second, 5);
}

TEST_F(LogTest, LastEntryTime) {
    ASSERT_TRUE(log.Open("t", false));
    EXPECT_FALSE(log.GetLastEntryTime());
    auto before = std::chrono::system_clock::now();
    log.AddText("x");
    auto after = std::chrono::system_clock::now();
    auto last = log.GetLastEntryTime();
    ASSERT_TRUE(last);
    EXPECT_GE(*last, before);
    EXPECT_LE(*last, after);
}

TEST_F(LogTest, StartupInfoIsOneGreenEntry) {
    // A folder name with "%" must come out as it is.
    zm::SetHomeRoot(temp.folder() + "100%s home");
    ASSERT_TRUE(log.Open("start", false));
    log.AddStartupInfo();
    std::string bytes = Bytes();
    zm::SetHomeRoot("");

    std::string entry = bytes.substr(bytes.rfind(kBom) + kBom.size());
    const std::string appData = temp.folder() + "100%s home/AppData/";
    const std::string docs = temp.folder() + "100%s home/Documents/";
    EXPECT_EQ(entry.rfind("<font color=#006400>ZorManager__All_Ver-Lang version 6.1.0.10<br/>\r\n"
                          "AppPath = \"",
                          0),
              0u)
        << entry;
    EXPECT_NE(entry.find("test_base_log\"<br/>\r\nAppDataDir = \"" + appData +
                         "\"<br/>\r\nAppUserDocsDir = \"" + docs + "\"<hr/>"),
              std::string::npos)
        << entry;
    EXPECT_NE(entry.find("<br/>\r\nComputer name:  "), std::string::npos);
    const std::string how = geteuid() == 0 ? "as administrator" : "as invoker";
    const std::string tail =
        "<hr/>" + kBullet + kStamp + " Application started (" + how + ").<br/>\r\n</font>\r\n";
    ASSERT_GT(entry.size(), tail.size());
    EXPECT_EQ(entry.substr(entry.size() - tail.size()), tail);
}

TEST_F(LogTest, EntriesFromManyThreadsStayWholeAndInOrder) {
    ASSERT_TRUE(log.Open("threads", false));
    constexpr int kThreads = 4;
    constexpr int kEach = 250;
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([this, t] {
            for (int i = 0; i < kEach; ++i) {
                if (i % 50 == 0) {
                    log.AddResult("result", t, zm::kLogBlack);
                } else {
                    log.AddText("<li><dt> writer %d entry %d</li>", t, i);
                }
            }
        });
    }
    for (auto& w : writers) {
        w.join();
    }
    log.Close();

    // Every append is one mark and one whole entry; a result's three parts stay together.
    std::string bytes = Bytes();
    std::regex entry("<font color=#000000>" + kBullet +
                     "<font color=blue>\\[<T>\\]</font> writer "
                     "(\\d) entry (\\d+)</font><br/>\r\n");
    std::regex resultStart("<font color=#(C80000|006400)>" + kBullet +
                           "<font color=blue>\\[<T>\\]</font></font>\r\n");
    std::vector<int> next(kThreads, 0);
    std::vector<std::string> parts;
    for (size_t at = bytes.find(kBom, 1); at != std::string::npos;) {
        size_t end = bytes.find(kBom, at + kBom.size());
        parts.push_back(bytes.substr(at + kBom.size(), end == std::string::npos
                                                           ? std::string::npos
                                                           : end - at - kBom.size()));
        at = end;
    }
    ASSERT_GE(parts.size(), 2u);
    EXPECT_EQ(parts.back(), "</body></html>");
    int entries = 0;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        std::smatch m;
        if (std::regex_match(parts[i], m, entry)) {
            int t = std::stoi(m[1]);
            int n = std::stoi(m[2]);
            EXPECT_EQ(n, next[t] + (next[t] % 50 == 0 ? 1 : 0)) << parts[i];
            next[t] = n + 1;
            ++entries;
            continue;
        }
        ASSERT_TRUE(std::regex_match(parts[i], resultStart)) << i << ": " << parts[i];
        ASSERT_LT(i + 2, parts.size());
        EXPECT_EQ(parts[i + 1], "<font color=#000000> result ... </font>\r\n");
        EXPECT_TRUE(parts[i + 2].ends_with("</font><br/>\r\n")) << parts[i + 2];
        i += 2;
        ++entries;
    }
    EXPECT_EQ(entries, kThreads * kEach);
}

TEST(AppLogs, StartClosedAndAreTheSameEverywhere) {
    EXPECT_FALSE(zm::RunLog().IsOpen());
    EXPECT_FALSE(zm::DeviceLog().IsOpen());
    EXPECT_FALSE(zm::WebLog().IsOpen());
    EXPECT_EQ(&zm::RunLog(), &zm::RunLog());
    EXPECT_NE(&zm::RunLog(), &zm::DeviceLog());
    EXPECT_NE(&zm::DeviceLog(), &zm::WebLog());
    zm::RunLog().AddText("dropped while closed");
    EXPECT_FALSE(zm::RunLog().GetLastEntryTime());
}
