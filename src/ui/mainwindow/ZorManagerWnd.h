#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "alarms/AlarmOperations.h"
#include "app/ManagerSettings.h"
#include "base/ListenerList.h"
#include "ui/alarms/AlarmHistoryWnd.h"

class QLabel;
class QStackedWidget;

namespace zm {

class CCaptionToolBar;
class CGeoMapView;
class CLogView;
class CMainMenu;
class CManagerEngine;
struct EngineHooks;
class IDeviceListView;

// Parts the window cannot make itself.
struct MainWindowParts {
    // The device list view (view 0); null: a placeholder holds its place.
    std::function<IDeviceListView*(QWidget* parent)> makeDeviceList;
    // The address of the full preview page ("/preview") on this machine.
    std::function<std::string()> previewPageAddress;
    // The alarm lifecycle: "Alarm history..." reads it; null leaves both items out.
    alarms::AlarmOperations* alarms = nullptr;
    // The device names the history offers as filters.
    std::function<std::vector<std::string>()> deviceNames;
    // "Repeat sound until acknowledged" ("bAlarmSoundRepeat").
    std::function<bool()> isAlarmSoundRepeat;
    std::function<void(bool on)> setAlarmSoundRepeat;
};

// The application's only top-level window: menu bar, toolbar with the caption buttons,
// the one visible view of five, and the status bar with its clock. The operator's
// settings, the timers and the closing sequence belong to the engine; the window shows
// them and turns the operator's commands into engine operations.
class CZorManagerWnd final : public QMainWindow {
    Q_OBJECT
  public:
    static constexpr int kViewCount = 5;
    static constexpr int kRunLogView = 4;  // only in advanced mode
    static constexpr const char* kClockSample = " 11:25:53 ";

    using Parts = MainWindowParts;

    // Creation steps 2-5: menus (with the Language popup when there are two or more
    // languages), their translation, toolbar, status bar, title and the five views hidden.
    explicit CZorManagerWnd(CManagerEngine& engine, Parts parts = {}, QWidget* parent = nullptr);
    ~CZorManagerWnd() override;

    // Shows the window with the show state the settings asked for (end of start-up).
    void ShowAsPlaced();

    // Runs a command as the menu, toolbar or keyboard would.
    void OnCommand(int id);

    // One retranslation of everything the window shows: menu, captions, views.
    void RetranslateUi();

    // Shows the view if its index is valid and it is available.
    bool ShowView(int index);
    int ShownView() const { return shownView_; }
    bool IsViewAvailable(int index) const;
    QWidget* View(int index) const;

    // "DLG_GO_MODAL" / "DLG_GO_UNMODAL" of the device settings dialogs.
    void SetDeviceListEnabled(bool enabled);

    // Rebuilds the device-log submenu from the month's log folder (also command 1170).
    void FillDeviceLogMenu();

    // Brings checks and enabling of the commands in line with the settings.
    void UpdateCommandUi();

    // What the engine calls back: the clock (every 200 ms), the views after a switch
    // changed, the placement at close and the applied settings.
    void ShowClock(const std::string& clock);
    void RefreshViews();
    void ApplyWindow(const ManagerSettings& settings);
    WindowPlacement CurrentPlacement() const;
    // The screen area the default placement is centred on.
    static ScreenRect ScreenArea();

    CMainMenu& Menu() const { return *menu_; }
    CCaptionToolBar& ToolBar() const { return *toolBar_; }
    QLabel* Clock() const { return clock_; }
    // The alarm history window while it is open.
    CAlarmHistoryWnd* AlarmHistory() const { return history_; }

  signals:
    // The closing sequence ran and the window closed for good.
    void Closed();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void CreateViews();
    MsgResult Ask(const std::string& text, MessageBoxType type);
    void BuildLanguageMenu();
    void OnAdvancedMode(bool on);
    void ButtonCommand(int id);
    void OpenDeviceLog(int position);
    void EditRecipients();
    void EditMailSettings();
    void EditSmsSettings();
    void EditUdpSettings();
    void OpenExtraText();
    void SaveDeviceList();
    void LoadDeviceList();
    void About();
    void OpenAlarmHistory();
    CManagerEngine& engine_;
    Parts parts_;
    CMainMenu* menu_ = nullptr;
    CCaptionToolBar* toolBar_ = nullptr;
    QLabel* clock_ = nullptr;
    QStackedWidget* views_ = nullptr;
    IDeviceListView* deviceList_ = nullptr;
    CGeoMapView* mapView_ = nullptr;
    CLogView* runLogView_ = nullptr;
    std::unique_ptr<IDeviceListView> ownDeviceList_;
    QPointer<CAlarmHistoryWnd> history_;
    ListenerToken retranslateToken_;
    ListenerToken advancedToken_;
    int shownView_ = -1;
    // The placement the settings gave and the geometry it became: a window nobody moved
    // gives back the stored bytes, so that closing does not save for nothing.
    WindowPlacement appliedPlacement_;
    QRect appliedGeometry_;
    bool placementApplied_ = false;
    bool maximizeOnShow_ = false;
    bool closed_ = false;
};

}  // namespace zm
