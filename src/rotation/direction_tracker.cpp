#include "rotation/direction_tracker.h"

namespace tarn {

namespace {

std::int64_t magnitude(std::int64_t v) { return v < 0 ? -v : v; }

// One-pixel twitches out of rest are passed over; every fourth one counts.
constexpr int kTwitchesPerClassification = 4;
// A change of target further than this many indexes is shown at once instead of walked.
constexpr int kLargestWalk = 4;

}  // namespace

void DirectionTracker::ResetTracker() {
    current_ = 0;
    target_ = 0;
    rest_ = 0;
}

int DirectionTracker::ClassifyMove(std::int64_t dx, std::int64_t dy) {
    // Straight along an axis only when the other component is exactly zero.
    if (dx == 0) return dy < 0 ? 0 : 8;
    if (dy == 0) return dx > 0 ? 4 : 12;

    const std::int64_t a = magnitude(dx);
    const std::int64_t b = magnitude(dy);
    const std::int64_t larger = a > b ? a : b;
    const std::int64_t smaller = a > b ? b : a;
    // larger / smaller < 1.75, kept exact in whole numbers: 4 * larger < 7 * smaller.
    // Magnitudes of 32-bit position differences fit with room to spare in 64 bits.
    const bool diagonal = 4 * larger < 7 * smaller;

    const bool right = dx > 0;
    const bool down = dy > 0;
    if (diagonal) {
        if (right) return down ? 6 : 2;
        return down ? 10 : 14;
    }
    const bool nearerVertical = b > a;
    if (right && !down) return nearerVertical ? 1 : 3;
    if (right && down) return nearerVertical ? 7 : 5;
    if (!right && down) return nearerVertical ? 9 : 11;
    return nearerVertical ? 15 : 13;
}

int DirectionTracker::UpdateDirection(std::int32_t x, std::int32_t y) {
    const std::int64_t dx = std::int64_t{x} - lastX_;
    const std::int64_t dy = std::int64_t{y} - lastY_;

    if (dx != 0 || dy != 0) {
        bool classify = true;
        const bool outOfRest = prevDx_ == 0 && prevDy_ == 0;
        if (outOfRest && magnitude(dx) <= 1 && magnitude(dy) <= 1) {
            // A one-pixel twitch straight after a still tick: hand jitter, mostly.
            ++rest_;
            if (rest_ == kTwitchesPerClassification)
                rest_ = 0;
            else
                classify = false;
        }
        if (classify) target_ = ClassifyMove(dx, dy);
    }

    prevDx_ = dx;
    prevDy_ = dy;
    turn();
    lastX_ = x;
    lastY_ = y;
    return current_;
}

void DirectionTracker::turn() {
    // The distance is taken on the index line, not around the circle: crossing the
    // seam between 15 and 0 is always a jump, and a step never wraps.
    const int distance = current_ > target_ ? current_ - target_ : target_ - current_;
    if (distance > kLargestWalk) current_ = target_;
    if (target_ > current_)
        ++current_;
    else if (target_ < current_)
        --current_;
}

}  // namespace tarn
