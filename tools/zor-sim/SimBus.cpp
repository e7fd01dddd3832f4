#include "SimBus.h"

#include <cmath>
#include <cstdlib>
#include <sstream>

#include "base/Printf.h"
#include "device/zor/Crc16.h"
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
    value = std::strtol(text.c_str(), &end, 0);
    return end && *end == '\0' && value >= lo && value <= hi;
}

// Largest data answer that still fits the protocol's 512-byte payload with a state record.
constexpr int kMaxRecords = (kZorMaxPayload - static_cast<int>(ZorState::kSize)) / 8;

}  // namespace

const char* FaultName(Fault::Kind kind) {
    switch (kind) {
        case Fault::kDrop:
            return "drop";
        case Fault::kCrc:
            return "crc";
        case Fault::kTruncate:
            return "truncate";
        case Fault::kDelay:
            return "delay";
        case Fault::kGarbage:
            return "garbage";
        case Fault::kLength600:
            return "len600";
        case Fault::kClose:
            return "close";
    }
    return "?";
}

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
        double* targets[] = {&next.a, &next.b, &next.c};
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
    } else if (name == "list") {
        next.kind = kList;
        if (parts.size() != 2) {
            error = "list needs values separated by ';'";
            return false;
        }
        for (const std::string& item : Split(parts[1], ';')) {
            double v;
            if (!ParseDouble(Trim(item), v)) {
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
    }
    return "?";
}

std::vector<double> DataSource::NextAnswer(int count) {
    std::vector<double> values;
    double listValue = 0;
    if (kind == kList) {
        listValue = list[std::min(nextInList, list.size() - 1)];
        if (nextInList < list.size()) {
            ++nextInList;
        }
    }
    for (int i = 0; i < count; ++i, ++records) {
        switch (kind) {
            case kConstant:
                values.push_back(a);
                break;
            case kRamp:
                values.push_back(a + b * static_cast<double>(records));
                break;
            case kSine:
                values.push_back(a + b * std::sin(2 * M_PI * static_cast<double>(records) / c));
                break;
            case kList:
                values.push_back(listValue);
                break;
        }
    }
    return values;
}

SimBus::Scan SimBus::ScanRequest(std::span<const uint8_t> buffer, size_t& length) const {
    if (buffer.empty()) {
        return Scan::kNeedMore;
    }
    // The range finder's Modbus request: slave 0x65, function 3 (a ZOR request has 0 there).
    if (buffer[0] == kRangeFinderAddress && buffer.size() >= 2 && buffer[1] == 0x03) {
        size_t n = std::min(buffer.size(), kRangeFinderRequest.size());
        if (!std::equal(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n),
                        kRangeFinderRequest.begin())) {
            return Scan::kGarbage;
        }
        if (n < kRangeFinderRequest.size()) {
            return Scan::kNeedMore;
        }
        length = kRangeFinderRequest.size();
        return Scan::kFrame;
    }
    if (buffer[0] == kZorMasterAddress) {
        return Scan::kGarbage;  // responses and noise; a request never goes to the master
    }
    if (buffer.size() >= 2 && buffer[1] != kZorMasterAddress) {
        return Scan::kGarbage;
    }
    if (buffer.size() < kZorHeaderSize) {
        return Scan::kNeedMore;
    }
    int n = buffer[3] | (buffer[4] << 8);
    if (n > kZorMaxPayload) {
        return Scan::kGarbage;
    }
    size_t total = static_cast<size_t>(n) + kZorFrameOverhead;
    if (buffer.size() < total) {
        return Scan::kNeedMore;
    }
    uint16_t crc = Crc16Modbus(buffer.first(total - 2));
    if (buffer[total - 2] != (crc >> 8) || buffer[total - 1] != (crc & 0xFF)) {
        return Scan::kGarbage;
    }
    length = total;
    return Scan::kFrame;
}

std::vector<uint8_t> SimBus::Payload(SimSensor& sensor, uint8_t code, bool& known) {
    known = true;
    std::vector<uint8_t> payload;
    auto appendState = [&] {
        if (sensor.shortState) {
            auto old = sensor.state.ToShort();
            payload.insert(payload.end(), old.begin(), old.end());
        } else {
            payload.insert(payload.end(), sensor.state.bytes.begin(), sensor.state.bytes.end());
        }
    };
    auto appendData = [&] {
        for (double v : sensor.source.NextAnswer(sensor.recordsPerAnswer)) {
            double bkg = sensor.background.value_or(v * 0.25);
            AppendDataRecord(payload, static_cast<float>(v), static_cast<float>(bkg));
        }
    };
    switch (code) {
        case kCmdCheckDevLink:
            break;
        case kCmdGetDevState:
            appendState();
            break;
        case kCmdGetContrType:
            payload.assign(sensor.type.bytes.begin(), sensor.type.bytes.end());
            break;
        case kCmdGetDevParams:
            if (sensor.oldParams) {
                auto old = ToOldParams(sensor.params);
                payload.assign(old.begin(), old.end());
            } else {
                payload.assign(sensor.params.bytes.begin(), sensor.params.bytes.end());
            }
            break;
        case kCmdGetDevDataPortion:
            appendData();
            break;
        case kCmdGetDevStateData:
            appendState();
            appendData();
            break;
        default:
            known = false;
    }
    return payload;
}

Reply SimBus::Answer(std::span<const uint8_t> request) {
    Reply reply;
    ++m_requests;
    if (request.size() == kRangeFinderRequest.size() && request[0] == kRangeFinderAddress &&
        request[1] == 0x03) {
        if (!m_rangeFinder) {
            reply.note = "no range finder";
            return reply;
        }
        int count = *m_rangeFinder;
        uint8_t data[2] = {static_cast<uint8_t>(count >> 8), static_cast<uint8_t>(count & 0xFF)};
        reply.bytes = BuildRangeFinderReply(data);
        reply.note = StrPrintf("range finder count=%d", count);
    } else {
        auto it = m_sensors.find(request[0]);
        if (it == m_sensors.end()) {
            reply.note = StrPrintf("no sensor at %d", request[0]);
            return reply;
        }
        bool known = false;
        std::vector<uint8_t> payload = Payload(it->second, request[2], known);
        if (!known) {
            reply.note = StrPrintf("unknown command %d", request[2]);
            return reply;
        }
        reply.bytes = BuildZorResponse(it->first, request[2], payload);
        reply.note = StrPrintf("payload=%d", static_cast<int>(payload.size()));
    }
    reply.answered = true;
    reply.delayMs = m_latencyMs;
    ApplyFault(reply);
    if (m_baud > 0) {
        reply.lineTimeUs =
            static_cast<int64_t>(request.size() + reply.bytes.size()) * 10 * 1000000 / m_baud;
    }
    if (reply.answered) {
        ++m_replies;
    }
    return reply;
}

void SimBus::ApplyFault(Reply& reply) {
    if (m_faults.empty()) {
        return;
    }
    Fault& fault = m_faults.front();
    std::vector<uint8_t>& b = reply.bytes;
    switch (fault.kind) {
        case Fault::kDrop:
            reply.answered = false;
            break;
        case Fault::kCrc:
            b[b.size() - 1] ^= 0xFF;
            b[b.size() - 2] ^= 0x5A;
            break;
        case Fault::kTruncate: {
            size_t keep = fault.arg > 0 ? static_cast<size_t>(fault.arg) : b.size() - 2;
            b.resize(std::max<size_t>(1, std::min(keep, b.size())));
            break;
        }
        case Fault::kDelay:
            reply.delayMs += fault.arg > 0 ? fault.arg : 1500;
            break;
        case Fault::kGarbage: {
            int count = fault.arg > 0 ? fault.arg : 3;
            std::vector<uint8_t> noise;
            for (int i = 0; i < count; ++i) {
                noise.push_back(static_cast<uint8_t>(i % 2 ? 0x55 : 0xAA));
            }
            b.insert(b.begin(), noise.begin(), noise.end());
            break;
        }
        case Fault::kLength600:
            if (b.size() >= kZorFrameOverhead && b[0] == kZorMasterAddress) {
                b[3] = 600 & 0xFF;
                b[4] = 600 >> 8;
                uint16_t crc = Crc16Modbus(std::span(b).first(b.size() - 2));
                b[b.size() - 2] = static_cast<uint8_t>(crc >> 8);
                b[b.size() - 1] = static_cast<uint8_t>(crc & 0xFF);
            } else if (b.size() >= 3) {
                b[2] = 0xFF;  // the range finder's count field can say no more than 255
            }
            break;
        case Fault::kClose:
            reply.answered = false;
            reply.closeConnection = true;
            break;
    }
    reply.note += StrPrintf(" fault=%s", FaultName(fault.kind));
    if (--fault.remaining <= 0) {
        m_faults.pop_front();
    }
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
            } else if (number()) {
                sensor.background = d;
            } else {
                return false;
            }
        } else if (key == "alarm" || key == "invalid") {
            if (value != "0" && value != "1") {
                error = StrPrintf("%s is 0 or 1", key.c_str());
                return false;
            }
            key == "alarm" ? sensor.state.SetAlarm(value == "1")
                           : sensor.state.SetValuesInvalid(value == "1");
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
            "sensor addr=%d type=%s params=%d state=%d records=%d source=%s alarm=%d "
            "MinSigThr=%g MaxSigThr=%g\n",
            address, s.type.VersionText().c_str(), s.oldParams ? 180 : 182, s.shortState ? 10 : 20,
            s.recordsPerAnswer, s.source.Describe().c_str(), s.state.Alarm() ? 1 : 0,
            s.params.MinSigThr(), s.params.MaxSigThr());
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
            {"close", Fault::kClose}};
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
