// Where the window's controls land and which one a point hits: the backend draws and
// routes every event through this arithmetic.
#include "shell/layout_math.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarn::layout {
namespace {


TEST(TwipsToPixels, RoundsBothThenTruncatesTheQuotient) {
    struct Case {
        double twips, tpp;
        int pixels;
    };
    const Case cases[] = {
        {8640, 15, 576}, {6330, 15, 422},  // the client area at 96 DPI
        {14, 15, 0},     {15, 15, 1},      // either side of one pixel
        {29, 15, 1},     {30, 15, 2},
        {2170, 15, 144},                   // the right end tick: 144.7 pixels truncate
        {14.5, 1, 14},   {15.5, 1, 16},    // twips round half to even
        {8640, 12, 720},                   // 120 DPI
        {8640, 7.5, 1080},                 // 192 DPI: 7.5 rounds to 8
        {8640, 6.5, 1440},                 // 6.5 rounds to 6
        {-30, 15, -2},                     // a knob dragged left of its frame
    };
    for (const Case& c : cases)
        EXPECT_EQ(twipsToPixels(c.twips, c.tpp), c.pixels) << c.twips << " twips at " << c.tpp;
}

TEST(TwipsToPixels, AFactorBelowOnePixelNeverDividesByZero) {
    EXPECT_EQ(twipsToPixels(1440, 0.4), 1440);  // beyond 2880 DPI the factor rounds to 0
    EXPECT_EQ(twipsToPixels(1440, 0.5), 1440);
    EXPECT_EQ(twipsToPixels(1440, twipsPerPixel(6000)), 1440);
}

TEST(TwipsPerPixel, FollowsTheMonitorDpi) {
    EXPECT_DOUBLE_EQ(twipsPerPixel(96), 15.0);
    EXPECT_DOUBLE_EQ(twipsPerPixel(144), 10.0);
    EXPECT_DOUBLE_EQ(twipsPerPixel(0), 15.0);  // an unknown DPI is treated as the usual one
}

TEST(ControlRect, TheSliderPartsLandWhereTheDesignSaysAt96Dpi) {
    // The design quotes these pixel positions for its slider at 15 twips per pixel.
    EXPECT_EQ(controlRect(control(Id::Knob), 15, 15), (PixelRect{112, 23, 7, 21}));
    EXPECT_EQ(controlRect(control(Id::Track), 15, 15).left, 9);
    EXPECT_EQ(controlRect(control(Id::TickLeft), 15, 15).left, 6);
    EXPECT_EQ(clientRect(15, 15), (PixelRect{0, 0, 576, 422}));
}

TEST(ControlRect, TheParkingPointLiesOverTheListView) {
    // The core parks the pointer at the window's centre to read pointers over the list.
    const PixelRect client = clientRect(15, 15);
    const PixelRect list = controlRect(control(Id::ListView), 15, 15);
    EXPECT_TRUE(list.contains(client.width / 2, client.height / 2));
}

TEST(HitTest, FindsTheFrontmostWindowlessControl) {
    struct Case {
        Container container;
        int x, y;
        std::optional<Id> hit;
    };
    const std::vector<Case> cases = {
        {Container::Window, 200, 3, Id::TitleStrip},
        {Container::Window, 551, 5, Id::TitleStrip},  // one pixel left of "X"
        {Container::Window, 552, 5, Id::Close},       // "X" lies in front of the strip
        {Container::Window, 576, 5, Id::Close},       // "X" reaches one pixel past the client area
        {Container::Window, 577, 5, std::nullopt},
        {Container::Window, 5, 5, Id::Icon},          // the icon lies in front of the strip
        {Container::Window, 50, 10, Id::Title},
        {Container::Window, 8, 23, Id::Icon},         // the icon overlaps the strip's bottom
        {Container::Window, 300, 40, Id::Subtitle},
        {Container::Window, 127, 40, Id::Version},
        {Container::Window, 128, 40, Id::Subtitle},      // the subtitle starts where the version line ends
        {Container::Window, 100, 100, std::nullopt},  // the list view is a child window
        {Container::Window, 8, 344, Id::Banner},
        {Container::Window, 7, 344, std::nullopt},
        {Container::Window, 277, 344, Id::Banner},
        {Container::Window, 278, 344, std::nullopt},
        {Container::Frame5, 24, 15, Id::Ok},
        {Container::Frame5, 23, 15, std::nullopt},
        {Container::Frame5, 82, 15, Id::Exit},
        {Container::Frame4, 56, 22, Id::Preview},
        {Container::Frame4, 55, 22, std::nullopt},
        {Container::Frame2, 113, 33, Id::Track},      // under the knob, which is a window of its own
        {Container::Frame2, 10, 45, Id::Min},
        {Container::Window, 10, 45, std::nullopt},    // the same point in another container
    };
    for (const Case& c : cases) {
        const auto row = hitTest(c.container, c.x, c.y, 15, 15);
        const std::optional<Id> hit = row ? std::optional<Id>(kControls[*row].id) : std::nullopt;
        EXPECT_EQ(hit, c.hit) << "at " << c.x << "," << c.y << " in container " << static_cast<int>(c.container);
    }
}

TEST(HitTest, ScalesWithTheDpi) {
    // At 144 DPI (10 twips per pixel) "X" starts at pixel 828.
    const auto before = hitTest(Container::Window, 827, 5, 10, 10);
    const auto at = hitTest(Container::Window, 828, 5, 10, 10);
    ASSERT_TRUE(before && at);
    EXPECT_EQ(kControls[*before].id, Id::TitleStrip);
    EXPECT_EQ(kControls[*at].id, Id::Close);
}

TEST(FontHeight, ScalesThePointSizeAndRoundsLikeMulDiv) {
    struct Case {
        float points;
        unsigned dpi;
        int height;
    };
    const Case cases[] = {
        {9.75f, 96, -13}, {8.25f, 96, -11}, {13.5f, 96, -18}, {18.0f, 96, -24},
        {9.75f, 144, -20},  // 19.5 rounds away from zero
        {8.25f, 120, -14},  // 13.75
        {9.75f, 120, -16},  // 16.25
    };
    for (const Case& c : cases) EXPECT_EQ(fontHeight(c.points, c.dpi), c.height) << c.points << "pt at " << c.dpi;
}

TEST(PickFontFace, TakesTheFirstFaceThatExists) {
    auto only = [](std::vector<std::string> present) {
        return [present](std::string_view face) {
            for (const auto& p : present)
                if (p == face) return true;
            return false;
        };
    };
    EXPECT_EQ(pickFontFace(only({"MS Sans Serif", "Tahoma"})), "MS Sans Serif");
    EXPECT_EQ(pickFontFace(only({"Tahoma", "Microsoft Sans Serif"})), "Microsoft Sans Serif");
    EXPECT_EQ(pickFontFace(only({"Tahoma"})), "Tahoma");
    EXPECT_EQ(pickFontFace(only({})), "Tahoma");
}

}  // namespace
}  // namespace tarn::layout
