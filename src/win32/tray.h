// The tray icon's carrier: its hidden host window (the form's Picture1) and the record
// as the shell takes it. The host turns the icon's notifications (the callback message
// of shell/tray_icon.h) into the form's Picture1_MouseMove, and the task bar's
// TaskbarCreated into Picture1_TaskbarCreated: the shell's TrayIcon and the form's phase
// decide what the tray shows.
#pragma once

#include "win32/win32_api.h"

#include <cstdint>

#include "platform/platform.h"
#include "win32/dialogs.h"
#include "win32/form_link.h"
#include "win32/owned.h"

namespace tarn::win32 {

class TrayHost {
public:
    // `fallbackIcon` is shown when a record names no icon; it must outlive the tray.
    TrayHost(HINSTANCE instance, FormLink& form, const Dialogs& dialogs, HICON fallbackIcon);
    TrayHost(const TrayHost&) = delete;
    TrayHost& operator=(const TrayHost&) = delete;

    [[nodiscard]] HWND host() const noexcept { return host_.get(); }
    // The size of the record layout handed to the shell: the first version's, whose
    // tip holds 64 characters.
    static std::uint32_t recordSize() noexcept;
    bool notify(NotifyIconMessage message, const NotifyIconRecord& record);

    [[nodiscard]] const Dialogs& dialogs() const noexcept { return dialogs_; }

private:
    LRESULT onMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    FormLink& form_;
    const Dialogs& dialogs_;
    HICON fallbackIcon_;
    UINT taskbarCreated_ = 0;
    OwnedWindow host_;
};

}  // namespace tarn::win32
