// The headless server: the engine without windows. Start-up and shutdown run on the
// dispatcher thread; the main thread only waits for SIGINT or SIGTERM.
#include <signal.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/HeadlessDispatcher.h"
#include "app/HeadlessUiPort.h"
#include "app/ZorManagerApp.h"
#include "base/Folders.h"
#include "base/MessageSink.h"
#include "base/MlsPrgMsg.h"
#include "base/Version.h"

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
        "Usage: zormanagerd [--home DIR] [--folders] [--version] [--help]\n"
        "\n"
        "  --home DIR   keep settings, logs, KML files and lock files under DIR\n"
        "               (DIR/AppData/, DIR/Documents/, DIR/Run/); the environment\n"
        "               variable ZORMANAGER_HOME does the same\n"
        "  --folders    print the version and the folders in use and exit\n"
        "  --version    print the version and exit\n"
        "  --help       print this text and exit\n"
        "\n"
        "Runs until SIGINT or SIGTERM, then shuts down in order and exits with 0.\n");
}

}  // namespace

int main(int argc, char** argv) {
    bool foldersOnly = false;
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
        std::fprintf(stderr, "zormanagerd: unknown option \"%s\" (see --help)\n", arg);
        return 2;
    }
    std::string error;
    if (!zm::ApplyHomeOption(argc, argv, &error)) {
        std::fprintf(stderr, "zormanagerd: %s\n", error.c_str());
        return 2;
    }
    PrintFolders();
    if (foldersOnly) {
        return 0;
    }

    // Blocked before any thread starts, so that every thread inherits the mask and the
    // signals wait for sigwait below.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    zm::HeadlessUiPort ui;
    zm::SetMessageSink(
        [&ui](const std::string& text, zm::MessageBoxType type, const std::string& caption) {
            (void)caption;
            return ui.Ask(text, type, zm::SafeAnswer(type.buttons));
        });
    zm::CMlsPrgMsg::SetDefaultFolder(zm::GetTranslationsFolder());
    zm::CMlsPrgMsg translations;

    zm::HeadlessDispatcher dispatcher;
    dispatcher.Start();
    int exitCode = 1;
    {
        zm::CZorManagerApp app(dispatcher, ui);
        auto result = zm::CZorManagerApp::StartResult::kMainWindowFailed;
        dispatcher.Call([&] { result = app.InitInstance(false); });
        if (result != zm::CZorManagerApp::StartResult::kStarted) {
            std::fprintf(stderr, "zormanagerd: start-up refused\n");
        } else {
            bool closed = false;
            while (!closed) {
                int signal = 0;
                if (sigwait(&stopSignals, &signal) != 0) {
                    continue;
                }
                dispatcher.Call([&] { closed = app.CloseMainWindow(); });
            }
            dispatcher.Call([&] { exitCode = app.ExitInstance(); });
        }
    }
    dispatcher.Stop();
    zm::SetMessageSink({});
    return exitCode;
}
