#include "integration/ApiBody.h"

#include <cstdio>
#include <ctime>

#include "integration/IntegrationRecords.h"
#include "web/ApiAccess.h"

namespace zm {

ParsedBody ParseApiBody(const HttpRequest& request,
                        const std::map<std::string, FieldType>& fields) {
    ParsedBody parsed;
    if (request.bodyRefused) {
        parsed.error = JsonError("400 Bad Request", "the body is over " +
                                                        std::to_string(HttpRequest::kMaxBody) +
                                                        " bytes or has no valid Content-Length");
        return parsed;
    }
    if (request.body.find_first_not_of(" \t\r\n") == std::string::npos) {
        return parsed;
    }
    nlohmann::json json = nlohmann::json::parse(request.body, nullptr, false);
    if (json.is_discarded() || !json.is_object()) {
        parsed.error = JsonError("400 Bad Request", "the body is not a JSON object");
        return parsed;
    }
    for (const auto& [name, value] : json.items()) {
        auto it = fields.find(name);
        if (it == fields.end()) {
            parsed.error = JsonError("400 Bad Request", "unknown field \"" + name + "\"");
            return parsed;
        }
        const bool fits =
            it->second == FieldType::String ? value.is_string() : value.is_number_integer();
        if (!fits) {
            parsed.error =
                JsonError("400 Bad Request",
                          "the field \"" + name + "\" must be " +
                              (it->second == FieldType::String ? "a string" : "an integer"));
            return parsed;
        }
    }
    parsed.object = std::move(json);
    return parsed;
}

std::size_t Utf8Length(const std::string& text) {
    std::size_t count = 0;
    for (char c : text) {
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }
    return count;
}

std::optional<std::int64_t> ParseApiTime(const std::string& text, bool endOfDay) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, used = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &year, &month, &day, &used) != 3 || used != 10 ||
        month < 1 || month > 12 || day < 1 || day > 31) {
        return std::nullopt;
    }
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_isdst = -1;
    if (text.size() == 10) {
        if (endOfDay) {
            ++tm.tm_mday;  // mktime carries it into the next month
        }
        const std::time_t t = std::mktime(&tm);
        return t == static_cast<std::time_t>(-1) ? std::nullopt : std::optional<std::int64_t>(t);
    }
    std::string rest = text.substr(10);
    int timeUsed = 0;
    if (rest.empty() || (rest[0] != 'T' && rest[0] != ' ') ||
        std::sscanf(rest.c_str() + 1, "%2d:%2d%n", &hour, &minute, &timeUsed) != 2 ||
        timeUsed != 5) {
        return std::nullopt;
    }
    rest = rest.substr(6);
    if (!rest.empty() && rest[0] == ':') {
        int secondUsed = 0;
        if (std::sscanf(rest.c_str() + 1, "%2d%n", &second, &secondUsed) != 1 || secondUsed != 2) {
            return std::nullopt;
        }
        rest = rest.substr(3);
    }
    if (hour > 23 || minute > 59 || second > 60) {
        return std::nullopt;
    }
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    if (rest.empty()) {
        const std::time_t t = std::mktime(&tm);
        return t == static_cast<std::time_t>(-1) ? std::nullopt : std::optional<std::int64_t>(t);
    }
    int offset = 0;
    if (rest == "Z") {
        offset = 0;
    } else {
        int oh = 0, om = 0, offsetUsed = 0;
        if ((rest[0] != '+' && rest[0] != '-') ||
            std::sscanf(rest.c_str() + 1, "%2d:%2d%n", &oh, &om, &offsetUsed) != 2 ||
            offsetUsed != 5 || oh > 23 || om > 59) {
            return std::nullopt;
        }
        offset = (rest[0] == '-' ? -1 : 1) * (oh * 3600 + om * 60);
    }
    return static_cast<std::int64_t>(timegm(&tm)) - offset;
}

CHttpServer::RequestReply JsonReply(const std::string& status, std::string body) {
    CHttpServer::RequestReply reply;
    reply.status = status;
    reply.contentType = "application/json; charset=utf-8";
    reply.body = std::move(body);
    return reply;
}

CHttpServer::RequestReply MethodNotAllowed(const std::string& allowed) {
    CHttpServer::RequestReply reply = JsonError("405 Method Not Allowed", "method not allowed");
    reply.headers.push_back({"Allow", allowed});
    return reply;
}

}  // namespace zm
