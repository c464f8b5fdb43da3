// Timer1's carrier: ticks at the interval asked for, to a fraction of a millisecond where
// the system allows, while a system timer (SetTimer) would raise anything below 10 ms to
// 10 and fire only on the system clock (15.6 ms unless a program raised its rate).
//
// A waitable timer, high-resolution where the system has one (Windows 10 1803 on), and a
// thread that does nothing but wait on it and post the window one tick message per
// expiry: a message, so that every message loop (the program's, DoEvents, a message
// box's own) delivers the tick on the window's thread, where all state is read and
// changed; posted only while none is waiting in the queue, so a late window gets one
// tick, never a backlog. The thread lives only while the timer runs: outside rotation,
// and while rotation rests, nothing of this exists.
//
// A tick's own yields (Win32Platform::DoEvents) leave tick messages queued, so a tick
// never runs inside itself; the loop it returns to delivers the next at once. A message
// box's loop delivers them too, also one opened by a handler a tick's yield ran.
#pragma once

#include "win32/win32_api.h"

#include <atomic>
#include <cstdint>

#include "win32/owned.h"

namespace tarn::win32 {

class TickTimer {
public:
    // What each tick posts to the window.
    static constexpr UINT kMessage = WM_APP + 1;

    TickTimer() = default;
    ~TickTimer() { stop(); }
    TickTimer(const TickTimer&) = delete;
    TickTimer& operator=(const TickTimer&) = delete;

    // Ticks to `window` every `milliseconds` from now on (a new interval restarts the
    // count). False, with nothing left running, when the system refuses.
    bool start(HWND window, std::int32_t milliseconds) noexcept;
    void stop() noexcept;
    // The window procedure took a tick message off the queue: the next expiry posts again.
    void taken() noexcept { pending_.store(false); }

private:
    static DWORD WINAPI waitAndPost(void* self);
    // While ticking faster than the system clock: the system keeps this process's timer
    // precision even with no window shown, and without a high-resolution timer the clock
    // itself runs faster. Undone once it ticks no faster, or stops.
    void keepPrecision(bool faster) noexcept;

    HWND window_ = nullptr;  // set while no thread runs
    OwnedKernelHandle timer_;
    OwnedKernelHandle stop_;    // set: the thread ends
    OwnedKernelHandle thread_;
    std::atomic<bool> pending_{false};  // a tick message is in the queue
    bool highResolution_ = false;
    bool precise_ = false;  // keepPrecision(true) holds
};

}  // namespace tarn::win32
