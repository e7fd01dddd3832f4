#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "links/DeviceLink.h"
#include "platform/SerialPort.h"

namespace zm {

// Last-error codes of the serial port. A failed close stores the negated system error
// number, so it never reads as one of these.
enum ComPortError : std::int32_t {
    kComNoError = 0,
    kComSettingsError = 1,
    kComOpenError = 2,
    kComReadError = 3,
    kComReadTimeout = 4,
    kComWriteError = 5,
    kComWriteTimeout = 6,
};

// A synchronous serial port, opened exclusively and configured for raw 8-bit traffic
// without software flow control. Used by one thread at a time.
class CComPort {
  public:
    CComPort() = default;
    virtual ~CComPort();
    CComPort(const CComPort&) = delete;
    CComPort& operator=(const CComPort&) = delete;

    // Closes the port if open, adopts the settings when given, opens and configures it.
    // A configuration failure (code 1) leaves the port open.
    bool Open(const ComPortSettings* pSettings);
    void Close();
    bool IsOpen() const { return m_bOpen; }
    // Discards both queues; true when the port is open and the purge succeeded.
    bool Purge();
    // Ends at nWanted bytes, after nWanted + t ms (t <= 0 means 1000 ms), or after a gap
    // of more than 1000 ms between two bytes.
    bool Read(std::uint8_t* pBuffer, std::int32_t nWanted, std::int32_t& nReceived,
              std::int32_t nTimeOutMs);
    static constexpr std::int32_t kDefaultReadTimeOutMs = 1000;
    // The t of a Read asked with this time-out.
    static std::int32_t ReadTimeOut(std::int32_t nTimeOutMs) {
        return nTimeOutMs > 0 ? nTimeOutMs : kDefaultReadTimeOutMs;
    }
    // Purges, then writes within nCount + 2000 ms; reopens the port after a failure.
    bool Write(const std::uint8_t* pData, std::int32_t nCount);

    std::int32_t GetLastError() const { return m_nLastError; }
    static std::string GetErrorText(std::int32_t nCode);

    const ComPortSettings& GetSettings() const { return m_settings; }
    void SetSettings(const ComPortSettings& settings) { m_settings = settings; }
    ComPortSettings& Settings() { return m_settings; }

    // The device path for a configured port name: a bare "ttyUSB0" is "/dev/ttyUSB0".
    static std::string DevicePath(const std::string& sPortName);

  private:
    bool Configure();

    ComPortSettings m_settings;
    platform::SerialPort m_port;
    bool m_bOpen = false;
    std::int32_t m_nLastError = 0;
};

// Empties the list, appends the serial ports present on the machine in the order the
// system reports them, and returns their number.
int EnumSerialPorts(std::vector<std::string>& ports);

}  // namespace zm
