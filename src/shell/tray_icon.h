// The program's icon in the notification area: the one rule of what the tray shows and
// what it answers. The record (the tray host Picture1, identifier 1, the form's icon and
// the tip), the add and the removal, and which of the icon's notifications bring the
// window back. When the icon is shown is the form's phase (lifecycle.h): it is added as
// start-up begins, added again when a restarted task bar has forgotten it, and taken
// away by the close request. The backend's tray host carries the record to the shell.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "tarnwick_version.h"

namespace tarn {

inline constexpr std::uint32_t kTrayIconId = 1;
// Two lines; the space after the version is part of the tip.
inline constexpr const char* kTrayTip = "Tarnwick!\nVersion " TARN_VERSION_TEXT " ";
// The window message the icon's notifications arrive as at the tray host: a pointer
// move that carries the shell's mouse message.
inline constexpr std::uint32_t kTrayCallbackMessage = kMouseMove;
// The notifications' version asked for with SetVersion: the mouse messages stay as they
// are, and the shell also says when the icon is chosen, with the mouse (NIN_SELECT) or
// with the keyboard (NIN_KEYSELECT: Enter or Space on it, reached with Win+B).
inline constexpr std::uint32_t kNotifyIconVersion = 3;
inline constexpr std::uint32_t kNinSelect = 0x400;
inline constexpr std::uint32_t kNinKeySelect = 0x401;

class TrayIcon {
public:
    explicit TrayIcon(Platform& platform) : platform_(platform) {}

    // Fills the record and adds the icon, then asks for the version of its notifications
    // that also reports a choice made with the keyboard (the shell gives every icon it
    // adds the first version). The same record every time, so an add on a restarted task
    // bar shows the same icon.
    void add();
    // Takes the icon away; the record names only the size, the host and the id.
    void remove();

    // Whether a notification of the icon brings the window back: a right-button press,
    // any report of the left button, or the icon chosen (also with the keyboard). Decided
    // on the shell's message itself, so it holds at every screen setting.
    [[nodiscard]] static bool bringsWindowBack(std::uint32_t notification);

private:
    // The icon as the shell knows it, for a command that names no more.
    [[nodiscard]] NotifyIconRecord identity() const;

    Platform& platform_;
};

}  // namespace tarn
