#include "integration/JsonApi.h"

#include <memory>

#include <nlohmann/json.hpp>

#include "integration/ApiBody.h"
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
    if (segments.size() == 2) {
        return JsonReply("200 OK", DevicesJsonText(source_));
    }
    return DeviceReply(nameOf(segments.size()));
}

void RegisterJsonApi(CHttpServer& server, IDeviceStateSource& source,
                     std::function<alarms::AlarmOperations*()> alarms, CApiAccess& access) {
    IDeviceStateSource* s = &source;
    CApiAccess* a = &access;
    server.AddRequestRoute("/api/", [s, alarms = std::move(alarms), a](const HttpRequest& request) {
        return CJsonApi(*s, alarms ? alarms() : nullptr, *a).Handle(request);
    });
}

}  // namespace zm
