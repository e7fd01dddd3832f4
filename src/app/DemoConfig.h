#pragma once

#include <string>

namespace zm {

// The demo's simulated bus: the simulator's options, one per line, in the file that
// zor-sim reads with --config. It lies in the configuration folder of a home that the demo
// wrote with a bus, and in no other; the bus devices of the settings file use its port.
inline constexpr const char* kDemoBusFile = "DemoBus.cfg";
// Names of the two sensors on the bus: a steady one and one that drifts into its alarm
// corridor now and then.
inline constexpr const char* kDemoBusSteady = "Sim-Harbour";
inline constexpr const char* kDemoBusDrifting = "Sim-Outfall";

// Writes the demonstration configuration into a settings file that does not exist yet:
// the default operator settings with UDP off, and three emulated sensors at distinct
// positions on the sea, so that statuses, logs and the map have something to show without
// hardware. `deviceDefaults` is the devices' own configuration file. With `withBus`, two
// sensors on a simulated TCP bus on loopback join them, and `busFile` gets the simulator's
// options with a port that was free; without, a bus file left from an earlier demo is
// removed, so that no bus starts for devices that are not there. An existing settings
// file is never touched (false, with the reason in `error`).
bool WriteDemoSettings(const std::string& settingsPath, const std::string& deviceDefaults,
                       const std::string& busFile, bool withBus, std::string* error);

// The TCP port of a bus file ("tcp-port N"), 0 when it has none.
int ReadDemoBusPort(const std::string& busFile);

// The simulator beside the running program, as an installation and the build tree have
// it; empty when there is none that can be run.
std::string FindZorSim();

}  // namespace zm
