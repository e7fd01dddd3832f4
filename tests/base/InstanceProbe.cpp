// A second copy of the application, as far as the start-up check goes: prints the
// message and exits 0 (may start), 1 (already running) or 2 (other refusal).
#include <cstdio>
#include <string>

#include "base/Folders.h"
#include "base/Startup.h"

int main(int argc, char** argv) {
    std::string error;
    if (!zm::ApplyHomeOption(argc, argv, &error)) {
        std::printf("%s\n", error.c_str());
        return 3;
    }
    std::string message;
    if (zm::CheckStartup(message)) {
        return 0;
    }
    std::printf("%s\n", message.c_str());
    return message == "Application already launched." ? 1 : 2;
}
