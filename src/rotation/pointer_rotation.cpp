#include "rotation/pointer_rotation.h"

namespace tarn {

void PointerRotation::RotateTick(const DirectionHandles& handles, RoleFlags flags) {
    Point where = position_;
    if (platform_.GetCursorPos(where)) position_ = where;
    const int d = tracker_.UpdateDirection(position_.x, position_.y);
    InstallDirection(d, handles, flags);
    platform_.DoEvents();
}

void PointerRotation::Timer1_Timer(const DirectionHandles& handles, RoleFlags flags) {
    RotateTick(handles, flags);
    platform_.DoEvents();
}

void PointerRotation::InstallDirection(int d, const DirectionHandles& handles, RoleFlags flags) {
    const CursorHandle image = handles[static_cast<std::size_t>(d & 15)];
    if (flags.normal) saved_.Install(Role::Normal, image);
    if (flags.busy) {
        saved_.Install(Role::AppStarting, image);
        saved_.Install(Role::Wait, image);
    }
}

void PointerRotation::CaptureUserPointers() {
    saved_.CaptureAppStarting();
    saved_.CaptureWait();
    saved_.CaptureNormal();
}

void PointerRotation::Check1_Click(RoleOption option, int value, bool loadingGuard, RoleFlags& flags) {
    const bool on = value != 0;
    if (option == RoleOption::Normal) {
        flags.normal = on;
        if (!on && !loadingGuard) saved_.RestoreNormal();
    } else {
        flags.busy = on;
        if (!on && !loadingGuard) saved_.RestoreBusy();
    }
}

}  // namespace tarn
