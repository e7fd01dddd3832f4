#include "integration/JsonApi.h"

#include <nlohmann/json.hpp>

#include "web/HttpServer.h"

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
    server.AddReplyRoute(
        "/api/devices/",
        [s, json](const std::string& name) {
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
