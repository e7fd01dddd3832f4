// The simulator's text side: sensor specs, data sources and control lines.
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "SimBus.h"
#include "base/Printf.h"
#include "device/zor/ZorFrame.h"

namespace zm::sim {

namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator)) {
        parts.push_back(part);
    }
    return parts;
}

std::string Trim(const std::string& text) {
    size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return {};
    }
    size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

bool ParseDouble(const std::string& text, double& value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end && *end == '\0' && std::isfinite(value);
}

bool ParseInt(const std::string& text, long lo, long hi, long& value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    // Decimal, or hexadecimal with "0x"; a leading zero does not make octal of an address.
    bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    value = std::strtol(text.c_str(), &end, hex ? 16 : 10);
    return end && *end == '\0' && value >= lo && value <= hi;
}

// Largest data answer that still fits the protocol's 512-byte payload with a state record.
constexpr int kMaxRecords = (kZorMaxPayload - static_cast<int>(ZorState::kSize)) / 8;

}  // namespace

bool DataSource::Parse(const std::string& text, std::string& error) {
    std::vector<std::string> parts = Split(text, ':');
    if (parts.empty()) {
        error = "empty source";
        return false;
    }
    DataSource next;
    const std::string& name = parts[0];
    auto numbers = [&](size_t count) {
        if (parts.size() != count + 1) {
            error = StrPrintf("source %s needs %d numbers", name.c_str(), static_cast<int>(count));
            return false;
        }
        double* targets[] = {&next.a, &next.b, &next.c, &next.d};
        for (size_t i = 0; i < count; ++i) {
            if (!ParseDouble(parts[i + 1], *targets[i])) {
                error = StrPrintf("bad number '%s'", parts[i + 1].c_str());
                return false;
            }
        }
        return true;
    };
    if (name == "constant") {
        next.kind = kConstant;
        if (!numbers(1)) {
            return false;
        }
    } else if (name == "ramp") {
        next.kind = kRamp;
        if (!numbers(2)) {
            return false;
        }
    } else if (name == "sine") {
        next.kind = kSine;
        if (!numbers(3)) {
            return false;
        }
        if (next.c <= 0) {
            error = "sine period must be positive";
            return false;
        }
    } else if (name == "drift") {
        next.kind = kDrift;
        if (!numbers(4)) {
            return false;
        }
        if (next.c <= 0 || next.d <= 0 || next.d > next.c) {
            error = "drift needs 0 < WIDTH <= PERIOD (seconds)";
            return false;
        }
    } else if (name == "list") {
        next.kind = kList;
        if (parts.size() != 2) {
            error = "list needs values separated by ';'";
            return false;
        }
        for (const std::string& item : Split(parts[1], ';')) {
            double v;
            // Non-finite values let tests send what a faulty sensor might.
            const std::string word = Trim(item);
            if (word == "nan" || word == "inf" || word == "-inf") {
                next.list.push_back(std::strtod(word.c_str(), nullptr));
                continue;
            }
            if (!ParseDouble(word, v)) {
                error = StrPrintf("bad list value '%s'", item.c_str());
                return false;
            }
            next.list.push_back(v);
        }
        if (next.list.empty()) {
            error = "empty list";
            return false;
        }
    } else {
        error = StrPrintf("unknown source '%s'", name.c_str());
        return false;
    }
    *this = next;
    return true;
}

std::string DataSource::Describe() const {
    switch (kind) {
        case kConstant:
            return StrPrintf("constant:%g", a);
        case kRamp:
            return StrPrintf("ramp:%g:%g", a, b);
        case kSine:
            return StrPrintf("sine:%g:%g:%g", a, b, c);
        case kList:
            return StrPrintf("list(%d values, next %d)", static_cast<int>(list.size()),
                             static_cast<int>(nextInList));
        case kDrift:
            return StrPrintf("drift:%g:%g:%g:%g", a, b, c, d);
    }
    return "?";
}

bool SimBus::ApplySensorSpec(const std::string& spec, std::string& error, bool create) {
    std::vector<std::pair<std::string, std::string>> items;
    std::optional<long> address;
    for (const std::string& raw : Split(spec, ',')) {
        std::string item = Trim(raw);
        if (item.empty()) {
            continue;
        }
        size_t eq = item.find('=');
        if (eq == std::string::npos) {
            error = StrPrintf("'%s' is not key=value", item.c_str());
            return false;
        }
        std::string key = Trim(item.substr(0, eq));
        std::string value = Trim(item.substr(eq + 1));
        if (key == "addr") {
            long a;
            if (!ParseInt(value, 1, 255, a)) {
                error = StrPrintf("bad address '%s' (1 to 255)", value.c_str());
                return false;
            }
            address = a;
        } else {
            items.emplace_back(key, value);
        }
    }
    if (!address) {
        error = "addr= is missing";
        return false;
    }
    auto it = m_sensors.find(static_cast<uint8_t>(*address));
    if (!create && it == m_sensors.end()) {
        error = StrPrintf("no sensor at %ld", *address);
        return false;
    }
    SimSensor sensor;
    if (it != m_sensors.end()) {
        sensor = it->second;
    } else {
        sensor.address = static_cast<uint8_t>(*address);
        sensor.params = DefaultZorParams(StrPrintf("SIM-%03ld", *address));
        sensor.params.SetAddress(sensor.address);
    }
    for (const auto& [key, value] : items) {
        double d = 0;
        long n = 0;
        auto number = [&] {
            if (!ParseDouble(value, d)) {
                error = StrPrintf("%s: bad number '%s'", key.c_str(), value.c_str());
                return false;
            }
            return true;
        };
        auto tenths = [&](double scale) {
            if (!number()) {
                return false;
            }
            double raw = std::round(d * scale);
            if (raw < -32768 || raw > 32767) {
                error = StrPrintf("%s: out of range", key.c_str());
                return false;
            }
            return true;
        };
        if (key == "type") {
            std::vector<std::string> parts = Split(value, '.');
            if (parts.size() != 4) {
                error = "type needs four numbers a.b.c.d";
                return false;
            }
            for (size_t i = 0; i < 4; ++i) {
                if (!ParseInt(parts[i], 0, 255, n)) {
                    error = StrPrintf("type: bad number '%s'", parts[i].c_str());
                    return false;
                }
                sensor.type.bytes[i] = static_cast<uint8_t>(n);
            }
        } else if (key == "params") {
            if (value != "182" && value != "180") {
                error = "params is 182 or 180";
                return false;
            }
            sensor.oldParams = value == "180";
        } else if (key == "state") {
            if (value != "20" && value != "10") {
                error = "state is 20 or 10";
                return false;
            }
            sensor.shortState = value == "10";
        } else if (key == "records") {
            if (!ParseInt(value, 0, kMaxRecords, n)) {
                error = StrPrintf("records is 0 to %d", kMaxRecords);
                return false;
            }
            sensor.recordsPerAnswer = static_cast<int>(n);
        } else if (key == "source") {
            if (!sensor.source.Parse(value, error)) {
                return false;
            }
        } else if (key == "value") {
            if (!number()) {
                return false;
            }
            sensor.source = DataSource{};
            sensor.source.a = d;
        } else if (key == "bkg") {
            if (value == "auto") {
                sensor.background.reset();
            } else if (value == "nan") {
                sensor.background = std::strtod("nan", nullptr);
            } else if (number()) {
                sensor.background = d;
            } else {
                return false;
            }
        } else if (key == "alarm" && value == "auto") {
            sensor.alarmFollowsSignal = true;
        } else if (key == "alarm" || key == "invalid") {
            if (value != "0" && value != "1") {
                error = key == "alarm" ? "alarm is 0, 1 or auto" : "invalid is 0 or 1";
                return false;
            }
            if (key == "alarm") {
                sensor.alarmFollowsSignal = false;
                sensor.state.SetAlarm(value == "1");
            } else {
                sensor.state.SetValuesInvalid(value == "1");
            }
        } else if (key == "pressure" || key == "temperature" || key == "sealevel") {
            if (!tenths(10)) {
                return false;
            }
            size_t offset = key == "pressure" ? 4 : key == "temperature" ? 6 : 8;
            sensor.state.SetI16(offset, static_cast<int16_t>(std::round(d * 10)));
        } else if (key == "fluobkg") {
            if (!number()) {
                return false;
            }
            sensor.state.SetFluoBkg(static_cast<float>(d));
        } else if (key.rfind("statebyte.", 0) == 0) {
            long index;
            if (!ParseInt(key.substr(10), 0, ZorState::kSize - 1, index) ||
                !ParseInt(value, 0, 255, n)) {
                error = "statebyte.N=V with N 0 to 19 and V 0 to 255";
                return false;
            }
            sensor.state.bytes[static_cast<size_t>(index)] = static_cast<uint8_t>(n);
        } else if (key == "devnum" || key == "param.DeviceNum") {
            sensor.params.SetDeviceNum(value);
        } else if (key.rfind("param.", 0) == 0) {
            std::string field = key.substr(6);
            if (!FindZorParamField(field)) {
                error = StrPrintf("unknown parameter '%s'", field.c_str());
                return false;
            }
            if (!number() || !sensor.params.SetField(field, d)) {
                error = StrPrintf("%s: value '%s' does not fit", key.c_str(), value.c_str());
                return false;
            }
        } else {
            error = StrPrintf("unknown key '%s'", key.c_str());
            return false;
        }
    }
    m_sensors[sensor.address] = sensor;
    return true;
}

std::string SimBus::Describe() const {
    std::string text;
    for (const auto& [address, s] : m_sensors) {
        text += StrPrintf(
            "sensor addr=%d type=%s params=%d state=%d records=%d source=%s alarm=%s "
            "MinSigThr=%g MaxSigThr=%g\n",
            address, s.type.VersionText().c_str(), s.oldParams ? 180 : 182, s.shortState ? 10 : 20,
            s.recordsPerAnswer, s.source.Describe().c_str(),
            s.alarmFollowsSignal ? "auto"
            : s.state.Alarm()    ? "1"
                                 : "0",
            static_cast<double>(s.params.MinSigThr()), static_cast<double>(s.params.MaxSigThr()));
    }
    if (m_rangeFinder) {
        text += StrPrintf("rangefinder addr=101 count=%d\n", *m_rangeFinder);
    }
    return text;
}

std::string SimBus::Control(const std::string& line, bool& quit) {
    std::istringstream in(line);
    std::string command;
    in >> command;
    std::vector<std::string> args;
    for (std::string word; in >> word;) {
        args.push_back(word);
    }
    std::string error;
    if (command.empty() || command[0] == '#') {
        return "OK";
    }
    if (command == "set" || command == "add") {
        // set ADDR key=value[,key=value]   or   set ADDR key value
        if (args.size() < 2) {
            return "ERR usage: set ADDR key=value[,key=value...]";
        }
        std::string spec = "addr=" + args[0] + ",";
        if (args.size() == 3 && args[1].find('=') == std::string::npos) {
            spec += args[1] + "=" + args[2];
        } else {
            for (size_t i = 1; i < args.size(); ++i) {
                spec += args[i] + ",";
            }
        }
        if (!ApplySensorSpec(spec, error, command == "add")) {
            return "ERR " + error;
        }
        return "OK";
    }
    if (command == "remove") {
        long a;
        if (args.size() != 1 || !ParseInt(args[0], 1, 255, a) ||
            m_sensors.erase(static_cast<uint8_t>(a)) == 0) {
            return "ERR usage: remove ADDR (an existing sensor)";
        }
        return "OK";
    }
    if (command == "rf") {
        long count;
        if (args.size() == 1 && args[0] == "off") {
            m_rangeFinder.reset();
            return "OK";
        }
        if (args.size() != 1 || !ParseInt(args[0], 0, 65535, count)) {
            return "ERR usage: rf COUNT (0 to 65535) | rf off";
        }
        m_rangeFinder = static_cast<int>(count);
        return "OK";
    }
    if (command == "fault") {
        static const std::pair<const char*, Fault::Kind> kKinds[] = {
            {"drop", Fault::kDrop},   {"crc", Fault::kCrc},         {"truncate", Fault::kTruncate},
            {"delay", Fault::kDelay}, {"garbage", Fault::kGarbage}, {"len600", Fault::kLength600},
            {"close", Fault::kClose}, {"trickle", Fault::kTrickle}};
        if (args.empty() || args.size() > 3) {
            return "ERR usage: fault KIND [N [ARG]]";
        }
        Fault fault;
        bool found = false;
        for (const auto& [name, kind] : kKinds) {
            if (args[0] == name) {
                fault.kind = kind;
                found = true;
            }
        }
        long n = 1, arg = 0;
        if (!found) {
            return "ERR unknown fault '" + args[0] + "'";
        }
        if ((args.size() >= 2 && !ParseInt(args[1], 1, 1000000, n)) ||
            (args.size() == 3 && !ParseInt(args[2], 0, 600000, arg))) {
            return "ERR usage: fault KIND [N [ARG]]";
        }
        fault.remaining = static_cast<int>(n);
        fault.arg = static_cast<int>(arg);
        m_faults.push_back(fault);
        return "OK";
    }
    if (command == "clear") {
        m_faults.clear();
        return "OK";
    }
    if (command == "latency") {
        long ms;
        if (args.size() != 1 || !ParseInt(args[0], 0, 600000, ms)) {
            return "ERR usage: latency MS";
        }
        m_latencyMs = static_cast<int>(ms);
        return "OK";
    }
    if (command == "baud") {
        long baud;
        if (args.size() != 1 || !ParseInt(args[0], 0, 4000000, baud)) {
            return "ERR usage: baud N (0 = no line time)";
        }
        m_baud = static_cast<int>(baud);
        return "OK";
    }
    if (command == "stats") {
        return StrPrintf(
            "OK requests=%llu replies=%llu faults=%d", static_cast<unsigned long long>(m_requests),
            static_cast<unsigned long long>(m_replies), static_cast<int>(m_faults.size()));
    }
    if (command == "show") {
        // One line per answer, so that scripts can read the control port line by line.
        std::string text = Describe();
        for (char& c : text) {
            c = c == '\n' ? ';' : c;
        }
        return "OK " + text;
    }
    if (command == "quit") {
        quit = true;
        return "OK";
    }
    return "ERR unknown command '" + command +
           "' (set, add, remove, rf, fault, clear, latency, "
           "stats, show, quit)";
}

}  // namespace zm::sim
