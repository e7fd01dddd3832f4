#include "web/HttpRequest.h"

#include <cstdlib>

namespace zm {

namespace {

constexpr std::string_view kHeaderEnd = "\r\n\r\n";

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

std::map<std::string, std::string> HeadersOf(std::string_view header) {
    std::map<std::string, std::string> headers;
    size_t pos = header.find("\r\n");
    while (pos != std::string_view::npos && pos + 2 < header.size()) {
        pos += 2;
        size_t end = header.find("\r\n", pos);
        std::string_view line =
            header.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        const size_t colon = line.find(':');
        if (colon != std::string_view::npos) {
            headers.emplace(Lower(Trimmed(line.substr(0, colon))),
                            std::string(Trimmed(line.substr(colon + 1))));
        }
        pos = end;
    }
    return headers;
}

}  // namespace

std::string PercentDecode(std::string_view text, bool plusIsBlank) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        int hi = 0, lo = 0;
        if (text[i] == '%' && i + 2 < text.size() && (hi = HexDigit(text[i + 1])) >= 0 &&
            (lo = HexDigit(text[i + 2])) >= 0) {
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else if (plusIsBlank && text[i] == '+') {
            out += ' ';
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string HttpRequest::Header(const std::string& lowerName) const {
    auto it = headers.find(lowerName);
    return it == headers.end() ? std::string() : it->second;
}

std::vector<std::string> HttpRequest::Segments() const {
    std::vector<std::string> segments;
    size_t pos = 0;
    while (pos <= path.size()) {
        size_t end = path.find('/', pos);
        if (end == std::string::npos) {
            end = path.size();
        }
        if (end > pos) {
            segments.push_back(PercentDecode(std::string_view(path).substr(pos, end - pos)));
        }
        pos = end + 1;
    }
    return segments;
}

std::map<std::string, std::string> HttpRequest::QueryParameters() const {
    std::map<std::string, std::string> parameters;
    size_t pos = 0;
    while (pos < query.size()) {
        size_t end = query.find('&', pos);
        if (end == std::string::npos) {
            end = query.size();
        }
        const std::string_view pair = std::string_view(query).substr(pos, end - pos);
        const size_t equals = pair.find('=');
        if (!pair.empty()) {
            parameters.emplace(PercentDecode(pair.substr(0, equals), true),
                               equals == std::string_view::npos
                                   ? std::string()
                                   : PercentDecode(pair.substr(equals + 1), true));
        }
        pos = end + 1;
    }
    return parameters;
}

BodyExtent BodyExtentOf(std::string_view header) {
    const std::map<std::string, std::string> headers = HeadersOf(header);
    BodyExtent extent;
    if (headers.count("transfer-encoding") != 0) {
        extent.refused = true;  // chunked bodies are not taken; a length is
        return extent;
    }
    auto it = headers.find("content-length");
    if (it == headers.end()) {
        return extent;
    }
    const std::string& text = it->second;
    if (text.empty() || text.size() > 9 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        extent.refused = true;
        return extent;
    }
    extent.length = static_cast<size_t>(std::strtoul(text.c_str(), nullptr, 10));
    extent.refused = extent.length > HttpRequest::kMaxBody;
    return extent;
}

HttpRequest ParseHttpRequest(const std::string& request, const std::string& clientAddress) {
    HttpRequest parsed;
    parsed.clientAddress = clientAddress;
    const size_t headerEnd = request.find(kHeaderEnd);
    const std::string_view header(request.data(),
                                  headerEnd == std::string::npos ? request.size() : headerEnd + 2);
    const size_t blank = header.find(' ');
    parsed.method = std::string(header.substr(0, blank));
    if (blank != std::string_view::npos) {
        const size_t end = header.find_first_of(" \r\n", blank + 1);
        const std::string target(header.substr(
            blank + 1, end == std::string_view::npos ? std::string_view::npos : end - blank - 1));
        const size_t question = target.find('?');
        parsed.path = target.substr(0, question);
        parsed.query = question == std::string::npos ? std::string() : target.substr(question + 1);
    }
    parsed.headers = HeadersOf(header);
    const BodyExtent extent = BodyExtentOf(header);
    parsed.bodyRefused = extent.refused;
    if (!extent.refused && headerEnd != std::string::npos) {
        parsed.body = request.substr(headerEnd + kHeaderEnd.size(), extent.length);
    }
    return parsed;
}

}  // namespace zm
