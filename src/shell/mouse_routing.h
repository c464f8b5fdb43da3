// Which of the form's events a mouse message becomes, and which control a press
// belongs to until every button is up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "shell/layout.h"

namespace tarn {
class TarnFrm;
}

namespace tarn::layout {

// What lies under the pointer inside the form or one of its frames.
struct Target {
    Container container = Container::Window;
    std::optional<std::size_t> row;  // index into kControls; none = the background
    friend bool operator==(const Target&, const Target&) = default;
};

// The frontmost windowless control (or the background) at a pixel point of a container.
Target targetAt(Container container, int x, int y, double tppX, double tppY);

// One of the form's handlers with its arguments.
struct FormEvent {
    enum class Kind {
        None,
        FormMouseMove,      // Form_MouseMove()
        LabelMouseMove,     // lbl_MouseMove(index, button)
        LabelMouseDown,     // lbl_MouseDown(index, button)
        LabelClick,         // lbl_Click(index)
        PreviewMouseMove,   // Picture2_MouseMove()
        BannerClick,        // Image2_Click()
        ListDblClick,       // listv_DblClick()
        SliderKeyDown,      // picSlider_KeyDown(key)
        FormKeyDown,        // Form_KeyDown(key)
    };
    Kind kind = Kind::None;
    int index = -1;
    int button = 0;
    int key = 0;
    friend bool operator==(const FormEvent&, const FormEvent&) = default;
};

// Calls the handler the event names.
void deliver(TarnFrm& form, const FormEvent& event);

FormEvent moveEvent(const Target& target, int buttonState);
FormEvent downEvent(const Target& target, int button);
FormEvent clickEvent(const Target& target);

// The pointer shape the design gives the control under the pointer.
Pointer pointerAt(const Target& target);

// A press belongs to the control it began on: moves go there until every button is up,
// and a click needs the left button released over that same control on the same surface.
class PressTracker {
public:
    struct Down {
        Target target;      // where the down event goes
        bool capture;       // the first button of a press: capture the pointer
    };
    struct Up {
        bool releaseCapture;          // the last button came up
        std::optional<Target> click;  // a click on this control
    };

    Down down(std::uintptr_t surface, const Target& hit);
    [[nodiscard]] Target move(const Target& hit) const { return active_ ? pressed_ : hit; }
    // `button` is 1, 2 or 4; `remaining` the buttons still held after this one came up.
    Up up(std::uintptr_t surface, const Target& hit, int button, int remaining);
    // The system took the capture away (another window, a message box).
    void lost() { active_ = false; }
    [[nodiscard]] bool active() const { return active_; }

private:
    bool active_ = false;
    std::uintptr_t surface_ = 0;
    Target pressed_;
};

}  // namespace tarn::layout
