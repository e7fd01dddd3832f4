#include <cstdio>

#include "base/Version.h"

int main() {
    std::printf("%s\n", zm::GetVersionText().c_str());
    return 0;
}
