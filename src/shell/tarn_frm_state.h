// The form's state, held for the program's lifetime. The program needs only the
// form's handlers; the tests read the state after telling a story in events.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cursorset/cursorset.h"
#include "cursorset/set_pictures.h"
#include "platform/platform.h"
#include "rotation/direction_tracker.h"
#include "rotation/pointer_rotation.h"
#include "rotation/tarn_mod.h"
#include "settings/settings.h"
#include "shell/key_routing.h"
#include "shell/lifecycle.h"
#include "shell/tarn_frm.h"
#include "shell/tray_icon.h"

namespace tarn {

inline constexpr std::int32_t kAutoStartDelayMs = 100;

struct TarnFrm::State {
    explicit State(Platform& p) : platform(p), saved(p), rotation(p, tracker, saved), tray(p) {}

    // The state of a form, for the tests that look inside it.
    static const State& of(const TarnFrm& form) { return *form.state_; }
    static State& of(TarnFrm& form) { return *form.state_; }

    [[nodiscard]] RoleFlags flags() const { return {settings.normal, settings.busy}; }
    [[nodiscard]] bool started() const { return okTag != "Start"; }

    Platform& platform;
    DirectionTracker tracker;
    TarnMod saved;  // the user's own pointers
    PointerRotation rotation;
    Folders folders;  // where this run's files are, chosen at start-up
    CursorSet set;
    SetPictures pictures;  // the sets' pictures at the window's scaling
    Settings settings;
    std::string okTag;  // the OK label's tag: "Start" until rotation starts, then "OK"
    Lifecycle life;     // starting up, ready, paused, acting under a box, closing or closed
    bool schemeChangedAway = false;  // the user's pointer scheme changed while nobody could see it
    TrayIcon tray;
    layout::KeyRouter keys;  // where each key that is down went
    std::vector<std::string> listed;  // the set names in the list, in its order
    std::int32_t dragX = 0;  // pointer minus the window's corner at the last press on the title
    std::int32_t dragY = 0;
    std::int32_t sliderGrabX = 0;  // pointer minus the knob's left edge at the last press on it
};

}  // namespace tarn
