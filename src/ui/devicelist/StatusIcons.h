#pragma once

#include <QIcon>

namespace zm {

// The device list's status images, drawn here: one per device status code (0..5) and one
// for any other code, in the colour of the status level.
QIcon DeviceStatusIcon(int statusCode);

}  // namespace zm
