#include "ui/alarms/AlarmWnd.h"

#include <QCloseEvent>
#include <QVBoxLayout>

#include "ui/alarms/AlarmView.h"
#include "ui/common/Placement.h"

namespace zm {

CAlarmPopupWnd::CAlarmPopupWnd(const CIni& settings, std::string section, const QString& title,
                               QWidget* owner)
    : QWidget(owner, Qt::Window), settings_(settings), section_(std::move(section)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    view_ = new CAlarmView(this);
    layout->addWidget(view_);
    view_->LoadOptions(settings_);
    const WindowPlacement placement = ReadPlacement(
        settings_, section_, kPlacementKey, CentredPlacement(kDefaultWidth, kDefaultHeight));
    ApplyPlacement(*this, placement);
}

CAlarmPopupWnd::~CAlarmPopupWnd() {
    // Destroyed with its owner without a close: the state is kept all the same.
    SaveState();
}

void CAlarmPopupWnd::AddEntry(const AlarmPopupEntry& entry) {
    view_->AddEntry(entry);
}

bool CAlarmPopupWnd::RemoveDevice(const std::string& deviceName) {
    return view_->RemoveDevice(deviceName);
}

void CAlarmPopupWnd::ShowAndRaise() {
    if (isMinimized()) {
        showNormal();
    } else {
        show();
    }
    raise();
    activateWindow();
}

void CAlarmPopupWnd::RetranslateUi() {
    view_->RetranslateUi();
}

void CAlarmPopupWnd::SaveState() {
    if (saved_) {
        return;
    }
    saved_ = true;
    WritePlacement(settings_, section_, kPlacementKey, PlacementOf(*this));
    view_->SaveOptions(settings_);
}

void CAlarmPopupWnd::closeEvent(QCloseEvent* event) {
    SaveState();
    emit Closing();
    event->accept();
}

CAlarmWnd::CAlarmWnd(const CIni& settings, QWidget* owner)
    : CAlarmPopupWnd(settings, kSection, QString::fromLatin1(kTitle), owner) {
    setObjectName("alarmWnd");
}

CConnWnd::CConnWnd(const CIni& settings, QWidget* owner)
    : CAlarmPopupWnd(settings, kSection, QString::fromLatin1(kTitle), owner) {
    setObjectName("connWnd");
}

bool CConnWnd::RemoveDevice(const std::string& deviceName) {
    const bool empty = CAlarmPopupWnd::RemoveDevice(deviceName);
    if (empty) {
        close();
    }
    return empty;
}

}  // namespace zm
