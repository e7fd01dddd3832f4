#include "links/ConverterDiscovery.h"

#include <algorithm>

#include "platform/NetInterfaces.h"
#include "platform/Sockets.h"

namespace zm {

namespace {

std::string AddressText(const in_addr& addr) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &addr, text, sizeof text);
    return text;
}

bool Contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

}  // namespace

CConverterDiscovery::~CConverterDiscovery() {
    Close();
}

void CConverterDiscovery::Close() {
    if (m_fd >= 0) {
        platform::CloseSocket(m_fd);
        m_fd = -1;
    }
}

bool CConverterDiscovery::IsConverterReply(std::size_t nBytes, const std::string& sSender,
                                           int nSenderPort,
                                           const std::vector<std::string>& ownAddresses) {
    return nBytes >= kMinReplyBytes && nSenderPort == kPort && sSender != "127.0.0.1" &&
           !Contains(ownAddresses, sSender);
}

std::vector<std::string> CConverterDiscovery::BroadcastAddresses() {
    std::vector<std::string> result;
    for (const platform::Ipv4Interface& it : platform::ListIpv4Interfaces()) {
        if (!it.up || it.loopback || it.broadcast.empty()) {
            continue;
        }
        if (!Contains(result, it.broadcast)) {
            result.push_back(it.broadcast);
        }
    }
    return result;
}

std::vector<std::string> CConverterDiscovery::OwnAddresses() {
    std::vector<std::string> result;
    for (const platform::Ipv4Interface& it : platform::ListIpv4Interfaces()) {
        result.push_back(it.address);
    }
    return result;
}

bool CConverterDiscovery::Start(const Options& options) {
    Close();
    m_found.clear();
    m_targets.clear();
    m_own = OwnAddresses();
    m_targets =
        options.sTarget.empty() ? BroadcastAddresses() : std::vector<std::string>{options.sTarget};
    if (m_targets.empty()) {
        return false;  // no interface to ask on
    }
    platform::StartSockets();
    m_fd = platform::OpenSocket(AF_INET, SOCK_DGRAM, 0, true);
    if (m_fd < 0) {
        return false;
    }
    int one = 1;
    const char* on = reinterpret_cast<const char*>(&one);
    setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, on, sizeof one);
    setsockopt(m_fd, SOL_SOCKET, SO_BROADCAST, on, sizeof one);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<std::uint16_t>(options.nListenPort));
    if (inet_pton(AF_INET, options.sListenAddress.c_str(), &local.sin_addr) != 1 ||
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        Close();
        return false;
    }
    bool sent = false;
    for (const std::string& target : m_targets) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<std::uint16_t>(options.nTargetPort));
        if (inet_pton(AF_INET, target.c_str(), &to.sin_addr) != 1) {
            continue;
        }
        const auto n =
            ::sendto(m_fd, reinterpret_cast<const char*>(kRequest.data()), kRequest.size(),
                     platform::kSendNoSignal, reinterpret_cast<sockaddr*>(&to), sizeof to);
        sent = static_cast<long long>(n) == static_cast<long long>(kRequest.size()) || sent;
    }
    if (!sent) {
        Close();
    }
    return sent;
}

int CConverterDiscovery::ReadReplies() {
    int added = 0;
    std::vector<std::uint8_t> buffer(kMaxReplyBytes);
    while (m_fd >= 0) {
        sockaddr_in from{};
        socklen_t fromLen = sizeof from;
        const auto n = ::recvfrom(m_fd, reinterpret_cast<char*>(buffer.data()), buffer.size(), 0,
                                  reinterpret_cast<sockaddr*>(&from), &fromLen);
        if (n < 0) {
            if (!platform::IsSocketRetry(platform::LastSocketError())) {
                Close();
            }
            break;
        }
        const std::string sender = AddressText(from.sin_addr);
        if (IsConverterReply(static_cast<std::size_t>(n), sender, ntohs(from.sin_port), m_own) &&
            !Contains(m_found, sender)) {
            m_found.push_back(sender);
            ++added;
        }
    }
    return added;
}

CAddressHistory& CAddressHistory::Shared() {
    static CAddressHistory history;
    return history;
}

std::vector<std::string> CAddressHistory::Entries() const {
    std::lock_guard lock(m_mutex);
    return m_entries;
}

void CAddressHistory::Add(const std::string& sAddress) {
    std::lock_guard lock(m_mutex);
    if (!sAddress.empty() && !Contains(m_entries, sAddress)) {
        m_entries.push_back(sAddress);
    }
}

int CAddressHistory::Confirm(const std::string& sAddress, int nCurrent) {
    std::lock_guard lock(m_mutex);
    const auto equal = std::find(m_entries.begin(), m_entries.end(), sAddress);
    if (equal != m_entries.end()) {
        return static_cast<int>(equal - m_entries.begin());
    }
    if (nCurrent >= 0 && nCurrent < static_cast<int>(m_entries.size())) {
        m_entries[static_cast<std::size_t>(nCurrent)] = sAddress;
        return nCurrent;
    }
    m_entries.push_back(sAddress);
    return static_cast<int>(m_entries.size()) - 1;
}

void CAddressHistory::Clear() {
    std::lock_guard lock(m_mutex);
    m_entries.clear();
}

}  // namespace zm
