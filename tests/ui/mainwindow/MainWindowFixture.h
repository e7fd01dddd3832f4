#pragma once
// The main window on a real engine that is not started: the settings, the switches and the
// translation service are the program's own, but no device, timer or server runs. Messages
// to the operator are answered in advance and recorded.
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/DeviceGate.h"
#include "app/DeviceRegistry.h"
#include "app/HeadlessDispatcher.h"
#include "app/ManagerEngine.h"
#include "base/Folders.h"
#include "base/Ini.h"
#include "base/MlsPrgMsg.h"
#include "support/TempDir.h"
#include "ui/alarms/AlarmWnd.h"  // QtUiPort.h hands out pointers to it
#include "ui/common/MessageBox.h"
#include "ui/common/QtUiPort.h"
#include "ui/common/SystemOpen.h"
#include "ui/mainwindow/MainMenu.h"
#include "ui/mainwindow/ZorManagerWnd.h"

namespace zm::test {

class MainWindowFixture : public ::testing::Test {
  protected:
    // Answers the next messages in advance (an unanswered one would wait for a person).
    static void Answer(std::initializer_list<MsgResult> results) {
        for (MsgResult result : results) {
            MessageBox::SetNextAnswer(result);
        }
    }
    static int Asked() { return MessageBox::Count(); }
    static MessageBox::Record LastMessage() { return MessageBox::Last(); }

    void SetUp() override {
        SetHomeRoot(home.folder());
        std::filesystem::create_directories(Translations());
        std::filesystem::create_directories(GetConfigFolder());
        MessageBox::ClearNextAnswers();
        SystemOpen::SetHandler([this](const QString& target) {
            opened.push_back(target.toStdString());
            return true;
        });
    }

    void TearDown() override {
        window.reset();
        engine.reset();
        ui.reset();
        mls.reset();
        EXPECT_EQ(MessageBox::PendingAnswers(), 0) << "a message the test expected was not shown";
        MessageBox::ClearNextAnswers();
        SystemOpen::SetHandler({});
        SetHomeRoot({});
    }

    std::string Translations() const { return home.folder() + "Translations/"; }

    // A language file as a translator leaves it: (section, key, text) lines.
    struct Line {
        const char* section;
        const char* key;
        const char* text;
    };
    void WriteLanguage(const std::string& name, const std::vector<Line>& lines = {}) const {
        CIni ini(Translations() + name + ".lng");
        ini.WriteString("Codepage", "codepage", "65001");
        for (const Line& line : lines) {
            ini.WriteString(line.section, line.key, line.text);
        }
    }

    // The translation service over the test's language files, then the engine and the
    // window, as start-up makes them.
    void MakeWindow(const std::string& language = CMlsPrgMsg::kEnglish,
                    MainWindowParts parts = {}) {
        CMlsPrgMsg::SetDefaultFolder(Translations());
        mls = std::make_unique<CMlsPrgMsg>();
        mls->SetFolder(Translations());
        mls->InitLanguages();
        mls->SwitchLanguage(language);
        settingsIni.SetPathName(GetSettingsFilePath());
        ui = std::make_unique<CQtUiPort>(settingsIni);
        engine =
            std::make_unique<CManagerEngine>(dispatcher, *ui, gate, registry, ops, settingsIni);
        engine->Settings().sCurrentLang = language;
        window = std::make_unique<CZorManagerWnd>(*engine, std::move(parts));
        ManagerSettings placed = engine->Settings();
        placed.wp = WindowPlacement::Default(1024, 768);
        window->ApplyWindow(placed);
        window->ShowAsPlaced();
    }

    QAction* Action(const char* objectName) const {
        return window->findChild<QAction*>(QString::fromLatin1(objectName));
    }
    QMenu* Menu(const char* objectName) const {
        return window->findChild<QMenu*>(QString::fromLatin1(objectName));
    }
    void Trigger(const char* objectName) const {
        QAction* action = Action(objectName);
        ASSERT_NE(action, nullptr) << objectName;
        action->trigger();
        QApplication::processEvents();
    }

    // Runs `act` on the dialog with this objectName once it is shown modally (the command
    // that opens it is still running); true when it was seen within five seconds.
    static std::shared_ptr<bool> OnDialog(const char* objectName,
                                          std::function<void(QDialog&)> act) {
        auto seen = std::make_shared<bool>(false);
        auto* timer = new QTimer(qApp);
        auto deadline = std::make_shared<int>(500);
        QObject::connect(timer, &QTimer::timeout, [=] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (dialog != nullptr && dialog->objectName() == objectName) {
                timer->stop();
                timer->deleteLater();
                *seen = true;
                act(*dialog);
            } else if (--*deadline <= 0) {
                timer->stop();
                timer->deleteLater();
            }
        });
        timer->start(10);
        return seen;
    }

    TempDir home;
    HeadlessDispatcher dispatcher;  // never started: nothing of the engine runs by itself
    std::unique_ptr<CQtUiPort> ui;  // the engine's questions go to the message box
    CDeviceGate gate;
    GenericDeviceFactory factory;
    CDeviceRegistry registry{gate, factory};
    DeviceKindOps ops;
    CIni settingsIni;
    std::unique_ptr<CMlsPrgMsg> mls;
    std::unique_ptr<CManagerEngine> engine;
    std::unique_ptr<CZorManagerWnd> window;
    std::vector<std::string> opened;
};

}  // namespace zm::test
