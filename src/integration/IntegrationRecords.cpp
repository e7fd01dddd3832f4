#include "integration/IntegrationRecords.h"

#include <cmath>
#include <ctime>

#include <nlohmann/json.hpp>

#include "base/Printf.h"

namespace zm {

namespace {

// JSON has no NaN or infinity; a sensor's broken value is shown as null.
nlohmann::json Number(double value) {
    return std::isfinite(value) ? nlohmann::json(value) : nlohmann::json(nullptr);
}

nlohmann::json Numbers(const std::vector<float>& values) {
    nlohmann::json list = nlohmann::json::array();
    for (float v : values) {
        list.push_back(Number(v));
    }
    return list;
}

}  // namespace

bool DeviceStateRecord::SameStateAs(const DeviceStateRecord& other) const {
    return name == other.name && status == other.status && statusText == other.statusText &&
           level == other.level && icon == other.icon && latitude == other.latitude &&
           longitude == other.longitude && red == other.red && green == other.green &&
           blue == other.blue && shelvedUntil == other.shelvedUntil &&
           outOfService == other.outOfService && outOfServiceReason == other.outOfServiceReason &&
           unackedAlarms == other.unackedAlarms;
}

std::string IsoTimeUtc(std::int64_t secondsSince1970) {
    const auto t = static_cast<std::time_t>(secondsSince1970);
    std::tm tm{};
    gmtime_r(&t, &tm);
    return StrPrintf("%04d-%02d-%02dT%02d:%02d:%02dZ", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                     tm.tm_hour, tm.tm_min, tm.tm_sec);
}

std::string ColourText(unsigned char red, unsigned char green, unsigned char blue) {
    return StrPrintf("#%02X%02X%02X", red, green, blue);
}

nlohmann::json ToJson(const DeviceStateRecord& state) {
    return nlohmann::json{
        {"name", state.name},
        {"status", state.status},
        {"statusText", state.statusText},
        {"level", state.level},
        {"icon", state.icon},
        {"time", IsoTimeUtc(state.time)},
        {"lat", Number(state.latitude)},
        {"lon", Number(state.longitude)},
        {"value", Number(state.value)},
        {"colour", ColourText(state.red, state.green, state.blue)},
        {"shelvedUntil", state.shelvedUntil != 0 ? nlohmann::json(IsoTimeUtc(state.shelvedUntil))
                                                 : nlohmann::json(nullptr)},
        {"outOfService",
         state.outOfService ? nlohmann::json(state.outOfServiceReason) : nlohmann::json(nullptr)},
        {"unackedAlarms", state.unackedAlarms},
    };
}

nlohmann::json ToJson(const DataPortionRecord& data) {
    return nlohmann::json{
        {"time", IsoTimeUtc(data.time)},
        {"count", data.values.size()},
        {"values", Numbers(data.values)},
        {"backgrounds", Numbers(data.backgrounds)},
    };
}

nlohmann::json ToJson(const AlarmEventRecord& event, bool withEvent) {
    nlohmann::json json;
    if (withEvent) {
        json["event"] = event.event;
    }
    json["device"] = event.device;
    json["time"] = IsoTimeUtc(event.time);
    json["value"] = Number(event.value);
    if (!event.report.empty()) {
        json["report"] = event.report;
    }
    if (event.id != 0) {
        json["id"] = event.id;
    }
    const std::pair<const char*, const std::string*> texts[] = {{"state", &event.state},
                                                                {"by", &event.by},
                                                                {"comment", &event.comment},
                                                                {"reason", &event.reason}};
    for (const auto& [name, text] : texts) {
        if (!text->empty()) {
            json[name] = *text;
        }
    }
    if (event.until != 0) {
        json["until"] = IsoTimeUtc(event.until);
    }
    return json;
}

nlohmann::json ToJson(const alarms::AlarmRecord& alarm) {
    auto time = [](std::int64_t t) {
        return t != 0 ? nlohmann::json(IsoTimeUtc(t)) : nlohmann::json(nullptr);
    };
    auto text = [](const std::string& s) {
        return s.empty() ? nlohmann::json(nullptr) : nlohmann::json(s);
    };
    return nlohmann::json{
        {"id", alarm.id},
        {"device", alarm.device},
        {"state", alarms::StateName(alarm.state)},
        {"opened", time(alarm.opened)},
        {"time", time(alarm.opened)},
        {"returned", time(alarm.returned)},
        {"value", Number(alarm.openValue)},
        {"max", Number(alarm.maxValue)},
        {"acked_by", text(alarm.ackedBy)},
        {"acked_at", time(alarm.ackedAt)},
        {"comment", text(alarm.comment)},
        {"report", text(alarm.report)},
        {"comm_lost", alarm.commLost},
    };
}

std::string JsonText(const nlohmann::json& json) {
    return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace zm
