#include "web/SecureTransport.h"

#include <cctype>
#include <cstring>

#include "base/Printf.h"
#include "platform/Sockets.h"

namespace zm {

bool IsLoopbackAddress(const std::string& address) {
    in_addr v4{};
    if (inet_pton(AF_INET, address.c_str(), &v4) == 1) {
        return (ntohl(v4.s_addr) >> 24) == 127;
    }
    in6_addr v6{};
    if (inet_pton(AF_INET6, address.c_str(), &v6) == 1) {
        static const unsigned char kMappedPrefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
        if (std::memcmp(v6.s6_addr, kMappedPrefix, 12) == 0) {
            return v6.s6_addr[12] == 127;
        }
        return IN6_IS_ADDR_LOOPBACK(&v6);
    }
    return false;
}

bool IsWriteMethod(const std::string& method) {
    return method != "GET" && method != "HEAD" && method != "OPTIONS";
}

bool IsConsolePath(const std::string& path) {
    constexpr std::string_view kConsole = "/console";
    return path.compare(0, kConsole.size(), kConsole) == 0 &&
           (path.size() == kConsole.size() || path[kConsole.size()] == '/');
}

CSecureTransportRule::Verdict CSecureTransportRule::Check(const ClientInfo& client,
                                                          const std::string& method,
                                                          const std::string& path,
                                                          bool withCredentials) const {
    if (httpsPort_ == 0 || client.secure || (isLocal_ && isLocal_(client.address)))
        return Verdict::kServe;
    if (IsWriteMethod(method) || withCredentials)
        return Verdict::kRefuse;
    return IsConsolePath(path) ? Verdict::kRedirect : Verdict::kServe;
}

std::string CSecureTransportRule::RedirectLocation(const std::string& hostHeader,
                                                   const std::string& target) const {
    std::string host = hostHeader;
    if (!host.empty() && host.front() == '[') {
        size_t close = host.find(']');
        if (close == std::string::npos)
            return {};
        host = host.substr(0, close + 1);
        for (size_t i = 1; i + 1 < host.size(); ++i)
            if (!std::isxdigit(static_cast<unsigned char>(host[i])) && host[i] != ':' &&
                host[i] != '.')
                return {};
    } else {
        host = host.substr(0, host.find(':'));
        for (char c : host)
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-')
                return {};
    }
    // The target goes on as the client sent it, as long as it is a path: never another
    // scheme or host of the client's choosing.
    if (host.empty() || host.size() > 253 || target.empty() || target.front() != '/' ||
        (target.size() > 1 && target[1] == '/'))
        return {};
    for (char c : target)
        if (static_cast<unsigned char>(c) <= ' ' || c == 0x7f)
            return {};
    return StrPrintf("https://%s:%u", host.c_str(), static_cast<unsigned>(httpsPort_)) + target;
}

}  // namespace zm
