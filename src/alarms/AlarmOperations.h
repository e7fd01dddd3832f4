#pragma once

#include <functional>
#include <string>
#include <vector>

#include "alarms/AlarmTypes.h"
#include "base/ListenerList.h"

namespace zm::alarms {

// One change of the lifecycle, for the views and publishers that follow it (alarm window,
// device list, API event streams, MQTT, the outbox). Told after the change is committed.
struct AlarmChange {
    enum class Kind {
        Opened,  // a new alarm; also a restored alarm shown again after a restart
        Acknowledged,
        Returned,   // returned to normal (rtn_unacked or closed)
        Closed,     // closed by an acknowledgement of rtn_unacked
        CommLost,   // the alarm's device lost its connection; the alarm stays active
        Announced,  // a suppressed alarm reaches people now (shelving expired while in alarm)
        Shelved,
        Unshelved,  // by an operator or by expiry
        OutOfService,
        InService,
    };
    Kind kind = Kind::Opened;
    AlarmRecord alarm;              // the alarm after the change (alarm kinds)
    std::string device;             // the device's name
    std::uint64_t deviceId = 0;     // its instance id
    DeviceSuppression suppression;  // the device's suppression after the change
    Actor actor;                    // who; empty user for the engine itself
    bool restored = false;          // Opened: an alarm brought back from the journal
};

// The operator's side of the alarm lifecycle: the one set of operations that the desktop
// program, the API, the console and the command line call. The engine implements it.
// Every write is journaled (committed) before it returns Ok; reads answer from memory.
// Safe to call from any thread; never waits for a link.
class AlarmOperations {
  public:
    virtual ~AlarmOperations() = default;

    // Acknowledging an acknowledged alarm changes nothing and is Ok. NotFound for an id
    // that is unknown or closed; BadInput for a comment over 200 characters.
    virtual OpResult Acknowledge(std::int64_t id, const Actor& actor, const std::string& comment,
                                 AlarmRecord* after = nullptr) = 0;
    // Every open alarm; the number acknowledged now in `count`.
    virtual OpResult AcknowledgeAll(const Actor& actor, const std::string& comment,
                                    int* count = nullptr) = 0;

    // Devices are named as the operator sees them. BadInput for minutes outside 1..1440 or
    // a missing or overlong reason; NotFound for an unknown device.
    virtual OpResult Shelve(const std::string& device, int minutes, const std::string& reason,
                            const Actor& actor) = 0;
    virtual OpResult Unshelve(const std::string& device, const Actor& actor) = 0;
    virtual OpResult TakeOutOfService(const std::string& device, const std::string& reason,
                                      const Actor& actor) = 0;
    virtual OpResult ReturnToService(const std::string& device, const Actor& actor) = 0;

    // The alarms that are not closed, oldest first.
    virtual std::vector<AlarmRecord> OpenAlarms() const = 0;
    virtual bool FindAlarm(std::int64_t id, AlarmRecord* alarm) const = 0;
    virtual DeviceSuppression SuppressionOf(const std::string& device) const = 0;
    virtual int UnackedAlarmsOf(const std::string& device) const = 0;

    virtual std::vector<AlarmRecord> History(const HistoryQuery& query) const = 0;
    virtual AlarmStatistics Statistics(int days) const = 0;

    // Called on the thread that made the change, after its commit; a listener only hands
    // the news on and never waits.
    [[nodiscard]] virtual ListenerToken AddChangeListener(
        std::function<void(const AlarmChange&)> listener) = 0;
};

// The CSV form of a history (header line, then one line per alarm), shared by the
// desktop export, the API and the command line.
std::string HistoryCsv(const std::vector<AlarmRecord>& alarms);

}  // namespace zm::alarms
