// The keyboard's side of the window: which of the form's events a key becomes, where Tab
// takes the focus, both read from the rows of the design table, and which key messages
// may act at all.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
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

// One key message as it reaches the window or one of its controls, before the control
// sees it: a key going down (again, when held: `repeat`), coming up, or the character it
// typed.
struct KeyMessage {
    enum class Phase { Down, Up, Char };
    Phase phase = Phase::Down;
    int key = 0;          // the virtual key of a Down or an Up
    bool repeat = false;  // a Down of a key that was already down
    bool shift = false;   // Shift is held (Shift+Tab goes backwards)
    std::optional<std::size_t> focused{};  // the row of kControls with the keyboard; none: the window
};

// What becomes of a key message.
struct KeyOutcome {
    bool toControl = false;  // the control keeps it for its own use (arrows in the list, Space on a box)
    FormEvent event{};       // the form's event it became
    std::optional<std::size_t> focus{};  // Tab: the row that gets the keyboard
    friend bool operator==(const KeyOutcome&, const KeyOutcome&) = default;
};

// The window's one door for keys. A key acts only while the user may act, as a click
// does; and the rest of a keystroke goes where its key-down went. A message box closes on
// the key-down of Enter or Esc and hands the keyboard back: that key's repeats while it is
// held, its character and its key-up then reach the window, which never saw it go down,
// and must not act there (nor may a control finish a press it never saw begin).
class KeyRouter {
public:
    KeyOutcome route(const KeyMessage& message, bool userMayAct);

private:
    enum class Went : std::uint8_t { Nowhere, Control, Form };
    std::array<Went, 256> down_{};  // by virtual key: where its key-down went
    Went lastDown_ = Went::Nowhere;  // where the latest key-down went: its character goes there too
};

}  // namespace tarn::layout
