// The timers fire only while enabled with an interval above zero, and a tick that yields
// never runs the same handler inside itself.
#include "toolkit/timer_gate.h"

#include <gtest/gtest.h>

namespace tarn::toolkit {
namespace {

using A = TimerGate::Action;

TEST(TimerGate, RunsOnlyWhileEnabledWithAPositiveInterval) {
    struct Case {
        bool enabled;
        std::int32_t interval;
        A action;
    };
    const Case cases[] = {
        {true, 0, A::None}, {true, 1, A::Start}, {true, 100, A::Start},
        {true, -5, A::None}, {false, 1, A::None}, {false, 0, A::None},
    };
    for (const Case& c : cases) {
        TimerGate gate;
        gate.setEnabled(c.enabled);
        EXPECT_EQ(gate.setInterval(c.interval), c.action) << c.enabled << " " << c.interval;
    }
}

TEST(TimerGate, StopsARunningTimerOnceAndRestartsOnANewInterval) {
    TimerGate gate;  // enabled from the start, interval 0
    EXPECT_EQ(gate.setInterval(5), A::Start);
    gate.started(true);
    EXPECT_EQ(gate.setInterval(7), A::Start);  // a new interval restarts the count
    gate.started(true);
    EXPECT_EQ(gate.setInterval(0), A::Stop);
    EXPECT_EQ(gate.setInterval(0), A::None);  // already stopped
    EXPECT_EQ(gate.setInterval(9), A::Start);
    gate.started(true);
    EXPECT_EQ(gate.setEnabled(false), A::Stop);
    EXPECT_EQ(gate.setEnabled(false), A::None);
    EXPECT_EQ(gate.setEnabled(true), A::Start);
    EXPECT_EQ(gate.interval(), 9);
}

TEST(TimerGate, TheHandlerNeverRunsInsideItselfNorAfterAStop) {
    TimerGate gate;
    EXPECT_FALSE(gate.enter());  // a message for a timer that is not running
    gate.setInterval(1);
    gate.started(true);
    ASSERT_TRUE(gate.enter());
    EXPECT_FALSE(gate.enter());  // met while the tick yields
    gate.leave();
    EXPECT_TRUE(gate.enter());
    gate.leave();
    gate.setEnabled(false);
    EXPECT_FALSE(gate.enter());  // queued before the stop
}

TEST(TimerGate, ARefusedStartLeavesItStopped) {
    TimerGate gate;
    EXPECT_EQ(gate.setInterval(5), A::Start);
    gate.started(false);
    EXPECT_FALSE(gate.running());
    EXPECT_FALSE(gate.enter());
    EXPECT_EQ(gate.setInterval(0), A::None);
}

}  // namespace
}  // namespace tarn::toolkit
