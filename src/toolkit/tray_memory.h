// What the shell was last told about a tray icon, call by call, as the shell keeps it:
// an add replaces the record, a modify changes the parts its flags name, a delete of
// the same icon ends it. The tray host listens for the callback message it names.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/platform.h"

namespace tarn::toolkit {

class TrayMemory {
public:
    // Every Shell_NotifyIcon call passes through here, whatever the shell answered.
    void sent(NotifyIconMessage message, const NotifyIconRecord& record);
    [[nodiscard]] const std::optional<NotifyIconRecord>& wanted() const { return wanted_; }
    // The window message the shell uses for the icon's notifications.
    [[nodiscard]] std::uint32_t callbackMessage() const { return callback_; }

private:
    std::optional<NotifyIconRecord> wanted_;
    std::uint32_t callback_ = kTrayCallbackMessage;
};

}  // namespace tarn::toolkit
