#include "shell/tray_icon.h"

namespace tarn {

TrayIcon::~TrayIcon() {
    try {
        remove();
    } catch (...) {
        // Nothing more can be done for an icon on the way out; the shell drops it once
        // its window has gone.
    }
}

void TrayIcon::add() {
    record_ = NotifyIconRecord{};
    record_.size = platform_.NotifyIconRecordSize();
    record_.owner = platform_.TrayHostWindow();
    record_.id = kTrayIconId;
    record_.flags = kNifMessage | kNifIcon | kNifTip;
    record_.callbackMessage = kTrayCallbackMessage;
    record_.icon = platform_.FormIcon();
    record_.tip = kTrayTip;
    platform_.Shell_NotifyIcon(NotifyIconMessage::Add, record_);
    askVersion();
    wanted_ = true;
}

void TrayIcon::addAgain() {
    if (!wanted_) return;
    platform_.Shell_NotifyIcon(NotifyIconMessage::Add, record_);
    askVersion();
}

// The shell gives every icon it adds the first version of the notifications: each add
// asks again for the one that reports a choice made with the keyboard, so an icon added
// again on a restarted task bar keeps it.
void TrayIcon::askVersion() {
    NotifyIconRecord r = identity();
    r.version = kNotifyIconVersion;
    platform_.Shell_NotifyIcon(NotifyIconMessage::SetVersion, r);
}

void TrayIcon::remove() {
    if (!wanted_) return;
    wanted_ = false;
    platform_.Shell_NotifyIcon(NotifyIconMessage::Delete, identity());
}

NotifyIconRecord TrayIcon::identity() const {
    NotifyIconRecord r;
    r.size = record_.size;
    r.owner = record_.owner;
    r.id = record_.id;
    return r;
}

}  // namespace tarn
