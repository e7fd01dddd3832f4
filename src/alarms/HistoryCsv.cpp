#include <charconv>
#include <ctime>

#include "alarms/AlarmOperations.h"

namespace zm::alarms {

namespace {

// RFC 4180 quoting; a text a spreadsheet would run as a formula gets a leading apostrophe,
// since names and comments come from operators and the network.
std::string Field(const std::string& text) {
    std::string value = text;
    if (!value.empty() && (value[0] == '=' || value[0] == '+' || value[0] == '-' ||
                           value[0] == '@' || value[0] == '\t' || value[0] == '\r')) {
        value.insert(0, 1, '\'');
    }
    if (value.find_first_of(",\"\r\n") == std::string::npos) {
        return value;
    }
    std::string quoted = "\"";
    for (char c : value) {
        if (c == '"') {
            quoted += '"';
        }
        quoted += c;
    }
    return quoted + "\"";
}

std::string LocalTime(std::int64_t when) {
    if (when == 0) {
        return {};
    }
    const std::time_t t = static_cast<std::time_t>(when);
    std::tm local{};
    localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

std::string Number(double value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

}  // namespace

std::string HistoryCsv(const std::vector<AlarmRecord>& alarms) {
    std::string csv =
        "id,device,opened,returned,duration_s,maximum,state,acknowledged_by,acknowledged_at,"
        "comment\r\n";
    for (const AlarmRecord& a : alarms) {
        csv += std::to_string(a.id);
        csv += ',' + Field(a.device);
        csv += ',' + LocalTime(a.opened);
        csv += ',' + LocalTime(a.returned);
        csv += ',' + (a.returned != 0 ? std::to_string(a.returned - a.opened) : std::string());
        csv += ',' + Number(a.maxValue);
        csv += ',' + std::string(StateName(a.state));
        csv += ',' + Field(a.ackedBy);
        csv += ',' + LocalTime(a.ackedAt);
        csv += ',' + Field(a.comment);
        csv += "\r\n";
    }
    return csv;
}

}  // namespace zm::alarms
