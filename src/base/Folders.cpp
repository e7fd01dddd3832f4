#include "base/Folders.h"

#include <ctime>
#include <mutex>
#include <optional>

#include "base/Version.h"

namespace zm {
namespace {

// The log folder starts with the month in which the process started.
const std::time_t g_processStart = std::time(nullptr);

struct Cache {
    std::optional<std::string> program, appData, docs, translations, runtime, logMonth;
};

std::mutex g_mutex;
Cache g_cache;

template <typename Compute>
std::string Cached(std::optional<std::string> Cache::*slot, Compute compute) {
    std::lock_guard lock(g_mutex);
    auto& value = g_cache.*slot;
    if (!value) {
        value = compute();
    }
    return *value;
}

}  // namespace

void SetHomeRoot(const std::string& dir) {
    platform::SetHomeRoot(dir);
    std::lock_guard lock(g_mutex);
    g_cache = Cache{};
}

bool ApplyHomeOption(int argc, const char* const* argv, std::string* error) {
    const std::string option = "--home";
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string dir;
        if (arg == option) {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                if (error != nullptr) {
                    *error = "--home needs a folder";
                }
                return false;
            }
            dir = argv[++i];
        } else if (arg.rfind(option + "=", 0) == 0) {
            dir = arg.substr(option.size() + 1);
            if (dir.empty()) {
                if (error != nullptr) {
                    *error = "--home needs a folder";
                }
                return false;
            }
        } else {
            continue;
        }
        SetHomeRoot(dir);
    }
    return true;
}

std::string GetProgramFolder() {
    return Cached(&Cache::program, [] { return platform::ProgramFolder(); });
}

std::string GetAppDataFolder() {
    return Cached(&Cache::appData, [] { return platform::AppDataFolder(kProductId); });
}

std::string GetUserDocsFolder() {
    return Cached(&Cache::docs, [] { return platform::DocumentsFolder(kProductId); });
}

std::string GetTranslationsFolder() {
    return Cached(&Cache::translations, [] { return platform::TranslationsFolder(); });
}

std::string GetRuntimeFolder() {
    return Cached(&Cache::runtime, [] { return platform::RuntimeFolder(); });
}

std::string GetConfigFolder() {
    return GetAppDataFolder() + "Config/";
}

std::string GetKmlRootFolder() {
    return GetAppDataFolder() + "KmlRoot/";
}

namespace {

std::string MonthText(std::time_t when) {
    std::tm local{};
    char text[16] = {};
    if (localtime_r(&when, &local) != nullptr) {
        std::strftime(text, sizeof text, "%Y-%m", &local);
    }
    return text;
}

}  // namespace

std::string GetLogsRootFolder() {
    return GetUserDocsFolder() + "Logs/";
}

std::string GetLogFolder() {
    const std::string month = Cached(&Cache::logMonth, [] { return MonthText(g_processStart); });
    return GetLogsRootFolder() + month + "/";
}

void SetLogMonth(std::time_t when) {
    const std::string month = MonthText(when);
    std::lock_guard lock(g_mutex);
    g_cache.logMonth = month;
}

std::string GetSettingsFilePath() {
    return GetConfigFolder() + kProductId + ".ini";
}

std::string GetSpecialFolder(platform::SpecialFolder id) {
    return platform::SpecialFolderPath(id);
}

}  // namespace zm
