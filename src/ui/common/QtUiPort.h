#pragma once

#include <QPointer>
#include <QWidget>

#include "alarms/AlarmOperations.h"
#include "app/UiPort.h"
#include "base/Ini.h"

namespace zm {

class CAlarmSound;
class CAlarmWorker;
class CAlarmWnd;
class CConnWnd;

// What the engine asks of the operator, answered with windows: message boxes, the alarm
// and connection-lost popups, the alarm sound, opening report files. Lives on the GUI
// thread, as the engine's calls do.
class CQtUiPort : public UiPort {
  public:
    // settings: the settings file the popups keep their placement and list options in.
    explicit CQtUiPort(const CIni& settings, QWidget* owner = nullptr);
    ~CQtUiPort() override;
    CQtUiPort(const CQtUiPort&) = delete;
    CQtUiPort& operator=(const CQtUiPort&) = delete;

    // The main window, which owns the popups and the message boxes from now on.
    void SetOwner(QWidget* owner);

    MsgResult Ask(const std::string& text, MessageBoxType type, MsgResult safeAnswer,
                  const std::string& captionSuffix = "") override;
    void ShowAlarm(const AlarmPopupEntry& entry, bool bringToFront) override;
    void ShowConnectionLost(const AlarmPopupEntry& entry) override;
    void ShowConnectionRestored(const std::string& deviceName) override;
    void CloseAlarmPopup() override;
    void PlayAlarmSound() override;
    void StopAlarmSound() override;
    void OpenReport(const std::string& path) override;

    // The alarm lifecycle the alarm window acknowledges through, as this operator.
    void SetAlarmLifecycle(alarms::AlarmOperations* operations, alarms::Actor actor);
    CAlarmWorker& AlarmWorker() { return *worker_; }

    // The popups while they exist (null otherwise).
    CAlarmWnd* AlarmWindow() const { return alarmWnd_; }
    CConnWnd* ConnectionLostWindow() const { return connWnd_; }
    CAlarmSound& Sound() { return *sound_; }

    // Closes both popups (each saves its state); the main window calls it when it closes.
    void CloseAll();
    // The language changed: the popups take their new texts.
    void RetranslateUi();

  private:
    CIni settings_;
    QPointer<QWidget> owner_;
    QPointer<CAlarmWnd> alarmWnd_;
    QPointer<CConnWnd> connWnd_;
    CAlarmSound* sound_ = nullptr;
    CAlarmWorker* worker_ = nullptr;
    alarms::AlarmOperations* operations_ = nullptr;
    alarms::Actor actor_;
};

}  // namespace zm
