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
    wanted_ = true;
}

void TrayIcon::addAgain() {
    if (wanted_) platform_.Shell_NotifyIcon(NotifyIconMessage::Add, record_);
}

void TrayIcon::remove() {
    if (!wanted_) return;
    wanted_ = false;
    NotifyIconRecord r;
    r.size = platform_.NotifyIconRecordSize();
    r.owner = platform_.TrayHostWindow();
    r.id = kTrayIconId;
    platform_.Shell_NotifyIcon(NotifyIconMessage::Delete, r);
}

}  // namespace tarn
