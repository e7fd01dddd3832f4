#pragma once

#include <string>

namespace zm {

// The computer's name, read once.
std::string GetComputerNameCached();

// The system description of the run log. The parts asked for, in this order, each after
// the first on a new line (CR LF): the operating system ("error" when it cannot be
// read), "System directory:  %s" and "Windows directory:  %s", "Computer name:  %s",
// "User name:  %s". None asked: "<nothing>".
std::string GetSystemDescription(bool os, bool directories, bool computer, bool user);

// The process runs with administrator rights.
bool IsUserAdmin();

// The system's text for an error number.
std::string GetSystemErrorText(int code);

// Opens a document, folder or web address with the user's program for it; false when
// no such program could be started.
bool OpenWithShell(const std::string& target);

}  // namespace zm
