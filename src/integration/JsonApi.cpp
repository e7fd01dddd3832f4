#include "integration/JsonApi.h"

#include <nlohmann/json.hpp>

#include <charconv>
#include <ctime>
#include <memory>

#include "integration/DeviceTrend.h"
#include "web/HttpServer.h"

namespace zm {

std::string DevicesJsonText(IDeviceStateSource& source) {
    nlohmann::json devices = nlohmann::json::array();
    for (const DeviceStateRecord& state : source.DeviceStates()) {
        devices.push_back(ToJson(state));
    }
    return JsonText(nlohmann::json{{"station", source.Station()}, {"devices", devices}});
}

bool DeviceJsonText(IDeviceStateSource& source, const std::string& name, std::string& body) {
    for (const DeviceStateRecord& state : source.DeviceStates()) {
        if (state.name == name) {
            body = JsonText(ToJson(state));
            return true;
        }
    }
    return false;
}

std::string AlarmsJsonText(IDeviceStateSource& source) {
    nlohmann::json alarms = nlohmann::json::array();
    for (const AlarmEventRecord& alarm : source.OpenAlarms()) {
        alarms.push_back(ToJson(alarm, false));
    }
    return JsonText(nlohmann::json{{"station", source.Station()}, {"alarms", alarms}});
}

namespace {

int Hex(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string Decoded(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        int hi, lo;
        if (text[i] == '%' && i + 2 < text.size() && (hi = Hex(text[i + 1])) >= 0 &&
            (lo = Hex(text[i + 2])) >= 0) {
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else {
            out += text[i] == '+' ? ' ' : text[i];
        }
    }
    return out;
}

// The value of one query parameter; false when it is not there.
bool QueryValue(const std::string& query, std::string_view key, std::string& value) {
    for (size_t start = 0; start <= query.size();) {
        size_t end = query.find('&', start);
        if (end == std::string::npos)
            end = query.size();
        std::string_view pair(query.data() + start, end - start);
        size_t eq = pair.find('=');
        if (Decoded(pair.substr(0, eq)) == key) {
            value = eq == std::string_view::npos ? std::string() : Decoded(pair.substr(eq + 1));
            return true;
        }
        start = end + 1;
    }
    return false;
}

bool WholeNumber(const std::string& text, std::int64_t& value) {
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && ec == std::errc() && ptr == text.data() + text.size();
}

}  // namespace

bool DeviceDataJsonText(IDeviceStateSource& source, CDeviceTrendReader& reader,
                        const std::string& name, const std::string& query, std::int64_t now,
                        std::string& body, std::string& status) {
    auto fail = [&](const char* code, const std::string& error) {
        status = code;
        body = JsonText(nlohmann::json{{"error", error}, {"name", name}});
        return false;
    };
    bool known = false;
    for (const DeviceStateRecord& state : source.DeviceStates())
        known = known || state.name == name;
    if (!known)
        return fail("404 Resource not found", "no such device");
    TrendRequest request;
    request.now = now;
    request.to = now;
    std::string text;
    std::int64_t number = 0;
    if (QueryValue(query, "to", text)) {
        if (!WholeNumber(text, number))
            return fail("400 Bad Request", "to: seconds since 1970 expected");
        request.to = number;
    }
    request.from = request.to - 3600;
    if (QueryValue(query, "from", text)) {
        if (!WholeNumber(text, number))
            return fail("400 Bad Request", "from: seconds since 1970 expected");
        request.from = number;
    }
    if (QueryValue(query, "max_points", text)) {
        if (!WholeNumber(text, number) || number < 1 ||
            number > static_cast<std::int64_t>(TrendRequest::kMaxMaxPoints))
            return fail("400 Bad Request", "max_points: 1 to 20000 expected");
        request.maxPoints = static_cast<size_t>(number);
    }
    if (request.from > request.to)
        return fail("400 Bad Request", "from is after to");
    if (request.to - request.from > TrendRequest::kMaxRange)
        return fail("400 Bad Request", "at most 31 days at once");
    const std::string folder = source.DataLogsFolder();
    const Trend trend =
        folder.empty() ? BuildTrend({}, request) : reader.Read(folder, name, request);
    body = TrendJsonText(name, request, trend);
    status = "200 OK";
    return true;
}

void RegisterJsonApi(CHttpServer& server, IDeviceStateSource& source) {
    IDeviceStateSource* s = &source;
    auto json = [](std::string body) {
        CHttpServer::RouteReply reply;
        reply.contentType = kJsonContentType;
        reply.body = std::move(body);
        return reply;
    };
    server.AddReplyRoute("/api/devices",
                         [s, json](const std::string&) { return json(DevicesJsonText(*s)); });
    auto trends = std::make_shared<CDeviceTrendReader>();
    server.AddQueryReplyRoute(
        "/api/devices/",
        [s, json, trends](const std::string& rest, const std::string& query) {
            constexpr std::string_view kData = "/data";
            if (rest.size() > kData.size() &&
                rest.compare(rest.size() - kData.size(), kData.size(), kData) == 0) {
                std::string body, status;
                DeviceDataJsonText(*s, *trends, rest.substr(0, rest.size() - kData.size()), query,
                                   static_cast<std::int64_t>(std::time(nullptr)), body, status);
                CHttpServer::RouteReply reply = json(body);
                reply.status = status;
                return reply;
            }
            const std::string& name = rest;
            std::string body;
            if (DeviceJsonText(*s, name, body)) {
                return json(body);
            }
            CHttpServer::RouteReply reply =
                json(JsonText(nlohmann::json{{"error", "no such device"}, {"name", name}}));
            reply.status = "404 Resource not found";
            return reply;
        },
        true);
    server.AddReplyRoute("/api/alarms",
                         [s, json](const std::string&) { return json(AlarmsJsonText(*s)); });
}

}  // namespace zm
