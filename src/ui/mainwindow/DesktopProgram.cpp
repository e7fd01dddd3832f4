#include "ui/mainwindow/DesktopProgram.h"

#include <QApplication>
#include <QGuiApplication>
#include <QSocketNotifier>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "app/DeviceRegistry.h"
#include "app/ManagerEngine.h"
#include "base/AppLogs.h"
#include "base/Folders.h"
#include "base/Printf.h"
#include "base/Version.h"
#include "device/TavDevice.h"
#include "device/zor/ZorDevice.h"
#include "platform/StopSignals.h"
#include "platform/SystemInfo.h"
#include "ui/alarms/AlarmWnd.h"  // QtUiPort.h hands out pointers to it
#include "ui/alarms/AlarmWorker.h"
#include "ui/bridge/QtDispatcher.h"
#include "ui/common/Accessibility.h"
#include "ui/common/QtUiPort.h"
#include "ui/devices/DeviceDialogHost.h"
#include "ui/mainwindow/AppIcon.h"
#include "ui/mainwindow/ZorManagerWnd.h"

namespace zm {
namespace {

void PrintUsage() {
    std::printf(
        "Usage: zormanager [--home DIR] [--http-port N] [--http-bind ADDRESS]\n"
        "                  [--no-internet-check] [--no-share] [--demo]\n"
        "                  [--folders] [--version] [--help]\n"
        "\n"
        "  --home DIR           keep settings, logs, KML files and lock files under DIR\n"
        "                       (DIR/AppData/, DIR/Documents/, DIR/Run/); the environment\n"
        "                       variable ZORMANAGER_HOME does the same\n"
        "  --http-port N        port of the embedded web server (default 8889)\n"
        "  --http-bind ADDRESS  IPv4 address the web server listens on (default: all)\n"
        "  --no-internet-check  count the Internet as always reachable, so that the web\n"
        "                       server runs on networks without Internet access\n"
        "  --no-share           do not offer the KML folder as a network share\n"
        "  --demo               on a home without a settings file, first write a demo\n"
        "                       configuration (emulated sensors on the sea and, when\n"
        "                       zor-sim is beside the program, two on a simulated bus);\n"
        "                       on a home the demo wrote, run that bus while the program runs\n"
        "  --folders            print the version and the folders in use and exit\n"
        "  --version            print the version and exit\n"
        "  --help               print this text and exit\n"
        "\n"
        "Holding Ctrl while the program starts begins the day's run log and device log\n"
        "afresh. The usual Qt options (-platform, -display ...) are understood as well.\n");
}

void PrintFolders() {
    std::printf("%s\n", GetVersionText().c_str());
    const std::pair<const char*, std::string> folders[] = {
        {"Application data:", GetAppDataFolder()}, {"Configuration:", GetConfigFolder()},
        {"Settings file:", GetSettingsFilePath()}, {"Documents:", GetUserDocsFolder()},
        {"Logs (this month):", GetLogFolder()},    {"Translations:", GetTranslationsFolder()},
        {"KML root:", GetKmlRootFolder()},         {"Runtime (locks):", GetRuntimeFolder()},
    };
    for (const auto& [what, folder] : folders) {
        std::printf("%-18s %s\n", what, folder.c_str());
    }
    std::fflush(stdout);
}

int ParsePort(const char* text) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < 1 || value > 65535) {
        return 0;
    }
    return static_cast<int>(value);
}

// Qt's own options, which QApplication takes out of the arguments later; those with a
// value take the next argument along.
bool IsQtOption(const char* arg, bool* takesValue) {
    static const char* const kWithValue[] = {"-platform",     "-display",     "-geometry",
                                             "-style",        "-stylesheet",  "-qwindowgeometry",
                                             "-qwindowtitle", "-qwindowicon", "-platformpluginpath",
                                             "-plugin"};
    static const char* const kAlone[] = {"-reverse", "-widgetcount", "-nograb", "-dograb", "-sync"};
    for (const char* option : kWithValue) {
        if (std::strcmp(arg, option) == 0) {
            *takesValue = true;
            return true;
        }
    }
    for (const char* option : kAlone) {
        if (std::strcmp(arg, option) == 0) {
            *takesValue = false;
            return true;
        }
    }
    return false;
}

// The operator's side as the windows answer it, with the alarm sound's requests in the run
// log as the headless server has them: a desk without speakers (or with the volume down)
// still leaves a trace of when the program sounded the alarm.
class CSoundLoggingUiPort final : public UiPort {
  public:
    explicit CSoundLoggingUiPort(UiPort& ui) : ui_(ui) {}
    MsgResult Ask(const std::string& text, MessageBoxType type, MsgResult safeAnswer,
                  const std::string& captionSuffix) override {
        return ui_.Ask(text, type, safeAnswer, captionSuffix);
    }
    void ShowAlarm(const AlarmPopupEntry& entry, bool bringToFront) override {
        ui_.ShowAlarm(entry, bringToFront);
    }
    void ShowConnectionLost(const AlarmPopupEntry& entry) override {
        ui_.ShowConnectionLost(entry);
    }
    void ShowConnectionRestored(const std::string& deviceName) override {
        ui_.ShowConnectionRestored(deviceName);
    }
    void CloseAlarmPopup() override { ui_.CloseAlarmPopup(); }
    void PlayAlarmSound() override {
        RunLog().AddError("<li><dt> Alarm sound on</li>");
        playing_ = true;
        ui_.PlayAlarmSound();
    }
    void StopAlarmSound() override {
        if (playing_) {
            RunLog().AddText("<li><dt> Alarm sound off</li>");
            playing_ = false;
        }
        ui_.StopAlarmSound();
    }
    void OpenReport(const std::string& path) override { ui_.OpenReport(path); }

  private:
    UiPort& ui_;
    bool playing_ = false;
};

}  // namespace

int ParseDesktopOptions(int argc, char** argv, DesktopOptions* options) {
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        bool takesValue = false;
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            PrintUsage();
            return 0;
        }
        if (std::strcmp(arg, "--version") == 0) {
            std::printf("%s\n", GetVersionText().c_str());
            return 0;
        }
        if (std::strcmp(arg, "--folders") == 0) {
            options->foldersOnly = true;
        } else if (std::strcmp(arg, "--home") == 0) {
            ++i;  // its folder is read by ApplyHomeOption
        } else if (std::strncmp(arg, "--home=", 7) == 0) {
            continue;
        } else if (std::strcmp(arg, "--http-port") == 0 || std::strcmp(arg, "--http-bind") == 0) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "zormanager: \"%s\" needs a value\n", arg);
                return 2;
            }
            const char* value = argv[++i];
            if (arg[7] == 'p') {
                options->assembly.httpPort = ParsePort(value);
                if (options->assembly.httpPort == 0) {
                    std::fprintf(stderr, "zormanager: \"%s\" is not a port number\n", value);
                    return 2;
                }
            } else {
                options->assembly.httpBind = value;
            }
        } else if (std::strcmp(arg, "--no-internet-check") == 0) {
            options->assembly.noInternetCheck = true;
        } else if (std::strcmp(arg, "--no-share") == 0) {
            options->assembly.noShare = true;
        } else if (std::strcmp(arg, "--demo") == 0) {
            options->demo = true;
        } else if (IsQtOption(arg, &takesValue)) {
            i += takesValue ? 1 : 0;
        } else {
            std::fprintf(stderr, "zormanager: unknown option \"%s\" (see --help)\n", arg);
            return 2;
        }
    }
    std::string error;
    if (!ApplyHomeOption(argc, argv, &error)) {
        std::fprintf(stderr, "zormanager: %s\n", error.c_str());
        return 2;
    }
    return -1;
}

CDesktopProgram::CDesktopProgram(AssemblyOptions options)
    : dispatcher_(std::make_unique<QtDispatcher>()),
      ui_(std::make_unique<CQtUiPort>(CIni(GetSettingsFilePath()))),
      loggedUi_(std::make_unique<CSoundLoggingUiPort>(*ui_)),
      assembly_(std::make_unique<CManagerAssembly>(*dispatcher_, *loggedUi_, std::move(options))) {
    // The desktop acts as the operator logged in to the computer, with full rights.
    const alarms::Actor actor{platform::LoggedInUserName(), ""};
    ui_->SetAlarmLifecycle(&assembly_->Alarms(), actor);
    CManagerAssembly::FrontEnd frontEnd;
    // The engine's hooks are set before the window exists; they reach it once it does.
    frontEnd.addEngineHooks = [this](EngineHooks& hooks) {
        hooks.showClock = [this](const std::string& clock) {
            if (window_) {
                window_->ShowClock(clock);
            }
        };
        hooks.refreshViews = [this] {
            if (window_) {
                window_->RefreshViews();
            }
        };
        hooks.currentPlacement = [this] {
            return window_ ? window_->CurrentPlacement() : WindowPlacement{};
        };
        hooks.applyWindow = [this](const ManagerSettings& settings) {
            if (window_) {
                window_->ApplyWindow(settings);
            }
        };
        // "UM_UPDATE_DEV_LIST"; the KML view and the feed stay the assembly's.
        hooks.updateDevList = [this](CTavDevice*) {
            if (devsView_) {
                devsView_->PostUpdate();
            }
        };
        hooks.loadViewSettings = [this](CIni& ini) {
            if (devsView_) {
                devsView_->LoadPlotSettings(ini);
            }
        };
        hooks.saveViewSettings = [this](CIni& ini) {
            if (devsView_) {
                devsView_->SavePlotSettings(ini);
            }
        };
        // A close (the close box, SIGTERM) that came during a device operation.
        hooks.closeAfterOperation = [this] {
            if (window_) {
                window_->close();
            }
        };
    };
    frontEnd.createMainWindow = [this, actor](CManagerEngine& engine) {
        CZorManagerWnd::Parts parts;
        parts.alarms = &assembly_->Alarms();
        parts.deviceNames = [this] {
            std::vector<std::string> names;
            for (const auto& device : assembly_->Registry().GetDevices()) {
                names.push_back(device->GetName());
            }
            return names;
        };
        parts.isAlarmSoundRepeat = [&engine] { return engine.IsAlarmSoundRepeat(); };
        parts.setAlarmSoundRepeat = [&engine](bool on) { engine.SetAlarmSoundRepeat(on); };
        parts.previewPageAddress = [this] {
            return StrPrintf("http://localhost:%d/preview",
                             static_cast<int>(assembly_->Web().Port()));
        };
        parts.makeDeviceList = [this, &engine, actor](QWidget* parent) -> IDeviceListView* {
            DevsViewContext context;
            context.alarms = &assembly_->Alarms();
            context.actor = actor;
            context.engine = &engine;
            context.registry = &assembly_->Registry();
            context.webLog = &WebLog();
            context.deviceLog = &DeviceLog();
            context.updateKml = [this](CTavDevice* device) {
                assembly_->Web().UpdateKmlView(device, 0);
            };
            context.forgetKml = [this](const std::string& name) {
                assembly_->Web().ForgetDevice(name);
            };
            // Data logs of every month, not only of the current one.
            context.logFolder = [] { return GetLogsRootFolder(); };
            // The device and link dialogs installed below open through the device itself.
            context.deviceDialog = [](CZorDevice& device) { return device.EditDeviceDialog(); };
            context.linkDialog = [](CZorDevice& device) { return device.EditSettings(); };
            devsView_ = new CZorDevsView(std::move(context), parent);
            return devsView_;
        };
        engine.SetScreen(CZorManagerWnd::ScreenArea());
        // The popups the port owns take their texts at every language switch too.
        uiRetranslateToken_ = engine.AddRetranslateListener([this] { ui_->RetranslateUi(); });
        window_ = new CZorManagerWnd(engine, std::move(parts));
        window_->setAttribute(Qt::WA_DeleteOnClose, false);
        ui_->SetOwner(window_);
        connect(window_, &CZorManagerWnd::Closed, this, &CDesktopProgram::Closed);
        InstallDeviceDialogs(DeviceDialogHost{
            QPointer<QWidget>(window_.data()), [&engine] { return engine.IsAdvancedMode(); },
            [this] {
                std::vector<std::string> names;
                const CDeviceRegistry& registry = assembly_->Registry();
                for (std::size_t i = 0; i < registry.GetCount(); ++i) {
                    if (const auto device = registry.GetDevice(i)) {
                        names.push_back(device->GetName());
                    }
                }
                return names;
            },
            // "DLG_GO_MODAL" / "DLG_GO_UNMODAL": the device list takes no input meanwhile.
            [this](bool modal) {
                if (window_) {
                    window_->SetDeviceListEnabled(!modal);
                }
            }});
        return true;
    };
    assembly_->SetFrontEnd(std::move(frontEnd));
}

CDesktopProgram::~CDesktopProgram() {
    // Windows first: the popups and views read the engine's logs and settings. The alarm
    // window's writes finish before the lifecycle goes.
    delete window_.data();
    ui_->SetAlarmLifecycle(nullptr, {});
    ui_->AlarmWorker().WaitForDone();
    assembly_.reset();
    loggedUi_.reset();
    ui_.reset();
    dispatcher_.reset();
}

CZorManagerApp::StartResult CDesktopProgram::Start(bool overwriteLogs) {
    const CZorManagerApp::StartResult result = assembly_->Start(overwriteLogs);
    if (result == CZorManagerApp::StartResult::kStarted && window_) {
        window_->ShowAsPlaced();
    }
    return result;
}

int CDesktopProgram::Exit() {
    return assembly_->Exit();
}

namespace {

// SIGINT (Ctrl-C in the terminal that started it) and SIGTERM (the session ending, a
// service manager) close the main window as the operator would, so that the shutdown
// runs in order; the close decision may still ask about unsaved changes.
void CloseOnStopSignals(QObject* context, std::function<void()> close) {
    const int handle = platform::StopSignalsAsReadableHandle();
    if (handle < 0) {
        return;
    }
    auto* notifier = new QSocketNotifier(handle, QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [close, handle] {
        platform::DrainStopSignals(handle);
        close();
    });
}

}  // namespace

int RunDesktopProgram(int argc, char** argv) {
    DesktopOptions options;
    if (const int code = ParseDesktopOptions(argc, argv, &options); code >= 0) {
        return code;
    }
    if (options.foldersOnly) {
        PrintFolders();
        return 0;
    }
    // Chromium inside the web views refuses to start as root with its sandbox on; without
    // the views the program would end at once, so a root session runs them unsandboxed
    // (they only show our own log files and our own server's map).
    if (platform::IsAdministrator() && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        std::fprintf(stderr, "zormanager: running as root: the web views run without sandbox\n");
    }
    // The web views (run log, map) share one OpenGL context.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    // Qt took the C library's locale from the desktop. Numbers the engine writes into data
    // logs, KML files, datagrams and device texts must not turn into decimal commas under a
    // German or Russian desktop: the files and peers expect points.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName("zormanager");
    QApplication::setApplicationDisplayName("ZorManager");
    QGuiApplication::setDesktopFileName("zormanager");
    QApplication::setWindowIcon(AppIcon());
    InstallAccessibleFactory();

    options.assembly.demo.programName = "zormanager";
    std::string error;
    if (!PrepareDemo(options.demo, &options.assembly.demo, &error)) {
        std::fprintf(stderr, "zormanager: no demo configuration: %s\n", error.c_str());
        return 1;
    }
    // Read now, as the start-up sequence would: held Ctrl starts the day's logs afresh.
    const bool ctrlHeld = QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ControlModifier);
    int exitCode = 1;
    {
        CDesktopProgram program(options.assembly);
        QObject::connect(&program, &CDesktopProgram::Closed, &app, &QCoreApplication::quit,
                         Qt::QueuedConnection);
        if (program.Start(ctrlHeld) != CZorManagerApp::StartResult::kStarted) {
            std::fprintf(stderr, "zormanager: start-up refused\n");
            return 1;
        }
        CloseOnStopSignals(&program, [&program] {
            if (program.Window()) {
                program.Window()->close();
            }
        });
        QApplication::exec();
        exitCode = program.Exit();
    }
    return exitCode;
}

}  // namespace zm
