// The program's icon in the notification area, with one owner: it fills the record
// (the tray host Picture1, identifier 1, the form's icon and the tip), adds the icon,
// adds it again when a restarted task bar has forgotten it, and takes it away on the
// way out.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "tarnwick_version.h"

namespace tarn {

inline constexpr std::uint32_t kTrayIconId = 1;
// Two lines; the space after the version is part of the tip.
inline constexpr const char* kTrayTip = "Tarnwick!\nVersion " TARN_VERSION_TEXT " ";

class TrayIcon {
public:
    explicit TrayIcon(Platform& platform) : platform_(platform) {}
    // The last net: an icon still shown when its owner goes is taken away, so it does
    // not linger in the tray of a program that has gone.
    ~TrayIcon();
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // Fills the record afresh and adds the icon, with the version of its notifications
    // that also reports a choice made with the keyboard. From here until remove() the icon is
    // wanted, whatever the shell answered: one that is not there yet gets it once it
    // announces itself.
    void add();
    // A task bar that (re)started has no icons: the wanted one is added again, the same
    // record as before.
    void addAgain();
    // Takes the icon away, once; the record names only the size, the host and the id.
    void remove();

private:
    void askVersion();
    // The icon as the shell knows it, for a command that names no more: the size, the
    // host and the id of the record add() filled.
    NotifyIconRecord identity() const;

    Platform& platform_;
    NotifyIconRecord record_;
    bool wanted_ = false;
};

}  // namespace tarn
