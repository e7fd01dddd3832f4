#pragma once

#include <cstdint>
#include <string>
#include <variant>

namespace zm {

class CIni;

// Link type names as stored in a device configuration. Matching is exact and
// case-sensitive; anything else (the configuration default is kLinkTypeNone) selects
// no link.
inline constexpr const char* kLinkTypeCom = "COM";
inline constexpr const char* kLinkTypeTcpIp = "TCP/IP";
inline constexpr const char* kLinkTypeEmul = "EMUL";
inline constexpr const char* kLinkTypeExt = "LINK-1";
inline constexpr const char* kLinkTypeNone = "====";

// Serial line settings. Stop bits: 0 one, 1 one and a half, 2 two. Parity: 0 none,
// 1 odd, 2 even, 3 mark, 4 space. The n*Def* fields fill keys missing from an INI
// section and are what a reset returns to.
struct ComPortSettings {
    std::string sPortName = "/dev/ttyS0";
    std::int32_t nBaudRate = 4800;
    std::int32_t nByteSize = 8;
    std::int32_t nStopBits = 0;
    std::int32_t nParity = 0;
    std::int32_t nDefBaudRate = 4800;
    std::int32_t nDefByteSize = 8;
    std::int32_t nDefStopBits = 0;
    std::int32_t nDefParity = 0;

    // Port name back to the first serial port, current values back to the defaults.
    void ResetToDefaults();
    bool operator==(const ComPortSettings&) const = default;
};

// The serial port a fresh configuration names: the first on-board serial port.
inline constexpr const char* kDefaultComPortName = "/dev/ttyS0";

// TCP link settings. nTimeOut (ms) bounds the reachability check, the connect, sends
// and reads that give no time-out of their own. bDatagram is never set by the system.
struct XSocketSettings {
    std::string sAddress = "localhost";
    std::int32_t nPort = 23;
    std::int32_t nTimeOut = 1000;
    std::string sDefAddress = "localhost";
    std::int32_t nDefPort = 23;
    std::int32_t nDefTimeOut = 1000;
    bool bDatagram = false;

    // Current values back to the defaults.
    void ResetToDefaults();
    bool operator==(const XSocketSettings&) const = default;
};

// Which link a configured link type name selects (exact, case-sensitive match).
enum class LinkKind { None, Com, TcpIp, Emul, Ext };
LinkKind LinkKindFromName(const std::string& sLinkType);

// What Open adopts: nothing, a serial record or a TCP record.
using LinkSettings = std::variant<std::monostate, ComPortSettings, XSocketSettings>;

// The record a device hands to Open for its configured link type: the serial record
// when the type begins with "COM", the TCP record when it begins with "TCP/IP", else
// none.
LinkSettings SettingsForLinkType(const std::string& sLinkType, const ComPortSettings& com,
                                 const XSocketSettings& sock);

// The byte transport between one device and its sensor. Callers serialise every call
// (the device's link lock), so implementations hold no locks. Failures are reported by
// the result and a last-error code with its text (GetError), never by exceptions.
// The declaration order below is the slot order and must not change.
class CDeviceLink {
  public:
    virtual ~CDeviceLink() = default;

    // With kind: names the physical channel machine-wide (the channel mutex name).
    // Without: the channel alone, empty for links without a medium.
    virtual std::string GetName(bool bWithKind) const = 0;  // 0
    // Adopts the settings (when they fit the link), then opens; true when ready.
    virtual bool Open(const LinkSettings& settings) = 0;  // 1
    virtual bool IsOpen() const = 0;                      // 2
    // True when the last error is 2 (TCP "Connection aborted").
    virtual bool IsAborted() const = 0;  // 3
    // True when the last error is 0. Each out argument that is given receives the
    // code or its text; with neither given no text is produced.
    virtual bool GetError(std::string* pText, std::int32_t* pCode) const = 0;  // 4
    virtual void Close() = 0;                                                  // 5
    virtual void Purge() = 0;                                                  // 6
    // nTimeOutMs 0 means the link's default. True when at least one byte arrived;
    // nReceived may be less than nWanted and is 0 on failure.
    virtual bool Read(std::uint8_t* pBuffer, std::int32_t nWanted, std::int32_t& nReceived,
                      std::int32_t nTimeOutMs) = 0;  // 7
    // True when the bytes were handed to the medium. nSent is -1 (not counted) on the
    // serial link, what the socket accepted on the TCP link.
    virtual bool Write(const std::uint8_t* pData, std::int32_t nCount, std::int32_t& nSent,
                       std::int32_t nTimeOutMs) = 0;  // 8
    // Reads the settings from the section; missing keys take the default fields.
    virtual bool LoadCfg(const std::string& sSection, CIni* pIni) = 0;  // 9
    virtual bool SaveCfg(const std::string& sSection, CIni* pIni) = 0;  // 10
};

}  // namespace zm
