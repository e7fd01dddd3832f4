#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zm {

// One request as the routes that take methods and bodies see it.
struct HttpRequest {
    // Bodies the server reads; a longer one is refused before it is read.
    static constexpr std::size_t kMaxBody = 4096;

    std::string method;
    std::string path;   // as sent, before '?', not decoded (a name may hold an escaped '/')
    std::string query;  // after '?', not decoded
    std::map<std::string, std::string> headers;  // names in lower case; the first of a name
    std::string body;
    // Content-Length over kMaxBody, not a number, or a body sent chunked: the body is
    // not there and the route refuses the request.
    bool bodyRefused = false;
    std::string clientAddress;  // dotted IPv4
    bool secure = false;        // came over TLS

    // Empty when the request has no such header.
    std::string Header(const std::string& lowerName) const;
    // The path split at '/' and each segment percent-decoded: "/api/devices/A%2FB" gives
    // {"api", "devices", "A/B"}.
    std::vector<std::string> Segments() const;
    // The query's "name=value" pairs decoded ('+' is a blank); a name without '=' has an
    // empty value; the first of a name counts.
    std::map<std::string, std::string> QueryParameters() const;
};

// Every %XX decoded; '+' stays unless plusIsBlank.
std::string PercentDecode(std::string_view text, bool plusIsBlank = false);

// Where a request whose header ends at `headerEnd` (the index of "\r\n\r\n") stands with
// its body: how many bytes the whole request has when its body is complete, or nullopt
// when the body is refused and the request is answered at once.
struct BodyExtent {
    bool refused = false;
    std::size_t length = 0;  // of the body, when not refused
};
BodyExtent BodyExtentOf(std::string_view header);

// Parses a complete request (header and the body BodyExtentOf announced).
HttpRequest ParseHttpRequest(const std::string& request, const std::string& clientAddress);

}  // namespace zm
