#include "platform/NetInterfaces.h"

#include "platform/Sockets.h"

#include <windows.h>

#include <iphlpapi.h>

#include <vector>

namespace zm::platform {

namespace {

std::string AddressText(in_addr address) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

}  // namespace

std::vector<Ipv4Interface> ListIpv4Interfaces() {
    std::vector<Ipv4Interface> result;
    ULONG size = 16 * 1024;
    std::vector<unsigned char> buffer;
    ULONG rc = ERROR_BUFFER_OVERFLOW;
    for (int attempt = 0; attempt < 3 && rc == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.resize(size);
        rc = GetAdaptersAddresses(
            AF_INET, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER,
            nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
    }
    if (rc != NO_ERROR)
        return result;
    for (auto* adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); adapter != nullptr;
         adapter = adapter->Next) {
        for (auto* unicast = adapter->FirstUnicastAddress; unicast != nullptr;
             unicast = unicast->Next) {
            const auto* ip = reinterpret_cast<const sockaddr_in*>(unicast->Address.lpSockaddr);
            if (ip == nullptr || ip->sin_family != AF_INET)
                continue;
            Ipv4Interface entry;
            entry.address = AddressText(ip->sin_addr);
            entry.up = adapter->OperStatus == IfOperStatusUp;
            entry.loopback = adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK;
            // The broadcast address is the host part set to ones.
            if (!entry.loopback && unicast->OnLinkPrefixLength < 32) {
                const ULONG mask = unicast->OnLinkPrefixLength == 0
                                       ? 0
                                       : htonl(~0UL << (32 - unicast->OnLinkPrefixLength));
                in_addr broadcast{};
                broadcast.s_addr = ip->sin_addr.s_addr | ~mask;
                entry.broadcast = AddressText(broadcast);
            }
            result.push_back(entry);
        }
    }
    return result;
}

}  // namespace zm::platform
