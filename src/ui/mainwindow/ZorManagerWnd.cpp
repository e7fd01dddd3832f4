#include "ui/mainwindow/ZorManagerWnd.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStackedWidget>
#include <QStatusBar>

#include "app/ManagerEngine.h"
#include "base/AppLogs.h"
#include "base/Folders.h"
#include "base/MlsPrgMsg.h"
#include "base/Paths.h"
#include "base/Printf.h"
#include "base/TextFile.h"
#include "base/Version.h"
#include "base/texts/WindowTexts.h"
#include "ui/alarms/AlarmHistoryWnd.h"
#include "ui/bridge/QtText.h"
#include "ui/common/LogView.h"
#include "ui/common/MessageBox.h"
#include "ui/common/SystemOpen.h"
#include "ui/mainwindow/AboutDialog.h"
#include "ui/mainwindow/AppIcon.h"
#include "ui/mainwindow/CaptionToolBar.h"
#include "ui/mainwindow/CommandIds.h"
#include "ui/mainwindow/DeviceListFileDialog.h"
#include "ui/mainwindow/DeviceListPlaceholder.h"
#include "ui/mainwindow/MainMenu.h"
#include "ui/mainwindow/QtMlsMenu.h"
#include "ui/map/GeoMapView.h"
#include "ui/map/VoidView.h"
#include "ui/notify/ClickatellSetsDlg.h"
#include "ui/notify/RecipientsDlg.h"
#include "ui/notify/SmtpSetsDlg.h"
#include "ui/notify/UdpSetsDlg.h"

namespace zm {
namespace {

// Folders and files go to the desktop cut to 260 characters, the longest path the program
// ever handed over; web addresses whole.
void OpenWithSystem(const std::string& target) {
    constexpr size_t kMaxPath = 260;
    const bool isUrl = target.find("://") != std::string::npos;
    SystemOpen::Open(ToQString(isUrl ? target : target.substr(0, kMaxPath)));
}

bool CtrlHeld() {
    return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ControlModifier);
}

constexpr const char* kPrintExplanation =
    "%s will now open device log in your computer's default browser. From there, you'll be "
    "able to use the browser's 'Print' function to print it or export to a number of file "
    "types, including PDF. For details of how to do that, consult your browser's Help "
    "function.";

}  // namespace

CZorManagerWnd::CZorManagerWnd(CManagerEngine& engine, Parts parts, QWidget* parent)
    : QMainWindow(parent), engine_(engine), parts_(std::move(parts)) {
    setObjectName("zorManagerWnd");
    setWindowIcon(AppIcon());

    // 2. Frame and menu; the Language popup with two or more languages.
    menu_ = new CMainMenu(menuBar());
    if (parts_.alarms) {
        menu_->AddAlarmLifecycle();
    }
    connect(menu_, &CMainMenu::Command, this, &CZorManagerWnd::OnCommand);
    BuildLanguageMenu();
    retranslateToken_ = engine_.AddRetranslateListener([this] { RetranslateUi(); });
    advancedToken_ = engine_.AddAdvancedModeListener([this](bool on) { OnAdvancedMode(on); });

    // 3. Menu translation: tag the items with their entries once, then translate.
    if (CMlsPrgMsg* mls = CMlsPrgMsg::Instance()) {
        CQtMlsMenu adapter(menuBar());
        mls->TranslateMenu(adapter, true);
    }
    toolBar_ = new CCaptionToolBar(this);
    addToolBar(Qt::TopToolBarArea, toolBar_);
    connect(toolBar_, &CCaptionToolBar::Command, this, &CZorManagerWnd::OnCommand);
    static const int kShortcutKeys[4] = {Qt::Key_1, Qt::Key_2, Qt::Key_3, Qt::Key_4};
    for (int i = 0; i < 4; ++i) {
        auto* shortcut = new QShortcut(QKeySequence(Qt::ALT | kShortcutKeys[i]), this);
        shortcut->setObjectName(QStringLiteral("shortcutAlt%1").arg(i + 1));
        const int id = cmd::kAddNewDevice + i;
        connect(shortcut, &QShortcut::activated, this, [this, id] { OnCommand(id); });
    }

    // 4. Status bar: the message pane and the clock.
    statusBar()->setObjectName("statusBar");
    clock_ = new QLabel(kClockSample, this);
    clock_->setObjectName("statusClock");
    // A fixed accessible name would stand in for the text, and a screen reader would say
    // "Clock" and never the time: the name carries both.
    clock_->setAccessibleName(QStringLiteral("Clock ") +
                              QString::fromLatin1(kClockSample).trimmed());
    clock_->setAlignment(Qt::AlignCenter);
    clock_->setFixedWidth(clock_->fontMetrics().horizontalAdvance(kClockSample) + 8);
    statusBar()->addPermanentWidget(clock_);

    // 5. Title and the views.
    setWindowTitle(ToQString(GetVersionText()));
    CreateViews();
    RetranslateUi();

    // 6. The device-log dates; the engine loads the settings and the device list.
    FillDeviceLogMenu();
    UpdateCommandUi();
    for (QMenu* menu : menuBar()->findChildren<QMenu*>()) {
        connect(menu, &QMenu::aboutToShow, this, &CZorManagerWnd::UpdateCommandUi);
    }
}

CZorManagerWnd::~CZorManagerWnd() = default;

void CZorManagerWnd::CreateViews() {
    views_ = new QStackedWidget(this);
    views_->setObjectName("viewArea");
    setCentralWidget(views_);
    if (parts_.makeDeviceList) {
        deviceList_ = parts_.makeDeviceList(views_);
    }
    if (deviceList_ == nullptr) {
        ownDeviceList_ = std::make_unique<CDeviceListPlaceholder>();
        deviceList_ = ownDeviceList_.get();
    }
    views_->addWidget(deviceList_->Widget());
    mapView_ = new CGeoMapView(WebLog(), views_);
    mapView_->setObjectName("mapView");
    views_->addWidget(mapView_);
    for (int index : {2, 3}) {
        auto* view = new CVoidView(views_);
        view->setObjectName(QStringLiteral("emptyView%1").arg(index));
        view->SetText("<center>");
        view->SetBackground(Qt::white);
        view->SetFrame(true);
        views_->addWidget(view);
    }
    runLogView_ = new CLogView(views_);
    runLogView_->setObjectName("runLogView");
    runLogView_->setAccessibleName("Run log");
    runLogView_->AttachLog(&RunLog(), false);
    views_->addWidget(runLogView_);
    views_->setVisible(false);
}

QWidget* CZorManagerWnd::View(int index) const {
    return index >= 0 && index < views_->count() ? views_->widget(index) : nullptr;
}

bool CZorManagerWnd::IsViewAvailable(int index) const {
    return engine_.IsViewAvailable(index);
}

bool CZorManagerWnd::ShowView(int index) {
    if (!IsViewAvailable(index)) {
        return false;
    }
    views_->setCurrentIndex(index);
    views_->setVisible(true);
    shownView_ = index;
    toolBar_->MarkButton(index);
    return true;
}

void CZorManagerWnd::BuildLanguageMenu() {
    QStringList languages;
    for (const std::string& name : engine_.LanguageMenu()) {
        languages.append(ToQString(name));
    }
    menu_->SetLanguages(languages, ToQString(engine_.CurrentLanguage()));
}

void CZorManagerWnd::RetranslateUi() {
    if (CMlsPrgMsg* mls = CMlsPrgMsg::Instance()) {
        CQtMlsMenu adapter(menuBar());
        mls->TranslateMenu(adapter, false);
    }
    toolBar_->SetCaptions({Tr(texts::tpZorManagerWndBtn_AddNewDevice),
                           Tr(texts::tpZorManagerWndBtn_DeleteTheDevice),
                           Tr(texts::tpZorManagerWndBtn_DeviceSettings)});
    deviceList_->RetranslateUi();
    mapView_->RetranslateUi();
    if (history_) {
        history_->RetranslateUi();
    }
    UpdateCommandUi();
    menuBar()->update();
}

void CZorManagerWnd::ShowClock(const std::string& clock) {
    const QString text = ToQString(clock);
    if (clock_->text() != text) {
        clock_->setText(text);
        clock_->setAccessibleName(QStringLiteral("Clock ") + text.trimmed());
    }
    // The engine's 200 ms clock is also the moment to follow the Internet state.
    UpdateCommandUi();
}

void CZorManagerWnd::RefreshViews() {
    deviceList_->Refresh();
    const ManagerSettings& s = engine_.Settings();
    mapView_->Refresh(s.bHttpServ, s.bMapView);
    UpdateCommandUi();
}

ScreenRect CZorManagerWnd::ScreenArea() {
    ScreenRect area;
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect r = screen->availableGeometry();
        area = {r.left(), r.top(), r.width(), r.height()};
    }
    return area;
}

void CZorManagerWnd::ApplyWindow(const ManagerSettings& settings) {
    WindowPlacement wp = settings.wp;
    if (wp.right - wp.left <= 0 || wp.bottom - wp.top <= 0) {
        const WindowPlacement def = engine_.DefaultPlacement();
        wp.left = def.left;
        wp.top = def.top;
        wp.right = def.right;
        wp.bottom = def.bottom;
    }
    setGeometry(QRect(wp.left, wp.top, wp.right - wp.left, wp.bottom - wp.top));
    appliedPlacement_ = settings.wp;
    appliedGeometry_ = geometry();
    placementApplied_ = true;
    maximizeOnShow_ = wp.showCmd == WindowPlacement::kShowMaximized;
    // A stored view that is not available (the run log: advanced mode is off at every
    // start) gives the device list.
    if (!ShowView(settings.nViewMode)) {
        ShowView(0);
    }
}

WindowPlacement CZorManagerWnd::CurrentPlacement() const {
    WindowPlacement wp = appliedPlacement_;
    const std::int32_t showCmd = isMaximized()   ? WindowPlacement::kShowMaximized
                                 : isMinimized() ? WindowPlacement::kShowMinimized
                                                 : WindowPlacement::kShowNormal;
    const QRect normal = isMaximized() || isMinimized() ? normalGeometry() : geometry();
    if (placementApplied_ && normal == appliedGeometry_ && showCmd == appliedPlacement_.showCmd) {
        return appliedPlacement_;
    }
    wp.length = WindowPlacement::kSize;
    wp.showCmd = showCmd;
    wp.left = normal.left();
    wp.top = normal.top();
    wp.right = normal.left() + normal.width();
    wp.bottom = normal.top() + normal.height();
    return wp;
}

void CZorManagerWnd::ShowAsPlaced() {
    if (maximizeOnShow_) {
        showMaximized();
    } else {
        showNormal();
    }
    raise();
    activateWindow();
}

void CZorManagerWnd::UpdateCommandUi() {
    const ManagerSettings& s = engine_.Settings();
    const CManagerEngine::GeoPreviewMenu geo = engine_.GetGeoPreviewMenu();
    auto set = [this](int id, bool checked, bool enabled = true) {
        if (QAction* action = menu_->Action(id)) {
            if (action->isChecked() != checked) {
                action->setChecked(checked);
            }
            if (action->isEnabled() != enabled) {
                action->setEnabled(enabled);
            }
        }
    };
    set(cmd::kAlarmPopup, s.bAlarmPopup);
    set(cmd::kAlarmSound, s.bAlarmSound);
    set(cmd::kAlarmMails, s.bAlarmMails);
    set(cmd::kAlarmSms, s.bAlarmSms);
    set(cmd::kConnectionLostSms, s.bNoConnectionSms);
    set(cmd::kConnectionLostWindow, s.bConnPopup);
    set(cmd::kEmbeddedServer, geo.serverChecked, geo.serverEnabled);
    set(cmd::kEmbeddedViewer, geo.viewerChecked, geo.viewerEnabled);
    set(cmd::kPreviewInBrowser, false, geo.previewEnabled);
    set(cmd::kAdvancedMode, engine_.IsAdvancedMode());
    if (parts_.isAlarmSoundRepeat) {
        set(cmd::kRepeatAlarmSound, parts_.isAlarmSoundRepeat());
    }
    set(cmd::kEmbeddedHelp, false, false);
    const std::string current = engine_.CurrentLanguage();
    for (int i = 0; i < cmd::kMaxLanguages; ++i) {
        if (QAction* action = menu_->Action(cmd::kFirstLanguage + i)) {
            set(cmd::kFirstLanguage + i, action->text().toStdString() == current);
        }
    }
}

void CZorManagerWnd::SetDeviceListEnabled(bool enabled) {
    deviceList_->Widget()->setEnabled(enabled);
}

void CZorManagerWnd::FillDeviceLogMenu() {
    QStringList dates;
    for (const std::string& date : CManagerEngine::DeviceLogDates(GetLogsRootFolder())) {
        dates.append(ToQString(date));
    }
    menu_->SetDeviceLogDates(dates);
}

void CZorManagerWnd::OnCommand(int id) {
    ManagerSettings& s = engine_.Settings();
    switch (id) {
        case cmd::kExit:
        case cmd::kQuit:
            close();
            break;
        case cmd::kAddNewDevice:
        case cmd::kDeleteTheDevice:
        case cmd::kDeviceSettings:
        case cmd::kReservedButton3:
        case cmd::kReservedButton4:
            ButtonCommand(id);
            break;
        case cmd::kAlarmPopup:
            s.bAlarmPopup = !s.bAlarmPopup;
            break;
        case cmd::kAlarmSound:
            s.bAlarmSound = !s.bAlarmSound;
            break;
        case cmd::kAlarmMails:
            s.bAlarmMails = !s.bAlarmMails;
            break;
        case cmd::kAlarmSms:
            s.bAlarmSms = !s.bAlarmSms;
            break;
        case cmd::kConnectionLostSms:
            s.bNoConnectionSms = !s.bNoConnectionSms;
            break;
        case cmd::kConnectionLostWindow:
            s.bConnPopup = !s.bConnPopup;
            break;
        case cmd::kEmbeddedServer:
            engine_.ToggleHttpServer();
            break;
        case cmd::kEmbeddedViewer:
            engine_.ToggleMapViewer();
            break;
        case cmd::kPreviewInBrowser:
            if (parts_.previewPageAddress) {
                OpenWithSystem(parts_.previewPageAddress());
            }
            break;
        case cmd::kAdvancedMode:
            engine_.ToggleAdvancedMode();
            break;
        case cmd::kOpenApplicationFolder:
            OpenWithSystem(GetProgramFolder());
            break;
        case cmd::kOpenConfigurationFolder:
            OpenWithSystem(GetConfigFolder());
            break;
        case cmd::kOpenDocumentsFolder:
            OpenWithSystem(GetUserDocsFolder());
            break;
        case cmd::kOpenLogFolder:
            OpenWithSystem(GetLogFolder());
            break;
        case cmd::kRecipients:
            EditRecipients();
            break;
        case cmd::kMailSettings:
            EditMailSettings();
            break;
        case cmd::kSmsSettings:
            EditSmsSettings();
            break;
        case cmd::kUdpSettings:
            EditUdpSettings();
            break;
        case cmd::kExtraText:
            OpenExtraText();
            break;
        case cmd::kSaveDeviceList:
            SaveDeviceList();
            break;
        case cmd::kLoadDeviceList:
            LoadDeviceList();
            break;
        case cmd::kUpdateDeviceLogList:
            FillDeviceLogMenu();
            break;
        case cmd::kAbout:
            About();
            break;
        case cmd::kAlarmHistory:
            OpenAlarmHistory();
            break;
        case cmd::kRepeatAlarmSound:
            if (parts_.isAlarmSoundRepeat && parts_.setAlarmSoundRepeat) {
                parts_.setAlarmSoundRepeat(!parts_.isAlarmSoundRepeat());
            }
            break;
        default:
            if (id >= cmd::kFirstDeviceLog && id < cmd::kFirstDeviceLog + cmd::kMaxDeviceLogs) {
                OpenDeviceLog(id - cmd::kFirstDeviceLog);
            } else if (id >= cmd::kFirstLanguage && id < cmd::kFirstLanguage + cmd::kMaxLanguages) {
                engine_.SelectLanguageCommand(id, CtrlHeld());
            }
            break;
    }
    UpdateCommandUi();
}

MsgResult CZorManagerWnd::Ask(const std::string& text, MessageBoxType type) {
    return MessageBox::Show(this, text, type);
}

void CZorManagerWnd::ButtonCommand(int id) {
    const int offset = id - cmd::kAddNewDevice;
    if (!deviceList_->HasSelection() && offset >= 1 && offset <= 4) {
        Ask(Translate(texts::tpZorDevsView_SelectTheDevice) + "!",
            {MsgButtons::kOk, MsgIcon::kInformation});
        return;
    }
    deviceList_->ButtonCommand(offset);
}

void CZorManagerWnd::OnAdvancedMode(bool on) {
    if (!on && shownView_ == kRunLogView) {
        ShowView(0);
    }
    deviceList_->Refresh();
    UpdateCommandUi();
}

void CZorManagerWnd::EditRecipients() {
    // OK or Cancel, the operator sees the list that is now in force.
    CRecipientsDlg::Run(engine_.Settings(), this);
}

void CZorManagerWnd::EditMailSettings() {
    CSmtpSetsDlg dialog(engine_.Settings(), this);
    if (dialog.exec() == QDialog::Accepted) {
        dialog.ApplyTo(engine_.Settings());
    }
}

void CZorManagerWnd::EditSmsSettings() {
    CClickatellSetsDlg dialog(engine_.Settings(), this);
    if (dialog.exec() == QDialog::Accepted) {
        dialog.ApplyTo(engine_.Settings());
    }
}

void CZorManagerWnd::EditUdpSettings() {
    CUdpSetsDlg dialog(engine_.Settings(), this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    // The dialog edits a copy; the engine takes the values, so the sender uses them for
    // the next datagram.
    ManagerSettings edited = engine_.Settings();
    dialog.ApplyTo(edited);
    UdpSettings udp;
    udp.bEnabled = edited.udp_enabled != 0;
    udp.bSendState = edited.udp_send_state != 0;
    udp.bSendData = edited.udp_send_data != 0;
    udp.nPort = edited.udp_port;
    udp.bBroadcastMac = edited.udp_broadcast_mac != 0;
    udp.sIpAddress = edited.udp_ip_address;
    engine_.SetUdpSettings(udp);
}

void CZorManagerWnd::OpenExtraText() {
    const std::string path = GetAppDataFolder() + "MailExtraText.txt";
    if (FileExists(path) || AppendTextFile(path, "", false, TextAnsi)) {
        OpenWithSystem(path);
    }
}

void CZorManagerWnd::OpenDeviceLog(int position) {
    const QStringList& dates = menu_->DeviceLogDates();
    if (position < 0 || position >= dates.size()) {
        return;
    }
    ManagerSettings& s = engine_.Settings();
    if (s.bPrintLine) {
        const std::string text = StrPrintf(kPrintExplanation, kProductId) +
                                 "\r\n\r\nDo you want to see this message again?";
        const MsgResult answer = Ask(text, {MsgButtons::kYesNoCancel, MsgIcon::kInformation});
        if (answer == MsgResult::kCancel) {
            return;
        }
        if (answer == MsgResult::kNo) {
            s.bPrintLine = false;
        }
    }
    OpenWithSystem(
        CManagerEngine::DeviceLogPath(GetLogsRootFolder(), dates[position].toStdString()));
}

void CZorManagerWnd::SaveDeviceList() {
    if (auto path = ChooseDeviceListFile(this, true)) {
        std::string error;
        if (!engine_.SaveDeviceList(*path, &error)) {
            Ask(error, {MsgButtons::kOk, MsgIcon::kError});
        }
    }
}

void CZorManagerWnd::LoadDeviceList() {
    if (auto path = ChooseDeviceListFile(this, false)) {
        std::string error;
        if (!engine_.LoadDeviceList(*path, &error)) {
            Ask(error, {MsgButtons::kOk, MsgIcon::kError});
        }
    }
}

void CZorManagerWnd::About() {
    CAboutDialog dialog(this);
    dialog.exec();
}

void CZorManagerWnd::OpenAlarmHistory() {
    if (!parts_.alarms) {
        return;
    }
    if (!history_) {
        history_ = new CAlarmHistoryWnd(
            *parts_.alarms, parts_.deviceNames ? parts_.deviceNames() : std::vector<std::string>{},
            this);
    }
    history_->show();
    history_->raise();
    history_->activateWindow();
}

void CZorManagerWnd::closeEvent(QCloseEvent* event) {
    if (closed_) {
        event->accept();
        return;
    }
    if (!engine_.Close()) {
        event->ignore();
        return;
    }
    closed_ = true;
    if (history_) {
        history_->close();
    }
    event->accept();
    emit Closed();
}

}  // namespace zm
