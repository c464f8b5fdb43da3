#include "rotation/pointer_roles.h"

#include <cmath>

#include "platform/units.h"

namespace tarn {

namespace {

std::int32_t centre(double start, double size, double twipsPerPixel) {
    const double sum = RoundHalfEven(start + std::trunc(RoundHalfEven(size) / 2));
    return ToPixels(sum, twipsPerPixel);
}

}  // namespace

Point ParkingPoint(const TwipsRect& window, double twipsPerPixelX, double twipsPerPixelY) {
    return {centre(window.left, window.width, twipsPerPixelX), centre(window.top, window.height, twipsPerPixelY)};
}

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

void PointerRotation::CaptureUserPointers(bool park) {
    if (park) {
        // Only a position that was read is gone back to: a failed read leaves the
        // pointer where the capture put it, not in the screen's corner.
        Point where{};
        savedPosition_.reset();
        if (platform_.GetCursorPos(where)) savedPosition_ = where;
        const Point centre =
            ParkingPoint(platform_.FormRectTwips(), platform_.TwipsPerPixelX(), platform_.TwipsPerPixelY());
        platform_.SetCursorPos(centre.x, centre.y);
    }
    platform_.SetListViewMousePointer(MousePointer::ArrowHourglass);
    saved_.CaptureAppStarting();
    platform_.SetListViewMousePointer(MousePointer::Hourglass);
    saved_.CaptureWait();
    platform_.SetListViewMousePointer(MousePointer::Arrow);
    saved_.CaptureNormal();
    if (park && savedPosition_) platform_.SetCursorPos(savedPosition_->x, savedPosition_->y);
}

void PointerRotation::Check1_Click(int index, int value, bool loadingGuard, RoleFlags& flags) {
    const bool on = value != 0;
    if (index == 1) {
        flags.normal = on;
        if (!on && !loadingGuard) saved_.RestoreKeepingCopy(Role::Normal);
    } else if (index == 2) {
        flags.busy = on;
        if (!on && !loadingGuard) {
            saved_.RestoreKeepingCopy(Role::AppStarting);
            saved_.RestoreKeepingCopy(Role::Wait);
        }
    }
}

}  // namespace tarn
