#include "ui/mainwindow/MainMenu.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "ui/alarms/LifecycleTexts.h"
#include "ui/mainwindow/CommandIds.h"
#include "ui/mainwindow/QtMlsMenu.h"

namespace zm {
namespace {

QMenu* AddPopup(QWidget* parent, const char* key, const char* objectName) {
    auto* menu = new QMenu(QString::fromLatin1(key), parent);
    menu->setObjectName(QString::fromLatin1(objectName));
    menu->menuAction()->setObjectName(QString::fromLatin1(objectName) + "Action");
    return menu;
}

}  // namespace

CMainMenu::CMainMenu(QMenuBar* bar) : QObject(bar), bar_(bar) {
    bar_->setObjectName("menuBar");

    fileMenu_ = AddPopup(bar_, "tpMenu_File", "menuFile");
    bar_->addMenu(fileMenu_);
    AddCommand(fileMenu_, cmd::kSaveDeviceList, "tpMenu_SaveListOfDevicesAs",
               "actionSaveDeviceList", "Save Configuration (devices parameters) to file");
    AddCommand(fileMenu_, cmd::kLoadDeviceList, "tpMenu_LoadListOfDevices", "actionLoadDeviceList",
               "Load Configuration (devices parameters) from file");
    fileMenu_->addSeparator();
    deviceLogMenu_ = AddPopup(fileMenu_, "tpMenu_PrintExportDeviceLog", "menuDeviceLog");
    fileMenu_->addMenu(deviceLogMenu_);
    fileMenu_->addSeparator();
    AddCommand(fileMenu_, cmd::kExit, "tpMenu_Exit", "actionExit", "Exit the application", "Exit");

    QMenu* alarms = AddPopup(bar_, "tpMenu_AlarmActions", "menuAlarmActions");
    alarmMenu_ = alarms;
    bar_->addMenu(alarms);
    AddCommand(alarms, cmd::kAlarmPopup, "tpMenu_ShowPopupWindow", "actionAlarmPopup",
               "Enable showing popup window on alarm", nullptr, true);
    AddCommand(alarms, cmd::kAlarmSound, "tpMenu_PlayAlertSound", "actionAlarmSound",
               "Enable playing alert sound on alarm", nullptr, true);
    AddCommand(alarms, cmd::kAlarmMails, "tpMenu_SendAlertMails", "actionAlarmMails",
               "Enable sending alert mails on alarm", nullptr, true);
    AddCommand(alarms, cmd::kAlarmSms, "tpMenu_SendAlertSMS", "actionAlarmSms",
               "Enable sending alert SMS on alarm", nullptr, true);
    AddCommand(alarms, cmd::kConnectionLostSms, "tpMenu_SendConnectionLostSMS",
               "actionConnectionLostSms", "Enable sending alert SMS on connection lost", nullptr,
               true);
    alarms->addSeparator();
    QMenu* mailSms = AddPopup(alarms, "tpMenu_MailSmsSettings", "menuMailSmsSettings");
    alarms->addMenu(mailSms);
    AddCommand(mailSms, cmd::kMailSettings, "tpMenu_MailSettings", "actionMailSettings",
               "Setup mail server (smtp)");
    AddCommand(mailSms, cmd::kSmsSettings, "tpMenu_SmsSettings", "actionSmsSettings",
               "Setup SMS gateway");
    AddCommand(mailSms, cmd::kRecipients, "tpMenu_Recipients", "actionRecipients",
               "Edit list of alert mail/SMS recipients");
    AddCommand(mailSms, cmd::kExtraText, "tpMenu_ExtraText", "actionExtraText",
               "Edit extra text fo mail body");
    AddCommand(alarms, cmd::kUdpSettings, "tpMenu_UdpSettings", "actionUdpSettings",
               "Setup UDP broadcast");
    AddCommand(alarms, cmd::kConnectionLostWindow, "tpMenu_ShowConnectionLostWindow",
               "actionConnectionLostWindow", "Enable showing popup window on connection lost",
               nullptr, true);

    QMenu* geo = AddPopup(bar_, "tpMenu_GeoPreview", "menuGeoPreview");
    bar_->addMenu(geo);
    AddCommand(geo, cmd::kEmbeddedServer, "tpMenu_AllowEmbeddedServer", "actionEmbeddedServer",
               "Enable Embedded Server (beta-feature => switch OFF in case of instability)",
               nullptr, true);
    AddCommand(geo, cmd::kEmbeddedViewer, "tpMenu_AllowEmbeddedViewer", "actionEmbeddedViewer",
               "Enable Embedded Viewer (beta-feature => switch OFF in case of instability)",
               nullptr, true);
    AddCommand(geo, cmd::kPreviewInBrowser, "tpMenu_PreviewInDefaultBrowser",
               "actionPreviewInBrowser", "Preview online in default browser");

    QMenu* help = AddPopup(bar_, "tpMenu_Help", "menuHelp");
    bar_->addMenu(help);
    AddCommand(help, cmd::kAdvancedMode, "tpMenu_AdvancedMode", "actionAdvancedMode",
               "Enter Advanced Mode", nullptr, true);
    help->addSeparator();
    QMenu* folders = AddPopup(help, "tpMenu_Directories", "menuDirectories");
    help->addMenu(folders);
    AddCommand(folders, cmd::kOpenApplicationFolder, "tpMenu_Application",
               "actionOpenApplicationFolder", "Open Application Location",
               " Application(exe) Location");
    AddCommand(folders, cmd::kOpenConfigurationFolder, "tpMenu_Configuration",
               "actionOpenConfigurationFolder", "Open Configuration Location",
               " Configuration Location");
    AddCommand(folders, cmd::kOpenDocumentsFolder, "tpMenu_AppDocuments",
               "actionOpenDocumentsFolder", "Open App-Documents Location",
               " App-Documents Location");
    AddCommand(folders, cmd::kOpenLogFolder, "tpMenu_LogFiles", "actionOpenLogFolder",
               "Open Log-Files Location", " Log-Files Location");
    help->addSeparator();
    QAction* embeddedHelp =
        AddCommand(help, cmd::kEmbeddedHelp, "tpMenu_EmbeddedHelp", "actionEmbeddedHelp", "");
    embeddedHelp->setEnabled(false);
    AddCommand(help, cmd::kAbout, "tpMenu_About", "actionAbout",
               "Display program information, version number and copyright", "About...");

    SetDeviceLogDates({});
}

QAction* CMainMenu::AddCommand(QMenu* menu, int id, const char* key, const char* objectName,
                               const char* prompt, const char* tip, bool checkable) {
    QAction* action = menu->addAction(QString::fromLatin1(key));
    action->setObjectName(QString::fromLatin1(objectName));
    action->setProperty(kIdProperty, id);
    action->setCheckable(checkable);
    action->setStatusTip(QString::fromLatin1(prompt));
    if (tip != nullptr) {
        action->setToolTip(QString::fromLatin1(tip));
    }
    connect(action, &QAction::triggered, this, [this, id] { emit Command(id); });
    actions_.insert(id, action);
    return action;
}

void CMainMenu::AddAlarmLifecycle() {
    if (actions_.contains(cmd::kAlarmHistory)) {
        return;
    }
    QAction* before = Action(cmd::kLoadDeviceList);
    QAction* history = AddCommand(fileMenu_, cmd::kAlarmHistory, texts::tpMenu_AlarmHistory.key,
                                  "actionAlarmHistory",
                                  "Show the alarms of a period, who acknowledged them, and the "
                                  "alarm load");
    fileMenu_->removeAction(history);
    const QList<QAction*> fileItems = fileMenu_->actions();
    const qsizetype at = fileItems.indexOf(before);
    fileMenu_->insertAction(at + 1 < fileItems.size() ? fileItems[at + 1] : nullptr, history);
    CQtMlsMenu::Tag(history, &texts::tpMenu_AlarmHistory);

    QAction* sound = Action(cmd::kAlarmSound);
    QAction* repeat = AddCommand(alarmMenu_, cmd::kRepeatAlarmSound, texts::tpMenu_RepeatSound.key,
                                 "actionRepeatAlarmSound",
                                 "Repeat the alert sound every 30 seconds while an alarm is not "
                                 "acknowledged",
                                 nullptr, true);
    alarmMenu_->removeAction(repeat);
    const QList<QAction*> alarmItems = alarmMenu_->actions();
    const qsizetype soundAt = alarmItems.indexOf(sound);
    alarmMenu_->insertAction(soundAt + 1 < alarmItems.size() ? alarmItems[soundAt + 1] : nullptr,
                             repeat);
    CQtMlsMenu::Tag(repeat, &texts::tpMenu_RepeatSound);
}

void CMainMenu::SetDeviceLogDates(const QStringList& dates) {
    for (int i = 0; i < cmd::kMaxDeviceLogs; ++i) {
        actions_.remove(cmd::kFirstDeviceLog + i);
    }
    actions_.remove(cmd::kUpdateDeviceLogList);
    deviceLogMenu_->clear();
    dates_ = dates.mid(std::max<qsizetype>(0, dates.size() - cmd::kMaxDeviceLogs));
    for (int i = 0; i < dates_.size(); ++i) {
        const int id = cmd::kFirstDeviceLog + i;
        QAction* action = deviceLogMenu_->addAction(dates_[i]);
        action->setObjectName(QStringLiteral("actionDeviceLog%1").arg(i));
        action->setProperty(kIdProperty, id);
        connect(action, &QAction::triggered, this, [this, id] { emit Command(id); });
        actions_.insert(id, action);
    }
    deviceLogMenu_->addSeparator();
    QAction* update = deviceLogMenu_->addAction(QString::fromLatin1(kUpdateListCaption));
    update->setObjectName("actionUpdateDeviceLogList");
    update->setProperty(kIdProperty, cmd::kUpdateDeviceLogList);
    connect(update, &QAction::triggered, this, [this] { emit Command(cmd::kUpdateDeviceLogList); });
    actions_.insert(cmd::kUpdateDeviceLogList, update);
}

void CMainMenu::SetLanguages(const QStringList& languages, const QString& current) {
    for (int i = 0; i < cmd::kMaxLanguages; ++i) {
        actions_.remove(cmd::kFirstLanguage + i);
    }
    if (languageMenu_ != nullptr) {
        fileMenu_->removeAction(languageMenuAction_);
        languageMenu_->deleteLater();
        languageMenu_ = nullptr;
        languageMenuAction_ = nullptr;
    }
    if (languages.size() < 2) {
        return;
    }
    languageMenu_ = AddPopup(fileMenu_, kLanguageCaption, "menuLanguage");
    languageMenuAction_ = fileMenu_->addMenu(languageMenu_);
    const int count = std::min<int>(static_cast<int>(languages.size()), cmd::kMaxLanguages);
    for (int i = 0; i < count; ++i) {
        const int id = cmd::kFirstLanguage + i;
        QAction* action = languageMenu_->addAction(languages[i]);
        action->setObjectName(QStringLiteral("actionLanguage%1").arg(i));
        action->setProperty(kIdProperty, id);
        action->setCheckable(true);
        action->setChecked(languages[i] == current);
        connect(action, &QAction::triggered, this, [this, id] { emit Command(id); });
        actions_.insert(id, action);
    }
}

}  // namespace zm
