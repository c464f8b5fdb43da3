// The tick: read the pointer, turn the tracker, install the matching direction image
// into every enabled role. Also the capture of the user's pointers before rotation
// starts, and the two role options of the window.
#pragma once

#include <array>
#include <cstdint>

#include "platform/platform.h"
#include "rotation/direction_tracker.h"
#include "rotation/tarn_mod.h"

namespace tarn {

using DirectionHandles = std::array<CursorHandle, 16>;

// Which roles rotate: the normal arrow, and the two busy pointers together.
struct RoleFlags {
    bool normal = false;
    bool busy = false;
};

// The window's two role options: "Normal Cursor" switches the normal role, "HourGlass
// Cursor" both busy roles.
enum class RoleOption { Normal, Busy };

class PointerRotation {
public:
    PointerRotation(Platform& platform, DirectionTracker& tracker, TarnMod& saved)
        : platform_(platform), tracker_(tracker), saved_(saved) {}

    // One tick: position, tracker, install, then a yield to pending events. A position
    // that cannot be read leaves the tracker and the roles as they are.
    void RotateTick(const DirectionHandles& handles, RoleFlags flags);
    // The tick timer's handler: a tick, then one more yield.
    void Timer1_Timer(const DirectionHandles& handles, RoleFlags flags);
    // Installs direction `d` into every enabled role, normal first, then app-starting, then
    // wait; where the set has no pointer for `d`, those roles show the user's own pointer.
    void InstallDirection(int d, const DirectionHandles& handles, RoleFlags flags);

    // Saves the user's pointers of all three roles, app-starting, wait, then normal, as
    // the system shows them: wherever the window and the mouse pointer are, and without
    // moving the pointer.
    void CaptureUserPointers();

    // A role option clicked. `value` is its box's value (0 clear, 1 ticked, 2 greyed
    // counts as ticked). While `loadingGuard` is set only the flag changes.
    void Check1_Click(RoleOption option, int value, bool loadingGuard, RoleFlags& flags);

private:
    Platform& platform_;
    DirectionTracker& tracker_;
    TarnMod& saved_;
};

}  // namespace tarn
