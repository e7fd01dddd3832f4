#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/MessageSink.h"

using zm::MsgButtons;
using zm::MsgIcon;
using zm::MsgResult;

TEST(MessageSink, InstalledSinkGetsTextTypeAndCaption) {
    struct Seen {
        std::string text, caption;
        zm::MessageBoxType type;
    };
    std::vector<Seen> seen;
    zm::SetMessageSink(
        [&](const std::string& text, zm::MessageBoxType type, const std::string& caption) {
            seen.push_back({text, caption, type});
            return MsgResult::kRetry;
        });
    EXPECT_EQ(zm::ShowMessage("ZorConfigurator is now running",
                              {MsgButtons::kRetryCancel, MsgIcon::kWarning}),
              MsgResult::kRetry);
    zm::ShowMessage("second", {}, " - Mail");
    zm::SetMessageSink(nullptr);

    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].text, "ZorConfigurator is now running");
    EXPECT_EQ(seen[0].caption, "ZorManager__All_Ver-Lang");
    EXPECT_EQ(seen[0].type.buttons, MsgButtons::kRetryCancel);
    EXPECT_EQ(seen[0].type.icon, MsgIcon::kWarning);
    EXPECT_EQ(seen[1].caption, "ZorManager__All_Ver-Lang - Mail");
    EXPECT_EQ(seen[1].type.buttons, MsgButtons::kOk);
}

TEST(MessageSink, DefaultSinkWritesToStandardErrorAndAnswersSafely) {
    struct Case {
        MsgButtons buttons;
        MsgResult answer;
    };
    const Case cases[] = {
        {MsgButtons::kOk, MsgResult::kOk},
        {MsgButtons::kOkCancel, MsgResult::kCancel},
        {MsgButtons::kYesNo, MsgResult::kNo},
        {MsgButtons::kYesNoCancel, MsgResult::kCancel},
        {MsgButtons::kRetryCancel, MsgResult::kCancel},  // a start-up retry loop ends
        {MsgButtons::kAbortRetryIgnore, MsgResult::kAbort},
    };
    for (const auto& c : cases) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(zm::ShowMessage("Application already launched.", {c.buttons, MsgIcon::kWarning}),
                  c.answer);
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "ZorManager__All_Ver-Lang: Application already launched.\n");
    }
}
