// Mouse buttons as window messages name them and as the form's events carry them.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace tarn::toolkit {

// Mouse key bits as window messages carry them (left 0x1, right 0x2, middle 0x10) to
// the event's button state (left 1, right 2, middle 4). Shift, control and the extra
// buttons are not part of it.
constexpr int buttonState(std::uintptr_t mouseKeys) {
    int state = 0;
    if (mouseKeys & 0x1u) state |= kLeftButton;
    if (mouseKeys & 0x2u) state |= kRightButton;
    if (mouseKeys & 0x10u) state |= kMiddleButton;
    return state;
}

// The button a press or release message is about; 0 for any other message.
constexpr int buttonOfMessage(std::uint32_t message) {
    switch (message) {
        case kLeftButtonDown:
        case kLeftButtonUp: return kLeftButton;
        case kRightButtonDown:
        case kRightButtonUp: return kRightButton;
        case kMiddleButtonDown:
        case kMiddleButtonUp: return kMiddleButton;
        default: return 0;
    }
}

}  // namespace tarn::toolkit
