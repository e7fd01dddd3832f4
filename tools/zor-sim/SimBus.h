#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "device/zor/ZorParams.h"
#include "device/zor/ZorRecords.h"

namespace zm::sim {

// Where a sensor's signal comes from. Constant, ramp and sine give one value per record;
// a list gives one value per data answer (all its records) and then keeps its last value.
// Drift follows the clock instead, so that how often the sensor is asked does not change
// when its signal rises: every `c` seconds, counted from the moment the source was set,
// it climbs from `a` to `b` and back in a smooth hump of `d` seconds.
struct DataSource {
    using Clock = std::chrono::steady_clock;
    enum Kind { kConstant, kRamp, kSine, kList, kDrift } kind = kConstant;
    double a = 100;  // constant value, ramp start, sine mean, drift base
    double b = 0;    // ramp step, sine amplitude, drift peak
    double c = 60;   // sine period in records, drift period in seconds
    double d = 0;    // drift: length of the hump in seconds
    std::vector<double> list;
    size_t nextInList = 0;
    uint64_t records = 0;          // records produced so far
    std::optional<double> latest;  // the value of the latest record
    Clock::time_point started = Clock::now();

    bool Parse(const std::string& text, std::string& error);
    std::string Describe() const;
    // Values for one data answer of `count` records.
    std::vector<double> NextAnswer(int count);
    // The signal as the sensor sees it now, without producing a record.
    double Current() const;
    // Drift: the value `seconds` after the source was set.
    double DriftAt(double seconds) const;
};

struct SimSensor {
    uint8_t address = 99;
    ZorContrType type = ZorContrType::FromValue(0x01000205);  // 5.2.0.1
    ZorParams params = DefaultZorParams();
    bool oldParams = false;  // answer with the 180-byte layout
    ZorState state;
    bool shortState = false;  // answer with the 10-byte state record
    // The alarm bit follows the signal as a real sensor's analysis sets it: on while the
    // signal lies between MinSigThr and MaxSigThr of the parameter block.
    bool alarmFollowsSignal = false;
    DataSource source;
    int recordsPerAnswer = 5;
    std::optional<double> background;  // default: a quarter of the signal
};

// A fault applied to the next replies, in the order the faults were given.
struct Fault {
    enum Kind {
        kDrop,
        kCrc,
        kTruncate,
        kDelay,
        kGarbage,
        kLength600,
        kClose,
        kTrickle
    } kind = kDrop;
    int remaining = 1;
    int arg = 0;  // truncate: bytes kept; delay: ms; garbage: bytes; trickle: ms per byte
};
const char* FaultName(Fault::Kind kind);

// What the bus does with one request.
struct Reply {
    bool answered = false;  // someone on the bus answers at all
    std::vector<uint8_t> bytes;
    int delayMs = 0;
    int trickleMs = 0;       // the bytes go out one at a time, this far apart
    int64_t lineTimeUs = 0;  // request and reply on a serial line of the set speed
    bool closeConnection = false;
    std::string note;  // for the transaction log
};

// The simulated bus: sensors, the range finder, the fault queue. Pure logic, no I/O.
class SimBus {
  public:
    enum class Scan { kFrame, kNeedMore, kGarbage };
    // Looks at the start of a receive buffer: a whole request of `length` bytes, a request
    // still arriving, or a byte that cannot start a request (drop it and look again).
    Scan ScanRequest(std::span<const uint8_t> buffer, size_t& length) const;

    Reply Answer(std::span<const uint8_t> request);

    // "addr=5,type=5.1.0.0,..." creates or changes a sensor; false with a text on bad input,
    // and then nothing of that spec is applied.
    bool ApplySensorSpec(const std::string& spec, std::string& error, bool create);
    // One control line; the answer begins "OK" or "ERR".
    std::string Control(const std::string& line, bool& quit);

    void SetRangeFinder(std::optional<int> count) { m_rangeFinder = count; }
    void SetLatencyMs(int ms) { m_latencyMs = ms; }
    // With a speed set, every reply waits as long as request and reply take on such a line
    // (10 bits per byte), so a pseudo-terminal behaves like a real bus in time.
    void SetBaud(int baud) { m_baud = baud; }
    bool HasSensors() const { return !m_sensors.empty(); }
    std::string Describe() const;

    uint64_t Requests() const { return m_requests; }
    uint64_t Replies() const { return m_replies; }

  private:
    std::vector<uint8_t> Payload(SimSensor& sensor, uint8_t code, bool& known);
    // `signal`: the value of the records in the same answer; else the signal of now.
    static void FollowSignal(SimSensor& sensor, std::optional<double> signal = std::nullopt);
    void ApplyFault(Reply& reply);

    std::map<uint8_t, SimSensor> m_sensors;
    std::optional<int> m_rangeFinder;
    std::deque<Fault> m_faults;
    int m_latencyMs = 0;
    int m_baud = 0;
    uint64_t m_requests = 0;
    uint64_t m_replies = 0;
};

}  // namespace zm::sim
