#pragma once
// Tests that need an outside program (a browser, GDAL, xmllint, ...) skip when it is
// missing on a developer's machine; in CI (CI=true) a missing program fails the test, so
// that a machine set up without it cannot pass the suite by skipping.
#include <cstdlib>
#include <cstring>
#include <string>

namespace zm::test {

inline bool InCi() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::strcmp(ci, "true") == 0;
}

// Whether a program of that name is on the search path.
inline bool HasProgram(const std::string& name) {
    const std::string command = "command -v '" + name + "' >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

}  // namespace zm::test

// Ends the test (or its SetUp) when `present` is false: skipped outside CI, failed in CI.
#define ZM_REQUIRE_TOOL(present, what)                                         \
    do {                                                                       \
        if (!(present)) {                                                      \
            if (::zm::test::InCi()) {                                          \
                FAIL() << (what) << " is not installed, and CI=true needs it"; \
            }                                                                  \
            GTEST_SKIP() << (what) << " is not installed";                     \
        }                                                                      \
    } while (0)
