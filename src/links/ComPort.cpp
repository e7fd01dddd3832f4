#include "links/ComPort.h"

#include <fcntl.h>
#include <libserialport.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "links/SysError.h"

namespace zm {

namespace {

using Clock = std::chrono::steady_clock;

// Read: the gap allowed between two bytes and the default total time-out.
constexpr int kReadIntervalMs = 1000;
constexpr int kDefaultReadTimeOutMs = 1000;
// Write: constant part of the total time-out (plus 1 ms per byte).
constexpr int kWriteTimeOutMs = 2000;

int MsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 1 << 30));
}

// Waits for the events on fd until the deadline; 0 when the time ran out, -1 on error,
// else the returned events.
int WaitFd(int fd, short events, Clock::time_point deadline) {
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

CComPort::~CComPort() {
    Close();
}

std::string CComPort::DevicePath(const std::string& sPortName) {
    if (sPortName.empty() || sPortName.front() == '/') {
        return sPortName;
    }
    return "/dev/" + sPortName;
}

int CComPort::Fd() const {
    int fd = -1;
    if (m_pPort == nullptr || sp_get_port_handle(m_pPort, &fd) != SP_OK) {
        return -1;
    }
    return fd;
}

bool CComPort::Open(const ComPortSettings* pSettings) {
    if (m_bOpen) {
        Close();
    }
    if (pSettings != nullptr) {
        m_settings = *pSettings;
    }

    const std::string sPath = DevicePath(m_settings.sPortName);
    if (sPath.empty() || sp_get_port_by_name(sPath.c_str(), &m_pPort) != SP_OK) {
        m_pPort = nullptr;
        m_nLastError = kComOpenError;
        return false;
    }
    if (sp_open(m_pPort, SP_MODE_READ_WRITE) != SP_OK) {
        sp_free_port(m_pPort);
        m_pPort = nullptr;
        m_nLastError = kComOpenError;
        return false;
    }
    // Exclusive use: TIOCEXCL keeps other users out, the lock also keeps out a second
    // open by root (which TIOCEXCL does not stop) and a second device of this process.
    const int fd = Fd();
    if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        sp_close(m_pPort);
        sp_free_port(m_pPort);
        m_pPort = nullptr;
        m_nLastError = kComOpenError;
        return false;
    }
    ::ioctl(fd, TIOCEXCL);
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
    const int fd = Fd();
    if (fd < 0) {
        return false;
    }
    // Our own waits bound every transfer, so the descriptor must never block.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) {
        return false;
    }
    if (sp_flush(m_pPort, SP_BUF_BOTH) != SP_OK) {
        return false;
    }

    const ComPortSettings& s = m_settings;
    sp_parity parity = SP_PARITY_INVALID;
    switch (s.nParity) {
        case 0:
            parity = SP_PARITY_NONE;
            break;
        case 1:
            parity = SP_PARITY_ODD;
            break;
        case 2:
            parity = SP_PARITY_EVEN;
            break;
        case 3:
            parity = SP_PARITY_MARK;
            break;
        case 4:
            parity = SP_PARITY_SPACE;
            break;
        default:
            return false;
    }
    // One and a half stop bits has no termios equivalent.
    int nStopBits = 0;
    switch (s.nStopBits) {
        case 0:
            nStopBits = 1;
            break;
        case 2:
            nStopBits = 2;
            break;
        default:
            return false;
    }
    // The library reads -1 as "leave unchanged", so values it would not reject must be
    // refused here.
    if (s.nBaudRate <= 0 || s.nByteSize < 5 || s.nByteSize > 8) {
        return false;
    }

    sp_port_config* pConfig = nullptr;
    if (sp_new_config(&pConfig) != SP_OK) {
        return false;
    }
    // Modem lines (RTS, CTS) stay as the driver has them: the new config leaves them.
    bool bOk = sp_set_config_baudrate(pConfig, s.nBaudRate) == SP_OK &&
               sp_set_config_bits(pConfig, s.nByteSize) == SP_OK &&
               sp_set_config_parity(pConfig, parity) == SP_OK &&
               sp_set_config_stopbits(pConfig, nStopBits) == SP_OK &&
               sp_set_config_xon_xoff(pConfig, SP_XONXOFF_DISABLED) == SP_OK &&
               sp_set_config(m_pPort, pConfig) == SP_OK;
    sp_free_config(pConfig);
    if (!bOk) {
        return false;
    }
    // DTR off and DSR ignored where the driver has those lines (a pseudo-terminal has
    // not), so their failure is not a settings error.
    sp_set_dtr(m_pPort, SP_DTR_OFF);
    sp_set_dsr(m_pPort, SP_DSR_IGNORE);

    // Binary 8-bit traffic: no line editing, no translation, no parity marking, no
    // stripping, no software flow control.
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        return false;
    }
    tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                          ICRNL | IXON | IXOFF | IXANY | INPCK);
    tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    return ::tcsetattr(fd, TCSANOW, &tio) == 0;
}

void CComPort::Close() {
    if (m_pPort != nullptr) {
        if (m_bOpen && sp_close(m_pPort) != SP_OK) {
            m_nLastError = -sp_last_error_code();
        }
        sp_free_port(m_pPort);
        m_pPort = nullptr;
    }
    m_bOpen = false;
}

bool CComPort::Purge() {
    return m_bOpen && sp_flush(m_pPort, SP_BUF_BOTH) == SP_OK;
}

bool CComPort::Read(std::uint8_t* pBuffer, std::int32_t nWanted, std::int32_t& nReceived,
                    std::int32_t nTimeOutMs) {
    nReceived = 0;
    const int fd = m_bOpen ? Fd() : -1;
    if (fd < 0 || pBuffer == nullptr) {
        m_nLastError = kComReadError;
        return false;
    }
    if (nWanted <= 0) {
        m_nLastError = kComReadTimeout;
        return false;
    }
    std::memset(pBuffer, 0, static_cast<size_t>(nWanted));

    const int nTotalMs = (nTimeOutMs > 0 ? nTimeOutMs : kDefaultReadTimeOutMs) + nWanted;
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
        const int rc =
            sp_nonblocking_read(m_pPort, pBuffer + nGot, static_cast<size_t>(nWanted - nGot));
        if (rc < 0) {
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
        nGot += rc;
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
        const int fd = Fd();
        const Clock::time_point deadline =
            Clock::now() + std::chrono::milliseconds(kWriteTimeOutMs + nCount);
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
            const int rc =
                sp_nonblocking_write(m_pPort, pData + nDone, static_cast<size_t>(nCount - nDone));
            if (rc < 0) {
                bFailed = true;
                break;
            }
            nDone += rc;
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

int EnumSerialPorts(std::vector<std::string>& ports) {
    ports.clear();
    sp_port** ppList = nullptr;
    if (sp_list_ports(&ppList) != SP_OK || ppList == nullptr) {
        return 0;
    }
    for (sp_port** pp = ppList; *pp != nullptr; ++pp) {
        if (const char* pszName = sp_get_port_name(*pp)) {
            ports.emplace_back(pszName);
        }
    }
    sp_free_port_list(ppList);
    return static_cast<int>(ports.size());
}

}  // namespace zm
