#include "win32/tick_timer.h"

#include "win32/dll_search.h"

namespace tarn::win32 {

namespace {

// CreateWaitableTimerExW's flag for a timer that expires at the time asked for rather
// than on the next clock interrupt (Windows 10 1803 on; older systems refuse the flag).
constexpr DWORD kHighResolution = 0x2;  // CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
constexpr DWORD kTimerAccess = SYNCHRONIZE | TIMER_MODIFY_STATE;

// The system clock's default period, 15.625 ms, in 100 ns units. Since Windows 10 2004
// a faster clock asked for by another program no longer applies to this one, so an
// interval shorter than this is faster than the clock this process gets.
constexpr std::int64_t kClockPeriod = 156'250;

// Windows 11 may ignore a process's timer precision while none of its windows can be
// seen (a tray program's usually cannot): honoured for this process, or left to the
// system again. SetProcessInformation is looked up, for Windows 7 has none.
void honourTimerResolution(bool honour) noexcept {
    using SetFn = BOOL(WINAPI*)(HANDLE, PROCESS_INFORMATION_CLASS, LPVOID, DWORD);
    static const auto set = SystemFunction<SetFn>(L"kernel32.dll", "SetProcessInformation");
    if (!set) return;
    PROCESS_POWER_THROTTLING_STATE state{};
    state.Version = PROCESS_POWER_THROTTLING_CURRENT_VERSION;
    state.ControlMask = honour ? PROCESS_POWER_THROTTLING_IGNORE_TIMER_RESOLUTION : 0;
    state.StateMask = 0;  // with the flag in the mask: not ignored
    set(::GetCurrentProcess(), ProcessPowerThrottling, &state, sizeof state);
}

// The clock at 1 ms (timeBeginPeriod), or back (timeEndPeriod): only for the ordinary
// waitable timer, which expires on clock interrupts. winmm is loaded only then.
void clockAtOneMillisecond(bool on) noexcept {
    using PeriodFn = UINT(WINAPI*)(UINT);
    static const auto begin = SystemFunction<PeriodFn>(L"winmm.dll", "timeBeginPeriod");
    static const auto end = SystemFunction<PeriodFn>(L"winmm.dll", "timeEndPeriod");
    if (begin && end) (on ? begin : end)(1);
}

}  // namespace

bool TickTimer::start(HWND window, std::int32_t milliseconds) noexcept {
    if (milliseconds <= 0 || !window) return false;
    if (!timer_) {
        timer_.reset(::CreateWaitableTimerExW(nullptr, nullptr, kHighResolution, kTimerAccess));
        highResolution_ = static_cast<bool>(timer_);
        if (!timer_) timer_.reset(::CreateWaitableTimerExW(nullptr, nullptr, 0, kTimerAccess));
        stop_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    }
    // Periodic, so a slow tick never pushes the ones after it later; the first expiry is
    // one interval from now.
    LARGE_INTEGER due{};
    due.QuadPart = -10'000LL * milliseconds;
    if (!timer_ || !stop_ || !::SetWaitableTimer(timer_.get(), &due, milliseconds, nullptr, nullptr, FALSE)) {
        stop();
        return false;
    }
    if (!thread_) {
        window_ = window;
        thread_.reset(::CreateThread(nullptr, 0, &TickTimer::waitAndPost, this, 0, nullptr));
    }
    if (!thread_) {
        stop();
        return false;
    }
    keepPrecision(10'000LL * milliseconds < kClockPeriod);
    return true;
}

void TickTimer::stop() noexcept {
    if (thread_) {
        ::SetEvent(stop_.get());
        ::WaitForSingleObject(thread_.get(), INFINITE);
        thread_.reset();
    }
    keepPrecision(false);
    timer_.reset();  // closing it cancels it
    stop_.reset();
    // A tick message already posted stays the one tick in flight: it clears the flag when
    // taken (and goes unheeded, as the timer has stopped).
}

DWORD WINAPI TickTimer::waitAndPost(void* self) {
    auto& t = *static_cast<TickTimer*>(self);
    // The stop comes first, so the thread ends even while the timer has expired again.
    const HANDLE waits[] = {t.stop_.get(), t.timer_.get()};
    while (::WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
        if (!t.pending_.exchange(true) && !::PostMessageW(t.window_, kMessage, 0, 0)) t.pending_.store(false);
    }
    return 0;
}

void TickTimer::keepPrecision(bool faster) noexcept {
    if (faster == precise_) return;
    precise_ = faster;
    honourTimerResolution(faster);
    if (!highResolution_) clockAtOneMillisecond(faster);
}

}  // namespace tarn::win32
