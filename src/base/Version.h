#pragma once

#include <string>

namespace zm {

inline constexpr const char* kProductId = "ZorManager__All_Ver-Lang";
inline constexpr const char* kProductVersion = "6.1.0.10";

// The product identity text: the identifier, " version ", the version number, as asked.
std::string GetVersionText(bool withName = true, bool withVersion = true);

}  // namespace zm
