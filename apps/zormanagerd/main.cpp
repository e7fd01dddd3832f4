// The headless server: the engine without windows. Start-up, reloads and shutdown run on
// the dispatcher thread; the main thread only waits for SIGHUP, SIGINT or SIGTERM.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "app/AlarmHistoryCommand.h"
#include "app/AlarmLifecycle.h"
#include "app/HeadlessDispatcher.h"
#include "app/HeadlessUiPort.h"
#include "app/MailTest.h"
#include "app/ManagerAssembly.h"
#include "app/ManagerWeb.h"
#include "app/OperatorCommands.h"
#include "app/ZorManagerApp.h"
#include "auth/OperatorFile.h"
#include "base/Folders.h"
#include "base/Ini.h"
#include "base/Printf.h"
#include "base/Version.h"
#include "platform/FileIo.h"
#include "platform/ServiceNotify.h"
#include "platform/StopSignals.h"
#include "web/SelfSignedCertificate.h"

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
        "                   [--test-mail [ADDRESS]] [--make-certificate HOSTNAME]\n"
        "                   [--add-operator NAME --role ROLE --password-stdin]\n"
        "                   [--remove-operator NAME] [--list-operators]\n"
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
        "  --make-certificate HOSTNAME  write a self-signed key and certificate for\n"
        "                       HOSTNAME into the configuration folder (the files of\n"
        "                       https_cert and https_key), print where they are and the\n"
        "                       certificate's SHA-256 fingerprint, and exit\n"
        "  --add-operator NAME  create or update the account NAME for the JSON API's\n"
        "                       writes, with --role viewer|operator|admin and the password\n"
        "                       as the first line of standard input (--password-stdin)\n"
        "  --remove-operator NAME  remove that account\n"
        "  --list-operators     print the accounts' names and roles\n"
        "                       (the accounts file is AppData/Config/Operators.txt; these\n"
        "                       commands work while the server runs)\n"
        "  --alarm-history      print the alarms opened from --from to --to (whole days,\n"
        "                       local time), of one device with --device, as CSV and\n"
        "                       exit; works while the server runs on the same home\n"
        "  --folders            print the version and the folders in use and exit\n"
        "  --version            print the version and exit\n"
        "  --help               print this text and exit\n"
        "\n"
        "Runs until SIGINT or SIGTERM, then shuts down in order and exits with 0.\n"
        "SIGHUP reloads the device list from the settings file (see --folders): devices\n"
        "whose section did not change keep running, changed ones restart, new ones start\n"
        "and those whose section is gone stop. The run log records the outcome. A reload\n"
        "does not by itself make the server save the settings file at shutdown. It also\n"
        "applies the MQTT keys (mqtt_enabled, mqtt_host, ...; see docs/integration.md).\n");
}

// Only the settings file is read: the test must not disturb a server running on the
// same home, so no lock, device, log or thread of the engine is touched.
int RunMailTest(const std::string& address) {
    zm::ManagerSettings settings;
    const std::string path = zm::GetSettingsFilePath();
    if (!zm::platform::IsReadableFile(path)) {
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

// Beside a running server too: only two new files are written, never an existing one.
int RunMakeCertificate(const std::string& host) {
    zm::ManagerSettings settings;
    const std::string path = zm::GetSettingsFilePath();
    if (zm::platform::IsReadableFile(path)) {
        zm::CIni ini(path);
        settings.Load(ini);
    }
    const zm::HttpsOptions https = zm::HttpsOptions::From(settings);
    zm::SelfSignedCertificate files;
    files.certFile = https.certFile;
    files.keyFile = https.keyFile;
    std::string error;
    if (!zm::MakeSelfSignedCertificate(host, files, error)) {
        std::fprintf(stderr, "zormanagerd: no certificate made: %s\n", error.c_str());
        return 1;
    }
    std::printf("Certificate for %s (valid %d days):\n", host.c_str(),
                zm::SelfSignedCertificate::kValidDays);
    std::printf("  certificate: %s\n", files.certFile.c_str());
    std::printf("  key:         %s (mode 0600)\n", files.keyFile.c_str());
    std::printf("  SHA-256 fingerprint: %s\n", files.fingerprint.c_str());
    std::printf(
        "Set https_port (for example 8443) in section %s of %s and start the server;\n"
        "compare the fingerprint with the one the browser shows on the first visit.\n",
        zm::ManagerSettings::kSection, path.c_str());
    std::fflush(stdout);
    return 0;
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

// How long readiness waits for the first Internet check, in 10 ms steps: longer than the
// check itself takes without an answer.
constexpr int kFirstCheckPolls = 500;

// The one-line state a service manager shows beside the unit.
std::string ServiceStatus(zm::CManagerAssembly& assembly, int httpPort) {
    const std::string devices =
        zm::StrPrintf("%d device(s)", static_cast<int>(assembly.Registry().GetCount()));
    const zm::CManagerEngine* engine = assembly.Engine();
    if (engine == nullptr || !engine->IsWebServerRunning()) {
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
    bool makeCertificate = false;
    std::string certificateHost;
    int httpPort = zm::PreviewRecord::kPort;
    std::string httpBind;
    zm::OperatorCommand operatorCommand;
    bool alarmHistory = false;
    std::string historyFrom;
    std::string historyTo;
    std::string historyDevice;
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
        if (std::strcmp(arg, "--make-certificate") == 0) {
            if (i + 1 >= argc || argv[i + 1][0] == '-') {
                std::fprintf(stderr, "zormanagerd: \"%s\" needs a host name\n", arg);
                return 2;
            }
            certificateHost = argv[++i];
            if (!zm::IsCertificateHostName(certificateHost)) {
                std::fprintf(stderr, "zormanagerd: \"%s\" is no host name or IP address\n",
                             certificateHost.c_str());
                return 2;
            }
            makeCertificate = true;
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
        if (std::strcmp(arg, "--alarm-history") == 0) {
            alarmHistory = true;
            continue;
        }
        if (std::strcmp(arg, "--from") == 0 || std::strcmp(arg, "--to") == 0 ||
            std::strcmp(arg, "--device") == 0) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "zormanagerd: \"%s\" needs a value\n", arg);
                return 2;
            }
            std::string& target = arg[2] == 'f'   ? historyFrom
                                  : arg[2] == 't' ? historyTo
                                                  : historyDevice;
            target = argv[++i];
            continue;
        }
        if (std::strcmp(arg, "--test-mail") == 0) {
            testMail = true;
            if (i + 1 < argc && argv[i + 1][0] != '-') {
                testAddress = argv[++i];
            }
            continue;
        }
        if (std::strcmp(arg, "--add-operator") == 0 || std::strcmp(arg, "--remove-operator") == 0 ||
            std::strcmp(arg, "--role") == 0) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "zormanagerd: \"%s\" needs a value\n", arg);
                return 2;
            }
            const char* value = argv[++i];
            if (arg[2] == 'r' && arg[3] == 'o') {
                operatorCommand.role = value;
                continue;
            }
            const auto kind =
                arg[2] == 'a' ? zm::OperatorCommand::Kind::Add : zm::OperatorCommand::Kind::Remove;
            if (operatorCommand.kind != zm::OperatorCommand::Kind::None) {
                std::fprintf(stderr, "zormanagerd: one account command at a time\n");
                return 2;
            }
            operatorCommand.kind = kind;
            operatorCommand.name = value;
            continue;
        }
        if (std::strcmp(arg, "--list-operators") == 0) {
            if (operatorCommand.kind != zm::OperatorCommand::Kind::None) {
                std::fprintf(stderr, "zormanagerd: one account command at a time\n");
                return 2;
            }
            operatorCommand.kind = zm::OperatorCommand::Kind::List;
            continue;
        }
        if (std::strcmp(arg, "--password-stdin") == 0) {
            operatorCommand.passwordStdin = true;
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
    if (makeCertificate) {
        return RunMakeCertificate(certificateHost);
    }
    if (operatorCommand.kind != zm::OperatorCommand::Kind::None) {
        return zm::RunOperatorCommand(operatorCommand, zm::auth::COperatorFile::DefaultPath(),
                                      stdin, stdout, stderr);
    }
    if (alarmHistory) {
        return zm::RunAlarmHistoryCommand(
            zm::GetAppDataFolder() + zm::CAlarmLifecycle::kJournalFile, historyFrom, historyTo,
            historyDevice);
    }
    PrintFolders();
    if (foldersOnly) {
        return 0;
    }
    zm::AssemblyOptions options;
    options.httpPort = httpPort;
    options.httpBind = httpBind;
    options.noInternetCheck = noInternetCheck;
    options.noShare = noShare;
    if (!zm::PrepareDemo(demo, &options.demo, &error)) {
        std::fprintf(stderr, "zormanagerd: no demo configuration: %s\n", error.c_str());
        return 1;
    }

    // Blocked before any thread starts, so that every thread inherits the mask and the
    // signals wait for WaitForStopSignal below.
    zm::platform::HoldStopSignals();

    zm::HeadlessUiPort ui;
    zm::HeadlessDispatcher dispatcher;
    dispatcher.Start();
    int exitCode = 1;
    auto assembly = std::make_unique<zm::CManagerAssembly>(dispatcher, ui, options);
    auto result = zm::CZorManagerApp::StartResult::kMainWindowFailed;
    dispatcher.Call([&] { result = assembly->Start(false); });
    if (result != zm::CZorManagerApp::StartResult::kStarted) {
        std::fprintf(stderr, "zormanagerd: start-up refused\n");
    } else {
        // The web server starts once the first Internet check answered (at most a few
        // seconds without access; at once with --no-internet-check).
        for (int i = 0; i < kFirstCheckPolls; ++i) {
            bool checked = false;
            dispatcher.Call([&] {
                const zm::CManagerEngine* engine = assembly->Engine();
                checked = engine == nullptr || engine->IsFirstInternetCheckDone();
            });
            if (checked) {
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        // Devices and web server run now: a service manager's start returns here.
        dispatcher.Call(
            [&] { zm::platform::NotifyServiceReady(ServiceStatus(*assembly, httpPort)); });
        bool closed = false;
        while (!closed) {
            if (zm::platform::WaitForStopSignal() == zm::platform::StopSignal::kReload) {
                zm::platform::NotifyServiceReloading();
                dispatcher.Call([&] {
                    if (zm::CManagerEngine* engine = assembly->Engine()) {
                        // A file the reload refused keeps the broker's keys as they are too.
                        if (engine->ReloadDeviceList()) {
                            engine->ReloadIntegrationSettings();
                        }
                    }
                    zm::platform::NotifyServiceReady(ServiceStatus(*assembly, httpPort));
                });
                continue;
            }
            dispatcher.Call([&] { closed = assembly->Close(); });
        }
        zm::platform::NotifyServiceStopping();
        dispatcher.Call([&] { exitCode = assembly->Exit(); });
    }
    dispatcher.Call([&] { assembly.reset(); });
    dispatcher.Stop();
    return exitCode;
}
