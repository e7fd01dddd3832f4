#include "platform/ChildProcess.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <chrono>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "Wide.h"

namespace zm::platform {

namespace {

// The process handles, by process id, until the child is reaped.
std::mutex g_childrenMutex;
std::map<int, HANDLE> g_children;

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

HANDLE ChildHandle(int pid) {
    std::lock_guard lock(g_childrenMutex);
    auto it = g_children.find(pid);
    return it == g_children.end() ? nullptr : it->second;
}

}  // namespace

StartFailure StartChild(const std::vector<std::string>& argv, const ChildOptions& options,
                        StartedChild& child, int& systemError) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    HANDLE nul = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr);
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0) || nul == INVALID_HANDLE_VALUE) {
        systemError = static_cast<int>(GetLastError());
        for (HANDLE h : {readEnd, writeEnd, nul})
            if (h != nullptr && h != INVALID_HANDLE_VALUE)
                CloseHandle(h);
        return StartFailure::kNoPipe;
    }
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    // Only these three handles go with the child, nothing else of ours.
    HANDLE handles[] = {nul, writeEnd};
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<unsigned char> attributes(size);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes.data());
    InitializeProcThreadAttributeList(list, 1, 0, &size);
    UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles, sizeof handles,
                              nullptr, nullptr);
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = nul;
    startup.StartupInfo.hStdOutput = writeEnd;
    startup.StartupInfo.hStdError = writeEnd;
    startup.lpAttributeList = list;
    std::wstring command;
    for (const std::string& arg : argv)
        command += (command.empty() ? L"" : L" ") + Quoted(Wide(arg));
    DWORD flags = EXTENDED_STARTUPINFO_PRESENT | CREATE_NO_WINDOW;
    if (options.ownProcessGroup)
        flags |= CREATE_NEW_PROCESS_GROUP;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, flags,
                                        nullptr, nullptr, &startup.StartupInfo, &process);
    const DWORD error = GetLastError();
    DeleteProcThreadAttributeList(list);
    CloseHandle(writeEnd);
    CloseHandle(nul);
    if (!started) {
        CloseHandle(readEnd);
        systemError = static_cast<int>(error);
        return StartFailure::kNoProcess;
    }
    CloseHandle(process.hThread);
    // A child that outlives a killed starter is ended with it by a job object.
    if (options.endsWithStarter) {
        static HANDLE job = [] {
            HANDLE j = CreateJobObjectW(nullptr, nullptr);
            JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
            limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
            SetInformationJobObject(j, JobObjectExtendedLimitInformation, &limits, sizeof limits);
            return j;
        }();
        AssignProcessToJobObject(job, process.hProcess);
    }
    {
        std::lock_guard lock(g_childrenMutex);
        g_children[static_cast<int>(process.dwProcessId)] = process.hProcess;
    }
    child.pid = static_cast<int>(process.dwProcessId);
    child.output = _open_osfhandle(reinterpret_cast<intptr_t>(readEnd), _O_RDONLY | _O_BINARY);
    return StartFailure::kNone;
}

ChildState ReapChild(int pid, bool wait, std::string& text) {
    HANDLE process = ChildHandle(pid);
    if (process == nullptr) {
        text = "not a child of this process";
        return ChildState::kUnknown;
    }
    if (WaitForSingleObject(process, wait ? INFINITE : 0) != WAIT_OBJECT_0)
        return ChildState::kRunning;
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    text = "exit code " + std::to_string(code);
    {
        std::lock_guard lock(g_childrenMutex);
        g_children.erase(pid);
    }
    CloseHandle(process);
    return ChildState::kEnded;
}

// A console program in a group of its own hears Ctrl-Break as its request to stop.
void TerminateChild(int pid) {
    GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, static_cast<DWORD>(pid));
}

void KillChild(int pid) {
    if (HANDLE process = ChildHandle(pid))
        TerminateProcess(process, 1);
}

int WaitForInput(int fd, int timeoutMs) {
    HANDLE pipe = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        DWORD waiting = 0;
        if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &waiting, nullptr))
            return GetLastError() == ERROR_BROKEN_PIPE ? 1 : -1;  // the end is ready to read
        if (waiting > 0)
            return 1;
        if (std::chrono::steady_clock::now() >= end)
            return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace zm::platform
