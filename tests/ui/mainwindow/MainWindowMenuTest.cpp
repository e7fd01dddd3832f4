// The main window's menu: ids, texts, separators, checks and enabling, in English and in a
// loaded language, and the Language submenu.
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

#include <gtest/gtest.h>

#include "mainwindow/MainWindowFixture.h"
#include "ui/mainwindow/CaptionToolBar.h"

namespace zm::test {
namespace {

// The items of a menu as "id:text", "---" for a separator and "[text]" for a submenu.
std::vector<std::string> Items(QMenu* menu) {
    std::vector<std::string> items;
    for (QAction* action : menu->actions()) {
        if (action->isSeparator()) {
            items.push_back("---");
        } else if (action->menu() != nullptr) {
            items.push_back("[" + action->text().toStdString() + "]");
        } else {
            items.push_back(std::to_string(action->property(CMainMenu::kIdProperty).toInt()) + ":" +
                            action->text().toStdString());
        }
    }
    return items;
}

std::vector<std::string> BarTitles(QMenuBar* bar) {
    std::vector<std::string> titles;
    for (QAction* action : bar->actions()) {
        titles.push_back(action->text().toStdString());
    }
    return titles;
}

using Items_ = std::vector<std::string>;

class MainWindowMenu : public MainWindowFixture {};

TEST_F(MainWindowMenu, EnglishMenusHoldExactlyTheirCommandsInOrder) {
    MakeWindow();
    EXPECT_EQ(window->windowTitle().toStdString(), "ZorManager__All_Ver-Lang version 6.1.0.10");
    EXPECT_EQ(BarTitles(window->menuBar()),
              (Items_{"&File", "&Alarm actions", "&GeoPreview", "&Help"}));
    EXPECT_EQ(Items(Menu("menuFile")),
              (Items_{"1125:&Save List of Devices as...", "1126:&Load List of Devices...", "---",
                      "[Print/export device log]", "---", "57665:E&xit"}));
    EXPECT_EQ(Items(Menu("menuAlarmActions")),
              (Items_{"1130:Show popup window", "1131:Play alert sound", "1132:Send alert mails",
                      "1133:Send alert SMS", "1129:Send connection lost SMS", "---",
                      "[Mail/SMS settings]", "1139:UDP settings...",
                      "1310:Show connection lost window"}));
    EXPECT_EQ(Items(Menu("menuMailSmsSettings")),
              (Items_{"1135:Mail settings...", "1136:SMS settings...", "1134:Recipients...",
                      "1138:Extra text..."}));
    EXPECT_EQ(Items(Menu("menuGeoPreview")),
              (Items_{"1120:Allow Embedded Server", "1121:Allow Embedded Viewer (beta)",
                      "1123:Preview in Default Browser"}));
    EXPECT_EQ(Items(Menu("menuHelp")), (Items_{"1137:Advanced Mode", "---", "[Directories]", "---",
                                               "57668:&Embedded help...", "57664:&About..."}));
    EXPECT_EQ(Items(Menu("menuDirectories")), (Items_{"1111:Application", "1112:Configuration",
                                                      "1113:AppDocuments", "1114:LogFiles"}));
    EXPECT_FALSE(Action("actionEmbeddedHelp")->isEnabled());
    // Prompts in the status bar.
    EXPECT_EQ(Action("actionAlarmPopup")->statusTip().toStdString(),
              "Enable showing popup window on alarm");
    EXPECT_EQ(Action("actionOpenLogFolder")->statusTip().toStdString(), "Open Log-Files Location");
    EXPECT_EQ(Action("actionAbout")->toolTip().toStdString(), "About...");
}

TEST_F(MainWindowMenu, SwitchesToggleTheSettingsAndTheirChecks) {
    MakeWindow();
    struct Case {
        const char* action;
        bool ManagerSettings::*field;
    };
    const Case cases[] = {
        {"actionAlarmPopup", &ManagerSettings::bAlarmPopup},
        {"actionAlarmSound", &ManagerSettings::bAlarmSound},
        {"actionAlarmMails", &ManagerSettings::bAlarmMails},
        {"actionAlarmSms", &ManagerSettings::bAlarmSms},
        {"actionConnectionLostSms", &ManagerSettings::bNoConnectionSms},
        {"actionConnectionLostWindow", &ManagerSettings::bConnPopup},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.action);
        QAction* action = Action(c.action);
        ASSERT_NE(action, nullptr);
        EXPECT_FALSE(engine->Settings().*c.field);
        EXPECT_FALSE(action->isChecked());
        Trigger(c.action);
        EXPECT_TRUE(engine->Settings().*c.field);
        EXPECT_TRUE(action->isChecked());
        Trigger(c.action);
        EXPECT_FALSE(engine->Settings().*c.field);
        EXPECT_FALSE(action->isChecked());
    }
}

TEST_F(MainWindowMenu, PreviewCommandsFollowInternetAndServer) {
    MakeWindow();
    // The engine has not checked the Internet: the preview commands are greyed.
    window->UpdateCommandUi();
    EXPECT_FALSE(Action("actionEmbeddedServer")->isEnabled());
    EXPECT_FALSE(Action("actionEmbeddedViewer")->isEnabled());
    EXPECT_FALSE(Action("actionPreviewInBrowser")->isEnabled());
    EXPECT_TRUE(Action("actionEmbeddedServer")->isChecked()) << "bHttpServ is on by default";

    engine->InternetResult(true);
    window->UpdateCommandUi();
    EXPECT_TRUE(Action("actionEmbeddedServer")->isEnabled());
    EXPECT_TRUE(Action("actionEmbeddedViewer")->isEnabled());
    EXPECT_FALSE(Action("actionEmbeddedViewer")->isChecked());
    Trigger("actionEmbeddedViewer");
    EXPECT_TRUE(engine->Settings().bMapView);
    EXPECT_TRUE(Action("actionEmbeddedViewer")->isChecked());
    // The server off: the viewer stays on in the settings but is neither checked nor
    // enabled, and the browser preview is greyed.
    Trigger("actionEmbeddedServer");
    EXPECT_FALSE(engine->Settings().bHttpServ);
    EXPECT_TRUE(engine->Settings().bMapView);
    EXPECT_FALSE(Action("actionEmbeddedViewer")->isChecked());
    EXPECT_FALSE(Action("actionEmbeddedViewer")->isEnabled());
    EXPECT_FALSE(Action("actionPreviewInBrowser")->isEnabled());
}

TEST_F(MainWindowMenu, LoadedLanguageTranslatesMenuAndButtonsAndMarksGaps) {
    WriteLanguage("Deutsch", {{"Menu", "tpMenu_File", "&Datei"},
                              {"Menu", "tpMenu_Exit", "&Beenden"},
                              {"Menu", "tpMenu_ShowPopupWindow", "Alarmfenster zeigen"},
                              {"ButtsCaptions", "tpZorManagerWndBtn_AddNewDevice", "Neues Gerät"}});
    MakeWindow("Deutsch");
    EXPECT_EQ(BarTitles(window->menuBar())[0], "&Datei");
    EXPECT_EQ(Action("actionExit")->text().toStdString(), "&Beenden");
    EXPECT_EQ(Action("actionAlarmPopup")->text().toStdString(), "Alarmfenster zeigen");
    // What the file lacks is shown in braces, ids stay.
    EXPECT_EQ(Action("actionSaveDeviceList")->text().toStdString(),
              "{&Save List of Devices as...}");
    EXPECT_EQ(Action("actionSaveDeviceList")->property(CMainMenu::kIdProperty).toInt(), 1125);
    EXPECT_EQ(window->ToolBar().Button(0)->text().toStdString(), "Neues Gerät");
    EXPECT_EQ(window->ToolBar().Button(1)->text().toStdString(), "{Delete the device}");
    // The Language submenu keeps its fixed caption and checks the current language.
    QMenu* languages = Menu("menuLanguage");
    ASSERT_NE(languages, nullptr);
    EXPECT_EQ(languages->title().toStdString(), "Language");
    EXPECT_TRUE(Action("actionLanguage1")->isChecked());
    EXPECT_FALSE(Action("actionLanguage0")->isChecked());

    // Back to English from the menu: one retranslation, the setting follows.
    Trigger("actionLanguage0");
    EXPECT_EQ(BarTitles(window->menuBar())[0], "&File");
    EXPECT_EQ(Action("actionSaveDeviceList")->text().toStdString(), "&Save List of Devices as...");
    EXPECT_EQ(window->ToolBar().Button(0)->text().toStdString(), "Add new device");
    EXPECT_EQ(engine->Settings().sCurrentLang, "English");
    EXPECT_TRUE(Action("actionLanguage0")->isChecked());
    EXPECT_FALSE(Action("actionLanguage1")->isChecked());
    // Leaving the language wrote its gaps into its file for the translator.
    CIni file(Translations() + "Deutsch.lng");
    EXPECT_EQ(file.GetString("Menu", "tpMenu_SaveListOfDevicesAs", ""),
              "{&Save List of Devices as...}");
    EXPECT_EQ(file.GetString("Menu", "tpMenu_File", ""), "&Datei");
}

TEST_F(MainWindowMenu, LanguageEntryOnlyWithTwoOrMoreLanguages) {
    struct Case {
        std::vector<std::string> files;
        int items;  // 0: no Language entry
    };
    const Case cases[] = {{{}, 0}, {{"Deutsch"}, 2}, {{"Deutsch", "Russkij", "_Template_"}, 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.files.size());
        std::filesystem::remove_all(Translations());
        std::filesystem::create_directories(Translations());
        for (const std::string& name : c.files) {
            WriteLanguage(name);
        }
        window.reset();
        engine.reset();
        ui.reset();
        mls.reset();
        MakeWindow();
        QMenu* languages = Menu("menuLanguage");
        if (c.items == 0) {
            EXPECT_EQ(languages, nullptr);
            EXPECT_EQ(Action("actionLanguage0"), nullptr);
            continue;
        }
        ASSERT_NE(languages, nullptr);
        ASSERT_EQ(languages->actions().size(), c.items);
        EXPECT_EQ(Items(Menu("menuFile")).back(), "[Language]");
        EXPECT_EQ(languages->actions()[0]->text().toStdString(), "English");
        EXPECT_TRUE(languages->actions()[0]->isChecked());
        for (int i = 0; i < c.items; ++i) {
            EXPECT_EQ(languages->actions()[i]->property(CMainMenu::kIdProperty).toInt(), 1390 + i);
        }
    }
}

}  // namespace
}  // namespace zm::test
