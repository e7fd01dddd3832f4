#pragma once
// The environment the desktop program is started with by the end-to-end tests.
#include <cstdlib>
#include <string>

namespace zm::test {

// Under the sanitizers, Chromium inside the program's web views gets the allowances of
// the widget tests (its own type mismatches and leaks); our code stays fully checked.
inline void AllowWebEngineUnderSanitizers() {
#ifdef ZM_WEBENGINE_LSAN_SUPPRESSIONS
    setenv("ASAN_OPTIONS", "detect_leaks=1:abort_on_error=1:new_delete_type_mismatch=0", 1);
    setenv("LSAN_OPTIONS", "suppressions=" ZM_WEBENGINE_LSAN_SUPPRESSIONS ":print_suppressions=0",
           1);
#endif
}

}  // namespace zm::test
