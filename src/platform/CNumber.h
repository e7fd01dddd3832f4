#pragma once

namespace zm::platform {

// strtod in the "C" locale, whatever locale the process runs in: stored files always
// use a point as the decimal separator.
double ParseDoubleC(const char* text);

}  // namespace zm::platform
