#include "ui/devicelist/ZorDevsView.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QSplitter>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <set>

#include "app/DeviceRegistry.h"
#include "app/ManagerEngine.h"
#include "base/Ini.h"
#include "base/MlsPrgMsg.h"
#include "base/Printf.h"
#include "base/texts/WindowTexts.h"
#include "device/TavTexts.h"
#include "device/zor/ZorDevice.h"
#include "plot/Plot2dView.h"
#include "ui/alarms/AlarmWorker.h"
#include "ui/alarms/LifecycleTexts.h"
#include "ui/bridge/QtText.h"
#include "ui/common/Label.h"
#include "ui/common/LogView.h"
#include "ui/common/MessageBox.h"
#include "ui/common/SystemOpen.h"
#include "ui/devicelist/DeviceListModel.h"
#include "ui/devicelist/DeviceListUpdater.h"
#include "ui/devicelist/DeviceTextSnapshots.h"
#include "ui/devicelist/DeviceTrend.h"
#include "ui/devicelist/SuppressDlg.h"
#include "ui/map/MapArea.h"

namespace zm {

// Until the device dialogs are part of the program, their commands say so.
constinit const CMlsEntry tpZorDevsView_DialogNotAvailable{
    "tpZorDevsView_DialogNotAvailable", "This dialog is not available in this version.", true,
    "ZorDevsView"};

namespace {

std::string ViewTr(const CMlsEntry& entry) {
    return Translate(entry, "ZorDevsView");
}

std::string Trimmed(const std::string& text) {
    const char* blanks = " \t\r\n";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

}  // namespace

// The grey hint that stands in for an empty list; a double click adds the first device.
class CEmptyListHint final : public QLabel {
  public:
    explicit CEmptyListHint(QWidget* parent) : QLabel(parent) {
        setObjectName("devsEmptyHint");
        setTextFormat(Qt::PlainText);
        setAlignment(Qt::AlignLeft | Qt::AlignTop);
        setText(
            QStringLiteral("\n\n Device list is empty. \n Double-Click here to add first "
                           "device ... "));
        setAutoFillBackground(true);
        QPalette p = palette();
        p.setColor(QPalette::Window, QColor(245, 245, 245));
        setPalette(p);
        setFrameShape(QFrame::StyledPanel);
    }
    std::function<void()> onDoubleClick;

  protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        event->accept();
        if (onDoubleClick) {
            // After the click's own handling: adding a device opens a dialog.
            QTimer::singleShot(0, this, [this] { onDoubleClick(); });
        }
    }
};

namespace {

// The in-place name edit: the typed text goes to the view's rename, never into the model
// (the rebuilt list shows what the device took). While an editor is open the list holds
// still.
class CNameDelegate final : public QStyledItemDelegate {
  public:
    CNameDelegate(QObject* parent, std::function<void(bool)> editing,
                  std::function<void(int, std::string)> finished)
        : QStyledItemDelegate(parent),
          editing_(std::move(editing)),
          finished_(std::move(finished)) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (editor) {
            editor->setObjectName("devsNameEditor");
            editing_(true);
        }
        return editor;
    }
    void destroyEditor(QWidget* editor, const QModelIndex& index) const override {
        QStyledItemDelegate::destroyEditor(editor, index);
        editing_(false);
    }
    void setModelData(QWidget* editor, QAbstractItemModel*,
                      const QModelIndex& index) const override {
        auto* line = qobject_cast<QLineEdit*>(editor);
        if (!line) {
            return;
        }
        const int row = index.row();
        std::string typed = line->text().toStdString();
        // The rename rebuilds the list: after the editor is gone.
        QTimer::singleShot(0, parent(),
                           [finished = finished_, row, typed] { finished(row, typed); });
    }

  private:
    std::function<void(bool)> editing_;
    std::function<void(int, std::string)> finished_;
};

}  // namespace

CZorDevsView::CZorDevsView(DevsViewContext context, QWidget* parent)
    : QWidget(parent), context_(std::move(context)) {
    setObjectName("deviceListView");
    setAccessibleName("Device list");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(5, 5, 5, 5);
    layout->setSpacing(5);

    title_ = new CLabel(this);
    title_->setObjectName("devsTitle");
    title_->SetCentreImage(true);
    title_->SetWeightBold(true)
        .SetPointSize(13)
        .SetEmboss(true, 0)
        .SetEmbossColour(QColor(255, 255, 255))
        .SetBackground(QColor(200, 200, 200), QColor(0, 0, 0), false)
        .SetTextColour(QColor(0, 0, 250));
    title_->setFixedHeight(30);
    layout->addWidget(title_);

    columns_ = new QSplitter(Qt::Horizontal, this);
    columns_->setObjectName("devsColumns");
    columns_->setChildrenCollapsible(false);
    auto* left = new QSplitter(Qt::Vertical, columns_);
    left->setObjectName("devsLeft");
    left->setChildrenCollapsible(false);
    auto* right = new QSplitter(Qt::Vertical, columns_);
    right->setObjectName("devsRight");
    right->setChildrenCollapsible(false);
    layout->addWidget(columns_, 1);

    // Upper left: the list, or the hint while it is empty.
    listStack_ = new QStackedWidget(left);
    model_ = std::make_unique<CDeviceListModel>();
    list_ = new QTableView(listStack_);
    list_->setObjectName("devsList");
    list_->setAccessibleName("Devices");
    list_->setModel(model_.get());
    list_->setShowGrid(true);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    list_->setWordWrap(false);
    list_->setTextElideMode(Qt::ElideRight);
    list_->verticalHeader()->setVisible(false);
    list_->verticalHeader()->setDefaultSectionSize(22);
    list_->horizontalHeader()->setHighlightSections(false);
    list_->setIconSize(QSize(16, 16));
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    list_->setItemDelegateForColumn(
        kColSensor, new CNameDelegate(
                        list_, [this](bool on) { editingName_ = on; },
                        [this](int row, const std::string& typed) { Rename(row, typed); }));
    connect(list_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { OnContextMenu(pos); });
    listViewport_ = list_->viewport();
    listViewport_->installEventFilter(this);
    hint_ = new CEmptyListHint(listStack_);
    hint_->onDoubleClick = [this] { AddDevice(); };
    listStack_->addWidget(list_);
    listStack_->addWidget(hint_);
    listStack_->setCurrentWidget(hint_);

    // Lower left: the map, or the panel saying it is off.
    mapArea_ = new CMapArea(*context_.webLog, texts::tpZorDevsView_EmbeddedViewerIsDisabled, left);
    mapArea_->setObjectName("devsMapPane");

    // Upper right: the trend; lower right: the device log.
    plot_ = new CPlot2dView(right);
    plot_->setObjectName("devsTrend");
    plot_->setAccessibleName("Trend");
    trend_ = std::make_unique<CDeviceTrend>(plot_->Model());
    logView_ = new CLogView(right);
    logView_->setObjectName("devsDeviceLog");
    logView_->setAccessibleName("Device log");
    logView_->AttachLog(context_.deviceLog, false);

    left->addWidget(listStack_);
    left->addWidget(mapArea_);
    right->addWidget(plot_);
    right->addWidget(logView_);
    // The areas keep their shares when the window is resized (the operator may move the
    // borders; the shares then stay as moved).
    for (QSplitter* s : {columns_, left, right}) {
        for (int i = 0; i < 2; ++i) {
            s->widget(i)->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
            s->setStretchFactor(i, 1);
        }
    }
    left_ = left;
    right_ = right;

    snapshots_ = std::make_unique<CDeviceTextSnapshots>();
    // The worker's texts arrive off this thread: only post.
    QPointer<CZorDevsView> self(this);
    snapshots_->onReady = [self] {
        QMetaObject::invokeMethod(
            qApp,
            [self] {
                if (self) {
                    self->PostUpdate();
                }
            },
            Qt::QueuedConnection);
    };
    updater_ = std::make_unique<CDeviceListUpdater>(*model_, *snapshots_, trend_.get());
    if (context_.registry) {
        // A device that leaves takes its row and its series with it at the next update.
        removedToken_ = context_.registry->AddRemovedListener([this](const CTavDevice&) {
            updater_->Invalidate();
            PostUpdate();
        });
    }
    if (context_.alarms) {
        alarms::AlarmOperations* ops = context_.alarms;
        alarmWorker_ = std::make_unique<CAlarmWorker>();
        updater_->SetSuppressionSource(
            [ops](const std::string& device) { return ops->SuppressionOf(device); });
        // Told on the thread that made the change: only posted on from there.
        alarmToken_ = ops->AddChangeListener([self](const alarms::AlarmChange&) {
            QMetaObject::invokeMethod(
                qApp,
                [self] {
                    if (self) {
                        self->PostUpdate();
                    }
                },
                Qt::QueuedConnection);
        });
    }
    RetranslateUi();
}

CZorDevsView::~CZorDevsView() {
    alarmToken_.Reset();
    alarmWorker_.reset();  // its writes finish first
    removedToken_.Reset();
    // The list (with an editor that may be open) goes while the model and the flags its
    // delegate reports to still exist.
    list_->viewport()->removeEventFilter(this);
    delete list_;
    list_ = nullptr;
    // The worker may still post; it stops before the view's members go.
    snapshots_.reset();
}

void CZorDevsView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (splitSized_ || width() < 50 || height() < 50) {
        return;
    }
    // The first real size gives each area its share: list and trend over map and log,
    // the two columns side by side.
    splitSized_ = true;
    const int w = columns_->width();
    const int h = columns_->height();
    columns_->setSizes({w * 9 / 20, w - w * 9 / 20});
    left_->setSizes({h / 2, h - h / 2});
    right_->setSizes({h / 2, h - h / 2});
}

bool CZorDevsView::Advanced() const {
    return context_.engine && context_.engine->IsAdvancedMode();
}

QWidget* CZorDevsView::EmptyHint() const {
    return hint_;
}

bool CZorDevsView::IsMapShown() const {
    return mapArea_->Viewer() != nullptr;
}

void CZorDevsView::RetranslateUi() {
    title_->SetLabelText(Translate(texts::tpZorManagerWndBtn_ControlPanel, "ButtsCaptions"));
    mapArea_->RetranslateUi();
    plot_->RetranslateUi();
    model_->Retranslate();
    // The column texts are asked for by their translated titles: read them anew.
    updater_->Invalidate();
    PostUpdate();
}

void CZorDevsView::Refresh() {
    if (context_.engine) {
        const ManagerSettings& s = context_.engine->Settings();
        mapArea_->Refresh(s.bHttpServ, s.bMapView);
    }
    Rebuild();
}

void CZorDevsView::Rebuild() {
    updater_->Invalidate();
    UpdateList();
}

void CZorDevsView::PostUpdate() {
    if (updatePosted_) {
        return;
    }
    updatePosted_ = true;
    // Many devices report many times a second: their messages are folded into one update
    // (and one repaint of the list and the trend) at most every kUpdateFoldMs.
    const qint64 since = sinceUpdate_.isValid() ? sinceUpdate_.elapsed() : kUpdateFoldMs;
    const int delay = since >= kUpdateFoldMs ? 0 : int(kUpdateFoldMs - since);
    QTimer::singleShot(delay, this, [this] { UpdateList(); });
}

bool CZorDevsView::UpdateList() {
    updatePosted_ = false;
    sinceUpdate_.start();
    if (!context_.registry) {
        return false;
    }
    DeviceListGuards guards;
    guards.listExists = list_ != nullptr;
    guards.rebuilding = rebuilding_;
    guards.editingName = editingName_;
    const bool advanced = Advanced();
    const DeviceListUpdateResult result =
        updater_->Update(context_.registry->GetDevices(), advanced, guards);
    if (!result.ran) {
        return false;
    }
    ShowColumns(advanced);
    if (result.fitWidths) {
        FitColumns(advanced);
    }
    listStack_->setCurrentWidget(result.showList ? static_cast<QWidget*>(list_) : hint_);
    DescribeTrend();
    return true;
}

void CZorDevsView::DescribeTrend() {
    // What the trend shows, in words: each device's latest plotted value.
    QStringList lines;
    const CPlot2dModel& plot = plot_->Model();
    for (int i = 0; i < plot.GetSeriesCount(0); ++i) {
        const PlotSeries* s = plot.GetSeries(0, i);
        const PlotArrays* ys = plot_->Model().GetYArrays(0);
        if (!s || !ys || s->yArray < 0 || size_t(s->yArray) >= ys->size()) {
            continue;
        }
        const PlotArray& values = (*ys)[size_t(s->yArray)];
        QString line = QString::fromStdString(s->name) + QStringLiteral(": ");
        if (s->count > 0 && size_t(s->count) <= values.size()) {
            line += QString::number(values[size_t(s->count - 1)], 'f', 1);
        } else {
            line += QStringLiteral("-");
        }
        lines.append(line);
    }
    const QString description = lines.join(QLatin1Char('\n'));
    if (plot_->accessibleDescription() != description) {
        plot_->setAccessibleDescription(description);
    }
}

void CZorDevsView::ShowColumns(bool advanced) {
    for (int c = 0; c < kDevListColumns; ++c) {
        const bool hidden = !IsDevListColumnShown(c, advanced);
        if (list_->isColumnHidden(c) != hidden) {
            list_->setColumnHidden(c, hidden);
        }
    }
}

void CZorDevsView::FitColumns(bool advanced) {
    const QFontMetrics metrics = list_->fontMetrics();
    const std::vector<int> widths =
        FitColumnWidths(model_->Rows(), advanced, [&metrics](const std::string& text) {
            return metrics.horizontalAdvance(QString::fromStdString(text));
        });
    for (int c = 0; c < kDevListColumns; ++c) {
        if (widths[size_t(c)] > 0) {
            list_->setColumnWidth(c, widths[size_t(c)]);
        }
    }
}

std::vector<int> CZorDevsView::SelectedRows() const {
    std::vector<int> rows;
    if (!list_ || !list_->selectionModel()) {
        return rows;
    }
    for (const QModelIndex& index : list_->selectionModel()->selectedRows()) {
        rows.push_back(index.row());
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

bool CZorDevsView::HasSelection() const {
    return !SelectedRows().empty();
}

CZorDevsView::Selection CZorDevsView::CurrentSelection() const {
    Selection selection;
    selection.rows = SelectedRows();
    for (int row : selection.rows) {
        selection.names.push_back(model_->Row(row).name);
    }
    const QModelIndex current = list_ ? list_->currentIndex() : QModelIndex();
    selection.clickedRow = current.isValid() ? current.row() : -1;
    return selection;
}

std::shared_ptr<CTavDevice> CZorDevsView::DeviceAt(int row) const {
    if (!context_.registry || row < 0) {
        return nullptr;
    }
    return context_.registry->GetDevice(size_t(row));
}

std::vector<std::shared_ptr<CTavDevice>> CZorDevsView::DevicesOf(const Selection& selection) const {
    std::vector<std::shared_ptr<CTavDevice>> devices;
    if (!context_.registry) {
        return devices;
    }
    const std::vector<std::shared_ptr<CTavDevice>> all = context_.registry->GetDevices();
    for (size_t i = 0; i < selection.rows.size(); ++i) {
        const int row = selection.rows[i];
        const std::string& name = i < selection.names.size() ? selection.names[i] : std::string();
        // The row as it was when the command was asked for: the list may have moved since.
        if (row >= 0 && size_t(row) < all.size() && all[size_t(row)]->GetName() == name) {
            devices.push_back(all[size_t(row)]);
            continue;
        }
        auto it = std::find_if(all.begin(), all.end(),
                               [&](const auto& d) { return d->GetName() == name; });
        if (it != all.end()) {
            devices.push_back(*it);
        }
    }
    return devices;
}

std::vector<std::string> CZorDevsView::AllNames() const {
    std::vector<std::string> names;
    if (context_.registry) {
        for (const auto& device : context_.registry->GetDevices()) {
            names.push_back(device->GetName());
        }
    }
    return names;
}

bool CZorDevsView::eventFilter(QObject* watched, QEvent* event) {
    if (list_ && watched == listViewport_ && event->type() == QEvent::MouseButtonDblClick) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        OnDoubleClick(mouse->position().toPoint());
        return true;  // a double click flies; it never starts the name edit
    }
    return QWidget::eventFilter(watched, event);
}

void CZorDevsView::OnDoubleClick(const QPoint& viewportPos) {
    const QModelIndex index = list_->indexAt(viewportPos);
    if (!index.isValid()) {
        FlyTo({});
        return;
    }
    FlyTo({model_->Row(index.row()).name});
}

void CZorDevsView::FlyTo(const std::vector<std::string>& names) {
    CLogView* viewer = mapArea_->Viewer();
    if (!viewer) {
        return;
    }
    if (names.empty()) {
        viewer->CallScript(QStringLiteral("flyToAllDevices"));
        return;
    }
    QStringList arguments;
    for (const std::string& name : names) {
        arguments.append(QString::fromStdString(name));
    }
    viewer->CallScriptArgs(QStringLiteral("flyToSelectedDevices"), arguments);
}

QMenu* CZorDevsView::CreateContextMenu(QWidget* parent) {
    const Selection selection = CurrentSelection();
    DevsMenuState state;
    state.selectedNames = selection.names;
    state.advanced = Advanced();
    state.mapShown = IsMapShown();
    menuDates_.clear();
    if (selection.rows.size() == 1 && context_.logFolder) {
        if (auto zor = std::dynamic_pointer_cast<CZorDevice>(DeviceAt(selection.rows[0]))) {
            menuDates_ = FindDataLogDates(context_.logFolder(), zor->GetIdText(), zor->GetName());
        }
    }
    state.dataLogDates = menuDates_;
    state.alarms = AlarmMenuFor(selection);
    auto* menu = new QMenu(parent);
    menu->setObjectName("devsContextMenu");
    std::function<void(QMenu*, const std::vector<DevsMenuItem>&)> fill =
        [&](QMenu* target, const std::vector<DevsMenuItem>& items) {
            for (const DevsMenuItem& item : items) {
                const QString text = QString::fromStdString(MenuPlainText(item.text));
                switch (item.kind) {
                    case DevsMenuItem::kSeparator:
                        target->addSeparator();
                        break;
                    case DevsMenuItem::kHeader: {
                        QAction* header = target->addAction(text);
                        header->setObjectName("devsMenuHeader");
                        header->setEnabled(false);
                        break;
                    }
                    case DevsMenuItem::kSubmenu: {
                        QMenu* sub = target->addMenu(text);
                        sub->setObjectName("devsDataLogMenu");
                        fill(sub, item.children);
                        break;
                    }
                    case DevsMenuItem::kCommand: {
                        QAction* action = target->addAction(text);
                        action->setEnabled(item.enabled);
                        const std::string name = DevsMenuCommandName(item.command);
                        action->setObjectName(QString::fromStdString(
                            name.empty() ? StrPrintf("DEVS_LOG_%d", item.command) : name));
                        const int command = item.command;
                        connect(action, &QAction::triggered, this,
                                [this, command, selection] { RunCommand(command, selection); });
                        break;
                    }
                }
            }
        };
    fill(menu, BuildDevsMenu(state));
    return menu;
}

void CZorDevsView::OnContextMenu(const QPoint& viewportPos) {
    QMenu* menu = CreateContextMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(list_->viewport()->mapToGlobal(viewportPos));
}

void CZorDevsView::RunCommand(int command) {
    RunCommand(command, CurrentSelection());
}

void CZorDevsView::RunCommand(int command, const Selection& selection) {
    const std::vector<std::shared_ptr<CTavDevice>> devices = DevicesOf(selection);
    switch (command) {
        case kMenuSettings:
            if (!devices.empty()) {
                OpenSettings(devices.front());
            }
            break;
        case kMenuLinkSettings:
            if (!devices.empty()) {
                OpenLinkSettings(devices.front());
            }
            break;
        case kMenuGetStatus:
            StatusReport(selection);
            break;
        case kMenuStart:
        case kMenuStop:
            StartStop(selection, command == kMenuStart);
            break;
        case kMenuFlyTo:
            FlyTo(selection.names);
            break;
        case kMenuAddDevice:
            AddDevice();
            break;
        case kMenuRemove:
            Remove(selection);
            break;
        case kMenuAcknowledge:
            AcknowledgeDevices(selection);
            break;
        case kMenuShelve:
        case kMenuUnshelve:
        case kMenuOutOfService:
        case kMenuInService:
            Suppress(selection, command);
            break;
        case kMenuDataLogUpdate:
            break;
        default:
            if (command >= kMenuDataLogFirst && command < kMenuDataLogUpdate) {
                OpenDataLog(selection, command - kMenuDataLogFirst);
            }
            break;
    }
}

void CZorDevsView::ButtonCommand(int offset) {
    const Selection selection = CurrentSelection();
    if (offset >= 1 && offset <= 4 && selection.rows.empty()) {
        MessageBox::Show(this, ViewTr(texts::tpZorDevsView_SelectTheDevice) + "!",
                         {MsgButtons::kOk, MsgIcon::kInformation});
        return;
    }
    switch (offset) {
        case 0:
            AddDevice();
            break;
        case 1:
            Remove(selection);
            break;
        case 2: {
            if (selection.rows.size() > 1) {
                MessageBox::Show(this, ViewTr(texts::tpZorDevsView_CanModifyOnlyFirst) + "!",
                                 {MsgButtons::kOk, MsgIcon::kInformation});
            }
            const std::vector<std::shared_ptr<CTavDevice>> devices = DevicesOf(selection);
            if (!devices.empty()) {
                OpenSettings(devices.front());
            }
            break;
        }
        default:
            break;
    }
}

void CZorDevsView::AddDevice() {
    if (!context_.registry) {
        return;
    }
    std::shared_ptr<CTavDevice> device;
    rebuilding_ = true;
    device = context_.registry->AddDevice(true);
    rebuilding_ = false;
    if (!device) {
        return;
    }
    if (context_.engine) {
        context_.engine->SetConfigChanged();
    }
    Rebuild();
    if (context_.updateKml) {
        context_.updateKml(device.get());
    }
    OpenLinkSettings(device);
}

void CZorDevsView::Remove(const Selection& selection) {
    if (selection.rows.empty() || !context_.registry) {
        return;
    }
    const MsgResult answer =
        MessageBox::Show(this, ViewTr(texts::tpZorDevsView_DeleteThisDevice) + "?\r\n",
                         {MsgButtons::kYesNo, MsgIcon::kWarning});
    if (answer != MsgResult::kYes) {
        return;
    }
    std::vector<std::shared_ptr<CTavDevice>> devices = DevicesOf(selection);
    CManagerEngine* engine = context_.engine;
    const bool viewerOn = engine && engine->Settings().bHttpServ && engine->Settings().bMapView;
    if (viewerOn) {
        engine->SetMapViewer(false);
    }
    rebuilding_ = true;
    // All asked to stop at once: their waits overlap instead of adding up.
    std::vector<const CTavDevice*> leaving;
    for (const auto& device : devices) {
        leaving.push_back(device.get());
    }
    context_.registry->RemoveDevices(leaving);
    rebuilding_ = false;
    devices.clear();
    if (viewerOn) {
        engine->SetMapViewer(true);
    }
    if (engine) {
        engine->SetConfigChanged();
    }
    Rebuild();
}

void CZorDevsView::StartStop(const Selection& selection, bool start) {
    for (const auto& device : DevicesOf(selection)) {
        const bool changed = device->SetScanning(start);
        // A stop is applied even when the device was already off: its link is closed.
        if (changed || !start) {
            device->ApplyCfg();
        }
    }
    if (context_.engine) {
        context_.engine->SetConfigChanged();
    }
    PostUpdate();
}

void CZorDevsView::StatusReport(const Selection& selection) {
    std::vector<StatusReportEntry> entries;
    // Both texts come from the device's status and its link snapshot: no link lock here.
    for (const auto& device : DevicesOf(selection)) {
        entries.push_back({device->GetName(), device->GetInfoText(TavText(tavtext::kDataDateTime)),
                           device->GetInfoText(TavText(tavtext::kDevStatus))});
    }
    MessageBox::Show(this, StatusReportText(entries), {MsgButtons::kOk, MsgIcon::kInformation});
}

void CZorDevsView::OpenSettings(const std::shared_ptr<CTavDevice>& device) {
    auto zor = std::dynamic_pointer_cast<CZorDevice>(device);
    if (!zor) {
        return;
    }
    if (!context_.deviceDialog) {
        MessageBox::Show(this, ViewTr(tpZorDevsView_DialogNotAvailable),
                         {MsgButtons::kOk, MsgIcon::kInformation});
        return;
    }
    const std::string oldName = zor->GetName();
    zor->SetOtherNames(AllNames());
    if (!context_.deviceDialog(*zor)) {
        return;
    }
    if (zor->GetName() != oldName && context_.forgetKml) {
        context_.forgetKml(oldName);
    }
    if (context_.engine) {
        context_.engine->SetConfigChanged();
    }
    // The rebuild makes the series anew when the colour changed.
    Rebuild();
    if (CLogView* viewer = mapArea_->Viewer()) {
        double lat = 0;
        double lon = 0;
        zor->GetPosition(lat, lon);
        viewer->CallScriptArgs(QStringLiteral("flyTo"),
                               {QString::fromStdString(StrPrintf("%lf", lat)),
                                QString::fromStdString(StrPrintf("%lf", lon)),
                                QString::fromStdString(StrPrintf("%d", 14))});
    }
}

void CZorDevsView::OpenLinkSettings(const std::shared_ptr<CTavDevice>& device) {
    auto zor = std::dynamic_pointer_cast<CZorDevice>(device);
    if (!zor) {
        return;
    }
    if (!context_.linkDialog) {
        MessageBox::Show(this, ViewTr(tpZorDevsView_DialogNotAvailable),
                         {MsgButtons::kOk, MsgIcon::kInformation});
        return;
    }
    if (context_.linkDialog(*zor) && context_.engine) {
        context_.engine->SetConfigChanged();
    }
    PostUpdate();
}

bool CZorDevsView::Rename(int row, const std::string& typed) {
    auto zor = std::dynamic_pointer_cast<CZorDevice>(DeviceAt(row));
    if (!zor || row >= model_->rowCount() || zor->GetName() != model_->Row(row).name) {
        Rebuild();
        return false;
    }
    const std::string name = Trimmed(typed);
    const std::string oldName = zor->GetName();
    bool renamed = false;
    if (!name.empty() && name != oldName) {
        zor->SetOtherNames(AllNames());
        renamed = zor->SetUniqueName(name);
    }
    if (renamed) {
        if (context_.forgetKml) {
            context_.forgetKml(oldName);
        }
        if (context_.engine) {
            context_.engine->SetConfigChanged();
        }
    }
    // The edit's own text is not kept: the list shows what the device is called.
    Rebuild();
    return renamed;
}

void CZorDevsView::OpenDataLog(const Selection& selection, int position) {
    if (position < 0 || size_t(position) >= menuDates_.size() || selection.rows.size() != 1 ||
        !context_.logFolder) {
        return;
    }
    const std::vector<std::shared_ptr<CTavDevice>> devices = DevicesOf(selection);
    auto zor = devices.empty() ? nullptr : std::dynamic_pointer_cast<CZorDevice>(devices.front());
    if (!zor) {
        return;
    }
    // A file gone since the menu was built goes to the desktop anyway; it reports the error.
    SystemOpen::Open(QString::fromStdString(DataLogFileFor(
        context_.logFolder(), zor->GetIdText(), zor->GetName(), menuDates_[size_t(position)])));
}

AlarmMenuState CZorDevsView::AlarmMenuFor(const Selection& selection) const {
    AlarmMenuState state;
    if (!context_.alarms) {
        return state;
    }
    using Kind = alarms::DeviceSuppression::Kind;
    state.offered = true;
    for (const std::string& name : selection.names) {
        state.unacked += context_.alarms->UnackedAlarmsOf(name);
        switch (context_.alarms->SuppressionOf(name).kind) {
            case Kind::None:
                ++state.free;
                break;
            case Kind::Shelved:
                ++state.shelved;
                break;
            case Kind::OutOfService:
                ++state.outOfService;
                break;
        }
    }
    return state;
}

void CZorDevsView::AcknowledgeDevices(const Selection& selection) {
    if (!context_.alarms) {
        return;
    }
    alarms::AlarmOperations* ops = context_.alarms;
    const alarms::Actor actor = context_.actor;
    const std::vector<std::string> names = selection.names;
    alarmWorker_->Run<std::vector<std::string>>(
        [ops, actor, names] {
            std::vector<std::string> failed;
            for (const alarms::AlarmRecord& alarm : ops->OpenAlarms()) {
                const bool selected =
                    std::find(names.begin(), names.end(), alarm.device) != names.end();
                if (!selected || alarms::IsAcknowledged(alarm.state)) {
                    continue;
                }
                const alarms::OpResult result = ops->Acknowledge(alarm.id, actor, "");
                // One that closed meanwhile needs no acknowledgement any more.
                if (!result && result.status != alarms::OpStatus::NotFound) {
                    failed.push_back(alarm.device + ": " + result.error);
                }
            }
            return failed;
        },
        this,
        [this](std::vector<std::string> failed) {
            if (!failed.empty()) {
                std::string text = Translate(texts::tpAlarmView_NotAcknowledged) + ":";
                for (const std::string& line : failed) {
                    text += "\r\n" + line;
                }
                MessageBox::Show(this, text, {MsgButtons::kOk, MsgIcon::kWarning});
            }
            PostUpdate();
        });
}

void CZorDevsView::Suppress(const Selection& selection, int command) {
    if (!context_.alarms || selection.names.empty()) {
        return;
    }
    using Kind = alarms::DeviceSuppression::Kind;
    alarms::AlarmOperations* ops = context_.alarms;
    const alarms::Actor actor = context_.actor;
    // Each command goes to the devices it changes; the others are left as they are.
    std::vector<std::string> devices;
    for (const std::string& name : selection.names) {
        const Kind kind = ops->SuppressionOf(name).kind;
        bool applies = false;
        switch (command) {
            case kMenuUnshelve:
                applies = kind == Kind::Shelved;
                break;
            case kMenuInService:
                applies = kind == Kind::OutOfService;
                break;
            case kMenuShelve:
                applies = kind != Kind::OutOfService;  // maintenance outranks a shelving
                break;
            default:
                applies = true;  // out of service, with this reason, whatever it was
                break;
        }
        if (applies) {
            devices.push_back(name);
        }
    }
    if (devices.empty()) {
        return;
    }
    if (command == kMenuShelve || command == kMenuOutOfService) {
        CSuppressDlg dialog(
            command == kMenuShelve ? CSuppressDlg::Mode::Shelve : CSuppressDlg::Mode::OutOfService,
            devices, this);
        if (dialog.exec() != QDialog::Accepted) {
            return;
        }
        const int minutes = dialog.Minutes();
        const std::string reason = dialog.Reason();
        if (command == kMenuShelve) {
            RunForDevices(devices, [ops, actor, minutes, reason](const std::string& device) {
                return ops->Shelve(device, minutes, reason, actor);
            });
        } else {
            RunForDevices(devices, [ops, actor, reason](const std::string& device) {
                return ops->TakeOutOfService(device, reason, actor);
            });
        }
        return;
    }
    if (command == kMenuUnshelve) {
        RunForDevices(devices, [ops, actor](const std::string& device) {
            return ops->Unshelve(device, actor);
        });
    } else {
        RunForDevices(devices, [ops, actor](const std::string& device) {
            return ops->ReturnToService(device, actor);
        });
    }
}

void CZorDevsView::RunForDevices(const std::vector<std::string>& devices,
                                 std::function<alarms::OpResult(const std::string&)> write) {
    alarmWorker_->Run<std::vector<std::string>>(
        [devices, write] {
            std::vector<std::string> failed;
            for (const std::string& device : devices) {
                const alarms::OpResult result = write(device);
                if (!result) {
                    failed.push_back(device + ": " + result.error);
                }
            }
            return failed;
        },
        this,
        [this](std::vector<std::string> failed) {
            if (!failed.empty()) {
                std::string text = Translate(texts::tpZorDevsView_NotDone) + ":";
                for (const std::string& line : failed) {
                    text += "\r\n" + line;
                }
                MessageBox::Show(this, text, {MsgButtons::kOk, MsgIcon::kWarning});
            }
            PostUpdate();
        });
}

void CZorDevsView::LoadPlotSettings(CIni& ini) {
    plot_->Load(kPlotSection, &ini);
}

void CZorDevsView::SavePlotSettings(CIni& ini) const {
    plot_->Save(kPlotSection, &ini);
}

}  // namespace zm
