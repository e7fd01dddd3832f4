// The real server across a midnight that ends a month, on a clock set by libfaketime.
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/DaemonPeers.h"
#include "support/ChildProcess.h"
#include "support/RequiredTool.h"
#include "support/ScopedEnv.h"

namespace zm::test {
namespace {

using namespace std::chrono_literals;

constexpr const char* kFakeTime = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1";

// Every file under the logs root by its path relative to it.
std::vector<std::string> LogFiles(const std::filesystem::path& root) {
    std::vector<std::string> files;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file()) {
            files.push_back(std::filesystem::relative(it->path(), root).string());
        }
    }
    return files;
}

std::string Joined(const std::vector<std::string>& files) {
    std::string text;
    for (const std::string& file : files) {
        text += file + "\n";
    }
    return text;
}

TEST(DaemonLogRollover, MidnightAtAMonthEndMovesEveryLogIntoTheNewMonth) {
    ZM_REQUIRE_TOOL(std::filesystem::exists(kFakeTime), "libfaketime");
    DaemonHome home;
    HomeDevice pier;
    pier.name = "Pier-1";
    pier.linkType = kLinkTypeEmul;
    home.WriteSettings(ManagerSettings{}, {pier});

    // The wall clock starts a few seconds before midnight and runs at its own pace; the
    // monotonic clock, which the server's timers and waits use, stays the system's.
    ScopedEnv env;
    env.Set("LD_PRELOAD", kFakeTime);
    env.Set("FAKETIME", "@2026-01-31 23:59:56");
    env.Set("FAKETIME_NO_CACHE", "1");
    env.Set("FAKETIME_DONT_FAKE_MONOTONIC", "1");
    env.Set("TZ", "UTC");
    // A sanitized server accepts the preloaded library before its runtime.
    const char* asan = std::getenv("ASAN_OPTIONS");
    env.Set("ASAN_OPTIONS", std::string(asan != nullptr ? asan : "") + ":verify_asan_link_order=0");
    const std::string out = home.home.file("server.out");
    ChildProcess server(home.Args(), out);
    env.Unset("LD_PRELOAD");  // later children of this test run on the real clock

    const std::filesystem::path root = home.Documents() / "Logs";
    const std::filesystem::path newData =
        root / "2026-02" / "Pier-1" / "DataLog_ZOR-0000_Pier-1_2026-02-01.txt";
    ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(newData); }, 25s))
        << Joined(LogFiles(root)) << ReadBytes(out);
    // A few more data lines after the move.
    std::this_thread::sleep_for(2s);
    kill(server.Pid(), SIGTERM);
    EXPECT_EQ(server.Wait(10s), 0) << ReadBytes(out);

    const std::vector<std::string> files = LogFiles(root);
    const auto has = [&](const std::string& file) {
        return std::find(files.begin(), files.end(), file) != files.end();
    };
    for (const char* file : {"2026-01/RunLog_2026-01-31.html", "2026-01/DevLog_2026-01-31.html",
                             "2026-02/RunLog_2026-02-01.html", "2026-02/DevLog_2026-02-01.html",
                             "2026-01/Pier-1/DataLog_ZOR-0000_Pier-1_2026-01-31.txt"}) {
        EXPECT_TRUE(has(file)) << file << "\n" << Joined(files);
    }
    // Nothing of the new day or month in the old month's folder, nothing of the old day
    // in the new one.
    for (const std::string& file : files) {
        if (file.starts_with("2026-01/")) {
            EXPECT_EQ(file.find("2026-02"), std::string::npos) << file;
        } else if (file.starts_with("2026-02/")) {
            EXPECT_EQ(file.find("2026-01"), std::string::npos) << file;
        }
    }
    const std::string oldDev = ReadBytes((root / "2026-01/DevLog_2026-01-31.html").string());
    const std::string newDev = ReadBytes((root / "2026-02/DevLog_2026-02-01.html").string());
    EXPECT_NE(oldDev.find("Application started."), std::string::npos);
    EXPECT_TRUE(oldDev.ends_with("</body></html>"));
    EXPECT_EQ(newDev.rfind("\xEF\xBB\xBF<html><head>", 0), 0u) << newDev;
    EXPECT_NE(newDev.find("Continued from DevLog_2026-01-31.html"), std::string::npos);
    EXPECT_NE(newDev.find("Application ended."), std::string::npos);
    const std::string newRun = ReadBytes((root / "2026-02/RunLog_2026-02-01.html").string());
    EXPECT_NE(newRun.find("Application ended"), std::string::npos);
    // The new day's data log starts with its own header.
    const std::string data = ReadBytes(newData.string());
    EXPECT_NE(data.find("Date      \tTime"), std::string::npos) << data;
    EXPECT_NE(data.find("01.02.2026"), std::string::npos) << data;
}

}  // namespace
}  // namespace zm::test
