#include "base/DateTimeText.h"

#include <cinttypes>
#include <cstdlib>

#include "base/Printf.h"

namespace zm {
namespace {

using std::chrono::milliseconds;

// Seconds between 1601-01-01 and 1970-01-01.
constexpr std::int64_t kFileTimeEpochSeconds = 11644473600;

bool Breakdown(TimePointMs when, bool toLocal, std::tm& parts, int& millis) {
    auto ms = when.time_since_epoch().count();
    auto seconds = ms / 1000;
    auto rest = ms % 1000;
    if (rest < 0) {  // floor for times before 1970
        rest += 1000;
        seconds -= 1;
    }
    std::time_t t = static_cast<std::time_t>(seconds);
    millis = static_cast<int>(rest);
    if ((toLocal ? localtime_r(&t, &parts) : gmtime_r(&t, &parts)) == nullptr) {
        return false;
    }
    // The years a platform file time can hold; anything else is a corrupt value.
    const int year = parts.tm_year + 1900;
    return year >= 1601 && year <= 30827;
}

// Whether text holds a stamp of the shape given: '9' stands for a digit, anything else
// for itself.
bool HasShape(std::string_view text, std::string_view shape) {
    if (text.size() != shape.size()) {
        return false;
    }
    for (size_t i = 0; i < shape.size(); ++i) {
        bool digit = text[i] >= '0' && text[i] <= '9';
        if (shape[i] == '9' ? !digit : text[i] != shape[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace

TimePointMs NowMs() {
    return std::chrono::time_point_cast<milliseconds>(std::chrono::system_clock::now());
}

TimePointMs TimeFromFileTime(std::uint64_t fileTime) {
    auto ms = static_cast<std::int64_t>(fileTime / 10000) - kFileTimeEpochSeconds * 1000;
    return TimePointMs(milliseconds(ms));
}

std::uint64_t FileTimeFromTime(TimePointMs time) {
    auto ms = time.time_since_epoch().count() + kFileTimeEpochSeconds * 1000;
    return ms < 0 ? 0 : static_cast<std::uint64_t>(ms) * 10000;
}

std::string FormatDateTime(std::optional<TimePointMs> when, bool toLocal, bool withDate,
                           bool withTime, bool withMilliseconds, std::string_view dateSep,
                           std::string_view dateTimeSep, std::string_view timeSep, bool yearFirst) {
    std::tm parts{};
    int millis = 0;
    if (!Breakdown(when.value_or(NowMs()), toLocal, parts, millis)) {
        return "<wrong time>";
    }
    const std::string ds(dateSep), dts(dateTimeSep), ts(timeSep);
    const int year = parts.tm_year + 1900;
    std::string text;
    if (withDate) {
        text = yearFirst ? StrPrintf("%04d%s%02d%s%02d", year, ds.c_str(), parts.tm_mon + 1,
                                     ds.c_str(), parts.tm_mday)
                         : StrPrintf("%02d%s%02d%s%04d", parts.tm_mday, ds.c_str(),
                                     parts.tm_mon + 1, ds.c_str(), year);
    }
    if (withTime) {
        if (withDate) {
            text += dts;
        }
        text += StrPrintf("%02d%s%02d%s%02d", parts.tm_hour, ts.c_str(), parts.tm_min, ts.c_str(),
                          parts.tm_sec);
        if (withMilliseconds) {
            text += StrPrintf(".%03d", millis);
        }
    }
    return text;
}

std::string FormatDuration(std::int64_t seconds) {
    // Unsigned, so that the most negative count has a size too.
    std::uint64_t size =
        seconds < 0 ? 0 - static_cast<std::uint64_t>(seconds) : static_cast<std::uint64_t>(seconds);
    const std::uint64_t days = size / 86400;
    const unsigned hours = static_cast<unsigned>(size % 86400 / 3600);
    const unsigned minutes = static_cast<unsigned>(size % 3600 / 60);
    const unsigned secs = static_cast<unsigned>(size % 60);

    std::string text;
    auto add = [&](std::uint64_t value, const std::string& number, const char* unit) {
        if (value == 0) {
            return;
        }
        text += StrPrintf("%s%s %s%s", text.empty() ? "" : ", ", number.c_str(), unit,
                          value == 1 ? "" : "s");
    };
    add(days, StrPrintf("%" PRIu64, days), "day");
    add(hours, StrPrintf("%02u", hours), "hour");
    add(minutes, StrPrintf("%02u", minutes), "minute");
    add(secs, StrPrintf("%02u", secs), "second");
    if (seconds < 0 && !text.empty()) {
        text.insert(0, "-");
    }
    return text;
}

std::string StampName(const std::string& name, std::optional<TimePointMs> when, int mode) {
    const TimePointMs time = when.value_or(NowMs());
    std::string stamp;
    std::string_view shape;
    switch (mode) {
        case kStampBracketed:
            stamp = "(" + FormatDateTime(time, true, true, true, false, "-", " ", "-", true) + ")";
            shape = "(9999-99-99 99-99-99)";
            break;
        case kStampDate:
            stamp = FormatDateTime(time, true, true, false, false, "-", "", "", true);
            shape = "9999-99-99";
            break;
        default:
            stamp = "_" + FormatDateTime(time, true, true, true, false, "-", "_", "-", true);
            shape = "_9999-99-99_99-99-99";
            break;
    }
    std::string base = name;
    if (base.size() >= shape.size() &&
        HasShape(std::string_view(base).substr(base.size() - shape.size()), shape)) {
        base.resize(base.size() - shape.size());
    }
    return base + stamp;
}

namespace {

std::string LocalFormatted(const char* format, std::optional<std::time_t> when) {
    std::time_t t = when.value_or(std::time(nullptr));
    std::tm parts{};
    if (localtime_r(&t, &parts) == nullptr) {
        return {};
    }
    char text[256];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    // Callers' formats are literals: the attribute on LocalTimeText checks them.
    size_t length = std::strftime(text, sizeof text, format, &parts);
#pragma GCC diagnostic pop
    return std::string(text, length);
}

}  // namespace

std::string LocalTimeText(const char* format, std::optional<std::time_t> when) {
    return LocalFormatted(format, when);
}

std::string LocalDateTimeC(std::optional<std::time_t> when) {
    return LocalFormatted("%c", when);
}

}  // namespace zm
