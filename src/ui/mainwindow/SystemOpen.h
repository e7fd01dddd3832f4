#pragma once

#include <functional>
#include <string>

namespace zm {

// Hands a folder, a file or a web address to the desktop's "open" action. Failures are
// not reported: the desktop says so itself, if at all. Paths are cut to 260 characters,
// the longest the program ever handed over.
void OpenWithSystem(const std::string& pathOrUrl);

// Tests see what would be opened instead of starting a browser or file manager; an empty
// hook restores the desktop.
using SystemOpenHook = std::function<void(const std::string& pathOrUrl)>;
void SetSystemOpenHook(SystemOpenHook hook);

}  // namespace zm
