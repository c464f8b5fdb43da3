// One of the form's timers: it runs only while enabled with an interval above 0, and
// its handler never starts again inside itself (a tick yields to pending messages,
// which can hold the next WM_TIMER). Timer1's carrier keeps its own tick messages out
// of the yields instead, so it asks only whether the timer runs.
#pragma once

#include <cstdint>

namespace tarn::toolkit {

class TimerGate {
public:
    enum class Action { Start, Stop, None };

    // Each returns what to do with the system timer: Start (again) with interval(), Stop it, or nothing.
    Action setEnabled(bool enabled);
    Action setInterval(std::int32_t milliseconds);
    // The system accepted or refused a Start.
    void started(bool ok) { running_ = ok; }

    // A WM_TIMER arrived: true if the handler should run now; pair with leave().
    bool enter();
    void leave() { inHandler_ = false; }

    [[nodiscard]] std::int32_t interval() const { return interval_; }
    [[nodiscard]] bool running() const { return running_; }

private:
    Action apply();
    bool enabled_ = true;  // the design's timers start enabled, with interval 0
    std::int32_t interval_ = 0;
    bool running_ = false;
    bool inHandler_ = false;
};

}  // namespace tarn::toolkit
