#include "platform/CText.h"

#include <locale.h>
#include <strings.h>

#include <cstdlib>

namespace zm::platform {

double ParseDoubleC(const char* text) {
    static locale_t c = newlocale(LC_ALL_MASK, "C", nullptr);
    return strtod_l(text, nullptr, c);
}

int CompareNoCase(const char* a, const char* b) {
    return strcasecmp(a, b);
}

}  // namespace zm::platform
