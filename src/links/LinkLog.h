#pragma once

#include <string>

namespace zm {

// Writes one orange entry to the run log: "<li><dt> " + text + "</li>".
void LinkLogWarning(const std::string& sText);

}  // namespace zm
