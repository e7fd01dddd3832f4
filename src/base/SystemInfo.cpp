#include "base/SystemInfo.h"

#include <mutex>
#include <optional>

#include "base/Printf.h"
#include "platform/Shell.h"
#include "platform/SystemInfo.h"

namespace zm {

std::string GetComputerNameCached() {
    static std::once_flag once;
    static std::string name;
    std::call_once(once, [] { name = platform::HostName(); });
    return name;
}

std::string GetSystemDescription(bool os, bool directories, bool computer, bool user) {
    if (!os && !directories && !computer && !user) {
        return "<nothing>";
    }
    std::string text;
    auto lead = [&text] { return text.empty() ? "" : "\r\n"; };
    if (os) {
        std::string description = platform::OsDescription();
        text += description.empty() ? std::string("error") : description;
    }
    if (directories) {
        text += StrPrintf("%sSystem directory:  %s", lead(), platform::SystemDirectory().c_str());
        text += StrPrintf("%sWindows directory:  %s", lead(),
                          platform::SystemConfigDirectory().c_str());
    }
    if (computer) {
        text += StrPrintf("%sComputer name:  %s", lead(), GetComputerNameCached().c_str());
    }
    if (user) {
        text += StrPrintf("%sUser name:  %s", lead(), platform::UserName().c_str());
    }
    return text;
}

bool IsUserAdmin() {
    return platform::IsAdministrator();
}

std::string GetSystemErrorText(int code) {
    return platform::SystemErrorText(code);
}

bool OpenWithShell(const std::string& target) {
    return platform::OpenWithShell(target);
}

}  // namespace zm
