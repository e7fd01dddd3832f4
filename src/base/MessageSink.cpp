#include "base/MessageSink.h"

#include <cstdio>
#include <memory>
#include <mutex>

#include "base/Version.h"

namespace zm {
namespace {

std::mutex g_mutex;
std::shared_ptr<const MessageSink> g_sink;

MsgResult DefaultSink(const std::string& text, MessageBoxType type, const std::string& caption) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    return SafeAnswer(type.buttons);
}

}  // namespace

void SetMessageSink(MessageSink sink) {
    auto shared = sink ? std::make_shared<const MessageSink>(std::move(sink)) : nullptr;
    std::lock_guard lock(g_mutex);
    g_sink = std::move(shared);
}

MsgResult ShowMessage(const std::string& text, MessageBoxType type,
                      const std::string& captionSuffix) {
    std::shared_ptr<const MessageSink> sink;
    {
        std::lock_guard lock(g_mutex);
        sink = g_sink;
    }
    // Called outside the lock: a dialog may run for minutes, and its code may show
    // further messages or replace the sink.
    std::string caption = std::string(kProductId) + captionSuffix;
    return sink ? (*sink)(text, type, caption) : DefaultSink(text, type, caption);
}

MsgResult SafeAnswer(MsgButtons buttons) {
    switch (buttons) {
        case MsgButtons::kOk:
            return MsgResult::kOk;
        case MsgButtons::kOkCancel:
        case MsgButtons::kYesNoCancel:
        case MsgButtons::kRetryCancel:
            return MsgResult::kCancel;
        case MsgButtons::kAbortRetryIgnore:
            return MsgResult::kAbort;
        case MsgButtons::kYesNo:
            return MsgResult::kNo;
    }
    return MsgResult::kCancel;
}

}  // namespace zm
