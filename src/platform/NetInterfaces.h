#pragma once

#include <string>
#include <vector>

namespace zm::platform {

// An IPv4 address of a network interface of this machine, in dotted form.
struct Ipv4Interface {
    std::string address;
    std::string broadcast;  // empty when the interface has none
    bool up = false;
    bool loopback = false;
};

// Every IPv4 address of the machine, in the system's order; empty when it cannot tell.
std::vector<Ipv4Interface> ListIpv4Interfaces();

}  // namespace zm::platform
