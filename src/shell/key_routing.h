// The keyboard's side of the window: which of the form's events a key becomes, and where
// Tab takes the focus, both read from the rows of the design table.
#pragma once

#include <cstddef>
#include <optional>

#include "shell/mouse_routing.h"

namespace tarn::layout {

// The event a key pressed with the focus on row `focused` of kControls becomes (none: the
// focus is on no control). Esc anywhere hides the window; Enter on the list activates its
// selected set, and on a button does what a click on it does; Left, Right, Home and End
// move the knob. Space is the check boxes' and buttons' own key, their click.
FormEvent keyEvent(std::optional<std::size_t> focused, int key);

// The row Tab (Shift+Tab: `backwards`) takes the focus to from row `focused`: the next
// stop in tab order, round from the last to the first; from a control that is no stop,
// the first (the last).
std::size_t nextTabStop(std::optional<std::size_t> focused, bool backwards);

}  // namespace tarn::layout
