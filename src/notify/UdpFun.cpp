#include "notify/UdpFun.h"

#include <bit>

#include "base/Printf.h"

namespace zm {

namespace {

// At most `limit` bytes, never ending inside a UTF-8 sequence.
std::string ClipUtf8(const std::string& text, size_t limit) {
    if (text.size() <= limit) {
        return text;
    }
    size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    return text.substr(0, end);
}

// Codes outside 0 to 10 count as the nearest end, as for the device's own data status.
bool IsDataPresent(std::int32_t status) {
    return status <= 0 || status == 9 || status >= 10;
}

}  // namespace

void CUdpFun::SetSettings(const UdpSettings& settings) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    settings_ = settings;
}

UdpSettings CUdpFun::GetSettings() const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return settings_;
}

sockaddr_in CUdpFun::Destination(const std::string& address, int port) {
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    // inet_addr's own rule: anything it cannot read is INADDR_NONE, the all-ones address.
    destination.sin_addr.s_addr = inet_addr(address.c_str());
    destination.sin_port = htons(static_cast<uint16_t>(port));
    return destination;
}

bool CUdpFun::SendText(const std::string& text, std::string* report) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    auto tell = [report](const char* outcome) {
        if (report != nullptr) {
            *report = outcome;
        }
    };
    const std::string payload = text + "\r\n";
    platform::StartSockets();
    const platform::SocketHandle fd = platform::OpenSocket(AF_INET, SOCK_DGRAM, IPPROTO_UDP, false);
    if (fd == platform::kInvalidSocket) {
        tell("Error in creating socket");
        return false;
    }
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on);
    const sockaddr_in destination = Destination(settings_.sIpAddress, settings_.nPort);
    const auto sent = ::sendto(fd, payload.data(), payload.size(), platform::kSendNoSignal,
                               reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
    bool ok = false;
    if (sent < 0) {
        tell("Error broadcasting to the clients");
    } else if (static_cast<size_t>(sent) < payload.size()) {
        tell("Not all data broadcasted to the clients");
    } else {
        tell("Broadcasting is done");
        ok = true;
    }
    ::shutdown(fd, platform::kShutdownSend);
    platform::CloseSocket(fd);
    return ok;
}

std::string CUdpFun::FormatState(const UdpDeviceState& device) {
    return StrPrintf("| %s | %s | Status = '%s'", ClipUtf8(device.sSerial, kMaxSerial).c_str(),
                     device.sName.c_str(), device.sStatusText.c_str());
}

std::string CUdpFun::FormatData(const UdpDeviceData& device) {
    const size_t count = device.portion.size() / 8;
    std::string text =
        StrPrintf("| %s | %s | Data[%d] = ", ClipUtf8(device.sSerial, kMaxSerial).c_str(),
                  device.sName.c_str(), static_cast<int>(count));
    text += "{";
    for (size_t i = 0; i < count; ++i) {
        // The sensor's records are little-endian on the wire and kept as received.
        const std::uint8_t* item = device.portion.data() + i * 8;
        const std::uint32_t bits =
            static_cast<std::uint32_t>(item[0]) | static_cast<std::uint32_t>(item[1]) << 8 |
            static_cast<std::uint32_t>(item[2]) << 16 | static_cast<std::uint32_t>(item[3]) << 24;
        const float value = std::bit_cast<float>(bits);
        text += StrPrintf(" %.1lf", static_cast<double>(value));
    }
    text += " }";
    return text;
}

bool CUdpFun::SendDeviceState(const UdpDeviceState& device) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (!settings_.bEnabled || !settings_.bSendState) {
        return false;
    }
    return SendText(FormatState(device));
}

bool CUdpFun::SendDeviceData(const UdpDeviceData& device) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (!settings_.bEnabled || !settings_.bSendData || device.portion.size() < 8 ||
        !IsDataPresent(device.nDataStatus)) {
        return false;
    }
    return SendText(FormatData(device));
}

}  // namespace zm
