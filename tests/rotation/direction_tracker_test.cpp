#include "rotation/direction_tracker.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace tarn {
namespace {

struct Step {
    std::int32_t x, y;
    int target, current, rest;
};

// Feeds positions one update at a time and checks target, current and rest counter after each.
void walk(DirectionTracker& t, const std::vector<Step>& steps) {
    int n = 0;
    for (const Step& s : steps) {
        ++n;
        const int returned = t.UpdateDirection(s.x, s.y);
        EXPECT_EQ(t.target(), s.target) << "update " << n;
        EXPECT_EQ(t.current(), s.current) << "update " << n;
        EXPECT_EQ(returned, s.current) << "update " << n;
        EXPECT_EQ(t.restCounter(), s.rest) << "update " << n;
    }
}

// The pointer rests at (100, 100) before a reset.
DirectionTracker restingAt(std::int32_t x, std::int32_t y) {
    DirectionTracker t;
    t.UpdateDirection(x, y);
    t.UpdateDirection(x, y);
    t.ResetTracker();
    return t;
}

TEST(DirectionTracker, WorkedExample) {
    DirectionTracker t = restingAt(100, 100);
    walk(t, {
                {110, 100, 4, 1, 0},   // axis right, difference 4: step
                {120, 100, 4, 2, 0},
                {130, 100, 4, 3, 0},
                {130, 100, 4, 4, 0},   // still: keeps walking
                {131, 100, 4, 4, 1},   // one-pixel twitch out of rest: filtered
                {131, 100, 4, 4, 1},
                {131, 90, 0, 3, 1},    // up, difference 4: step
                {121, 80, 14, 14, 1},  // diagonal, difference 11: jump
                {101, 70, 13, 13, 1},  // r = 2, nearer the horizontal: step
                {108, 66, 3, 3, 1},    // r = 1.75 exactly: in-between, jump
            });
}

TEST(DirectionTracker, ClassifiesEveryRegionAndBoundary) {
    struct Case {
        std::int64_t dx, dy;
        int expected;
    };
    const Case cases[] = {
        // axes need the other component to be exactly zero
        {0, -1, 0}, {5, 0, 4}, {0, 3, 8}, {-9, 0, 12}, {1, -20, 1}, {-1, 20, 9},
        // equal magnitudes are always the diagonal
        {1, -1, 2}, {7, 7, 6}, {-3, 3, 10}, {-100, -100, 14},
        // 12:7 (r about 1.71) is still the diagonal; 7:4 (r = 1.75) is not
        {12, -7, 2}, {7, -4, 3}, {-7, 12, 10}, {-4, 7, 9},
        {7, 12, 6}, {4, 7, 7}, {-12, -7, 14}, {-7, -4, 13},
        // each quadrant's in-between directions, on either side
        {2, -9, 1}, {9, -2, 3}, {9, 2, 5}, {2, 9, 7}, {-2, 9, 9}, {-9, 2, 11}, {-9, -2, 13}, {-2, -9, 15},
        // far beyond 32-bit products: the exact integer test must not overflow
        {4294967295LL, -2454267025LL, 3}, {4294967295LL, -2454267026LL, 2},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DirectionTracker::ClassifyMove(c.dx, c.dy), c.expected) << c.dx << "," << c.dy;
}

// Walks from a fresh reset with the pointer resting at (100, 100).
struct Walk {
    const char* what;
    std::vector<Step> steps;
};

void walkEach(const std::vector<Walk>& walks) {
    for (const Walk& w : walks) {
        SCOPED_TRACE(w.what);
        DirectionTracker t = restingAt(100, 100);
        walk(t, w.steps);
    }
}

TEST(DirectionTracker, TurnsOnTheIndexLineWithoutWrapping) {
    walkEach({
        {"current 15, target 0: across the seam, a jump", {{98, 90, 15, 15, 0}, {98, 80, 0, 0, 0}}},
        {"current 0, target 4: four updates through 1, 2 and 3",
         {{110, 100, 4, 1, 0}, {120, 100, 4, 2, 0}, {130, 100, 4, 3, 0}, {140, 100, 4, 4, 0}, {150, 100, 4, 4, 0}}},
        {"current 0, target 5: a difference of 5 is a jump", {{110, 102, 5, 5, 0}}},
        {"1 to 13 across the seam jumps; 13 to 15 walks up and never wraps to 0",
         {{101, 80, 1, 1, 0}, {81, 75, 13, 13, 0}, {79, 65, 15, 14, 0}, {79, 65, 15, 15, 0}}},
    });
}

TEST(DirectionTracker, EveryFourthTwitchOutOfRestIsClassified) {
    DirectionTracker t = restingAt(100, 100);
    walk(t, {
                {101, 100, 0, 0, 1}, {101, 100, 0, 0, 1},  // twitch, still
                {101, 101, 0, 0, 2}, {101, 101, 0, 0, 2},  // a diagonal twitch is filtered too
                {100, 100, 0, 0, 3}, {100, 100, 0, 0, 3},
                {101, 100, 4, 1, 0},                       // the fourth: classified, counter back to 0
            });
}

TEST(DirectionTracker, OnlyTwitchesOutOfRestAreFiltered) {
    walkEach({
        {"a one-pixel move straight after a moving update is classified", {{100, 110, 8, 8, 0}, {101, 110, 4, 7, 0}}},
        {"a two-pixel move out of rest is classified", {{102, 100, 4, 1, 0}}},
        {"neither a still update nor a classification clears the counter",
         {{101, 100, 0, 0, 1}, {101, 100, 0, 0, 1}, {101, 150, 8, 8, 1}, {101, 150, 8, 8, 1}}},
    });
}

TEST(DirectionTracker, RestingKeepsTargetAndForgetsThePreviousMove) {
    DirectionTracker t = restingAt(100, 100);
    walk(t, {{100, 90, 0, 0, 0}, {110, 90, 4, 1, 0}, {110, 90, 4, 2, 0}});
    EXPECT_EQ(t.previousDx(), 0);
    EXPECT_EQ(t.previousDy(), 0);
}

TEST(DirectionTracker, ResetMidTurnMeasuresFromTheLastTick) {
    DirectionTracker t = restingAt(100, 100);
    walk(t, {{110, 100, 4, 1, 0}, {120, 100, 4, 2, 0}});
    t.ResetTracker();
    EXPECT_EQ(t.current(), 0);
    EXPECT_EQ(t.target(), 0);
    EXPECT_EQ(t.restCounter(), 0);
    EXPECT_EQ(t.lastX(), 120);
    // The next update sees only the 10 pixels since the last tick, not the 20 since the rest.
    walk(t, {{120, 110, 8, 8, 0}});
}

TEST(DirectionTracker, TheFirstUpdateMeasuresFromTheScreenOrigin) {
    DirectionTracker t;
    EXPECT_EQ(t.UpdateDirection(640, 400), 6);  // r = 1.6: the diagonal down and right, a jump
}

TEST(DirectionTracker, ExtremePositionsNeitherOverflowNorLeaveTheRange) {
    DirectionTracker t;
    const std::int32_t big = 2147483647;
    const std::int32_t small = -2147483647 - 1;
    for (auto [x, y] : {std::pair{big, big}, std::pair{small, small}, std::pair{big, small}, std::pair{small, big}}) {
        const int d = t.UpdateDirection(x, y);
        EXPECT_GE(d, 0);
        EXPECT_LE(d, 15);
    }
    EXPECT_EQ(t.target(), 10);  // the last move: equal magnitudes down and to the left
}

}  // namespace
}  // namespace tarn
