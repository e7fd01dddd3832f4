#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zm::sim {

// The command line (and config file) of the simulator.
struct SimOptions {
    std::string bind = "127.0.0.1";
    int tcpPort = 11221;
    bool tcp = true;
    bool pty = false;
    std::optional<int> controlPort;
    std::vector<std::string> sensors;
    std::optional<int> rangeFinder;
    int latencyMs = 0;
    int baud = 0;
    std::string logPath;
    bool help = false;
    bool version = false;
};

// Options in order; "--config FILE" reads one option per line from FILE at its place.
bool ParseSimOptions(const std::vector<std::string>& args, SimOptions& options, std::string& error);
const char* SimHelpText();

}  // namespace zm::sim
