#include "platform/SerialPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "SerialSpeed.h"

namespace zm::platform {

namespace {

// The termios constant for a rate, or B0 when it has none.
speed_t StandardSpeed(int nBaud) {
    static constexpr struct {
        int nBaud;
        speed_t nSpeed;
    } kSpeeds[] = {
        {50, B50},           {75, B75},           {110, B110},         {134, B134},
        {150, B150},         {200, B200},         {300, B300},         {600, B600},
        {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
        {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
        {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
        {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
        {1500000, B1500000}, {2000000, B2000000},
    };
    for (const auto& e : kSpeeds) {
        if (e.nBaud == nBaud) {
            return e.nSpeed;
        }
    }
    return B0;
}

int MsLeft(SerialPort::Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SerialPort::Clock::now())
            .count();
    return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 1 << 30));
}

// The returned events, 0 when the time ran out, -1 on error.
int WaitFd(int fd, short events, SerialPort::Clock::time_point deadline) {
    for (;;) {
        const int ms = MsLeft(deadline);
        pollfd pfd{fd, events, 0};
        const int rc = ::poll(&pfd, 1, ms);
        if (rc > 0) {
            return pfd.revents;
        }
        if (rc == 0) {
            if (ms == 0) {
                return 0;
            }
            continue;  // woke a little early; the deadline decides
        }
        if (errno != EINTR) {
            return -1;
        }
    }
}

}  // namespace

SerialPort::~SerialPort() {
    Close();
}

std::string SerialPort::DevicePath(const std::string& portName) {
    if (portName.empty() || portName.front() == '/') {
        return portName;
    }
    return "/dev/" + portName;
}

bool SerialPort::Open(const std::string& devicePath) {
    Close();
    // Our own waits bound every transfer, so the descriptor never blocks.
    handle_ = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (handle_ < 0) {
        return false;
    }
    // Exclusive use: the lock keeps out a second open in this or another process (root
    // included), TIOCEXCL keeps out programs that do not lock.
    if (::flock(handle_, LOCK_EX | LOCK_NB) != 0) {
        ::close(handle_);
        handle_ = -1;
        return false;
    }
    ::ioctl(handle_, TIOCEXCL);
    return true;
}

bool SerialPort::Configure(const SerialLine& s) {
    if (::tcflush(handle_, TCIOFLUSH) != 0) {
        return false;
    }
    tcflag_t nSize = 0;
    switch (s.byteSize) {
        case 5:
            nSize = CS5;
            break;
        case 6:
            nSize = CS6;
            break;
        case 7:
            nSize = CS7;
            break;
        case 8:
            nSize = CS8;
            break;
        default:
            return false;  // 4 data bits has no termios equivalent
    }
    tcflag_t nParity = 0;
    switch (s.parity) {
        case 0:
            nParity = 0;
            break;
        case 1:
            nParity = PARENB | PARODD;
            break;
        case 2:
            nParity = PARENB;
            break;
        case 3:
            nParity = PARENB | CMSPAR | PARODD;
            break;
        case 4:
            nParity = PARENB | CMSPAR;
            break;
        default:
            return false;
    }
    tcflag_t nStop = 0;
    switch (s.stopBits) {
        case 0:
            nStop = 0;
            break;
        case 2:
            nStop = CSTOPB;
            break;
        default:
            return false;  // one and a half has no termios equivalent
    }
    if (s.baudRate <= 0) {
        return false;
    }

    termios tio{};
    if (::tcgetattr(handle_, &tio) != 0) {
        return false;
    }
    // Binary 8-bit traffic: no line editing or translation, parity not checked, no
    // stripping, no break or error characters, no software flow control. Hardware
    // flow control (CRTSCTS) stays as the driver has it.
    tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                          ICRNL | IXON | IXOFF | IXANY | INPCK | IGNPAR);
    tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
    tio.c_cflag |= CLOCAL | CREAD | nSize | nParity | nStop;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;

    const speed_t nSpeed = StandardSpeed(s.baudRate);
    if (nSpeed != B0 && (::cfsetispeed(&tio, nSpeed) != 0 || ::cfsetospeed(&tio, nSpeed) != 0)) {
        return false;
    }
    if (::tcsetattr(handle_, TCSANOW, &tio) != 0) {
        return false;
    }
    if (nSpeed == B0 && !SetCustomBaudRate(handle_, s.baudRate)) {
        return false;
    }
    // tcsetattr succeeds when any part applied: check that the driver kept the line.
    termios check{};
    if (::tcgetattr(handle_, &check) != 0 ||
        (check.c_cflag & (CSIZE | PARENB | PARODD | CSTOPB)) !=
            (tio.c_cflag & (CSIZE | PARENB | PARODD | CSTOPB)) ||
        (nSpeed != B0 && ::cfgetospeed(&check) != nSpeed)) {
        return false;
    }
    // DTR off where the driver has the line (a pseudo-terminal has none).
    const int nDtr = TIOCM_DTR;
    ::ioctl(handle_, TIOCMBIC, &nDtr);
    return true;
}

bool SerialPort::Purge() {
    return handle_ >= 0 && ::tcflush(handle_, TCIOFLUSH) == 0;
}

int SerialPort::Close() {
    int error = 0;
    if (handle_ >= 0) {
        if (::close(handle_) != 0) {
            error = errno;
        }
        handle_ = -1;
    }
    return error;
}

SerialPort::Transfer SerialPort::ReadSome(std::uint8_t* buffer, int size,
                                          Clock::time_point deadline) {
    const int revents = WaitFd(handle_, POLLIN, deadline);
    if (revents == 0) {
        return {Step::kTimedOut, 0};
    }
    if (revents < 0 || (revents & POLLNVAL)) {
        return {Step::kFailed, 0};
    }
    const ssize_t rc = ::read(handle_, buffer, static_cast<size_t>(size));
    if (rc < 0) {
        return {(errno == EAGAIN || errno == EINTR) ? Step::kAgain : Step::kFailed, 0};
    }
    if (rc == 0) {
        // Readable but empty: the other side hung up.
        return {(revents & (POLLHUP | POLLERR)) ? Step::kFailed : Step::kAgain, 0};
    }
    return {Step::kMoved, static_cast<int>(rc)};
}

SerialPort::Transfer SerialPort::WriteSome(const std::uint8_t* data, int size,
                                           Clock::time_point deadline) {
    const int revents = WaitFd(handle_, POLLOUT, deadline);
    if (revents == 0) {
        return {Step::kTimedOut, 0};
    }
    if (revents < 0 || (revents & (POLLERR | POLLNVAL | POLLHUP))) {
        return {Step::kFailed, 0};
    }
    const ssize_t rc = ::write(handle_, data, static_cast<size_t>(size));
    if (rc < 0) {
        return {(errno == EAGAIN || errno == EINTR) ? Step::kAgain : Step::kFailed, 0};
    }
    return {rc > 0 ? Step::kMoved : Step::kAgain, static_cast<int>(rc)};
}

}  // namespace zm::platform
