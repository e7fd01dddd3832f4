#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "web/HttpServer.h"

namespace zm {

// The small JSON bodies of the API's writes, checked before anything is changed.
enum class FieldType { String, Integer };

struct ParsedBody {
    nlohmann::json object = nlohmann::json::object();
    std::optional<CHttpServer::RequestReply> error;  // 400 when the body is not acceptable
};

// An empty body is an empty object. Refused: a body over the limit, text that is not a
// JSON object, a field not in `fields`, a field of another type.
ParsedBody ParseApiBody(const HttpRequest& request, const std::map<std::string, FieldType>& fields);

// Code points of UTF-8 text (what the limits of comments and reasons count).
std::size_t Utf8Length(const std::string& text);

// Seconds since 1970 of "YYYY-MM-DD" (the local day's start, or the next day's start for
// the end of a range) or of ISO 8601 "YYYY-MM-DDTHH:MM[:SS][Z|+HH:MM|-HH:MM]" (local time
// without a zone); nullopt when the text is neither.
std::optional<std::int64_t> ParseApiTime(const std::string& text, bool endOfDay);

CHttpServer::RequestReply JsonReply(const std::string& status, std::string body);
CHttpServer::RequestReply MethodNotAllowed(const std::string& allowed);

}  // namespace zm
