#include "toolkit/tray_memory.h"

namespace tarn::toolkit {

void TrayMemory::sent(NotifyIconMessage message, const NotifyIconRecord& record) {
    const bool same = wanted_ && wanted_->owner == record.owner && wanted_->id == record.id;
    switch (message) {
        case NotifyIconMessage::Add:
            wanted_ = record;
            if (record.flags & kNifMessage) callback_ = record.callbackMessage;
            break;
        case NotifyIconMessage::Modify:
            // Only the parts the flags name change.
            if (!same) break;
            if (record.flags & kNifMessage) wanted_->callbackMessage = callback_ = record.callbackMessage;
            if (record.flags & kNifIcon) wanted_->icon = record.icon;
            if (record.flags & kNifTip) wanted_->tip = record.tip;
            wanted_->flags |= record.flags;
            break;
        case NotifyIconMessage::SetVersion:
            if (same) wanted_->version = record.version;
            break;
        case NotifyIconMessage::Delete:
            if (same) wanted_.reset();
            break;
    }
}

}  // namespace tarn::toolkit
