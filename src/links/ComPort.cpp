#include "links/ComPort.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "links/SysError.h"

namespace zm {

namespace {

using Clock = platform::SerialPort::Clock;
using Step = platform::SerialPort::Step;

// Read: the gap allowed between two bytes.
constexpr int kReadIntervalMs = 1000;
// Write: constant part of the total time-out (plus 1 ms per byte).
constexpr int kWriteTimeOutMs = 2000;

}  // namespace

CComPort::~CComPort() {
    Close();
}

std::string CComPort::DevicePath(const std::string& sPortName) {
    return platform::SerialPort::DevicePath(sPortName);
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
    if (!m_port.Open(sPath)) {
        m_nLastError = kComOpenError;
        return false;
    }
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
    platform::SerialLine line;
    line.baudRate = m_settings.nBaudRate;
    line.byteSize = m_settings.nByteSize;
    line.parity = m_settings.nParity;
    line.stopBits = m_settings.nStopBits;
    return m_port.Configure(line);
}

void CComPort::Close() {
    if (const int nError = m_port.Close(); nError != 0) {
        m_nLastError = -nError;
    }
    m_bOpen = false;
}

bool CComPort::Purge() {
    return m_bOpen && m_port.Purge();
}

bool CComPort::Read(std::uint8_t* pBuffer, std::int32_t nWanted, std::int32_t& nReceived,
                    std::int32_t nTimeOutMs) {
    nReceived = 0;
    if (!m_bOpen || !m_port.IsOpen() || pBuffer == nullptr) {
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
        const auto got = m_port.ReadSome(pBuffer + nGot, nWanted - nGot, until);
        if (got.step == Step::kTimedOut) {
            break;
        }
        if (got.step == Step::kFailed) {
            bError = true;
            break;
        }
        if (got.step == Step::kAgain) {
            continue;
        }
        nGot += got.bytes;
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
        const Clock::time_point deadline =
            Clock::now() +
            std::chrono::milliseconds(static_cast<long long>(kWriteTimeOutMs) + nCount);
        std::int32_t nDone = 0;
        bool bFailed = !m_port.IsOpen();
        while (!bFailed && nDone < nCount) {
            const auto put = m_port.WriteSome(pData + nDone, nCount - nDone, deadline);
            if (put.step == Step::kTimedOut) {
                break;
            }
            if (put.step == Step::kFailed) {
                bFailed = true;
                break;
            }
            nDone += put.bytes;
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
