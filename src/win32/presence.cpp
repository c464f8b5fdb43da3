#include "win32/presence.h"

#include <algorithm>
#include <cstring>

#include <wtsapi32.h>

namespace tarn::win32 {

namespace {

// GUID_CONSOLE_DISPLAY_STATE: the console display is off (0), on (1) or dimmed (2).
constexpr GUID kConsoleDisplayState = {0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};

constexpr UINT kFirstRetryMs = 1'000;
constexpr UINT kLongestRetryMs = 64'000;

}  // namespace

void PresenceNotices::ask(HWND window) noexcept {
    window_ = window;
    // Each change of the display's state comes as WM_POWERBROADCAST (PBT_POWERSETTINGCHANGE).
    display_ = ::RegisterPowerSettingNotification(window, &kConsoleDisplayState, DEVICE_NOTIFY_WINDOW_HANDLE);
    retryMs_ = kFirstRetryMs;
    askForSession();
}

void PresenceNotices::askForSession() noexcept {
    session_ = ::WTSRegisterSessionNotification(window_, NOTIFY_FOR_THIS_SESSION) != FALSE;
    if (session_) {
        ::KillTimer(window_, kRetryTimer);
        return;
    }
    ::SetTimer(window_, kRetryTimer, retryMs_, nullptr);
    retryMs_ = std::min(retryMs_ * 2, kLongestRetryMs);
}

void PresenceNotices::retry() noexcept {
    if (window_ && !session_) askForSession();
}

void PresenceNotices::stop() noexcept {
    if (!window_) return;
    ::KillTimer(window_, kRetryTimer);
    if (session_) ::WTSUnRegisterSessionNotification(window_);
    if (display_) ::UnregisterPowerSettingNotification(display_);
    session_ = false;
    display_ = nullptr;
    window_ = nullptr;
}

std::optional<DWORD> PresenceNotices::displayState(LPARAM lParam) noexcept {
    const auto* setting = reinterpret_cast<const POWERBROADCAST_SETTING*>(lParam);
    if (!setting || !::IsEqualGUID(setting->PowerSetting, kConsoleDisplayState) || setting->DataLength < sizeof(DWORD))
        return std::nullopt;
    DWORD state = 0;
    std::memcpy(&state, setting->Data, sizeof state);
    return state;
}

}  // namespace tarn::win32
