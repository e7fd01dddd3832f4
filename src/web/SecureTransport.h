#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "web/GenericServer.h"

namespace zm {

// Whether an address is this machine's own: 127.0.0.0/8, ::1 and IPv4 loopback mapped
// into IPv6 (::ffff:127.x.y.z).
bool IsLoopbackAddress(const std::string& address);

// Anything but GET, HEAD and OPTIONS changes something.
bool IsWriteMethod(const std::string& method);

// Where plain HTTP gives way to HTTPS. With HTTPS on, a client that is not on this machine
// gets the console only over HTTPS (a GET is redirected there) and can neither change
// anything nor send credentials over plain HTTP (refused), so that passwords and session
// cookies never cross the network in clear. Everything else, and everything over TLS or
// from this machine, is served: read-only pages and integrations keep working.
class CSecureTransportRule {
  public:
    enum class Verdict { kServe, kRedirect, kRefuse };

    CSecureTransportRule() = default;
    explicit CSecureTransportRule(uint16_t httpsPort) : httpsPort_(httpsPort) {}
    // Which clients count as this machine; loopback by default.
    void SetLocalClientTest(std::function<bool(const std::string& address)> isLocal) {
        isLocal_ = std::move(isLocal);
    }
    uint16_t HttpsPort() const { return httpsPort_; }

    // `path` without the query; `withCredentials`: the request carries an Authorization
    // header or a session cookie.
    Verdict Check(const ClientInfo& client, const std::string& method, const std::string& path,
                  bool withCredentials) const;
    // "https://HOST:PORT" + target for the Host header's host; empty when the header is
    // missing or is no plain host name or address (a redirect then becomes a refusal).
    std::string RedirectLocation(const std::string& hostHeader, const std::string& target) const;

  private:
    uint16_t httpsPort_ = 0;  // 0: HTTPS off, everything is served
    std::function<bool(const std::string&)> isLocal_ = IsLoopbackAddress;
};

// Paths that exist for signed-in operators only.
bool IsConsolePath(const std::string& path);

}  // namespace zm
