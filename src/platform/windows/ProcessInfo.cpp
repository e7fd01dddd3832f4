#include "platform/ProcessInfo.h"

#include <windows.h>

#include <tlhelp32.h>

#include "Wide.h"

namespace zm::platform {

namespace {

std::string FileNameOf(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Thread descriptions came with Windows 10 1607; looked up so that older systems still run.
template <typename Function>
Function Kernel32(const char* name) {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    return kernel == nullptr
               ? nullptr
               : reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(kernel, name)));
}

using GetDescription = HRESULT(WINAPI*)(HANDLE, PWSTR*);
using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);

bool Matches(const std::string& candidate, const std::string& name, bool exact) {
    if (candidate.empty())
        return false;
    return exact ? candidate == name : candidate.rfind(name, 0) == 0;
}

}  // namespace

std::string ExecutablePath() {
    std::wstring buffer(32768, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0 || n >= buffer.size())
        return {};
    buffer.resize(n);
    return PortablePath(buffer);
}

// A Toolhelp snapshot: every process with its program file name.
std::vector<ProcessEntry> ListProcesses() {
    std::vector<ProcessEntry> result;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return result;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        ProcessEntry process;
        process.pid = static_cast<int>(entry.th32ProcessID);
        process.exeName = FileNameOf(Narrow(entry.szExeFile));
        process.commName = process.exeName;
        result.push_back(process);
    }
    CloseHandle(snapshot);
    return result;
}

bool IsProcessRunning(const std::string& name, int pid, bool exact) {
    for (const ProcessEntry& entry : ListProcesses()) {
        if ((pid == 0 || entry.pid == pid) && Matches(entry.exeName, name, exact))
            return true;
    }
    return false;
}

std::vector<ThreadEntry> ListOwnThreads() {
    std::vector<ThreadEntry> result;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return result;
    const DWORD self = GetCurrentProcessId();
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != self)
            continue;
        ThreadEntry thread;
        thread.tid = static_cast<int>(entry.th32ThreadID);
        static const auto getDescription = Kernel32<GetDescription>("GetThreadDescription");
        HANDLE handle = getDescription == nullptr ? nullptr
                                                  : OpenThread(THREAD_QUERY_LIMITED_INFORMATION,
                                                               FALSE, entry.th32ThreadID);
        if (handle != nullptr) {
            PWSTR description = nullptr;
            if (SUCCEEDED(getDescription(handle, &description)) && description != nullptr)
                thread.name = Narrow(description);
            LocalFree(description);
            CloseHandle(handle);
        }
        result.push_back(thread);
    }
    CloseHandle(snapshot);
    return result;
}

void NameCurrentThread(const std::string& name) {
    static const auto setDescription = Kernel32<SetDescription>("SetThreadDescription");
    if (setDescription != nullptr)
        setDescription(GetCurrentThread(), Wide(name.substr(0, 15)).c_str());
}

// Thread descriptions are read back only on newer systems; the number always works.
std::string CurrentThreadName() {
    return std::to_string(GetCurrentThreadId());
}

}  // namespace zm::platform
