#include "platform/CNumber.h"

#include <locale.h>

#include <cstdlib>

namespace zm::platform {

double ParseDoubleC(const char* text) {
    static locale_t c = newlocale(LC_ALL_MASK, "C", nullptr);
    return strtod_l(text, nullptr, c);
}

}  // namespace zm::platform
