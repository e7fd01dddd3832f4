#include "platform/Shell.h"

#include <windows.h>

#include <shellapi.h>

#include "Wide.h"

namespace zm::platform {

namespace {

// One argument as the C runtime of the started program splits its command line.
std::wstring Quoted(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos)
        return arg;
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

std::string ErrorText(DWORD code) {
    return "error " + std::to_string(code);
}

}  // namespace

bool SpawnDetached(const std::vector<std::string>& argv, std::string* error) {
    if (argv.empty()) {
        if (error != nullptr)
            *error = "nothing to start";
        return false;
    }
    std::wstring command;
    for (const std::string& arg : argv)
        command += (command.empty() ? L"" : L" ") + Quoted(Wide(arg));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE,
                        DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup,
                        &process)) {
        if (error != nullptr)
            *error = argv[0] + ": " + ErrorText(GetLastError());
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

bool OpenWithShell(const std::string& target, std::string* error) {
    const auto rc = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", Wide(target).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    // ShellExecute reports success as a value above 32.
    if (rc > 32)
        return true;
    if (error != nullptr)
        *error = target + ": " + ErrorText(static_cast<DWORD>(rc));
    return false;
}

}  // namespace zm::platform
