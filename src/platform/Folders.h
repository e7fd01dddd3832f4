#pragma once

#include <string>

namespace zm::platform {

// Where the program keeps its files on this system. Every folder returned ends in "/".
//
// One home root moves all per-user state (settings, logs, KML, lock files) under a single
// folder, for tests and demonstrations: SetHomeRoot(dir) (the --home option) or, when
// that was not called, the environment variable ZORMANAGER_HOME. Under a root the
// application-data folder is ROOT/AppData/, the documents folder ROOT/Documents/ and
// the runtime folder ROOT/Run/.

// Sets the home root; an empty text removes it (ZORMANAGER_HOME applies again). A
// relative folder is taken relative to the current folder at the time of the call.
void SetHomeRoot(const std::string& dir);

// The home root in force (from SetHomeRoot, else ZORMANAGER_HOME), or empty.
std::string HomeRoot();

// The user's home folder ($HOME, else the password database); "/" as a last resort.
std::string UserHomeFolder();

// Per-user application data: $XDG_DATA_HOME (default ~/.local/share) + productId + "/";
// ROOT/AppData/ under a home root.
std::string AppDataFolder(const std::string& productId);

// The user's documents: the XDG documents folder (default ~/Documents) + productId + "/";
// ROOT/Documents/ under a home root.
std::string DocumentsFolder(const std::string& productId);

// The folder of the running program file (empty when the system cannot tell).
std::string ProgramFolder();

// The installed data folder, <prefix>/share/zormanager/ for a program in <prefix>/bin/,
// when that exists: where the packages put the language files, the alarm sound and the
// other read-only files the programs need. Empty for a program run from the build tree.
std::string InstalledDataFolder();

// "Translations/" beside the program when that exists; otherwise "Translations/" in the
// installed data folder when that exists; otherwise "Translations/" beside the program,
// which start-up creates.
std::string TranslationsFolder();

// Folder for lock files: $XDG_RUNTIME_DIR/zormanager/, else /tmp/zormanager-<uid>/;
// ROOT/Run/ under a home root. Not created here (see EnsurePrivateFolder).
std::string RuntimeFolder();

// Creates the folder (with its parents) when missing and makes sure that it is a real
// folder owned by this user and closed to others (mode 0700). False with a reason
// otherwise: a folder that another user can replace must not hold our locks.
bool EnsurePrivateFolder(const std::string& folder, std::string* error);

// System folders that do not depend on the program, the counterpart of the named shell
// folders. They ignore the home root.
enum class SpecialFolder {
    kHome,       // $HOME
    kAppData,    // $XDG_DATA_HOME, default ~/.local/share
    kConfig,     // $XDG_CONFIG_HOME, default ~/.config
    kCache,      // $XDG_CACHE_HOME, default ~/.cache
    kDocuments,  // XDG documents folder, default ~/Documents
    kDesktop,    // XDG desktop folder, default ~/Desktop
    kTemp,       // $TMPDIR, default /tmp
};

// The folder ending in "/", or empty when the system has no such folder.
std::string SpecialFolderPath(SpecialFolder id);

}  // namespace zm::platform
