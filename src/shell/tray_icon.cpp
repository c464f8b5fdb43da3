#include "shell/tray_icon.h"

namespace tarn {

void TrayIcon::add() {
    NotifyIconRecord record = identity();
    record.flags = kNifMessage | kNifIcon | kNifTip;
    record.callbackMessage = kTrayCallbackMessage;
    record.icon = platform_.FormIcon();
    record.tip = kTrayTip;
    platform_.Shell_NotifyIcon(NotifyIconMessage::Add, record);
    NotifyIconRecord version = identity();
    version.version = kNotifyIconVersion;
    platform_.Shell_NotifyIcon(NotifyIconMessage::SetVersion, version);
}

void TrayIcon::remove() { platform_.Shell_NotifyIcon(NotifyIconMessage::Delete, identity()); }

bool TrayIcon::bringsWindowBack(std::uint32_t notification) {
    switch (notification) {
        case kRightButtonDown:
        case kLeftButtonDown:
        case kLeftButtonUp:
        case kLeftButtonDoubleClick:
        case kNinSelect:
        case kNinKeySelect: return true;
        default: return false;
    }
}

NotifyIconRecord TrayIcon::identity() const {
    NotifyIconRecord r;
    r.size = platform_.NotifyIconRecordSize();
    r.owner = platform_.TrayHostWindow();
    r.id = kTrayIconId;
    return r;
}

}  // namespace tarn
