#include <gtest/gtest.h>

#include "alarms/AlarmStateMachine.h"

namespace {

using namespace zm::alarms;
using S = AlarmState;
using E = AlarmEvent;

// Every event in every state, with and without a lost connection.
TEST(AlarmStateMachine, EveryEventInEveryState) {
    struct Row {
        S state;
        bool commLost;
        E event;
        S next;
        bool nextCommLost;
        bool changed;
        bool accepted;
    };
    const Row table[] = {
        {S::ActiveUnacked, false, E::Acknowledge, S::ActiveAcked, false, true, true},
        {S::ActiveUnacked, false, E::Return, S::RtnUnacked, false, true, true},
        {S::ActiveUnacked, false, E::CommLost, S::ActiveUnacked, true, true, true},
        {S::ActiveUnacked, false, E::CommRestored, S::ActiveUnacked, false, false, true},
        {S::ActiveUnacked, true, E::Acknowledge, S::ActiveAcked, true, true, true},
        {S::ActiveUnacked, true, E::Return, S::RtnUnacked, true, true, true},
        {S::ActiveUnacked, true, E::CommLost, S::ActiveUnacked, true, false, true},
        {S::ActiveUnacked, true, E::CommRestored, S::ActiveUnacked, false, true, true},

        {S::ActiveAcked, false, E::Acknowledge, S::ActiveAcked, false, false, true},
        {S::ActiveAcked, false, E::Return, S::Closed, false, true, true},
        {S::ActiveAcked, false, E::CommLost, S::ActiveAcked, true, true, true},
        {S::ActiveAcked, false, E::CommRestored, S::ActiveAcked, false, false, true},
        {S::ActiveAcked, true, E::Return, S::Closed, true, true, true},
        {S::ActiveAcked, true, E::CommRestored, S::ActiveAcked, false, true, true},

        {S::RtnUnacked, false, E::Acknowledge, S::Closed, false, true, true},
        {S::RtnUnacked, false, E::Return, S::RtnUnacked, false, false, true},
        {S::RtnUnacked, false, E::CommLost, S::RtnUnacked, false, false, true},
        {S::RtnUnacked, false, E::CommRestored, S::RtnUnacked, false, false, true},
        {S::RtnUnacked, true, E::Acknowledge, S::Closed, true, true, true},

        {S::Closed, false, E::Acknowledge, S::Closed, false, false, false},
        {S::Closed, false, E::Return, S::Closed, false, false, true},
        {S::Closed, false, E::CommLost, S::Closed, false, false, true},
        {S::Closed, false, E::CommRestored, S::Closed, false, false, true},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(std::string(StateName(row.state)) +
                     (row.commLost ? " (comm lost) + " : " + ") + EventName(row.event));
        const AlarmStep step = Apply({row.state, row.commLost}, row.event);
        EXPECT_EQ(StateName(step.after.state), std::string(StateName(row.next)));
        EXPECT_EQ(step.after.commLost, row.nextCommLost);
        EXPECT_EQ(step.changed, row.changed);
        EXPECT_EQ(step.accepted, row.accepted);
    }
}

// The two roads to closed, walked through the table.
TEST(AlarmStateMachine, BothRoadsEndClosed) {
    const E ackFirst[] = {E::CommLost, E::Acknowledge, E::CommRestored, E::Return};
    const E returnFirst[] = {E::Return, E::CommLost, E::Acknowledge};
    for (const auto& road : {std::vector<E>(std::begin(ackFirst), std::end(ackFirst)),
                             std::vector<E>(std::begin(returnFirst), std::end(returnFirst))}) {
        AlarmCondition c;
        for (E event : road) {
            c = Apply(c, event).after;
        }
        EXPECT_EQ(c.state, S::Closed);
        EXPECT_FALSE(IsActive(c.state));
        EXPECT_TRUE(IsAcknowledged(c.state));
    }
}

TEST(AlarmStateMachine, StateNamesRoundTrip) {
    for (S state : {S::ActiveUnacked, S::ActiveAcked, S::RtnUnacked, S::Closed}) {
        EXPECT_EQ(ParseStateName(StateName(state)), state);
    }
    EXPECT_FALSE(ParseStateName("Closed").has_value());
    EXPECT_FALSE(ParseStateName("").has_value());
}

}  // namespace
