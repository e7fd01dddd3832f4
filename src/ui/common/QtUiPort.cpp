#include "ui/common/QtUiPort.h"

#include "ui/alarms/AlarmSound.h"
#include "ui/alarms/AlarmView.h"
#include "ui/alarms/AlarmWnd.h"
#include "ui/alarms/AlarmWorker.h"
#include "ui/common/MessageBox.h"
#include "ui/common/SystemOpen.h"

namespace zm {

CQtUiPort::CQtUiPort(const CIni& settings, QWidget* owner)
    : settings_(settings), owner_(owner), sound_(new CAlarmSound), worker_(new CAlarmWorker) {}

CQtUiPort::~CQtUiPort() {
    CloseAll();  // each saves its state
    // Closed windows wait for the event loop to delete them, which may not come again.
    delete alarmWnd_.data();
    delete connWnd_.data();
    delete sound_;
    delete worker_;  // waits for the writes it runs
}

void CQtUiPort::SetAlarmLifecycle(alarms::AlarmOperations* operations, alarms::Actor actor) {
    operations_ = operations;
    actor_ = std::move(actor);
    if (alarmWnd_) {
        alarmWnd_->View()->SetLifecycle(operations_, actor_, worker_);
    }
}

void CQtUiPort::SetOwner(QWidget* owner) {
    owner_ = owner;
}

MsgResult CQtUiPort::Ask(const std::string& text, MessageBoxType type, MsgResult safeAnswer,
                         const std::string& captionSuffix) {
    (void)safeAnswer;  // an operator is there to answer
    return MessageBox::Show(owner_, text, type, captionSuffix);
}

void CQtUiPort::ShowAlarm(const AlarmPopupEntry& entry, bool bringToFront) {
    if (!alarmWnd_) {
        alarmWnd_ = new CAlarmWnd(settings_, owner_);
        alarmWnd_->View()->SetLifecycle(operations_, actor_, worker_);
    }
    alarmWnd_->AddEntry(entry);
    if (bringToFront) {
        alarmWnd_->ShowAndRaise();
    }
}

void CQtUiPort::ShowConnectionLost(const AlarmPopupEntry& entry) {
    if (!connWnd_) {
        connWnd_ = new CConnWnd(settings_, owner_);
    }
    connWnd_->show();
    connWnd_->AddEntry(entry);
    connWnd_->ShowAndRaise();
}

void CQtUiPort::ShowConnectionRestored(const std::string& deviceName) {
    if (connWnd_) {
        connWnd_->RemoveDevice(deviceName);  // closes itself with its last row
    }
}

void CQtUiPort::CloseAlarmPopup() {
    if (alarmWnd_) {
        alarmWnd_->close();
    }
}

void CQtUiPort::CloseAll() {
    CloseAlarmPopup();
    if (connWnd_) {
        connWnd_->close();
    }
}

void CQtUiPort::PlayAlarmSound() {
    sound_->Play();
}

void CQtUiPort::StopAlarmSound() {
    sound_->Stop();
}

void CQtUiPort::OpenReport(const std::string& path) {
    SystemOpen::Open(QString::fromStdString(path));
}

void CQtUiPort::RetranslateUi() {
    if (alarmWnd_) {
        alarmWnd_->RetranslateUi();
    }
    if (connWnd_) {
        connWnd_->RetranslateUi();
    }
}

}  // namespace zm
