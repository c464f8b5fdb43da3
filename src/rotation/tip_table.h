// Where the tip of each direction's arrow lies in a 32 x 32 pointer image of the
// classic design: direction 0 points straight up, each index turns 22.5 degrees
// clockwise. Cursor-set authoring places each slice's hotspot here; the tracker
// does not need it, because the same tip would be added to both positions it
// compares and would cancel.
#pragma once

#include <array>

namespace tarn {

struct TipPoint {
    int x;
    int y;
};

inline constexpr std::array<TipPoint, 16> kTipTable{{
    {16, 3}, {23, 3}, {26, 7}, {29, 12}, {30, 17}, {29, 23}, {27, 27}, {23, 30},
    {17, 31}, {11, 30}, {7, 27}, {3, 23}, {3, 17}, {3, 11}, {7, 7}, {11, 3},
}};

}  // namespace tarn
