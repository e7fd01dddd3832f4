#include "links/ComPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "links/FdWait.h"
#include "links/SerialSpeed.h"
#include "links/SysError.h"

namespace zm {

namespace {

using links::Clock;
using links::MsLeft;
using links::WaitFd;

// Read: the gap allowed between two bytes.
constexpr int kReadIntervalMs = 1000;
// Write: constant part of the total time-out (plus 1 ms per byte).
constexpr int kWriteTimeOutMs = 2000;

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

}  // namespace

CComPort::~CComPort() {
    Close();
}

std::string CComPort::DevicePath(const std::string& sPortName) {
    if (sPortName.empty() || sPortName.front() == '/') {
        return sPortName;
    }
    return "/dev/" + sPortName;
}

bool CComPort::Open(const ComPortSettings* pSettings) {
    if (m_bOpen) {
        Close();
    }
    if (pSettings != nullptr) {
        m_settings = *pSettings;
    }

    const std::string sPath = DevicePath(m_settings.sPortName);
    if (sPath.empty()) {
        m_nLastError = kComOpenError;
        return false;
    }
    // Our own waits bound every transfer, so the descriptor never blocks.
    m_fd = ::open(sPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0) {
        m_nLastError = kComOpenError;
        return false;
    }
    // Exclusive use: the lock keeps out a second open in this or another process (root
    // included), TIOCEXCL keeps out programs that do not lock.
    if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(m_fd);
        m_fd = -1;
        m_nLastError = kComOpenError;
        return false;
    }
    ::ioctl(m_fd, TIOCEXCL);
    m_bOpen = true;

    // From here on a failure leaves the port open: IsOpen stays true until closed.
    if (!Configure()) {
        m_nLastError = kComSettingsError;
        return false;
    }
    m_nLastError = kComNoError;
    return true;
}

bool CComPort::Configure() {
    if (::tcflush(m_fd, TCIOFLUSH) != 0) {
        return false;
    }
    const ComPortSettings& s = m_settings;
    tcflag_t nSize = 0;
    switch (s.nByteSize) {
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
    switch (s.nParity) {
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
    switch (s.nStopBits) {
        case 0:
            nStop = 0;
            break;
        case 2:
            nStop = CSTOPB;
            break;
        default:
            return false;  // one and a half has no termios equivalent
    }
    if (s.nBaudRate <= 0) {
        return false;
    }

    termios tio{};
    if (::tcgetattr(m_fd, &tio) != 0) {
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

    const speed_t nSpeed = StandardSpeed(s.nBaudRate);
    if (nSpeed != B0 && (::cfsetispeed(&tio, nSpeed) != 0 || ::cfsetospeed(&tio, nSpeed) != 0)) {
        return false;
    }
    if (::tcsetattr(m_fd, TCSANOW, &tio) != 0) {
        return false;
    }
    if (nSpeed == B0 && !SetCustomBaudRate(m_fd, s.nBaudRate)) {
        return false;
    }
    // tcsetattr succeeds when any part applied: check that the driver kept the line.
    termios check{};
    if (::tcgetattr(m_fd, &check) != 0 ||
        (check.c_cflag & (CSIZE | PARENB | PARODD | CSTOPB)) !=
            (tio.c_cflag & (CSIZE | PARENB | PARODD | CSTOPB)) ||
        (nSpeed != B0 && ::cfgetospeed(&check) != nSpeed)) {
        return false;
    }
    // DTR off where the driver has the line (a pseudo-terminal has none).
    const int nDtr = TIOCM_DTR;
    ::ioctl(m_fd, TIOCMBIC, &nDtr);
    return true;
}

void CComPort::Close() {
    if (m_fd >= 0) {
        if (::close(m_fd) != 0) {
            m_nLastError = -errno;
        }
        m_fd = -1;
    }
    m_bOpen = false;
}

bool CComPort::Purge() {
    return m_bOpen && ::tcflush(m_fd, TCIOFLUSH) == 0;
}

bool CComPort::Read(std::uint8_t* pBuffer, std::int32_t nWanted, std::int32_t& nReceived,
                    std::int32_t nTimeOutMs) {
    nReceived = 0;
    const int fd = m_fd;
    if (!m_bOpen || fd < 0 || pBuffer == nullptr) {
        m_nLastError = kComReadError;
        return false;
    }
    if (nWanted <= 0) {
        m_nLastError = kComReadTimeout;
        return false;
    }
    std::memset(pBuffer, 0, static_cast<size_t>(nWanted));

    const long long nTotalMs = static_cast<long long>(ReadTimeOut(nTimeOutMs)) + nWanted;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(nTotalMs);
    std::int32_t nGot = 0;
    Clock::time_point lastByte{};
    bool bError = false;
    while (nGot < nWanted) {
        // The gap between bytes counts only once the first byte is in.
        Clock::time_point until = deadline;
        if (nGot > 0) {
            until = std::min(until, lastByte + std::chrono::milliseconds(kReadIntervalMs));
        }
        const int revents = WaitFd(fd, POLLIN, until);
        if (revents == 0) {
            break;
        }
        if (revents < 0 || (revents & POLLNVAL)) {
            bError = true;
            break;
        }
        const ssize_t rc = ::read(fd, pBuffer + nGot, static_cast<size_t>(nWanted - nGot));
        if (rc < 0) {
            if (errno == EAGAIN || errno == EINTR) {
                continue;
            }
            bError = true;
            break;
        }
        if (rc == 0) {
            // Readable but empty: the other side hung up.
            if (revents & (POLLHUP | POLLERR)) {
                bError = true;
                break;
            }
            continue;
        }
        nGot += static_cast<std::int32_t>(rc);
        lastByte = Clock::now();
    }
    if (bError) {
        m_nLastError = kComReadError;
        return false;
    }
    if (nGot == 0) {
        m_nLastError = kComReadTimeout;
        return false;
    }
    m_nLastError = kComNoError;
    nReceived = nGot;
    return true;
}

bool CComPort::Write(const std::uint8_t* pData, std::int32_t nCount) {
    // Unread input from earlier traffic must not be taken for the answer to this request.
    bool bPurged = Purge();
    if (!bPurged) {
        Open(nullptr);
        bPurged = Purge();
    }

    std::int32_t nError = kComWriteError;
    if (bPurged && pData != nullptr && nCount >= 0) {
        const int fd = m_fd;
        const Clock::time_point deadline =
            Clock::now() +
            std::chrono::milliseconds(static_cast<long long>(kWriteTimeOutMs) + nCount);
        std::int32_t nDone = 0;
        bool bFailed = fd < 0;
        while (!bFailed && nDone < nCount) {
            const int revents = WaitFd(fd, POLLOUT, deadline);
            if (revents == 0) {
                break;
            }
            if (revents < 0 || (revents & (POLLERR | POLLNVAL | POLLHUP))) {
                bFailed = true;
                break;
            }
            const ssize_t rc = ::write(fd, pData + nDone, static_cast<size_t>(nCount - nDone));
            if (rc < 0) {
                if (errno == EAGAIN || errno == EINTR) {
                    continue;
                }
                bFailed = true;
                break;
            }
            nDone += static_cast<std::int32_t>(rc);
        }
        if (bFailed) {
            nError = kComWriteError;
        } else if (nDone == 0) {
            nError = kComWriteTimeout;
        } else {
            nError = kComNoError;  // a partial write still counts as sent
        }
    }

    if (nError == kComNoError) {
        m_nLastError = kComNoError;
        return true;
    }
    m_nLastError = nError;
    // The reopen decides the error left behind: 0 when the port is usable again.
    Open(nullptr);
    return false;
}

std::string CComPort::GetErrorText(std::int32_t nCode) {
    switch (nCode) {
        case kComNoError:
            return "No Error";
        case kComSettingsError:
            return "Port settings error";
        case kComOpenError:
            return "Port opening error";
        case kComReadError:
            return "Read error";
        case kComReadTimeout:
            return "Read timeout error";
        case kComWriteError:
            return "Write error";
        case kComWriteTimeout:
            return "Write timeout error";
        default:
            break;
    }
    return SysErrorText(nCode < 0 ? -nCode : nCode);
}

}  // namespace zm
