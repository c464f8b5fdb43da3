// Twips and pixels: the one rule the form, the backend and the fake share. A place
// set in twips and read back from the screen must come back exactly, at every scaling.
#include "platform/units.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

// 100 %, 125 %, 150 %, 175 % and 200 %.
const double kScalings[] = {15, 12, 10, 1440.0 / 168, 7.5};

TEST(ToPixels, RoundsTheTwipsThenScalesAndTruncates) {
    struct Case {
        double twips, tpp;
        std::int32_t pixels;
    };
    const Case cases[] = {
        {8640, 15, 576},  {6330, 15, 422},          // the client area at 96 DPI
        {14, 15, 0},      {15, 15, 1},               // either side of one pixel
        {29, 15, 1},      {30, 15, 2},
        {2170, 15, 144},                             // the right end tick: 144.7 pixels truncate
        {14.5, 15, 0},    {15.5, 15, 1},             // 14.5 rounds to the even 14, 15.5 to 16
        {8640, 12, 720},  {8640, 10, 864},
        {8640, 1440.0 / 168, 1008}, {6330, 1440.0 / 168, 738},  // 738.5 truncates
        {8640, 7.5, 1152},                           // the real factor: twice the 96-DPI size
        {7, 7.5, 0},      {8, 7.5, 1},
        {-30, 15, -2},    {-29, 15, -1},             // a knob dragged left of its frame
        {1500, 0, 100},                              // a toolkit reporting no factor
    };
    for (const Case& c : cases)
        EXPECT_EQ(ToPixels(c.twips, c.tpp), c.pixels) << c.twips << " twips at " << c.tpp;
}

TEST(ToTwips, EveryPixelReadsBackAsItself) {
    for (double tpp : kScalings) {
        for (std::int32_t px = -2000; px <= 4000; ++px) {
            const double twips = ToTwips(px, tpp);
            ASSERT_EQ(ToPixels(twips, tpp), px) << px << " px at " << tpp;
            ASSERT_EQ(twips, RoundHalfEven(twips));  // whole twips, as a toolkit reports them
        }
    }
    EXPECT_EQ(ToTwips(389, 15), 389 * 15);
    EXPECT_EQ(ToTwips(-711, 15), -711 * 15);
}

TEST(DotsPerInch, FollowsTheFactorAndIsNeverZero) {
    EXPECT_EQ(DotsPerInch(15), 96);
    EXPECT_EQ(DotsPerInch(8.57), 168);  // a factor given to two places still means 168 DPI
    EXPECT_EQ(DotsPerInch(TwipsPerPixel(192)), 192);
    EXPECT_EQ(DotsPerInch(0), 96);
    EXPECT_EQ(DotsPerInch(-1), 96);
    EXPECT_DOUBLE_EQ(TwipsPerPixel(144), 10.0);
    EXPECT_DOUBLE_EQ(TwipsPerPixel(0), 15.0);  // an unknown DPI is treated as the usual one
}

}  // namespace
}  // namespace tarn
