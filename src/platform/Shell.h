#pragma once

#include <string>
#include <vector>

namespace zm::platform {

// Starts a program fully detached from the caller: its own session, standard streams on
// /dev/null, not a child of this process (so it never has to be waited for). The program
// is looked up in PATH when the name has no "/". Returns once the program has been
// started (or could not be), never waiting for it to run or end. False with a reason
// when it could not be started.
bool SpawnDetached(const std::vector<std::string>& argv, std::string* error = nullptr);

// Asks the desktop to open a document, folder or web address with the user's chosen
// program (xdg-open).
bool OpenWithShell(const std::string& target, std::string* error = nullptr);

}  // namespace zm::platform
