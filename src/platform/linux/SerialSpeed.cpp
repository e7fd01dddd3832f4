// The kernel's termios2 structure clashes with the C library's termios, so this file
// includes only the kernel's view.
#include "SerialSpeed.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace zm::platform {

bool SetCustomBaudRate(int fd, int nBaudRate) {
    struct termios2 tio {};
    if (::ioctl(fd, TCGETS2, &tio) != 0) {
        return false;
    }
    tio.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    tio.c_ispeed = static_cast<speed_t>(nBaudRate);
    tio.c_ospeed = static_cast<speed_t>(nBaudRate);
    if (::ioctl(fd, TCSETS2, &tio) != 0) {
        return false;
    }
    // A driver may round or ignore the rate instead of refusing it.
    struct termios2 check {};
    if (::ioctl(fd, TCGETS2, &check) != 0) {
        return false;
    }
    const long nGot = static_cast<long>(check.c_ospeed);
    return nGot > 0 && (nGot - nBaudRate) * 100 / nBaudRate == 0;
}

}  // namespace zm::platform
