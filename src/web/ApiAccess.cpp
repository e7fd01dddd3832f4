#include "web/ApiAccess.h"

#include <cstring>

#include "platform/CText.h"
#include "platform/Sockets.h"

namespace zm {

namespace {

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z') {
        return c - 'A';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 26;
    }
    if (c >= '0' && c <= '9') {
        return c - '0' + 52;
    }
    if (c == '+') {
        return 62;
    }
    if (c == '/') {
        return 63;
    }
    return -1;
}

std::optional<std::string> Base64Decoded(const std::string& text) {
    if (text.empty() || text.size() % 4 != 0) {
        return std::nullopt;
    }
    std::string out;
    unsigned int bits = 0;
    int count = 0;
    size_t padding = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '=') {
            // Only at the end, at most two.
            if (i + 2 < text.size() || ++padding > 2) {
                return std::nullopt;
            }
            continue;
        }
        const int value = Base64Value(c);
        if (value < 0 || padding > 0) {
            return std::nullopt;
        }
        bits = (bits << 6) | static_cast<unsigned int>(value);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out += static_cast<char>((bits >> count) & 0xFF);
        }
    }
    return out;
}

// Length of the valid UTF-8 sequence at text[i] (overlong forms and surrogates refused),
// or 0.
size_t Utf8At(const std::string& text, size_t i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const size_t length = c < 0x80             ? 1
                          : (c & 0xE0) == 0xC0 ? 2
                          : (c & 0xF0) == 0xE0 ? 3
                          : (c & 0xF8) == 0xF0 ? 4
                                               : 0;
    if (length == 0 || i + length > text.size()) {
        return 0;
    }
    unsigned int code = length == 1 ? c : c & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (next & 0x3F);
    }
    static const unsigned int kMinimum[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kMinimum[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
        return 0;
    }
    return length;
}

// Names in the texts come from the network; bytes that are not UTF-8 become U+FFFD, so the
// answer stays JSON.
std::string JsonQuoted(const std::string& text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80) {
            const size_t length = Utf8At(text, i);
            if (length == 0) {
                out += "\xEF\xBF\xBD";
            } else {
                out.append(text, i, length);
                i += length - 1;
            }
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

CHttpServer::RequestReply Unauthorized(const std::string& text) {
    CHttpServer::RequestReply reply = JsonError("401 Unauthorized", text);
    reply.headers.push_back({"WWW-Authenticate", "Basic realm=\"ZorManager\""});
    return reply;
}

}  // namespace

std::optional<std::pair<std::string, std::string>> BasicCredentials(const std::string& header) {
    if (header.size() < 6 || platform::CompareNoCase(header.substr(0, 6).c_str(), "Basic ") != 0) {
        return std::nullopt;
    }
    size_t start = header.find_first_not_of(' ', 6);
    if (start == std::string::npos) {
        return std::nullopt;
    }
    const std::optional<std::string> decoded = Base64Decoded(header.substr(start));
    if (!decoded) {
        return std::nullopt;
    }
    const size_t colon = decoded->find(':');
    if (colon == std::string::npos) {
        return std::nullopt;
    }
    return std::make_pair(decoded->substr(0, colon), decoded->substr(colon + 1));
}

CHttpServer::RequestReply JsonError(const std::string& status, const std::string& text) {
    CHttpServer::RequestReply reply;
    reply.status = status;
    reply.contentType = "application/json; charset=utf-8";
    reply.body = "{\"error\":" + JsonQuoted(text) + "}";
    return reply;
}

CApiAccess::Decision CApiAccess::Check(const HttpRequest& request, Need need) {
    Decision decision;
    if (need == Need::Read && !readsNeedAccount_) {
        decision.allowed = true;
        return decision;
    }
    // Refused before the credentials are looked at: nothing learnt from them counts.
    if (need != Need::Read && !request.secure && !IsLoopbackAddress(request.clientAddress)) {
        decision.refusal =
            JsonError("403 Forbidden",
                      "HTTPS is required for changes from another computer; over plain "
                      "HTTP they are accepted only from this computer");
        return decision;
    }
    const std::string header = request.Header("authorization");
    const auto credentials = BasicCredentials(header);
    if (!credentials) {
        decision.refusal = Unauthorized(header.empty() ? "an operator account is needed"
                                                       : "the credentials are not HTTP Basic");
        return decision;
    }
    const auth::COperatorDirectory::Result result =
        directory_.Authenticate(credentials->first, credentials->second);
    if (result.outcome == auth::COperatorDirectory::Outcome::Busy) {
        decision.refusal = JsonError("503 Service Unavailable",
                                     "too many sign-ins at once; try again in a moment");
        decision.refusal.headers.push_back({"Retry-After", "1"});
        return decision;
    }
    if (result.outcome != auth::COperatorDirectory::Outcome::Ok) {
        decision.refusal = Unauthorized("wrong user name or password");
        return decision;
    }
    const auth::Role needed = need == Need::Administer ? auth::Role::Admin
                              : need == Need::Operate  ? auth::Role::Operator
                                                       : auth::Role::Viewer;
    if (!auth::RoleAllows(result.role, needed)) {
        decision.refusal =
            JsonError("403 Forbidden", std::string("the account \"") + credentials->first +
                                           "\" is " + auth::RoleName(result.role) +
                                           "; this needs " + auth::RoleName(needed));
        return decision;
    }
    decision.allowed = true;
    decision.user = credentials->first;
    return decision;
}

}  // namespace zm
