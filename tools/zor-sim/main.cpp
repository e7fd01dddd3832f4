// zor-sim: a bus of simulated sensors behind a TCP server and/or a pseudo-terminal.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "SimBus.h"
#include "SimOptions.h"
#include "SimServer.h"
#include "base/Version.h"

using namespace zm::sim;

namespace {

int g_signalPipe[2] = {-1, -1};

void OnSignal(int) {
    char c = 1;
    [[maybe_unused]] auto n = write(g_signalPipe[1], &c, 1);
}

}  // namespace

int main(int argc, char** argv) {
    SimOptions options;
    std::string error;
    if (!ParseSimOptions({argv + 1, argv + argc}, options, error)) {
        std::fprintf(stderr, "zor-sim: %s\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(SimHelpText(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("zor-sim %s\n", zm::kProductVersion);
        return 0;
    }
    if (!options.tcp && !options.pty) {
        std::fprintf(stderr, "zor-sim: no transport (give --tcp-port or --pty)\n");
        return 2;
    }
    SimBus bus;
    if (options.sensors.empty()) {
        options.sensors.push_back("addr=99");
    }
    for (const std::string& spec : options.sensors) {
        if (!bus.ApplySensorSpec(spec, error, true)) {
            std::fprintf(stderr, "zor-sim: --sensor %s: %s\n", spec.c_str(), error.c_str());
            return 2;
        }
    }
    bus.SetRangeFinder(options.rangeFinder);
    bus.SetLatencyMs(options.latencyMs);
    bus.SetBaud(options.baud);

    FILE* log = nullptr;
    if (!options.logPath.empty()) {
        log = options.logPath == "-" ? stderr : std::fopen(options.logPath.c_str(), "a");
        if (!log) {
            std::fprintf(stderr, "zor-sim: cannot write %s\n", options.logPath.c_str());
            return 2;
        }
    }
    if (pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::perror("zor-sim: pipe");
        return 1;
    }
    signal(SIGPIPE, SIG_IGN);
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);

    Simulator sim(bus, log);
    sim.Add(g_signalPipe[0], Kind::kSignal);
    int keepSlave = -1;
    if (options.pty) {
        std::string path;
        int master = OpenPty(path, keepSlave, error);
        if (master < 0) {
            std::fprintf(stderr, "zor-sim: pseudo-terminal: %s\n", error.c_str());
            return 1;
        }
        std::printf("%s\n", path.c_str());
        sim.Add(master, Kind::kBusPty);
    }
    if (options.tcp) {
        int port = options.tcpPort;
        int fd = Listen(options.bind, port, error);
        if (fd < 0) {
            std::fprintf(stderr, "zor-sim: TCP server: %s\n", error.c_str());
            return 1;
        }
        std::printf("tcp %s:%d\n", options.bind.c_str(), port);
        sim.Add(fd, Kind::kTcpListen);
    }
    if (options.controlPort) {
        int port = *options.controlPort;
        int fd = Listen("127.0.0.1", port, error);
        if (fd < 0) {
            std::fprintf(stderr, "zor-sim: control port: %s\n", error.c_str());
            return 1;
        }
        std::printf("control 127.0.0.1:%d\n", port);
        sim.Add(fd, Kind::kControlListen);
    }
    SetNonBlocking(STDIN_FILENO);
    sim.Add(STDIN_FILENO, Kind::kStdin);
    std::printf("ready\n");
    std::fflush(stdout);
    int rc = sim.Run();
    if (keepSlave >= 0) {
        close(keepSlave);
    }
    std::fflush(stdout);
    if (log && log != stderr) {
        std::fclose(log);
    }
    return rc;
}
