#include "platform/StopSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace zm::platform {

namespace {

sigset_t HeldSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

int g_stopPipe[2] = {-1, -1};

void OnStopSignal(int) {
    const char byte = 1;
    // Nothing else is safe in a signal handler; the event loop reads the byte.
    [[maybe_unused]] const ssize_t written = ::write(g_stopPipe[1], &byte, 1);
}

}  // namespace

void HoldStopSignals() {
    const sigset_t set = HeldSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

StopSignal WaitForStopSignal() {
    const sigset_t set = HeldSignals();
    for (;;) {
        int signal = 0;
        if (sigwait(&set, &signal) != 0) {
            continue;
        }
        return signal == SIGHUP ? StopSignal::kReload : StopSignal::kStop;
    }
}

int StopSignalsAsReadableHandle() {
    if (g_stopPipe[0] >= 0) {
        return g_stopPipe[0];
    }
    if (::pipe2(g_stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return -1;
    }
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    return g_stopPipe[0];
}

void DrainStopSignals(int handle) {
    char bytes[16];
    while (::read(handle, bytes, sizeof bytes) > 0) {
    }
}

}  // namespace zm::platform
