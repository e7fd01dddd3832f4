#pragma once
// The environment the desktop program is started with by the end-to-end tests.
#include <cstdlib>
#include <string>

namespace zm::test {

// Under the sanitizers, Chromium inside the program's web views gets the allowances of
// the widget tests (its own type mismatches). Leaks are not judged in these runs: under
// Xvfb the X server's GL driver, loaded for Chromium and unloaded before the leak check,
// leaves allocations now and then that no suppression can name (their module is gone).
// Every other error of ours still aborts the program, and our widgets' leaks are judged
// by the widget tests, which draw without that driver.
inline void AllowWebEngineUnderSanitizers() {
#ifdef ZM_WEBENGINE_LSAN_SUPPRESSIONS
    setenv("ASAN_OPTIONS", "detect_leaks=0:abort_on_error=1:new_delete_type_mismatch=0", 1);
    setenv("LSAN_OPTIONS", "suppressions=" ZM_WEBENGINE_LSAN_SUPPRESSIONS ":print_suppressions=0",
           1);
#endif
}

}  // namespace zm::test
