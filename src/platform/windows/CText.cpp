#include "platform/CText.h"

#include <locale.h>
#include <string.h>

#include <cstdlib>

namespace zm::platform {

double ParseDoubleC(const char* text) {
    static _locale_t c = _create_locale(LC_ALL, "C");
    return _strtod_l(text, nullptr, c);
}

int CompareNoCase(const char* a, const char* b) {
    return _stricmp(a, b);
}

}  // namespace zm::platform
