#include "integration/JsonApi.h"

#include <memory>

#include <nlohmann/json.hpp>

#include <charconv>
#include <ctime>

#include "integration/ApiBody.h"
#include "integration/DeviceTrend.h"
#include "web/ApiAccess.h"

namespace zm {

std::string DevicesJsonText(IDeviceStateSource& source) {
    nlohmann::json devices = nlohmann::json::array();
    for (const DeviceStateRecord& state : source.DeviceStates()) {
        devices.push_back(ToJson(state));
    }
    const OutboxSummaryRecord outbox = source.Outbox();
    nlohmann::json summary{{"pending", outbox.pending}, {"oldestFailingSince", nullptr}};
    if (outbox.oldestFailingSince > 0) {
        summary["oldestFailingSince"] = IsoTimeUtc(outbox.oldestFailingSince);
    }
    return JsonText(
        nlohmann::json{{"station", source.Station()}, {"devices", devices}, {"outbox", summary}});
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

// The value of one query parameter; false when it is not there.
bool QueryValue(const std::string& query, std::string_view key, std::string& value) {
    for (size_t start = 0; start <= query.size();) {
        size_t end = query.find('&', start);
        if (end == std::string::npos)
            end = query.size();
        std::string_view pair(query.data() + start, end - start);
        size_t eq = pair.find('=');
        if (PercentDecode(pair.substr(0, eq), true) == key) {
            value = eq == std::string_view::npos ? std::string()
                                                 : PercentDecode(pair.substr(eq + 1), true);
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

CHttpServer::RequestReply CJsonApi::Handle(const HttpRequest& request) {
    const std::vector<std::string> segments = request.Segments();
    if (segments.size() >= 2 && segments[0] == "api") {
        if (segments[1] == "devices") {
            return Devices(request, segments);
        }
        if (segments[1] == "alarms") {
            return Alarms(request, segments);
        }
    }
    return JsonError("404 Resource not found", "no such route");
}

CHttpServer::RequestReply CJsonApi::DeviceReply(const std::string& name) {
    std::string body;
    if (!DeviceJsonText(source_, name, body)) {
        Reply reply = JsonError("404 Resource not found", "no such device");
        reply.body = JsonText(nlohmann::json{{"error", "no such device"}, {"name", name}});
        return reply;
    }
    return JsonReply("200 OK", std::move(body));
}

CHttpServer::RequestReply CJsonApi::Devices(const HttpRequest& request,
                                            const std::vector<std::string>& segments) {
    // An unescaped "/" in a name is taken as part of it, as the device route always did.
    auto nameOf = [&](size_t end) {
        std::string name = segments[2];
        for (size_t i = 3; i < end; ++i) {
            name += "/" + segments[i];
        }
        return name;
    };
    const std::string& last = segments.back();
    const bool suppression = segments.size() >= 4 && (last == "shelve" || last == "out-of-service");
    if (suppression) {
        return Suppression(request, nameOf(segments.size() - 1), last == "shelve");
    }
    if (request.method != "GET") {
        return MethodNotAllowed("GET");
    }
    const CApiAccess::Decision decision = access_.Check(request, CApiAccess::Need::Read);
    if (!decision.allowed) {
        return decision.refusal;
    }
    if (segments.size() >= 4 && last == "data") {
        return DeviceData(request, nameOf(segments.size() - 1));
    }
    if (segments.size() == 2) {
        return JsonReply("200 OK", DevicesJsonText(source_));
    }
    return DeviceReply(nameOf(segments.size()));
}

CHttpServer::RequestReply CJsonApi::DeviceData(const HttpRequest& request,
                                               const std::string& device) {
    std::string body, status;
    CDeviceTrendReader unkept;
    DeviceDataJsonText(source_, trends_ ? *trends_ : unkept, device, request.query,
                       static_cast<std::int64_t>(std::time(nullptr)), body, status);
    return JsonReply(status, std::move(body));
}

void RegisterJsonApi(CHttpServer& server, IDeviceStateSource& source,
                     std::function<alarms::AlarmOperations*()> alarms, CApiAccess& access) {
    IDeviceStateSource* s = &source;
    CApiAccess* a = &access;
    auto trends = std::make_shared<CDeviceTrendReader>();
    server.AddRequestRoute(
        "/api/", [s, alarms = std::move(alarms), a, trends](const HttpRequest& request) {
            return CJsonApi(*s, alarms ? alarms() : nullptr, *a, trends.get()).Handle(request);
        });
}

}  // namespace zm
