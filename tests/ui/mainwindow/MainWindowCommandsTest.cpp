// The main window's commands: advanced mode, the caption buttons and Alt+1..Alt+4, the
// recipients list, the device-log submenu, device-list files, folders and About.
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "base/DateTimeText.h"
#include "base/Folders.h"
#include "base/Printf.h"
#include "mainwindow/MainWindowFixture.h"
#include "support/FileBytes.h"
#include "ui/mainwindow/CaptionToolBar.h"
#include "ui/mainwindow/DeviceListFileDialog.h"

namespace zm::test {
namespace {

class MainWindowCommands : public MainWindowFixture {};

TEST_F(MainWindowCommands, AdvancedModeAsksBeforeItGoesOnAndNotBeforeItGoesOff) {
    MakeWindow();
    const std::string question =
        "Advanced mode allows you to see additional technical properties of your devices, "
        "which are not required for the normal operation of sensors. Do you wish to proceed?";
    EXPECT_FALSE(window->ShowView(CZorManagerWnd::kRunLogView));

    const int before = Asked();
    Answer({MsgResult::kNo});
    Trigger("actionAdvancedMode");
    ASSERT_EQ(Asked(), before + 1);
    EXPECT_EQ(LastMessage().text, question);
    EXPECT_EQ(LastMessage().type.buttons, MsgButtons::kYesNo);
    EXPECT_EQ(LastMessage().type.icon, MsgIcon::kWarning);
    EXPECT_EQ(LastMessage().caption, "ZorManager__All_Ver-Lang");
    EXPECT_FALSE(engine->IsAdvancedMode());
    EXPECT_FALSE(Action("actionAdvancedMode")->isChecked());
    EXPECT_FALSE(window->IsViewAvailable(CZorManagerWnd::kRunLogView));

    Answer({MsgResult::kYes, MsgResult::kOk});
    Trigger("actionAdvancedMode");
    ASSERT_EQ(Asked(), before + 3);
    EXPECT_EQ(LastMessage().text, "Advanced mode is now ON");
    EXPECT_TRUE(engine->IsAdvancedMode());
    EXPECT_TRUE(Action("actionAdvancedMode")->isChecked());
    EXPECT_TRUE(window->ShowView(CZorManagerWnd::kRunLogView));
    EXPECT_EQ(window->ToolBar().MarkedButton(), CZorManagerWnd::kRunLogView);

    // Off goes without a question; the run-log view is no longer available.
    Answer({MsgResult::kOk});
    Trigger("actionAdvancedMode");
    ASSERT_EQ(Asked(), before + 4);
    EXPECT_EQ(LastMessage().text, "Advanced mode is now OFF");
    EXPECT_FALSE(engine->IsAdvancedMode());
    EXPECT_FALSE(window->IsViewAvailable(CZorManagerWnd::kRunLogView));
    EXPECT_NE(window->ShownView(), CZorManagerWnd::kRunLogView);
}

TEST_F(MainWindowCommands, ButtonsThatNeedADeviceAskForOneWhenNoneIsSelected) {
    MakeWindow();
    struct Case {
        Qt::Key key;
        bool asks;
    };
    // Alt+1 adds a device and needs none selected; Alt+2..Alt+4 need one.
    const Case cases[] = {
        {Qt::Key_1, false}, {Qt::Key_2, true}, {Qt::Key_3, true}, {Qt::Key_4, true}};
    // Shortcuts answer only in the active window; on X the activation comes asynchronously.
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        const int before = Asked();
        if (c.asks) {
            Answer({MsgResult::kOk});
        }
        QTest::keyClick(window.get(), c.key, Qt::AltModifier);
        QApplication::processEvents();
        ASSERT_EQ(Asked(), before + (c.asks ? 1 : 0));
        if (c.asks) {
            EXPECT_EQ(LastMessage().text, "Please select the device!");
        }
    }
    // The caption button does the same as its key.
    const int before = Asked();
    Answer({MsgResult::kOk});
    window->ToolBar().Button(2)->click();
    ASSERT_EQ(Asked(), before + 1);
    EXPECT_EQ(LastMessage().text, "Please select the device!");
}

TEST(CaptionButtonRect, ShiftedLeftAndAtLeastAHundredWide) {
    struct Case {
        QRect slot;
        int captionWidth;
        QRect expected;
    };
    const Case cases[] = {
        {QRect(200, 2, 120, 24), 30, QRect(155, 2, 100, 24)},  // short caption: 100 wide
        {QRect(200, 2, 120, 24), 80, QRect(155, 2, 100, 24)},  // exactly 100
        {QRect(200, 2, 120, 24), 81, QRect(155, 2, 101, 24)},  // caption + 20
        {QRect(50, 0, 200, 30), 150, QRect(5, 0, 170, 30)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CaptionButtonRect(c.slot, c.captionWidth), c.expected) << c.captionWidth;
    }
}

TEST_F(MainWindowCommands, CaptionButtonsLieOverTheirSlotsAndMarkTheShownView) {
    MakeWindow();
    QApplication::processEvents();
    CCaptionToolBar& bar = window->ToolBar();
    for (int i = 0; i < 3; ++i) {
        QPushButton* button = bar.Button(i);
        ASSERT_NE(button, nullptr);
        EXPECT_TRUE(button->isVisible()) << i;
        QWidget* slot = bar.findChild<QWidget*>(QStringLiteral("captionSlot%1").arg(i));
        ASSERT_NE(slot, nullptr);
        EXPECT_EQ(button->x(), slot->x() - CCaptionToolBar::kShift) << i;
        EXPECT_GE(button->width(), CCaptionToolBar::kMinWidth) << i;
        QFont normal("Arial");
        normal.setPixelSize(14);
        EXPECT_EQ(button->width(),
                  std::max(CCaptionToolBar::kMinWidth,
                           QFontMetrics(normal).horizontalAdvance(button->text()) + 20))
            << "the normal font measures, also for the bold button";
    }
    // 1103 and 1104 have no caption and stay hidden, like 57665 and 57664.
    EXPECT_FALSE(bar.Button(3)->isVisible());
    EXPECT_FALSE(bar.Button(4)->isVisible());
    EXPECT_FALSE(window->findChild<QAction*>("toolButtonExit")->isVisible());
    EXPECT_FALSE(window->findChild<QAction*>("toolButtonAbout")->isVisible());
    EXPECT_EQ(bar.QuitAction()->toolTip().toStdString(), "Quit (Cancel)");
    // View 0 shown: the first button is bold; the map view marks the second.
    EXPECT_EQ(bar.Button(0)->font().weight(), QFont::Black);
    EXPECT_EQ(bar.Button(1)->font().weight(), QFont::Normal);
    EXPECT_EQ(bar.Button(0)->font().pixelSize(), 14);
    ASSERT_TRUE(window->ShowView(1));
    EXPECT_EQ(bar.Button(0)->font().weight(), QFont::Normal);
    EXPECT_EQ(bar.Button(1)->font().weight(), QFont::Black);
}

TEST_F(MainWindowCommands, RecipientsDialogThenTheListInForceOkOrCancel) {
    MakeWindow();
    engine->Settings().sMailRecipients = "duty@harbour.test";
    struct Case {
        bool ok;
        const char* typed;
        const char* stored;
        const char* message;
    };
    const Case cases[] = {
        {false, "ignored@x.test", "duty@harbour.test",
         "Current list of recipients:\r\n1) duty@harbour.test\r\n<end of list>"},
        {true, " a@b.test \n\n4791234567\n%s@d.test ", "a@b.test,4791234567,%s@d.test",
         "Current list of recipients:\r\n1) a@b.test\r\n2) 4791234567\r\n3) %s@d.test\r\n"
         "<end of list>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        auto seen = OnDialog("recipientsDlg", [&](QDialog& dialog) {
            auto* edit = dialog.findChild<QPlainTextEdit*>("recipientsEdit");
            ASSERT_NE(edit, nullptr);
            edit->setPlainText(QString::fromUtf8(c.typed));
            c.ok ? dialog.accept() : dialog.reject();
        });
        Answer({MsgResult::kOk});
        Trigger("actionRecipients");
        EXPECT_TRUE(*seen);
        EXPECT_EQ(engine->Settings().sMailRecipients, c.stored);
        EXPECT_EQ(LastMessage().text, c.message);
    }
}

TEST_F(MainWindowCommands, UdpDialogReachesTheSenderAndCancelLeavesEverything) {
    MakeWindow();
    const UdpSettings before = engine->Udp().GetSettings();
    auto cancelled = OnDialog("udpSetsDlg", [](QDialog& dialog) {
        dialog.findChild<QLineEdit*>("udpPortEdit")->setText("9999");
        dialog.reject();
    });
    Trigger("actionUdpSettings");
    EXPECT_TRUE(*cancelled);
    EXPECT_EQ(engine->Settings().udp_port, 8181);
    EXPECT_EQ(engine->Udp().GetSettings(), before);

    auto accepted = OnDialog("udpSetsDlg", [](QDialog& dialog) {
        dialog.findChild<QLineEdit*>("udpPortEdit")->setText("9999");
        dialog.findChild<QLineEdit*>("udpAddressEdit")->setText("127.0.0.1");
        dialog.findChild<QCheckBox*>("udpEnabledCheck")->setChecked(true);
        dialog.accept();
    });
    Trigger("actionUdpSettings");
    EXPECT_TRUE(*accepted);
    EXPECT_EQ(engine->Settings().udp_port, 9999);
    EXPECT_EQ(engine->Settings().udp_enabled, 1);
    const UdpSettings now = engine->Udp().GetSettings();
    EXPECT_EQ(now.nPort, 9999);
    EXPECT_EQ(now.sIpAddress, "127.0.0.1");
    EXPECT_TRUE(now.bEnabled);
}

TEST_F(MainWindowCommands, MailAndSmsDialogsChangeNothingOnCancel) {
    MakeWindow();
    const ManagerSettings before = engine->Settings();
    for (const char* name : {"smtpSetsDlg", "clickatellSetsDlg"}) {
        auto seen = OnDialog(name, [](QDialog& dialog) {
            for (QLineEdit* edit : dialog.findChildren<QLineEdit*>()) {
                if (!edit->isReadOnly()) {
                    edit->setText("changed");
                }
            }
            dialog.reject();
        });
        Trigger(std::string(name) == "smtpSetsDlg" ? "actionMailSettings" : "actionSmsSettings");
        EXPECT_TRUE(*seen) << name;
    }
    EXPECT_TRUE(engine->Settings().SameExceptPlacement(before));
    auto seen = OnDialog("smtpSetsDlg", [](QDialog& dialog) {
        dialog.findChild<QLineEdit*>("smtpServerEdit")->setText("mail.harbour.test");
        dialog.accept();
    });
    Trigger("actionMailSettings");
    EXPECT_TRUE(*seen);
    EXPECT_EQ(engine->Settings().smtp_server, "mail.harbour.test");
}

TEST_F(MainWindowCommands, DeviceLogSubmenuListsTheLast29DatesAndExplainsPrintingOnce) {
    const std::string logs = GetLogFolder();
    std::filesystem::create_directories(logs + "old");
    for (int day = 1; day <= 31; ++day) {
        const std::string date = StrPrintf("2026-12-%02d", day);
        // One in a subfolder: the search goes down into them.
        std::ofstream(logs + (day == 3 ? "old/" : "") + "DevLog_" + date + ".html") << "x";
    }
    std::ofstream(logs + "RunLog_2026-12-05.html") << "x";
    std::ofstream(logs + "DevLog_2026-12-05.txt") << "x";
    MakeWindow();
    QMenu* menu = Menu("menuDeviceLog");
    ASSERT_NE(menu, nullptr);
    const QList<QAction*> items = menu->actions();
    ASSERT_EQ(items.size(), 29 + 2);
    EXPECT_EQ(items[0]->text().toStdString(), "2026-12-03");
    EXPECT_EQ(items[0]->property(CMainMenu::kIdProperty).toInt(), 1140);
    EXPECT_EQ(items[28]->text().toStdString(), "2026-12-31");
    EXPECT_EQ(items[28]->property(CMainMenu::kIdProperty).toInt(), 1168);
    EXPECT_TRUE(items[29]->isSeparator());
    EXPECT_EQ(items[30]->text().toStdString(), "Update this list");
    EXPECT_EQ(items[30]->property(CMainMenu::kIdProperty).toInt(), 1170);

    // A new log appears after "Update this list" (the oldest drops out).
    std::ofstream(logs + "DevLog_2027-01-01.html") << "x";
    Trigger("actionUpdateDeviceLogList");
    ASSERT_EQ(menu->actions().size(), 31);
    EXPECT_EQ(menu->actions()[0]->text().toStdString(), "2026-12-04");
    EXPECT_EQ(menu->actions()[28]->text().toStdString(), "2027-01-01");

    const std::string explanation =
        "ZorManager__All_Ver-Lang will now open device log in your computer's default browser. "
        "From there, you'll be able to use the browser's 'Print' function to print it or export "
        "to a number of file types, including PDF. For details of how to do that, consult your "
        "browser's Help function.\r\n\r\nDo you want to see this message again?";
    Answer({MsgResult::kCancel});
    Trigger("actionDeviceLog28");
    EXPECT_EQ(LastMessage().text, explanation);
    EXPECT_EQ(LastMessage().type.buttons, MsgButtons::kYesNoCancel);
    EXPECT_TRUE(opened.empty()) << "Cancel opens nothing";

    Answer({MsgResult::kYes});
    Trigger("actionDeviceLog28");
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], logs + "DevLog_2027-01-01.html");
    EXPECT_TRUE(engine->Settings().bPrintLine);

    Answer({MsgResult::kNo});
    Trigger("actionDeviceLog0");
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[1], logs + "DevLog_2026-12-04.html");
    EXPECT_FALSE(engine->Settings().bPrintLine);
    // Not asked again.
    const int before = Asked();
    Trigger("actionDeviceLog1");
    EXPECT_EQ(Asked(), before);
    EXPECT_EQ(opened.size(), 3u);
}

TEST_F(MainWindowCommands, DeviceListFilesKeepOtherSectionsAndMarkTheConfigurationChanged) {
    MakeWindow();
    registry.SetContext(GetConfigFolder() + "Zor-Device.ini", nullptr, nullptr);
    registry.AddDevice(false);
    registry.AddDevice(false);
    const std::string file = home.file("list.ini");
    {
        CIni list(file);
        list.WriteString("Operator", "note", "keep me");
        list.WriteString("Zor-07", "sName", "stale");
    }
    struct Asked {
        bool save;
        std::string folder, proposed;
    };
    std::vector<Asked> asked;
    SetDeviceListFileHook([&](bool save, const std::string& folder,
                              const std::string& proposed) -> std::optional<std::string> {
        asked.push_back({save, folder, proposed});
        return asked.size() == 1 ? std::optional<std::string>() : file;
    });
    // Cancel: nothing written, nothing changed.
    Trigger("actionSaveDeviceList");
    EXPECT_FALSE(engine->IsConfigChanged());
    Trigger("actionSaveDeviceList");
    EXPECT_TRUE(engine->IsConfigChanged());
    SetDeviceListFileHook({});
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_TRUE(asked[0].save);
    EXPECT_EQ(asked[0].folder, GetUserDocsFolder());
    EXPECT_EQ(asked[0].proposed, "Zor-Devices-" + LocalTimeText("%Y-%m-%d"));
    EXPECT_EQ(ProposedDeviceListName(false), "Zor-Device");
    CIni written(file);
    EXPECT_EQ(written.GetString("Operator", "note", ""), "keep me");
    EXPECT_TRUE(written.IsSectionExist("Zor-01"));
    EXPECT_TRUE(written.IsSectionExist("Zor-02"));
    EXPECT_FALSE(written.IsSectionExist("Zor-07"));

    // A list file that cannot be read leaves the devices alone and says why.
    const std::string missing = home.file("no-such-list.ini");
    SetDeviceListFileHook([&](bool save, const std::string&,
                              const std::string& proposed) -> std::optional<std::string> {
        EXPECT_FALSE(save);
        EXPECT_EQ(proposed, "Zor-Device");
        return missing;
    });
    Answer({MsgResult::kOk});
    Trigger("actionLoadDeviceList");
    SetDeviceListFileHook({});
    EXPECT_EQ(registry.GetCount(), 2u);
    EXPECT_EQ(LastMessage().type.icon, MsgIcon::kError);
    EXPECT_NE(LastMessage().text.find(missing), std::string::npos) << LastMessage().text;
}

TEST_F(MainWindowCommands, FoldersAndExtraTextOpenWithTheSystem) {
    MakeWindow();
    Trigger("actionOpenApplicationFolder");
    Trigger("actionOpenConfigurationFolder");
    Trigger("actionOpenDocumentsFolder");
    Trigger("actionOpenLogFolder");
    ASSERT_EQ(opened.size(), 4u);
    EXPECT_EQ(opened[0], GetProgramFolder());
    EXPECT_EQ(opened[1], GetConfigFolder());
    EXPECT_EQ(opened[2], GetUserDocsFolder());
    EXPECT_EQ(opened[3], GetLogFolder());

    const std::string extra = GetAppDataFolder() + "MailExtraText.txt";
    ASSERT_FALSE(std::filesystem::exists(extra));
    Trigger("actionExtraText");
    EXPECT_TRUE(std::filesystem::exists(extra)) << "created empty";
    EXPECT_EQ(std::filesystem::file_size(extra), 0u);
    ASSERT_EQ(opened.size(), 5u);
    EXPECT_EQ(opened[4], extra);
    // An existing text is opened as it is.
    std::ofstream(extra) << "Call the harbour master.";
    Trigger("actionExtraText");
    EXPECT_EQ(ReadBytes(extra), "Call the harbour master.");
    EXPECT_EQ(opened.size(), 6u);
}

TEST_F(MainWindowCommands, AboutShowsTheEnlargedIconAndTheVersion) {
    MakeWindow();
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle().toStdString(), "About ZorManager__All_Ver-Lang");
        auto* icon = dialog->findChild<QLabel*>("aboutIcon");
        ASSERT_NE(icon, nullptr);
        EXPECT_EQ(icon->pixmap().size(), QSize(184, 124));
        EXPECT_EQ(dialog->findChild<QLabel*>("aboutVersion")->text().toStdString(),
                  "ZorManager__All_Ver-Lang version 6.1.0.10");
        dialog->findChild<QPushButton*>("aboutOk")->click();
        seen = true;
    });
    Trigger("actionAbout");
    EXPECT_TRUE(seen);
}

}  // namespace
}  // namespace zm::test
