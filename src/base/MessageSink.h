#pragma once

#include <functional>
#include <string>

namespace zm {

// The buttons and icon of a message to the operator (a message box in the GUI).
enum class MsgButtons { kOk, kOkCancel, kAbortRetryIgnore, kYesNoCancel, kYesNo, kRetryCancel };
enum class MsgIcon { kNone, kError, kQuestion, kWarning, kInformation };

struct MessageBoxType {
    MsgButtons buttons = MsgButtons::kOk;
    MsgIcon icon = MsgIcon::kNone;
};

// The button the operator pressed (numbered as the platform's message box results).
enum class MsgResult {
    kOk = 1,
    kCancel = 2,
    kAbort = 3,
    kRetry = 4,
    kIgnore = 5,
    kYes = 6,
    kNo = 7
};

// Whoever shows messages: the GUI installs one that shows a dialog, the headless server
// one that logs the message and answers with the safe default. It may be called from
// any thread.
using MessageSink = std::function<MsgResult(const std::string& text, MessageBoxType type,
                                            const std::string& caption)>;

// Installs the sink; an empty one brings back the default, which writes the message to
// standard error and answers with SafeAnswer.
void SetMessageSink(MessageSink sink);

// Shows a message captioned with the product identifier plus the suffix; returns the button.
MsgResult ShowMessage(const std::string& text, MessageBoxType type = {},
                      const std::string& captionSuffix = "");

// The answer that does nothing harmful when nobody can be asked: Cancel, No or Abort
// where the buttons offer one, else OK.
MsgResult SafeAnswer(MsgButtons buttons);

}  // namespace zm
