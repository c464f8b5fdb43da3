// The system's word on whether the user can see the pointer, asked for on behalf of the
// form's window: the session's changes (locked, unlocked, disconnected, connected) and
// the console display's state. Suspend and resume (WM_POWERBROADCAST) reach every
// top-level window unasked. The form decides what each means (TarnFrm::Form_SessionChange,
// Form_PowerBroadcast, Form_DisplayState); this only asks and reads.
#pragma once

#include "win32/win32_api.h"

#include <optional>

namespace tarn::win32 {

class PresenceNotices {
public:
    // The form's WM_TIMER id for another try at the session's notifications.
    static constexpr UINT_PTR kRetryTimer = 3;

    PresenceNotices() = default;
    PresenceNotices(const PresenceNotices&) = delete;
    PresenceNotices& operator=(const PresenceNotices&) = delete;

    // Asks for both for `window`. The session's may be refused shortly after logon,
    // before the session services run: then it is tried again later (retry()), at
    // growing intervals, until it is given.
    void ask(HWND window) noexcept;
    void retry() noexcept;
    // Before the window goes (WM_DESTROY).
    void stop() noexcept;

    // The console display's state a WM_POWERBROADCAST with PBT_POWERSETTINGCHANGE carries
    // in its lParam, if it is that setting's.
    static std::optional<DWORD> displayState(LPARAM setting) noexcept;

private:
    void askForSession() noexcept;

    HWND window_ = nullptr;
    bool session_ = false;  // the session's notifications are given
    UINT retryMs_ = 0;
    HPOWERNOTIFY display_ = nullptr;
};

}  // namespace tarn::win32
