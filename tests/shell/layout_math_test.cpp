// Where the window's controls and the knob land and which one a point hits: the backend draws and
// routes every event through this arithmetic.
#include "shell/layout_math.h"
#include "shell/knob.h"
#include "shell/contrast.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tarn::layout {
namespace {


TEST(ControlRect, TheSliderPartsLandWhereTheDesignSaysAt96Dpi) {
    // The design quotes these pixel positions for its slider at 15 twips per pixel.
    EXPECT_EQ(controlRect(control(Id::Knob), 15, 15), (PixelRect{112, 23, 7, 21}));
    EXPECT_EQ(controlRect(control(Id::Track), 15, 15).left, 9);
    EXPECT_EQ(controlRect(control(Id::TickLeft), 15, 15).left, 6);
    EXPECT_EQ(clientRect(15, 15), (PixelRect{0, 0, 576, 422}));
}

TEST(ControlRect, TheWindowScalesExactlyAndItsCentreLiesOverTheListView) {
    // The core parks the pointer at the window's centre to read pointers over the list.
    struct Case {
        double tpp;
        PixelRect client;
    };
    const Case cases[] = {{15, {0, 0, 576, 422}},  {12, {0, 0, 720, 527}},   {10, {0, 0, 864, 633}},
                          {1440.0 / 168, {0, 0, 1008, 738}}, {7.5, {0, 0, 1152, 844}}};
    for (const Case& c : cases) {
        const PixelRect client = clientRect(c.tpp, c.tpp);
        EXPECT_EQ(client, c.client) << c.tpp;
        const PixelRect list = controlRect(control(Id::ListView), c.tpp, c.tpp);
        EXPECT_TRUE(list.contains(client.width / 2, client.height / 2)) << c.tpp;
    }
}

TEST(KnobPosition, AKnobPlacedAtAPositionIsReadBackThere) {
    // Stored slider positions (1 to 255) put the knob's left edge at 9 to 263 design pixels.
    for (double tpp : {15.0, 12.0, 10.0, 1440.0 / 168, 7.5}) {
        for (std::int32_t position = 1; position <= 255; ++position) {
            const std::int32_t onScreen = knobRect(position, tpp, tpp).left;
            ASSERT_EQ(knobPosition(onScreen, tpp), position) << position << " at " << tpp;
            // One screen pixel further is never read as a place before it.
            ASSERT_GE(knobPosition(onScreen + 1, tpp), position + 1) << position << " at " << tpp;
        }
    }
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

TEST(BringBack, AWindowWhoseTitleStripLeftTheWorkAreasComesBackWhole) {
    // The primary monitor with its task bar at the bottom, and one to its left, higher up.
    const std::vector<Monitor> desk = {{{0, 0, 1920, 1080}, {0, 0, 1920, 1040}},
                                       {{-1600, -300, 1600, 1200}, {-1600, -300, 1600, 1200}}};
    const std::vector<Monitor> small = {{{0, 0, 800, 600}, {0, 0, 800, 600}}};
    for (double tpp : {15.0, 12.0, 10.0, 1440.0 / 168, 7.5}) {
        const PixelRect size = windowRect(0, 0, tpp);
        const int w = size.width, h = size.height;
        const int sw = controlRect(control(Id::TitleStrip), tpp, tpp).width;
        const int sh = controlRect(control(Id::TitleStrip), tpp, tpp).height;
        struct Case {
            const char* what;
            const std::vector<Monitor>& monitors;
            int x, y;
            std::optional<std::pair<int, int>> to;
        };
        const Case cases[] = {
            {"centred", desk, 600, 300, std::nullopt},
            {"strip ends at the right edge", desk, 1919 - sw, 100, std::nullopt},
            {"one pixel over it", desk, 1920 - sw, 100, std::pair{1920 - w, 100}},
            {"strip starts at the top edge", desk, 600, -1, std::nullopt},
            {"one pixel over it", desk, 600, -2, std::pair{600, 0}},
            {"strip ends at the task bar", desk, 600, 1039 - sh, std::nullopt},
            {"one pixel onto it", desk, 600, 1040 - sh, std::pair{600, 1040 - h}},
            {"strip across both monitors", desk, -300, 200, std::nullopt},
            {"strip ends at the left monitor's bottom", desk, -100, 899 - sh, std::nullopt},
            {"one pixel below it, mostly on the right", desk, -100, 900 - sh, std::pair{0, 1040 - h}},
            {"strip starts at the left monitor's top", desk, -1400, -301, std::nullopt},
            {"one pixel above it", desk, -1400, -302, std::pair{-1400, -300}},
            {"far right of every monitor", desk, 5000, 5000, std::pair{1920 - w, 1040 - h}},
            {"far left of every monitor", desk, -9000, 0, std::pair{-1600, 0}},
            {"larger than the monitor, top-left corner first", small, -50, -50, std::pair{0, 0}},
            {"no monitor reported", {}, -5000, -5000, std::nullopt},
        };
        for (const Case& c : cases) {
            const PixelRect window = windowRect(c.x, c.y, tpp);
            const std::optional<PixelRect> placed = bringBack(window, titleStrip(window, tpp), c.monitors);
            SCOPED_TRACE(::testing::Message() << c.what << " at " << c.x << "," << c.y << ", tpp " << tpp);
            ASSERT_EQ(placed.has_value(), c.to.has_value());
            if (!placed) continue;
            EXPECT_EQ(std::pair(placed->left, placed->top), *c.to);
            EXPECT_EQ(std::pair(placed->width, placed->height), std::pair(w, h));
        }
    }
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

TEST(PickFontFace, TheDesignFaceAt96DpiItsTrueTypeSuccessorAboveAndTheStandInsAfter) {
    const std::vector<std::string> all{"MS Sans Serif", "Microsoft Sans Serif", "Tahoma"};
    struct Case {
        unsigned dpi;
        std::vector<std::string> present;
        std::string_view face;
    };
    const Case cases[] = {
        {96, all, "MS Sans Serif"},           {97, all, "Microsoft Sans Serif"},
        {120, all, "Microsoft Sans Serif"},   {144, all, "Microsoft Sans Serif"},
        {168, all, "Microsoft Sans Serif"},   {192, all, "Microsoft Sans Serif"},
        {96, {"Tahoma", "Microsoft Sans Serif"}, "Microsoft Sans Serif"},
        {96, {"Tahoma"}, "Tahoma"},           {96, {}, "Tahoma"},
        {192, {"MS Sans Serif", "Tahoma"}, "Tahoma"},  // a scalable stand-in before the bitmaps
        {144, {"MS Sans Serif"}, "MS Sans Serif"},     {192, {}, "Tahoma"},
    };
    for (const Case& c : cases) {
        const auto exists = [&](std::string_view face) {
            return std::find(c.present.begin(), c.present.end(), face) != c.present.end();
        };
        EXPECT_EQ(pickFontFace(c.dpi, exists), c.face) << c.dpi << " DPI, " << c.present.size() << " faces";
    }
}

TEST(HighContrast, EachPartOfTheDesignTakesTheSystemColourOfItsRole) {
    struct Case {
        const char* what;
        std::uint32_t design, shown;
    };
    const Case cases[] = {
        {"window", kPeach, kWindow},
        {"title strip", control(Id::TitleStrip).backColor, kWindow},
        {"knob", control(Id::Knob).backColor, kHighlight},
        {"track", control(Id::Track).backColor, kHighlight},
        {"OK at rest", control(Id::Ok).foreColor, kHighlight},
        {"a label under the pointer", kRed, kHotLight},
        {"title", control(Id::Title).foreColor, kWindowText},
        {"min", control(Id::Min).foreColor, kWindowText},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(shownColor(c.design, false), c.design) << c.what;
        EXPECT_EQ(shownColor(c.design, true), c.shown) << c.what;
    }
    // An edge only where the theme's fill no longer sets a control apart.
    for (const Control& c : kControls) {
        const bool edged = c.id == Id::TitleStrip || c.id == Id::Close || c.id == Id::Banner;
        EXPECT_EQ(contrastEdge(c, true).has_value(), edged) << static_cast<int>(c.id);
        EXPECT_FALSE(contrastEdge(c, false).has_value());
    }
}

}  // namespace
}  // namespace tarn::layout
