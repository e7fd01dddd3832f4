#pragma once

#include <string>

namespace zm {

// Writes one line (an HTML list item) to the process run log in orange.
void LinkLogWarning(const std::string& sLine);

}  // namespace zm
