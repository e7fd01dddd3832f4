#include "app/HeadlessUiPort.h"

#include <cstdio>

#include "base/AppLogs.h"
#include "base/Log.h"
#include "base/Version.h"

namespace zm {

namespace {

// Message texts carry "\r\n" for the dialog; in one log line they become spaces.
std::string OneLine(const std::string& text) {
    std::string line;
    line.reserve(text.size());
    for (char c : text) {
        if (c == '\r') {
            continue;
        }
        line += c == '\n' ? ' ' : c;
    }
    while (!line.empty() && line.back() == ' ') {
        line.pop_back();
    }
    return line;
}

}  // namespace

const char* MsgResultName(MsgResult result) {
    switch (result) {
        case MsgResult::kOk:
            return "OK";
        case MsgResult::kCancel:
            return "Cancel";
        case MsgResult::kAbort:
            return "Abort";
        case MsgResult::kRetry:
            return "Retry";
        case MsgResult::kIgnore:
            return "Ignore";
        case MsgResult::kYes:
            return "Yes";
        case MsgResult::kNo:
            return "No";
    }
    return "?";
}

MsgResult HeadlessUiPort::Ask(const std::string& text, MessageBoxType type, MsgResult safeAnswer,
                              const std::string& captionSuffix) {
    (void)type;
    const std::string line = OneLine(text);
    std::fprintf(stderr, "%s%s: %s [%s]\n", kProductId, captionSuffix.c_str(), line.c_str(),
                 MsgResultName(safeAnswer));
    RunLog().AddWarning("<li><dt> Message: %s [answered: %s]</li>", HtmlEscaped(line).c_str(),
                        MsgResultName(safeAnswer));
    return safeAnswer;
}

void HeadlessUiPort::ShowAlarm(const AlarmPopupEntry& entry, bool bringToFront) {
    alarmShown_ = true;
    RunLog().AddError("<li><dt> Alarm popup%s: %s %s, %s, report %s</li>",
                      bringToFront ? " (in front)" : "", entry.kind.c_str(),
                      HtmlEscaped(entry.deviceName).c_str(), HtmlEscaped(entry.position).c_str(),
                      HtmlEscaped(entry.reportPath).c_str());
}

void HeadlessUiPort::ShowConnectionLost(const AlarmPopupEntry& entry) {
    RunLog().AddWarning("<li><dt> Connection-lost popup: %s %s, %s</li>", entry.kind.c_str(),
                        HtmlEscaped(entry.deviceName).c_str(), HtmlEscaped(entry.position).c_str());
}

void HeadlessUiPort::ShowConnectionRestored(const std::string& deviceName) {
    RunLog().AddSuccess("<li><dt> Connection-lost popup: %s connected again</li>",
                        HtmlEscaped(deviceName).c_str());
}

void HeadlessUiPort::CloseAlarmPopup() {
    if (alarmShown_.exchange(false)) {
        RunLog().AddText("<li><dt> Alarm popup closed</li>");
    }
}

void HeadlessUiPort::PlayAlarmSound() {
    soundPlaying_ = true;
    RunLog().AddError("<li><dt> Alarm sound on</li>");
}

void HeadlessUiPort::StopAlarmSound() {
    if (soundPlaying_.exchange(false)) {
        RunLog().AddText("<li><dt> Alarm sound off</li>");
    }
}

void HeadlessUiPort::OpenReport(const std::string& path) {
    RunLog().AddText("<li><dt> Report to open: %s</li>", HtmlEscaped(path).c_str());
}

}  // namespace zm
