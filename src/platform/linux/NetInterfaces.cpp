#include "platform/NetInterfaces.h"

#include <ifaddrs.h>
#include <net/if.h>

#include "platform/Sockets.h"

namespace zm::platform {

namespace {

std::string AddressText(const sockaddr* address) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text, sizeof text);
    return text;
}

}  // namespace

std::vector<Ipv4Interface> ListIpv4Interfaces() {
    std::vector<Ipv4Interface> result;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        return result;
    }
    for (ifaddrs* it = list; it != nullptr; it = it->ifa_next) {
        if (it->ifa_addr == nullptr || it->ifa_addr->sa_family != AF_INET) {
            continue;
        }
        const unsigned flags = it->ifa_flags;
        Ipv4Interface entry;
        entry.address = AddressText(it->ifa_addr);
        entry.up = (flags & IFF_UP) != 0;
        entry.loopback = (flags & IFF_LOOPBACK) != 0;
        if ((flags & IFF_BROADCAST) != 0 && it->ifa_broadaddr != nullptr) {
            entry.broadcast = AddressText(it->ifa_broadaddr);
        }
        result.push_back(entry);
    }
    freeifaddrs(list);
    return result;
}

}  // namespace zm::platform
