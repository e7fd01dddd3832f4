#pragma once

#include <string>

#include "base/MessageSink.h"

class QWidget;

namespace zm {

// The one way windows ask the operator something. The box is captioned with the product
// identifier plus the suffix; it is owned by the given window, else by the active window;
// without a visible owner it stays on top, so that it is never hidden behind the main
// window. While it is shown, the other windows take no input.
//
// Tests answer boxes in advance (SetNextAnswer): a queued answer is returned at once and
// nothing is shown, so a modal question never blocks a test.
class MessageBox {
  public:
    static MsgResult Show(QWidget* owner, const std::string& text, MessageBoxType type = {},
                          const std::string& captionSuffix = "");

    // Installs Show as the process's message sink (ShowMessage); a call from another thread
    // is carried to the GUI thread and waits there for the answer.
    static void InstallAsMessageSink();

    // Test hook: answers for the next boxes, in order.
    static void SetNextAnswer(MsgResult answer);
    static void ClearNextAnswers();
    static int PendingAnswers();

    // What the last box said (shown or answered in advance), and how many boxes there were.
    struct Record {
        std::string text;
        std::string caption;
        MessageBoxType type;
        MsgResult answer = MsgResult::kCancel;
    };
    static Record Last();
    static int Count();
};

}  // namespace zm
