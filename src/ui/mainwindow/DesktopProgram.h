#pragma once

#include <QObject>
#include <QPointer>
#include <memory>
#include <string>

#include "app/ManagerAssembly.h"
#include "ui/mainwindow/ZorManagerWnd.h"

namespace zm {

class CQtUiPort;
class Dispatcher;

// The desktop program's command line: the headless server's options that make sense for a
// window (no mail test, no signals).
struct DesktopOptions {
    AssemblyOptions assembly;
    bool demo = false;
    bool foldersOnly = false;
};

// Parses the arguments. Returns -1 to go on, else the exit code (help, version, errors;
// their text is already printed).
int ParseDesktopOptions(int argc, char** argv, DesktopOptions* options);

// The desktop program: the engine's assembly on the GUI thread's event loop, with the Qt
// side of its questions and the main window. Needs the QApplication; lives on its thread.
class CDesktopProgram final : public QObject {
    Q_OBJECT
  public:
    explicit CDesktopProgram(AssemblyOptions options);
    ~CDesktopProgram() override;

    // The start-up sequence (overwriteLogs: the Ctrl key at start), ending with the main
    // window shown. Anything but kStarted ends the program.
    CZorManagerApp::StartResult Start(bool overwriteLogs);
    // The shutdown sequence after the main window closed; returns the exit code.
    int Exit();

    CZorManagerWnd* Window() const { return window_; }
    CQtUiPort& Ui() const { return *ui_; }
    CManagerAssembly& Assembly() const { return *assembly_; }
    Dispatcher& GuiDispatcher() const { return *dispatcher_; }

  signals:
    // The main window closed for good: the event loop may end.
    void Closed();

  private:
    std::unique_ptr<Dispatcher> dispatcher_;
    std::unique_ptr<CQtUiPort> ui_;
    std::unique_ptr<UiPort> loggedUi_;  // ui_ with the sound requests in the run log
    std::unique_ptr<CManagerAssembly> assembly_;
    QPointer<CZorManagerWnd> window_;
    ListenerToken uiRetranslateToken_;
};

// main() of the desktop program.
int RunDesktopProgram(int argc, char** argv);

}  // namespace zm
