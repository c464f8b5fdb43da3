// The tray icon the program wants shown. The shell forgets every icon when the task bar
// restarts, and may not be there yet when the program adds its icon; what is
// remembered here is added again when the task bar announces itself.
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
