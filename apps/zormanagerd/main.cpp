// The headless server: the engine without windows. Start-up, reloads and shutdown run on
// the dispatcher thread; the main thread only waits for SIGHUP, SIGINT or SIGTERM.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "app/AlarmActions.h"
#include "app/DemoBus.h"
#include "app/DemoConfig.h"
#include "app/HeadlessDispatcher.h"
#include "app/HeadlessUiPort.h"
#include "app/MailSender.h"
#include "app/MailTest.h"
#include "app/ManagerWeb.h"
#include "app/ZorDeviceKind.h"
#include "app/ZorManagerApp.h"
#include "base/AppLogs.h"
#include "base/Folders.h"
#include "base/Ini.h"
#include "base/Log.h"
#include "base/MessageSink.h"
#include "base/MlsPrgMsg.h"
#include "base/Printf.h"
#include "base/Version.h"
#include "platform/ServiceNotify.h"

namespace {

void PrintFolder(const char* what, const std::string& folder) {
    std::printf("%-18s %s\n", what, folder.c_str());
}

void PrintFolders() {
    std::printf("%s\n", zm::GetVersionText().c_str());
    PrintFolder("Application data:", zm::GetAppDataFolder());
    PrintFolder("Configuration:", zm::GetConfigFolder());
    PrintFolder("Settings file:", zm::GetSettingsFilePath());
    PrintFolder("Documents:", zm::GetUserDocsFolder());
    PrintFolder("Logs (this month):", zm::GetLogFolder());
    PrintFolder("Translations:", zm::GetTranslationsFolder());
    PrintFolder("KML root:", zm::GetKmlRootFolder());
    PrintFolder("Runtime (locks):", zm::GetRuntimeFolder());
    std::fflush(stdout);
}

void PrintUsage() {
    std::printf(
        "Usage: zormanagerd [--home DIR] [--http-port N] [--http-bind ADDRESS]\n"
        "                   [--no-internet-check] [--no-share] [--demo]\n"
        "                   [--test-mail [ADDRESS]]\n"
        "                   [--folders] [--version] [--help]\n"
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
        "                       configuration: three emulated sensors on the sea and,\n"
        "                       when zor-sim is beside zormanagerd, two sensors on a\n"
        "                       simulated bus on loopback; on a home the demo wrote,\n"
        "                       run that bus while the server runs\n"
        "  --test-mail [ADDRESS] send one test message with the settings file's SMTP\n"
        "                       account to ADDRESS (default: the list of recipients),\n"
        "                       print the outcome and exit (0: sent, 1: not sent)\n"
        "  --folders            print the version and the folders in use and exit\n"
        "  --version            print the version and exit\n"
        "  --help               print this text and exit\n"
        "\n"
        "Runs until SIGINT or SIGTERM, then shuts down in order and exits with 0.\n"
        "SIGHUP reloads the device list from the settings file (see --folders): devices\n"
        "whose section did not change keep running, changed ones restart, new ones start\n"
        "and those whose section is gone stop. The run log records the outcome. A reload\n"
        "does not by itself make the server save the settings file at shutdown.\n");
}

// Only the settings file is read: the test must not disturb a server running on the
// same home, so no lock, device, log or thread of the engine is touched.
int RunMailTest(const std::string& address) {
    zm::ManagerSettings settings;
    const std::string path = zm::GetSettingsFilePath();
    if (::access(path.c_str(), R_OK) != 0) {
        std::printf("Connection failed:\n --> no settings file at %s.\n", path.c_str());
        return 1;
    }
    zm::CIni ini(path);
    settings.Load(ini);
    const zm::MailTestResult result = zm::SendTestMail(settings, address);
    for (const std::string& line : result.lines) {
        std::printf("%s\n", line.c_str());
    }
    std::fflush(stdout);
    return result.bSucceeded ? 0 : 1;
}

// The demo's bus, started before the devices first connect. A bus that does not start
// leaves the server running: its two devices then show no connection.
void StartDemoBus(zm::CDemoBus& bus, const std::string& zorSim, const std::string& busFile) {
    const std::string log = zm::GetLogFolder() + "DemoBus.log";
    const int port = zm::ReadDemoBusPort(busFile);
    std::string error;
    if (zorSim.empty()) {
        error = "zor-sim is not beside zormanagerd";
    } else if (bus.Start(zorSim, busFile, log, &error)) {
        const std::string running =
            zm::StrPrintf("zor-sim (process %d) simulates %s and %s on %s, control port %s",
                          static_cast<int>(bus.Pid()), zm::kDemoBusSteady, zm::kDemoBusDrifting,
                          bus.Endpoint().c_str(), bus.ControlEndpoint().c_str());
        std::printf("Demo bus: %s;\n          its log: %s\n", running.c_str(), log.c_str());
        std::fflush(stdout);
        zm::RunLog().AddSuccess("<li><dt> Demo bus: %s.</li>", zm::HtmlEscaped(running).c_str());
        return;
    }
    if (error.find("Address already in use") != std::string::npos) {
        error += zm::StrPrintf(
            ". Port %d of the demo bus is taken by another program; once it is free, start "
            "the demo again",
            port);
    }
    std::printf(
        "Demo bus not started: %s.\n          %s and %s show \"No connection\"; the "
        "bus log: %s\n",
        error.c_str(), zm::kDemoBusSteady, zm::kDemoBusDrifting, log.c_str());
    std::fflush(stdout);
    zm::RunLog().AddError("<li><dt> Demo bus not started: %s.</li>",
                          zm::HtmlEscaped(error).c_str());
}

// A port number 1..65535, or 0 when the text is not one.
int ParsePort(const char* text) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < 1 || value > 65535) {
        return 0;
    }
    return static_cast<int>(value);
}

// The one-line state a service manager shows beside the unit.
std::string ServiceStatus(zm::CZorManagerApp& app, const zm::CManagerWeb& web, int httpPort) {
    const std::string devices =
        zm::StrPrintf("%d device(s)", static_cast<int>(app.Registry().GetCount()));
    if (!web.IsRunning()) {
        return devices + "; web server not running";
    }
    return devices + zm::StrPrintf("; web server on port %d", httpPort);
}

}  // namespace

int main(int argc, char** argv) {
    bool foldersOnly = false;
    bool noInternetCheck = false;
    bool noShare = false;
    bool demo = false;
    bool testMail = false;
    std::string testAddress;
    int httpPort = zm::PreviewRecord::kPort;
    std::string httpBind;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            PrintUsage();
            return 0;
        }
        if (std::strcmp(arg, "--version") == 0) {
            std::printf("%s\n", zm::GetVersionText().c_str());
            return 0;
        }
        if (std::strcmp(arg, "--folders") == 0) {
            foldersOnly = true;
            continue;
        }
        if (std::strcmp(arg, "--home") == 0) {
            ++i;  // its folder is read by ApplyHomeOption
            continue;
        }
        if (std::strncmp(arg, "--home=", 7) == 0) {
            continue;
        }
        if (std::strcmp(arg, "--http-port") == 0 || std::strcmp(arg, "--http-bind") == 0) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "zormanagerd: \"%s\" needs a value\n", arg);
                return 2;
            }
            const char* value = argv[++i];
            if (arg[7] == 'p') {
                httpPort = ParsePort(value);
                if (httpPort == 0) {
                    std::fprintf(stderr, "zormanagerd: \"%s\" is not a port number\n", value);
                    return 2;
                }
            } else {
                httpBind = value;
            }
            continue;
        }
        if (std::strcmp(arg, "--no-internet-check") == 0) {
            noInternetCheck = true;
            continue;
        }
        if (std::strcmp(arg, "--no-share") == 0) {
            noShare = true;
            continue;
        }
        if (std::strcmp(arg, "--demo") == 0) {
            demo = true;
            continue;
        }
        if (std::strcmp(arg, "--test-mail") == 0) {
            testMail = true;
            if (i + 1 < argc && argv[i + 1][0] != '-') {
                testAddress = argv[++i];
            }
            continue;
        }
        std::fprintf(stderr, "zormanagerd: unknown option \"%s\" (see --help)\n", arg);
        return 2;
    }
    std::string error;
    if (!zm::ApplyHomeOption(argc, argv, &error)) {
        std::fprintf(stderr, "zormanagerd: %s\n", error.c_str());
        return 2;
    }
    if (testMail) {
        return RunMailTest(testAddress);
    }
    PrintFolders();
    if (foldersOnly) {
        return 0;
    }
    // A home that has settings keeps them: the demo only fills an empty one. Only a home
    // that the demo wrote with a bus has the bus file, so no other home starts zor-sim.
    const std::string busFile = zm::GetConfigFolder() + zm::kDemoBusFile;
    const std::string zorSim = zm::FindZorSim();
    if (demo && ::access(zm::GetSettingsFilePath().c_str(), F_OK) != 0) {
        if (!zm::WriteDemoSettings(zm::GetSettingsFilePath(),
                                   zm::GetConfigFolder() + zm::CZorManagerApp::kDeviceDefaultsFile,
                                   busFile, !zorSim.empty(), &error)) {
            std::fprintf(stderr, "zormanagerd: no demo configuration: %s\n", error.c_str());
            return 1;
        }
        std::printf("Demo configuration written to %s\n", zm::GetSettingsFilePath().c_str());
        std::fflush(stdout);
    }
    const bool demoBus = demo && ::access(busFile.c_str(), F_OK) == 0;
    if (!demo && ::access(busFile.c_str(), F_OK) == 0) {
        std::printf("This home has the demo's simulated bus (%s); start with --demo to run it.\n",
                    busFile.c_str());
    } else if (demo && !demoBus && !zorSim.empty()) {
        std::printf(
            "--demo: this home has a settings file without the demo's bus; it is kept as it "
            "is\n(a home without a settings file gets the whole demo).\n");
    }
    std::fflush(stdout);

    // Blocked before any thread starts, so that every thread inherits the mask and the
    // signals wait for sigwait below.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    zm::HeadlessUiPort ui;
    zm::SetMessageSink(
        [&ui](const std::string& text, zm::MessageBoxType type, const std::string& caption) {
            (void)caption;
            return ui.Ask(text, type, zm::SafeAnswer(type.buttons));
        });
    zm::CMlsPrgMsg::SetDefaultFolder(zm::GetTranslationsFolder());
    zm::CMlsPrgMsg translations;

    zm::CDemoBus bus;
    bus.SetOnUnexpectedEnd([](const std::string& why) {
        const std::string ended = zm::StrPrintf(
            "Demo bus: zor-sim ended unexpectedly (%s); %s and %s lose their connection.",
            why.c_str(), zm::kDemoBusSteady, zm::kDemoBusDrifting);
        std::printf("%s\n", ended.c_str());
        std::fflush(stdout);
        zm::RunLog().AddError("<li><dt> %s</li>", zm::HtmlEscaped(ended).c_str());
    });
    zm::HeadlessDispatcher dispatcher;
    dispatcher.Start();
    int exitCode = 1;
    {
        zm::ZorDeviceFactory factory;
        zm::ZorDeviceKindOps ops;
        zm::CMailSender mail;
        std::unique_ptr<zm::AlarmActions> actions;
        zm::CZorManagerApp app(dispatcher, ui, &factory, &ops);
        zm::CManagerWeb web(app.Registry());
        web.SetPort(static_cast<std::uint16_t>(httpPort));
        web.SetBindAddress(httpBind);
        web.SetShareAllowed(!noShare);
        app.Registry().SetForgetHook([&web, &actions](const std::string& name) {
            web.ForgetDevice(name);
            if (actions) {
                actions->ForgetDeviceNamed(name);
            }
        });
        app.SetEngineSetup([&](zm::CManagerEngine& engine) {
            if (noInternetCheck) {
                engine.SetInternetCheck([] { return true; });
            }
            actions = std::make_unique<zm::AlarmActions>(ui, engine.Udp(), mail, [&engine] {
                return zm::ActionSettingsFrom(engine.Settings());
            });
            actions->SetSnapshotFiller(zm::FillZorSnapshot);
            zm::EngineHooks hooks;
            hooks.updateDevFeed = [&app, &actions, &engine](zm::CTavDevice* device) {
                actions->SetAdvancedMode(engine.IsAdvancedMode());
                actions->UpdateDeviceFeed(device, app.Registry());
            };
            hooks.updateKmlView = [&web](zm::CTavDevice* device, int param) {
                web.UpdateKmlView(device, param);
            };
            hooks.startWebServer = [&web] { return web.StartWebServer(); };
            hooks.stopWebServer = [&web] { web.StopWebServer(); };
            hooks.previewAddress = [&web] { return web.PreviewAddress(); };
            engine.SetHooks(std::move(hooks));
        });
        zm::CZorManagerApp::Hooks appHooks;
        appHooks.prepareKmlReport = [&web] { web.PrepareKmlReport(); };
        // The headless server has no window; its part of step 11 is the demo's bus, which
        // has to listen before the devices first connect. It is started on the dispatcher
        // thread, which lives until the bus has stopped.
        appHooks.createMainWindow = [&](zm::CManagerEngine&) {
            if (demoBus) {
                StartDemoBus(bus, zorSim, busFile);
            }
            return true;
        };
        // The bus stops after the devices, while the run log is still open.
        appHooks.stopWebServer = [&web, &bus] {
            web.StopWebServer();
            if (bus.Pid() > 0) {
                bus.Stop();
                zm::RunLog().AddText("<li><dt> Demo bus: zor-sim stopped.</li>");
            }
        };
        // The actions hold the engine's UDP sender, which is gone by now.
        appHooks.stopMailSender = [&mail, &actions] {
            actions.reset();
            mail.Stop();
        };
        app.SetHooks(std::move(appHooks));
        auto result = zm::CZorManagerApp::StartResult::kMainWindowFailed;
        dispatcher.Call([&] { result = app.InitInstance(false); });
        if (result != zm::CZorManagerApp::StartResult::kStarted) {
            std::fprintf(stderr, "zormanagerd: start-up refused\n");
        } else {
            // Devices and web server run now: a service manager's start returns here.
            dispatcher.Call(
                [&] { zm::platform::NotifyServiceReady(ServiceStatus(app, web, httpPort)); });
            bool closed = false;
            while (!closed) {
                int signal = 0;
                if (sigwait(&stopSignals, &signal) != 0) {
                    continue;
                }
                if (signal == SIGHUP) {
                    zm::platform::NotifyServiceReloading();
                    dispatcher.Call([&] {
                        if (zm::CManagerEngine* engine = app.Engine()) {
                            engine->ReloadDeviceList();
                        }
                        zm::platform::NotifyServiceReady(ServiceStatus(app, web, httpPort));
                    });
                    continue;
                }
                dispatcher.Call([&] { closed = app.CloseMainWindow(); });
            }
            zm::platform::NotifyServiceStopping();
            dispatcher.Call([&] { exitCode = app.ExitInstance(); });
        }
        dispatcher.Call([&] {
            app.Registry().SetForgetHook({});
            actions.reset();
        });
    }
    bus.Stop();  // on every way out, before the thread that started it ends
    dispatcher.Stop();
    zm::SetMessageSink({});
    return exitCode;
}
