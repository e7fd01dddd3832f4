#pragma once

#include "alarms/AlarmTypes.h"

namespace zm::alarms {

// What can happen to an alarm once it is open.
enum class AlarmEvent {
    Acknowledge,   // an operator acknowledges it
    Return,        // the device's alarm processor closed it: the signal is back to normal
    CommLost,      // the device lost its connection during the alarm
    CommRestored,  // the connection came back and the alarm goes on
};

const char* EventName(AlarmEvent event);

// The part of an alarm the lifecycle changes.
struct AlarmCondition {
    AlarmState state = AlarmState::ActiveUnacked;
    bool commLost = false;
    bool operator==(const AlarmCondition&) const = default;
};

struct AlarmStep {
    AlarmCondition after;
    bool changed = false;  // something to journal and to tell
    bool accepted = true;  // false: the event does not apply (acknowledging a closed alarm)
};

// The ISA-18.2 lifecycle as one table: every event in every state. Acknowledging an
// acknowledged alarm changes nothing and is accepted; events after the return only the
// acknowledgement of rtn_unacked changes.
AlarmStep Apply(AlarmCondition before, AlarmEvent event);

}  // namespace zm::alarms
