// Turns pointer positions, sampled once per tick, into the direction the pointer
// image should show: one of sixteen indexes, 0 straight up, each step 22.5 degrees
// clockwise (4 right, 8 down, 12 left).
#pragma once

#include <cstdint>

namespace tarn {

class DirectionTracker {
public:
    // Back to pointing up with no pending turn. The last position and the previous
    // movement are kept, so the next update measures only the movement since the
    // last tick.
    void ResetTracker();

    // One update with the pointer's screen position; returns the direction shown after it.
    int UpdateDirection(std::int32_t x, std::int32_t y);

    // The direction of a movement other than (0, 0). Pure.
    static int ClassifyMove(std::int64_t dx, std::int64_t dy);

    [[nodiscard]] int current() const { return current_; }
    [[nodiscard]] int target() const { return target_; }
    [[nodiscard]] int restCounter() const { return rest_; }
    [[nodiscard]] std::int32_t lastX() const { return lastX_; }
    [[nodiscard]] std::int64_t previousDx() const { return prevDx_; }
    [[nodiscard]] std::int64_t previousDy() const { return prevDy_; }

private:
    void turn();

    std::int32_t lastX_ = 0;
    std::int32_t lastY_ = 0;
    // Differences are held wider than positions so that no pair of positions can overflow.
    std::int64_t prevDx_ = 0;
    std::int64_t prevDy_ = 0;
    int target_ = 0;
    int current_ = 0;
    int rest_ = 0;
};

}  // namespace tarn
