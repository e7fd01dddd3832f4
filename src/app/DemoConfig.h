#pragma once

#include <string>

namespace zm {

// Writes the demonstration configuration into a settings file that does not exist yet:
// the default operator settings with UDP off, and three emulated sensors at distinct
// positions on the sea, so that statuses, logs and the map have something to show without
// hardware. `deviceDefaults` is the devices' own configuration file. An existing settings
// file is never touched (false, with the reason in `error`).
bool WriteDemoSettings(const std::string& settingsPath, const std::string& deviceDefaults,
                       std::string* error);

}  // namespace zm
