#include <gtest/gtest.h>

#include <ctime>

#include "app/AlarmHistoryCommand.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"

namespace zm {
namespace {

TEST(AlarmHistoryCommand, DatesAreWholeLocalDays) {
    struct Case {
        const char* text;
        bool valid;
    };
    for (const Case& c :
         {Case{"2026-05-04", true}, Case{"2024-02-29", true}, Case{"2026-02-29", false},
          Case{"2026-13-01", false}, Case{"2026-5-04", false}, Case{"2026-05-04x", false},
          Case{"04.05.2026", false}, Case{"", false}}) {
        const auto when = ParseLocalDate(c.text);
        EXPECT_EQ(when.has_value(), c.valid) << c.text;
        if (when) {
            const std::time_t t = static_cast<std::time_t>(*when);
            std::tm local{};
            localtime_r(&t, &local);
            EXPECT_EQ(local.tm_hour + local.tm_min + local.tm_sec, 0) << c.text;
        }
    }
}

TEST(AlarmHistoryCommand, ExitCodesTellWhatWentWrong) {
    test::TempDir dir;
    const std::string missing = dir.file("AlarmJournal.sqlite");
    EXPECT_EQ(RunAlarmHistoryCommand(missing, "2026-05-01", "2026-04-30", ""), 2);
    EXPECT_EQ(RunAlarmHistoryCommand(missing, "yesterday", "2026-04-30", ""), 2);
    EXPECT_EQ(RunAlarmHistoryCommand(missing, "2026-05-01", "2026-05-01", ""), 1);
    test::WriteBytes(missing, "not a database");
    EXPECT_EQ(RunAlarmHistoryCommand(missing, "2026-05-01", "2026-05-01", ""), 1);
    EXPECT_EQ(test::ReadBytes(missing), "not a database");  // a reader changes nothing
}

}  // namespace
}  // namespace zm
