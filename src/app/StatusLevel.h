#pragma once

#include <string>

#include "base/Log.h"

namespace zm {

// How much a device status matters to the operator: the device list, the map icons and
// the alarm actions all rank and colour a status by this one table.
struct StatusLevel {
    int level = 0;             // 0 off .. 4 alarm
    const char* icon = "Off";  // "Off", "Wait", "Error", "Good", "Alarm"
    unsigned char r = 200;
    unsigned char g = 200;
    unsigned char b = 200;

    LogColor Color() const { return Rgb(r, g, b); }
    // The icon's file name ("Good.png").
    std::string IconFile() const;
};

// Any code the table does not name ranks as "Off".
StatusLevel GetStatusLevel(int statusCode);

}  // namespace zm
