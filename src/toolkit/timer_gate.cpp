#include "toolkit/timer_gate.h"

namespace tarn::toolkit {

TimerGate::Action TimerGate::apply() {
    // A new interval or a fresh enable restarts the count, so Start is repeated.
    if (enabled_ && interval_ > 0) return Action::Start;
    if (running_) {
        running_ = false;
        return Action::Stop;
    }
    return Action::None;
}

TimerGate::Action TimerGate::setEnabled(bool enabled) {
    enabled_ = enabled;
    return apply();
}

TimerGate::Action TimerGate::setInterval(std::int32_t milliseconds) {
    interval_ = milliseconds;
    return apply();
}

bool TimerGate::enter() {
    // A message queued before the timer stopped, or one met while the handler yields.
    if (!running_ || inHandler_) return false;
    inHandler_ = true;
    return true;
}

}  // namespace tarn::toolkit
