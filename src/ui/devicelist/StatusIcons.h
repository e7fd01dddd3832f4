#pragma once

#include <QIcon>

namespace zm {

// The device list's status images, drawn here: one per device status code (0..5) and one
// for any other code, in the colour of the status level.
QIcon DeviceStatusIcon(int statusCode);
// The image of a device whose alarms are withheld: shelved (a clock) or out of service (a
// spanner), so that a glance at the list tells it from a device that is merely quiet.
QIcon SuppressedDeviceIcon(bool outOfService);

}  // namespace zm
