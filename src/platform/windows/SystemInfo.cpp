#include "platform/SystemInfo.h"

#include <windows.h>

#include <lmcons.h>

#include <cstdio>
#include <cstring>

#include "Wide.h"

namespace zm::platform {

namespace {

// RtlGetVersion tells the true version; GetVersionEx answers what the manifest allows.
bool TrueVersion(DWORD& major, DWORD& minor, DWORD& build) {
    using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (ntdll == nullptr)
        return false;
    auto function = reinterpret_cast<RtlGetVersionFunction>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (function == nullptr || function(&info) != 0)
        return false;
    major = info.dwMajorVersion;
    minor = info.dwMinorVersion;
    build = info.dwBuildNumber;
    return true;
}

std::string ProductName() {
    wchar_t buffer[256] = {};
    DWORD size = sizeof buffer;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                     L"ProductName", RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
        return "Windows";
    return Narrow(buffer);
}

}  // namespace

std::string HostName() {
    wchar_t buffer[256] = {};
    DWORD size = 256;
    if (!GetComputerNameExW(ComputerNameDnsHostname, buffer, &size))
        return {};
    return Narrow(std::wstring(buffer, size));
}

std::string UserName() {
    wchar_t buffer[UNLEN + 1] = {};
    DWORD size = UNLEN + 1;
    if (!GetUserNameW(buffer, &size))
        return {};
    return Narrow(buffer);
}

// Here the "kernel release" is the version and build, e.g. "10.0.19045".
std::string OsDescriptionFrom(const std::string& osRelease, const std::string& kernelRelease) {
    int major = 0;
    int minor = 0;
    if (std::sscanf(kernelRelease.c_str(), "%d.%d", &major, &minor) != 2)
        return {};
    char tail[64];
    std::snprintf(tail, sizeof tail, " (%d,%d)", major, minor);
    return (osRelease.empty() ? std::string("Windows") : osRelease) + ", version " + kernelRelease +
           tail;
}

std::string OsDescription() {
    DWORD major = 0;
    DWORD minor = 0;
    DWORD build = 0;
    if (!TrueVersion(major, minor, build))
        return {};
    return OsDescriptionFrom(ProductName(), std::to_string(major) + "." + std::to_string(minor) +
                                                "." + std::to_string(build));
}

std::string SystemDirectory() {
    wchar_t buffer[MAX_PATH] = {};
    const UINT n = GetSystemDirectoryW(buffer, MAX_PATH);
    return n > 0 ? PortablePath(std::wstring(buffer, n)) : std::string();
}

std::string SystemConfigDirectory() {
    return SystemDirectory();
}

bool IsAdministrator() {
    BOOL member = FALSE;
    SID_IDENTIFIER_AUTHORITY authority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (AllocateAndInitializeSid(&authority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                 DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &administrators)) {
        CheckTokenMembership(nullptr, administrators, &member);
        FreeSid(administrators);
    }
    return member != FALSE;
}

std::string SystemErrorText(int code) {
    char buffer[256] = {};
    strerror_s(buffer, sizeof buffer, code);
    return buffer;
}

}  // namespace zm::platform
