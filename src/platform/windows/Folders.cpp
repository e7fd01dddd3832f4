#include "platform/Folders.h"

#include <windows.h>

#include <shlobj.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <system_error>

#include "Wide.h"
#include "platform/ProcessInfo.h"

namespace zm::platform {

namespace {

std::mutex g_rootMutex;
std::string g_homeRoot;  // set by SetHomeRoot; ends in "/" or is empty

std::string WithSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    return folder;
}

std::string Absolute(const std::string& dir) {
    std::error_code ec;
    auto path = std::filesystem::absolute(std::filesystem::path(Wide(dir)), ec);
    return ec ? dir : PortablePath(path.lexically_normal().wstring());
}

std::string KnownFolder(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    std::string result;
    if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_CREATE, nullptr, &path)))
        result = WithSlash(PortablePath(path));
    CoTaskMemFree(path);
    return result;
}

std::string Variable(const wchar_t* name) {
    const wchar_t* value = _wgetenv(name);
    return value != nullptr && value[0] != L'\0' ? Narrow(value) : std::string();
}

bool IsFolder(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_directory(std::filesystem::path(Wide(path)), ec);
}

}  // namespace

void SetHomeRoot(const std::string& dir) {
    std::string root = dir.empty() ? std::string() : WithSlash(Absolute(dir));
    std::lock_guard lock(g_rootMutex);
    g_homeRoot = root;
}

std::string HomeRoot() {
    {
        std::lock_guard lock(g_rootMutex);
        if (!g_homeRoot.empty())
            return g_homeRoot;
    }
    const std::string env = Variable(L"ZORMANAGER_HOME");
    return env.empty() ? std::string() : WithSlash(Absolute(env));
}

std::string UserHomeFolder() {
    std::string profile = KnownFolder(FOLDERID_Profile);
    return profile.empty() ? WithSlash(PortablePath(Wide(Variable(L"USERPROFILE")))) : profile;
}

std::string AppDataFolder(const std::string& productId) {
    std::string root = HomeRoot();
    if (!root.empty())
        return root + "AppData/";
    return SpecialFolderPath(SpecialFolder::kAppData) + productId + "/";
}

std::string DocumentsFolder(const std::string& productId) {
    std::string root = HomeRoot();
    if (!root.empty())
        return root + "Documents/";
    return SpecialFolderPath(SpecialFolder::kDocuments) + productId + "/";
}

std::string ProgramFolder() {
    std::string exe = ExecutablePath();
    size_t slash = exe.rfind('/');
    return slash == std::string::npos ? std::string() : exe.substr(0, slash + 1);
}

// An installation keeps its data beside the program.
std::string InstalledDataFolder() {
    return ProgramFolder();
}

std::string TranslationsFolder() {
    return ProgramFolder() + "Translations/";
}

std::string RuntimeFolder() {
    std::string root = HomeRoot();
    if (!root.empty())
        return root + "Run/";
    return SpecialFolderPath(SpecialFolder::kTemp) + "zormanager/";
}

// A folder below the user's profile is private already through its inherited access list.
bool EnsurePrivateFolder(const std::string& folder, std::string* error) {
    std::error_code ec;
    std::filesystem::path path(Wide(folder));
    std::filesystem::create_directories(path, ec);
    if (IsFolder(folder))
        return true;
    if (error != nullptr)
        *error = folder + ": " + (ec ? ec.message() : std::string("not a folder"));
    return false;
}

std::string SpecialFolderPath(SpecialFolder id) {
    switch (id) {
        case SpecialFolder::kHome:
            return UserHomeFolder();
        case SpecialFolder::kAppData:
        case SpecialFolder::kConfig:
            return KnownFolder(FOLDERID_RoamingAppData);
        case SpecialFolder::kCache:
            return KnownFolder(FOLDERID_LocalAppData);
        case SpecialFolder::kDocuments:
            return KnownFolder(FOLDERID_Documents);
        case SpecialFolder::kDesktop:
            return KnownFolder(FOLDERID_Desktop);
        case SpecialFolder::kTemp: {
            wchar_t buffer[MAX_PATH + 1] = {};
            const DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
            return n > 0 ? WithSlash(PortablePath(std::wstring(buffer, n))) : std::string();
        }
    }
    return {};
}

}  // namespace zm::platform
