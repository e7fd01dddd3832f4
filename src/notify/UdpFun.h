#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Sockets.h"

namespace zm {

// The UDP group of the application settings, copied into the sender when the settings are
// loaded and whenever the UDP settings dialog is confirmed.
struct UdpSettings {
    bool bEnabled = false;                       // "udp_enabled"
    bool bSendState = true;                      // "udp_send_state"
    bool bSendData = true;                       // "udp_send_data"
    std::string sIpAddress = "255.255.255.255";  // "udp_ip_address"
    int nPort = 8181;                            // "udp_port"
    bool bBroadcastMac = true;  // "udp_broadcast_mac": carried along, no effect on sending
    bool operator==(const UdpSettings&) const = default;
};

// What a state datagram tells about a device.
struct UdpDeviceState {
    std::string sSerial;  // device number from the parameter record
    std::string sName;
    std::string sStatusText;
};

// What a data datagram tells about a device: its latest data portion as stored (8 bytes
// per item, the first 4 a float signal) and that portion's data status.
struct UdpDeviceData {
    std::string sSerial;
    std::string sName;
    std::vector<std::uint8_t> portion;
    std::int32_t nDataStatus = 0;
};

// Sends one plain-text datagram per device state or data portion to the configured
// address (by default the limited broadcast address). Nothing is received, nothing is
// retried; one socket per datagram. Safe to call from any device's event thread.
class CUdpFun {
  public:
    static constexpr size_t kMaxSerial = 16;

    CUdpFun() = default;
    virtual ~CUdpFun() = default;
    CUdpFun(const CUdpFun&) = delete;
    CUdpFun& operator=(const CUdpFun&) = delete;

    void SetSettings(const UdpSettings& settings);
    UdpSettings GetSettings() const;

    // Sends `text` and CR LF as one datagram. The outcome text goes to `report` when given.
    bool SendText(const std::string& text, std::string* report = nullptr);
    // False without sending when UDP or state datagrams are switched off.
    bool SendDeviceState(const UdpDeviceState& device);
    // False without sending when UDP or data datagrams are switched off, the portion holds
    // fewer than 8 bytes, or its data status is not one of 0, 9 and 10.
    bool SendDeviceData(const UdpDeviceData& device);

    // The datagram texts, without the CR LF SendText adds.
    static std::string FormatState(const UdpDeviceState& device);
    static std::string FormatData(const UdpDeviceData& device);
    // The destination the sender computes: an address that does not parse becomes the
    // all-ones (limited broadcast) address.
    static sockaddr_in Destination(const std::string& address, int port);

  private:
    mutable std::recursive_mutex lock_;
    UdpSettings settings_;
};

}  // namespace zm
