#pragma once

namespace zm::platform {

// strtod in the "C" locale, whatever locale the process runs in: stored files always
// use a point as the decimal separator.
double ParseDoubleC(const char* text);

// strcasecmp: compares ASCII letters without regard to case (<0, 0, >0).
int CompareNoCase(const char* a, const char* b);

}  // namespace zm::platform
