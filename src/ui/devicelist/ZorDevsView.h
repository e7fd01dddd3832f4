#pragma once

#include <QElapsedTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "alarms/AlarmOperations.h"
#include "base/ListenerList.h"
#include "ui/devicelist/DevsMenu.h"
#include "ui/mainwindow/DeviceListPort.h"

class QMenu;
class QSplitter;
class QStackedWidget;
class QTableView;

namespace zm {

class CAlarmWorker;
class CDeviceListModel;
class CDeviceListUpdater;
class CDeviceRegistry;
class CDeviceTextSnapshots;
class CDeviceTrend;
class CEmptyListHint;
class CIni;
class CLabel;
class CLog;
class CLogView;
class CManagerEngine;
class CMapArea;
class CPlot2dView;
class CTavDevice;
class CZorDevice;

// What the device list view works with: the engine's settings and switches, the device
// list, the logs it shows, the KML report and the device dialogs.
struct DevsViewContext {
    CManagerEngine* engine = nullptr;
    CDeviceRegistry* registry = nullptr;
    CLog* webLog = nullptr;
    CLog* deviceLog = nullptr;
    // "UM_UPDATE_KML_VIEW" for one device (a new one).
    std::function<void(CTavDevice* device)> updateKml;
    // A renamed device's old KML file goes.
    std::function<void(const std::string& oldName)> forgetKml;
    // The device dialogs; true when the operator changed something. While one is empty,
    // its command says the dialog is not there and changes nothing.
    std::function<bool(CZorDevice& device)> deviceDialog;
    std::function<bool(CZorDevice& device)> linkDialog;
    // Where the "Open Data Log" submenu looks for data logs, subfolders included (the
    // logs root: every month).
    std::function<std::string()> logFolder;
    // The alarm lifecycle (acknowledge, shelve, out of service) and the operator who acts;
    // without it the list offers none of it.
    alarms::AlarmOperations* alarms = nullptr;
    alarms::Actor actor;
};

// View 0 of the main window, the operator's working view: the title, the device list
// (or the hint to add the first device), the live map, the trend plot and the device log.
// Rows are read from the devices once per update into plain records; nothing here keeps
// a device across an event-loop turn, and nothing here waits for a device's link.
class CZorDevsView final : public QWidget, public IDeviceListView {
    Q_OBJECT
  public:
    static constexpr const char* kPlotSection = "ZorDevsView::m_pPlot2dView";
    static constexpr qint64 kUpdateFoldMs = 200;

    explicit CZorDevsView(DevsViewContext context, QWidget* parent = nullptr);
    ~CZorDevsView() override;

    // The main window's side.
    QWidget* Widget() override { return this; }
    bool HasSelection() const override;
    void ButtonCommand(int offset) override;
    void Refresh() override;
    void RetranslateUi() override;

    // "UM_UPDATE_DEV_LIST": the messages of a burst are folded into one list update.
    void PostUpdate();
    // The list update itself; false when a guard held.
    bool UpdateList();

    // The context menu for the current selection, as it would open now (the caller owns it).
    QMenu* CreateContextMenu(QWidget* parent);
    // A command of the context menu ("UM_ZOR_MENU_xx", data-log ids) on the selection.
    void RunCommand(int command);
    // Rename in place as the finished edit of a row does.
    bool Rename(int row, const std::string& typed);
    void FlyTo(const std::vector<std::string>& names);

    // The trend plot's configuration in the settings file.
    void LoadPlotSettings(CIni& ini);
    void SavePlotSettings(CIni& ini) const;

    QTableView* List() const { return list_; }
    CDeviceListModel& Model() const { return *model_; }
    CPlot2dView* Plot() const { return plot_; }
    CDeviceTrend& Trend() const { return *trend_; }
    CMapArea* MapPane() const { return mapArea_; }
    CLogView* DeviceLogView() const { return logView_; }
    CLabel* Title() const { return title_; }
    QWidget* EmptyHint() const;
    bool IsMapShown() const;
    // Selected rows, in list order.
    std::vector<int> SelectedRows() const;

    // The rows a command works on, with the names they showed when it was asked for.
    struct Selection {
        std::vector<int> rows;
        std::vector<std::string> names;
        int clickedRow = -1;
    };
    Selection CurrentSelection() const;
    void RunCommand(int command, const Selection& selection);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void OnDoubleClick(const QPoint& viewportPos);
    void OnContextMenu(const QPoint& viewportPos);
    void FitColumns(bool advanced);
    void DescribeTrend();
    void ShowColumns(bool advanced);
    // The devices of the selected rows; a row whose device is gone is skipped.
    std::vector<std::shared_ptr<CTavDevice>> DevicesOf(const Selection& selection) const;
    std::shared_ptr<CTavDevice> DeviceAt(int row) const;
    void AddDevice();
    void Remove(const Selection& selection);
    void StartStop(const Selection& selection, bool start);
    void StatusReport(const Selection& selection);
    void OpenSettings(const std::shared_ptr<CTavDevice>& device);
    void OpenLinkSettings(const std::shared_ptr<CTavDevice>& device);
    void OpenDataLog(const Selection& selection, int position);
    AlarmMenuState AlarmMenuFor(const Selection& selection) const;
    void AcknowledgeDevices(const Selection& selection);
    void Suppress(const Selection& selection, int command);
    // Runs one write per device on the worker; says what failed when all are back.
    void RunForDevices(const std::vector<std::string>& devices,
                       std::function<alarms::OpResult(const std::string& device)> write);
    void Rebuild();
    bool Advanced() const;
    std::vector<std::string> AllNames() const;

    DevsViewContext context_;
    CLabel* title_ = nullptr;
    QSplitter* columns_ = nullptr;
    QSplitter* left_ = nullptr;
    QSplitter* right_ = nullptr;
    bool splitSized_ = false;
    QStackedWidget* listStack_ = nullptr;
    QTableView* list_ = nullptr;
    QObject* listViewport_ = nullptr;  // where double clicks are watched
    CEmptyListHint* hint_ = nullptr;
    CMapArea* mapArea_ = nullptr;
    CPlot2dView* plot_ = nullptr;
    CLogView* logView_ = nullptr;
    std::unique_ptr<CDeviceListModel> model_;
    std::unique_ptr<CDeviceTextSnapshots> snapshots_;
    std::unique_ptr<CDeviceTrend> trend_;
    std::unique_ptr<CDeviceListUpdater> updater_;
    ListenerToken removedToken_;
    ListenerToken alarmToken_;
    std::unique_ptr<CAlarmWorker> alarmWorker_;
    bool rebuilding_ = false;
    bool editingName_ = false;
    bool updatePosted_ = false;
    QElapsedTimer sinceUpdate_;
    // The dates the last data-log submenu listed.
    std::vector<std::string> menuDates_;
};

}  // namespace zm
