#include "alarms/AlarmStateMachine.h"

namespace zm::alarms {

const char* EventName(AlarmEvent event) {
    switch (event) {
        case AlarmEvent::Acknowledge:
            return "acknowledged";
        case AlarmEvent::Return:
            return "returned";
        case AlarmEvent::CommLost:
            return "comm_lost";
        case AlarmEvent::CommRestored:
            return "comm_restored";
    }
    return "unknown";
}

AlarmStep Apply(AlarmCondition before, AlarmEvent event) {
    AlarmStep step{before, false, true};
    auto to = [&](AlarmState state) {
        step.after.state = state;
        step.changed = true;
    };
    switch (before.state) {
        case AlarmState::ActiveUnacked:
        case AlarmState::ActiveAcked: {
            const bool acked = before.state == AlarmState::ActiveAcked;
            switch (event) {
                case AlarmEvent::Acknowledge:
                    if (!acked) {
                        to(AlarmState::ActiveAcked);
                    }
                    break;
                case AlarmEvent::Return:
                    // The flag stays: the history tells that the connection was lost.
                    to(acked ? AlarmState::Closed : AlarmState::RtnUnacked);
                    break;
                case AlarmEvent::CommLost:
                    step.after.commLost = true;
                    step.changed = !before.commLost;
                    break;
                case AlarmEvent::CommRestored:
                    step.after.commLost = false;
                    step.changed = before.commLost;
                    break;
            }
            break;
        }
        case AlarmState::RtnUnacked:
            if (event == AlarmEvent::Acknowledge) {
                to(AlarmState::Closed);
            }
            break;
        case AlarmState::Closed:
            step.accepted = event != AlarmEvent::Acknowledge;
            break;
    }
    return step;
}

}  // namespace zm::alarms
