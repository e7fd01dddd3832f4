#pragma once

#include <QWidget>
#include <string>

#include "app/UiPort.h"
#include "base/Ini.h"

namespace zm {

class CAlarmView;

// A free-standing window owned by the main window that fills itself with one alarm list.
// It takes its placement from its section of the settings file when created (hidden) and,
// when closed, writes the placement and the list options back and destroys itself.
class CAlarmPopupWnd : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kDefaultWidth = 425;
    static constexpr int kDefaultHeight = 360;
    static constexpr const char* kPlacementKey = "Window Placement";

    ~CAlarmPopupWnd() override;

    CAlarmView* View() const { return view_; }
    const std::string& Section() const { return section_; }

    void AddEntry(const AlarmPopupEntry& entry);
    // Deletes the device's first row; returns whether the list is empty now.
    virtual bool RemoveDevice(const std::string& deviceName);
    // Shows the window and makes it the foreground window.
    void ShowAndRaise();

    void RetranslateUi();

  signals:
    // The window has saved its state and is about to be destroyed.
    void Closing();

  protected:
    CAlarmPopupWnd(const CIni& settings, std::string section, const QString& title, QWidget* owner);
    void closeEvent(QCloseEvent* event) override;

  private:
    void SaveState();

    CIni settings_;
    std::string section_;
    CAlarmView* view_ = nullptr;
    bool saved_ = false;
};

// The alarm popup: every alarm of every device, shown and raised as the alarm actions say.
class CAlarmWnd : public CAlarmPopupWnd {
    Q_OBJECT

  public:
    static constexpr const char* kSection = "AlarmWnd";
    static constexpr const char* kTitle = "Zor Alarm";

    explicit CAlarmWnd(const CIni& settings, QWidget* owner = nullptr);
};

// The connection-lost popup: one row per device that lost its link; it closes itself when
// the last of them is back.
class CConnWnd : public CAlarmPopupWnd {
    Q_OBJECT

  public:
    static constexpr const char* kSection = "ConnLostWnd";
    static constexpr const char* kTitle = "Zor Connection Lost";

    explicit CConnWnd(const CIni& settings, QWidget* owner = nullptr);

    // Closes (and so destroys) the window when its list is empty afterwards.
    bool RemoveDevice(const std::string& deviceName) override;
};

}  // namespace zm
