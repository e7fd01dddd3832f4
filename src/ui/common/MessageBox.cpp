#include "ui/common/MessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

#include "base/Version.h"

namespace zm {
namespace {

std::mutex g_mutex;
std::deque<MsgResult> g_answers;
MessageBox::Record g_last;
int g_count = 0;

QMessageBox::Icon ToIcon(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::kError:
            return QMessageBox::Critical;
        case MsgIcon::kQuestion:
            return QMessageBox::Question;
        case MsgIcon::kWarning:
            return QMessageBox::Warning;
        case MsgIcon::kInformation:
            return QMessageBox::Information;
        case MsgIcon::kNone:
            break;
    }
    return QMessageBox::NoIcon;
}

struct ButtonChoice {
    QMessageBox::StandardButton button;
    MsgResult result;
    const char* objectName;
};

std::vector<ButtonChoice> ButtonsOf(MsgButtons buttons) {
    const ButtonChoice ok{QMessageBox::Ok, MsgResult::kOk, "buttonOk"};
    const ButtonChoice cancel{QMessageBox::Cancel, MsgResult::kCancel, "buttonCancel"};
    const ButtonChoice yes{QMessageBox::Yes, MsgResult::kYes, "buttonYes"};
    const ButtonChoice no{QMessageBox::No, MsgResult::kNo, "buttonNo"};
    const ButtonChoice abort{QMessageBox::Abort, MsgResult::kAbort, "buttonAbort"};
    const ButtonChoice retry{QMessageBox::Retry, MsgResult::kRetry, "buttonRetry"};
    const ButtonChoice ignore{QMessageBox::Ignore, MsgResult::kIgnore, "buttonIgnore"};
    switch (buttons) {
        case MsgButtons::kOk:
            return {ok};
        case MsgButtons::kOkCancel:
            return {ok, cancel};
        case MsgButtons::kAbortRetryIgnore:
            return {abort, retry, ignore};
        case MsgButtons::kYesNoCancel:
            return {yes, no, cancel};
        case MsgButtons::kYesNo:
            return {yes, no};
        case MsgButtons::kRetryCancel:
            return {retry, cancel};
    }
    return {ok};
}

void Remember(const std::string& text, const std::string& caption, MessageBoxType type,
              MsgResult answer) {
    std::lock_guard lock(g_mutex);
    g_last = {text, caption, type, answer};
    ++g_count;
}

MsgResult ShowBox(QWidget* owner, const std::string& text, MessageBoxType type,
                  const std::string& caption) {
    if (!owner) {
        owner = QApplication::activeWindow();
    }
    QMessageBox box(owner);
    box.setObjectName("messageBox");
    box.setWindowTitle(QString::fromStdString(caption));
    box.setText(QString::fromStdString(text).replace("\r\n", "\n"));
    box.setTextFormat(Qt::PlainText);
    box.setIcon(ToIcon(type.icon));
    const std::vector<ButtonChoice> choices = ButtonsOf(type.buttons);
    for (const ButtonChoice& choice : choices) {
        box.addButton(choice.button)->setObjectName(choice.objectName);
    }
    if (!owner || !owner->isVisible()) {
        box.setWindowFlag(Qt::WindowStaysOnTopHint);
    }
    box.setWindowModality(Qt::ApplicationModal);
    box.show();
    box.raise();
    box.activateWindow();
    box.exec();
    // Closing the box by its caption counts as the safe answer, as Escape does.
    MsgResult answer = SafeAnswer(type.buttons);
    const auto clicked = box.standardButton(box.clickedButton());
    for (const ButtonChoice& choice : choices) {
        if (choice.button == clicked) {
            answer = choice.result;
        }
    }
    return answer;
}

}  // namespace

MsgResult MessageBox::Show(QWidget* owner, const std::string& text, MessageBoxType type,
                           const std::string& captionSuffix) {
    const std::string caption = std::string(kProductId) + captionSuffix;
    std::optional<MsgResult> queued;
    {
        std::lock_guard lock(g_mutex);
        if (!g_answers.empty()) {
            queued = g_answers.front();
            g_answers.pop_front();
        }
    }
    const MsgResult answer = queued ? *queued : ShowBox(owner, text, type, caption);
    Remember(text, caption, type, answer);
    return answer;
}

void MessageBox::InstallAsMessageSink() {
    SetMessageSink([](const std::string& text, MessageBoxType type, const std::string& caption) {
        // The sink receives the whole caption; Show adds the product identifier itself.
        const std::string prefix = kProductId;
        const std::string suffix =
            caption.rfind(prefix, 0) == 0 ? caption.substr(prefix.size()) : caption;
        QCoreApplication* app = QCoreApplication::instance();
        if (!app) {
            return SafeAnswer(type.buttons);
        }
        if (QThread::currentThread() == app->thread()) {
            return Show(nullptr, text, type, suffix);
        }
        MsgResult answer = SafeAnswer(type.buttons);
        QMetaObject::invokeMethod(
            app, [&] { answer = Show(nullptr, text, type, suffix); }, Qt::BlockingQueuedConnection);
        return answer;
    });
}

void MessageBox::SetNextAnswer(MsgResult answer) {
    std::lock_guard lock(g_mutex);
    g_answers.push_back(answer);
}

void MessageBox::ClearNextAnswers() {
    std::lock_guard lock(g_mutex);
    g_answers.clear();
}

int MessageBox::PendingAnswers() {
    std::lock_guard lock(g_mutex);
    return static_cast<int>(g_answers.size());
}

MessageBox::Record MessageBox::Last() {
    std::lock_guard lock(g_mutex);
    return g_last;
}

int MessageBox::Count() {
    std::lock_guard lock(g_mutex);
    return g_count;
}

}  // namespace zm
