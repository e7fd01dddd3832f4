#pragma once

namespace zm::platform {

// Sets a baud rate that has no termios constant (Linux BOTHER). The descriptor's other
// settings stay. False when the driver refuses the rate.
bool SetCustomBaudRate(int fd, int nBaudRate);

}  // namespace zm::platform
