// The alarm routes of the JSON API: lists, history, statistics and the operator's writes.
#include <cstdlib>
#include <ctime>

#include <nlohmann/json.hpp>

#include "alarms/AlarmOperations.h"
#include "integration/ApiBody.h"
#include "integration/JsonApi.h"
#include "web/ApiAccess.h"

namespace zm {

namespace {

using Reply = CHttpServer::RequestReply;

Reply FromOpResult(const alarms::OpResult& result) {
    switch (result.status) {
        case alarms::OpStatus::Ok:
            break;
        case alarms::OpStatus::NotFound:
            return JsonError("404 Resource not found", result.error);
        case alarms::OpStatus::BadInput:
            return JsonError("400 Bad Request", result.error);
        case alarms::OpStatus::Forbidden:
            return JsonError("403 Forbidden", result.error);
    }
    return JsonError("500 Internal Server Error", "unexpected outcome");
}

Reply Unavailable() {
    return JsonError("503 Service Unavailable", "the alarm lifecycle is not running");
}

// A text field of the body within the limit; `required` refuses a missing or blank one.
std::optional<Reply> CheckText(const nlohmann::json& body, const char* name, bool required,
                               std::size_t limit, std::string* out) {
    if (body.contains(name)) {
        *out = body[name].get<std::string>();
    }
    if (required && out->find_first_not_of(" \t\r\n") == std::string::npos) {
        return JsonError("400 Bad Request", std::string("the field \"") + name + "\" is required");
    }
    if (Utf8Length(*out) > limit) {
        return JsonError("400 Bad Request", std::string("the field \"") + name +
                                                "\" is longer than " + std::to_string(limit) +
                                                " characters");
    }
    return std::nullopt;
}

alarms::Actor ActorOf(const CApiAccess::Decision& decision, const HttpRequest& request) {
    return alarms::Actor{decision.user, request.clientAddress};
}

}  // namespace

CHttpServer::RequestReply CJsonApi::Alarms(const HttpRequest& request,
                                           const std::vector<std::string>& segments) {
    const bool write = segments.size() == 3 && segments[2] == "ack-all";
    const bool ack = segments.size() == 4 && segments[3] == "ack";
    if (write || ack) {
        if (request.method != "POST") {
            return MethodNotAllowed("POST");
        }
        if (alarms_ == nullptr) {
            return Unavailable();
        }
        return write ? AcknowledgeAll(request) : Acknowledge(request, segments[2]);
    }
    if (request.method != "GET") {
        return MethodNotAllowed("GET");
    }
    if (segments.size() > 3 ||
        (segments.size() == 3 && segments[2] != "history" && segments[2] != "stats")) {
        return JsonError("404 Resource not found", "no such route");
    }
    const CApiAccess::Decision decision = access_.Check(request, CApiAccess::Need::Read);
    if (!decision.allowed) {
        return decision.refusal;
    }
    if (segments.size() == 2) {
        return AlarmList();
    }
    if (alarms_ == nullptr) {
        return Unavailable();
    }
    return segments[2] == "history" ? History(request) : Statistics(request);
}

CHttpServer::RequestReply CJsonApi::AlarmList() {
    if (alarms_ == nullptr) {
        return JsonReply("200 OK", AlarmsJsonText(source_));
    }
    nlohmann::json list = nlohmann::json::array();
    for (const alarms::AlarmRecord& alarm : alarms_->OpenAlarms()) {
        list.push_back(ToJson(alarm));
    }
    return JsonReply("200 OK",
                     JsonText(nlohmann::json{{"station", source_.Station()}, {"alarms", list}}));
}

CHttpServer::RequestReply CJsonApi::History(const HttpRequest& request) {
    const auto parameters = request.QueryParameters();
    auto get = [&](const char* name) {
        auto it = parameters.find(name);
        return it == parameters.end() ? std::string() : it->second;
    };
    alarms::HistoryQuery query;
    const std::string from = get("from"), to = get("to"), format = get("format"),
                      limit = get("limit");
    if (!from.empty()) {
        const auto t = ParseApiTime(from, false);
        if (!t) {
            return JsonError("400 Bad Request", "\"from\" is not YYYY-MM-DD or an ISO 8601 time");
        }
        query.from = *t;
    }
    if (!to.empty()) {
        const auto t = ParseApiTime(to, true);
        if (!t) {
            return JsonError("400 Bad Request", "\"to\" is not YYYY-MM-DD or an ISO 8601 time");
        }
        query.to = *t;
    }
    if (query.to != 0 && query.to <= query.from) {
        return JsonError("400 Bad Request", "\"to\" is not after \"from\"");
    }
    if (!limit.empty()) {
        char* end = nullptr;
        const long n = std::strtol(limit.c_str(), &end, 10);
        if (end == limit.c_str() || *end != '\0' || n < 1 || n > 1000000) {
            return JsonError("400 Bad Request", "\"limit\" must be a number from 1 to 1000000");
        }
        query.limit = static_cast<std::size_t>(n);
    }
    if (format != "" && format != "json" && format != "csv") {
        return JsonError("400 Bad Request", "\"format\" must be json or csv");
    }
    query.device = get("device");
    const std::vector<alarms::AlarmRecord> history = alarms_->History(query);
    if (format == "csv") {
        Reply reply;
        reply.contentType = "text/csv; charset=utf-8";
        reply.body = alarms::HistoryCsv(history);
        return reply;
    }
    nlohmann::json list = nlohmann::json::array();
    for (const alarms::AlarmRecord& alarm : history) {
        list.push_back(ToJson(alarm));
    }
    nlohmann::json json{
        {"station", source_.Station()},
        {"from", IsoTimeUtc(query.from)},
        {"to", query.to != 0 ? nlohmann::json(IsoTimeUtc(query.to)) : nlohmann::json(nullptr)},
        {"alarms", list}};
    if (!query.device.empty()) {
        json["device"] = query.device;
    }
    return JsonReply("200 OK", JsonText(json));
}

CHttpServer::RequestReply CJsonApi::Statistics(const HttpRequest& request) {
    const auto parameters = request.QueryParameters();
    int days = 30;
    auto it = parameters.find("days");
    if (it != parameters.end()) {
        char* end = nullptr;
        const long n = std::strtol(it->second.c_str(), &end, 10);
        if (end == it->second.c_str() || *end != '\0' || n < 1 || n > 3660) {
            return JsonError("400 Bad Request", "\"days\" must be a number from 1 to 3660");
        }
        days = static_cast<int>(n);
    }
    const alarms::AlarmStatistics stats = alarms_->Statistics(days);
    auto counts = [](const std::vector<alarms::DeviceCount>& list) {
        nlohmann::json out = nlohmann::json::array();
        for (const auto& c : list) {
            out.push_back({{"device", c.device}, {"count", c.count}});
        }
        return out;
    };
    nlohmann::json perDay = nlohmann::json::array();
    for (const auto& d : stats.perDay) {
        perDay.push_back({{"day", d.day}, {"count", d.count}});
    }
    nlohmann::json stale = nlohmann::json::array();
    for (const auto& a : stats.stale) {
        stale.push_back(ToJson(a));
    }
    return JsonReply("200 OK", JsonText(nlohmann::json{
                                   {"station", source_.Station()},
                                   {"days", days},
                                   {"from", IsoTimeUtc(stats.from)},
                                   {"to", IsoTimeUtc(stats.to)},
                                   {"total", stats.total},
                                   {"per_day", perDay},
                                   {"max_per_10_minutes", stats.maxPer10Minutes},
                                   {"flood_share", stats.floodShare},
                                   {"chattering", counts(stats.chattering)},
                                   {"stale", stale},
                                   {"top_devices", counts(stats.topDevices)},
                               }));
}

CHttpServer::RequestReply CJsonApi::Acknowledge(const HttpRequest& request, const std::string& id) {
    const CApiAccess::Decision decision = access_.Check(request, CApiAccess::Need::Operate);
    if (!decision.allowed) {
        return decision.refusal;
    }
    const ParsedBody body = ParseApiBody(request, {{"comment", FieldType::String}});
    if (body.error) {
        return *body.error;
    }
    std::string comment;
    if (auto error =
            CheckText(body.object, "comment", false, alarms::kMaxCommentLength, &comment)) {
        return *error;
    }
    char* end = nullptr;
    const long long number = std::strtoll(id.c_str(), &end, 10);
    if (id.empty() || *end != '\0' || number <= 0) {
        return JsonError("404 Resource not found", "no such alarm");
    }
    alarms::AlarmRecord after;
    const alarms::OpResult result =
        alarms_->Acknowledge(number, ActorOf(decision, request), comment, &after);
    if (!result) {
        return FromOpResult(result);
    }
    return JsonReply("200 OK", JsonText(ToJson(after)));
}

CHttpServer::RequestReply CJsonApi::AcknowledgeAll(const HttpRequest& request) {
    const CApiAccess::Decision decision = access_.Check(request, CApiAccess::Need::Operate);
    if (!decision.allowed) {
        return decision.refusal;
    }
    const ParsedBody body = ParseApiBody(request, {{"comment", FieldType::String}});
    if (body.error) {
        return *body.error;
    }
    std::string comment;
    if (auto error =
            CheckText(body.object, "comment", false, alarms::kMaxCommentLength, &comment)) {
        return *error;
    }
    int count = 0;
    const alarms::OpResult result =
        alarms_->AcknowledgeAll(ActorOf(decision, request), comment, &count);
    if (!result) {
        return FromOpResult(result);
    }
    return JsonReply("200 OK", JsonText(nlohmann::json{{"acknowledged", count}}));
}

CHttpServer::RequestReply CJsonApi::Suppression(const HttpRequest& request,
                                                const std::string& device, bool shelve) {
    if (request.method != "PUT" && request.method != "DELETE") {
        return MethodNotAllowed("PUT, DELETE");
    }
    if (alarms_ == nullptr) {
        return Unavailable();
    }
    const CApiAccess::Decision decision =
        access_.Check(request, shelve ? CApiAccess::Need::Operate : CApiAccess::Need::Administer);
    if (!decision.allowed) {
        return decision.refusal;
    }
    const alarms::Actor actor = ActorOf(decision, request);
    alarms::OpResult result;
    if (request.method == "DELETE") {
        const ParsedBody body = ParseApiBody(request, {});
        if (body.error) {
            return *body.error;
        }
        result =
            shelve ? alarms_->Unshelve(device, actor) : alarms_->ReturnToService(device, actor);
    } else {
        std::map<std::string, FieldType> fields{{"reason", FieldType::String}};
        if (shelve) {
            fields["minutes"] = FieldType::Integer;
        }
        const ParsedBody body = ParseApiBody(request, fields);
        if (body.error) {
            return *body.error;
        }
        std::string reason;
        if (auto error =
                CheckText(body.object, "reason", true, alarms::kMaxReasonLength, &reason)) {
            return *error;
        }
        if (shelve) {
            if (!body.object.contains("minutes")) {
                return JsonError("400 Bad Request", "the field \"minutes\" is required");
            }
            const auto minutes = body.object["minutes"].get<long long>();
            if (minutes < alarms::kMinShelveMinutes || minutes > alarms::kMaxShelveMinutes) {
                return JsonError("400 Bad Request", "\"minutes\" must be from " +
                                                        std::to_string(alarms::kMinShelveMinutes) +
                                                        " to " +
                                                        std::to_string(alarms::kMaxShelveMinutes));
            }
            result = alarms_->Shelve(device, static_cast<int>(minutes), reason, actor);
        } else {
            result = alarms_->TakeOutOfService(device, reason, actor);
        }
    }
    if (!result) {
        return FromOpResult(result);
    }
    return DeviceReply(device);
}

}  // namespace zm
