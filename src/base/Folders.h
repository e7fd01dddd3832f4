#pragma once

#include <ctime>
#include <string>

#include "platform/Folders.h"

namespace zm {

// The program's folders. Every folder ends in "/". They are worked out on first use and
// kept for the rest of the run; SetHomeRoot (before start-up uses them) starts afresh.

// Puts all per-user folders under one root (the --home option); empty: ZORMANAGER_HOME
// or the user's own folders.
void SetHomeRoot(const std::string& dir);

// Looks for "--home DIR" or "--home=DIR" among the arguments and applies it. False with
// a reason when the option has no folder.
bool ApplyHomeOption(int argc, const char* const* argv, std::string* error);

std::string GetProgramFolder();
std::string GetAppDataFolder();   // per-user application data + identifier
std::string GetUserDocsFolder();  // user's documents + identifier
std::string GetTranslationsFolder();
std::string GetConfigFolder();   // application data + "Config/"
std::string GetKmlRootFolder();  // application data + "KmlRoot/"
std::string GetRuntimeFolder();  // lock files

// Documents + "Logs/": the month folders of the logs lie in it.
std::string GetLogsRootFolder();
// The logs root + the month of the logs' current day as "%Y-%m/": one folder per month.
// It starts with the month of process start and follows the logs when they go on into
// a new month (SetLogMonth).
std::string GetLogFolder();
// The log folder from now on belongs to the local month of `when`.
void SetLogMonth(std::time_t when);

// The settings file: configuration folder + identifier + ".ini".
std::string GetSettingsFilePath();

// A system folder (not moved by the home root); empty when the system has none.
std::string GetSpecialFolder(platform::SpecialFolder id);

}  // namespace zm
