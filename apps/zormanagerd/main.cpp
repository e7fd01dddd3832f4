// The headless server. Until the engine is in place it tells what it is and which
// folders it would use, so that an installation can be checked.
#include <cstdio>
#include <cstring>
#include <string>

#include "base/Folders.h"
#include "base/Version.h"

namespace {

void PrintUsage() {
    std::printf(
        "Usage: zormanagerd [--home DIR] [--version] [--help]\n"
        "\n"
        "  --home DIR   keep settings, logs, KML files and lock files under DIR\n"
        "               (DIR/AppData/, DIR/Documents/, DIR/Run/); the environment\n"
        "               variable ZORMANAGER_HOME does the same\n"
        "  --version    print the version and exit\n"
        "  --help       print this text and exit\n");
}

void PrintFolder(const char* what, const std::string& folder) {
    std::printf("%-18s %s\n", what, folder.c_str());
}

}  // namespace

int main(int argc, char** argv) {
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

    std::printf("%s\n", zm::GetVersionText().c_str());
    PrintFolder("Application data:", zm::GetAppDataFolder());
    PrintFolder("Configuration:", zm::GetConfigFolder());
    PrintFolder("Settings file:", zm::GetSettingsFilePath());
    PrintFolder("Documents:", zm::GetUserDocsFolder());
    PrintFolder("Logs (this month):", zm::GetLogFolder());
    PrintFolder("Translations:", zm::GetTranslationsFolder());
    PrintFolder("KML root:", zm::GetKmlRootFolder());
    PrintFolder("Runtime (locks):", zm::GetRuntimeFolder());
    return 0;
}
