#pragma once

#include <string>
#include <vector>

namespace zm::platform {

// The computer's network host name; empty when the system does not tell.
std::string HostName();

// The name of the user the process runs as (effective user).
std::string UserName();

// The user logged in to the computer: the real user's account name (sudo keeps it in
// SUDO_USER), else $USER, else the effective user's name.
std::string LoggedInUserName();

// A one-line description of the operating system: the distribution and its version,
// the kernel release, then " (major,minor)" of the kernel, for example
// "Debian GNU/Linux 12 (bookworm), kernel 6.1.0-18-amd64 (6,1)". Empty when the kernel
// version cannot be read.
std::string OsDescription();

// The same, built from the given os-release text and kernel release (for tests).
std::string OsDescriptionFrom(const std::string& osRelease, const std::string& kernelRelease);

// Folders shown in the system description: where system libraries and the system's
// configuration live.
std::string SystemDirectory();
std::string SystemConfigDirectory();

// The process runs with administrator rights (effective user 0).
bool IsAdministrator();

// The system's text for an error number (errno).
std::string SystemErrorText(int code);

}  // namespace zm::platform
