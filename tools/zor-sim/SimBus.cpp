#include "SimBus.h"

#include <algorithm>
#include <cmath>

#include "base/Printf.h"
#include "device/zor/Crc16.h"
#include "device/zor/ZorFrame.h"

namespace zm::sim {

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
        case Fault::kTrickle:
            return "trickle";
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
    const double now =
        kind == kDrift ? std::chrono::duration<double>(Clock::now() - started).count() : 0;
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
            case kDrift:
                values.push_back(DriftAt(now));
                break;
        }
    }
    if (!values.empty()) {
        latest = values.back();
    }
    return values;
}

double DataSource::DriftAt(double seconds) const {
    const double phase = std::fmod(std::max(0.0, seconds), c);
    if (phase >= d) {
        return a;
    }
    return a + (b - a) * 0.5 * (1 - std::cos(2 * M_PI * phase / d));
}

double DataSource::Current() const {
    if (kind == kDrift) {
        return DriftAt(std::chrono::duration<double>(Clock::now() - started).count());
    }
    if (latest) {
        return *latest;
    }
    DataSource next = *this;  // before the first record: the one that would come next
    return next.NextAnswer(1).front();
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
    auto appendData = [&](std::vector<uint8_t>& out) {
        for (double v : sensor.source.NextAnswer(sensor.recordsPerAnswer)) {
            double bkg = sensor.background.value_or(v * 0.25);
            AppendDataRecord(out, static_cast<float>(v), static_cast<float>(bkg));
        }
    };
    switch (code) {
        case kCmdCheckDevLink:
            break;
        case kCmdGetDevState:
            FollowSignal(sensor);
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
            appendData(payload);
            break;
        case kCmdGetDevStateData: {
            // The records first, so that the alarm bit in front of them agrees with them.
            std::vector<uint8_t> data;
            appendData(data);
            FollowSignal(sensor, sensor.recordsPerAnswer > 0 ? sensor.source.latest : std::nullopt);
            appendState();
            payload.insert(payload.end(), data.begin(), data.end());
            break;
        }
        default:
            known = false;
    }
    return payload;
}

void SimBus::FollowSignal(SimSensor& sensor, std::optional<double> signal) {
    if (!sensor.alarmFollowsSignal) {
        return;
    }
    // Judged as sent: the records carry the signal as a 32-bit float.
    const float value = static_cast<float>(signal ? *signal : sensor.source.Current());
    sensor.state.SetAlarm(value >= sensor.params.MinSigThr() && value <= sensor.params.MaxSigThr());
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
        case Fault::kTrickle:
            reply.trickleMs = fault.arg > 0 ? fault.arg : 500;
            break;
    }
    reply.note += StrPrintf(" fault=%s", FaultName(fault.kind));
    if (--fault.remaining <= 0) {
        m_faults.pop_front();
    }
}

}  // namespace zm::sim
