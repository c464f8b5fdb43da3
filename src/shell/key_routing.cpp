#include "shell/key_routing.h"

#include <stdexcept>

#include "platform/platform.h"

namespace tarn::layout {

FormEvent keyEvent(std::optional<std::size_t> focused, int key) {
    if (key == kKeyEscape) return {FormEvent::Kind::FormKeyDown, -1, 0, key};
    if (!focused) return {};
    const Control& c = kControls.at(*focused);
    switch (c.access.role) {
        case Role::List:
            if (key == kKeyReturn) return {FormEvent::Kind::ListDblClick};
            break;
        case Role::Slider:
            if (key == kKeyLeft || key == kKeyRight || key == kKeyHome || key == kKeyEnd)
                return {FormEvent::Kind::SliderKeyDown, -1, 0, key};
            break;
        case Role::Button:
            if (key == kKeyReturn) return clickEvent(Target{c.container, *focused});
            break;
        default: break;
    }
    return {};
}

std::size_t nextTabStop(std::optional<std::size_t> focused, bool backwards) {
    const int at = focused ? kControls.at(*focused).access.tab : 0;
    int next = backwards ? at - 1 : at + 1;
    if (at == 0) next = backwards ? kTabStops : 1;
    if (next < 1) next = kTabStops;
    if (next > kTabStops) next = 1;
    for (std::size_t row = 0; row < kControls.size(); ++row)
        if (kControls[row].access.tab == next) return row;
    throw std::logic_error("no such tab stop");  // unreachable: the table goes round
}

}  // namespace tarn::layout
