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

namespace {

KeyOutcome toControl(bool yes) {
    KeyOutcome out;
    out.toControl = yes;
    return out;
}

}  // namespace

KeyOutcome KeyRouter::route(const KeyMessage& m, bool userMayAct) {
    using Phase = KeyMessage::Phase;
    if (m.phase == Phase::Char) return toControl(lastDown_ == Went::Control && userMayAct);
    const auto key = static_cast<std::size_t>(m.key) & 0xFF;
    Went& went = down_[key];
    if (m.phase == Phase::Up) {
        // The control finishes a press it saw begin (a refused click then is the form's to
        // refuse); anything else of a keystroke that began elsewhere stops here.
        const bool control = went == Went::Control;
        went = Went::Nowhere;
        return toControl(control);
    }
    // A key held since before the window had the keyboard: its first key-down went elsewhere.
    if ((m.repeat && went == Went::Nowhere) || !userMayAct) {
        went = lastDown_ = Went::Nowhere;
        return {};
    }
    KeyOutcome out;
    if (m.key == kKeyTab)
        out.focus = nextTabStop(m.focused, m.shift);
    else
        out.event = keyEvent(m.focused, m.key);
    out.toControl = !out.focus && out.event.kind == FormEvent::Kind::None;
    went = lastDown_ = out.toControl ? Went::Control : Went::Form;
    return out;
}

}  // namespace tarn::layout
