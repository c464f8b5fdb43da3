// Drawing and turning: hotspots follow the picture, tips land where the tip table says,
// and resampling keeps colours straight at transparent edges.
#include "cursorset/companion.h"
#include "twcmake/cursor_file.h"
#include "twcmake/render.h"
#include "rotation/tip_table.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tarn::twc {
namespace {

int opaqueCount(const Slice& s) {
    int n = 0;
    for (const Rgba& p : s.pixels) n += p.a != 0;
    return n;
}

// An upright 32 x 32 picture: one opaque 3 x 3 block centred on `centre`.
Image blockAt(Pixel centre, Rgba colour) {
    Image img(32, 32);
    for (int y = centre.y - 1; y <= centre.y + 1; ++y)
        for (int x = centre.x - 1; x <= centre.x + 1; ++x) img.at(x, y) = colour;
    return img;
}

TEST(TurnPicture, HotspotTurnsClockwiseAboutTheCentre) {
    // Pixel (16, 2) has its centre at (16.5, 2.5); turned about (16, 16) by hand.
    struct Case { int direction; Pixel expected; };
    const Case cases[] = {
        {0, {16, 2}},  {2, {25, 6}},  {4, {29, 16}}, {6, {25, 25}},
        {8, {15, 29}}, {12, {2, 15}}, {14, {6, 6}},
    };
    const SliceSet set = turnPicture(blockAt({16, 3}, Rgba{255, 255, 255, 255}), PointF{16.5, 2.5});
    for (const auto& c : cases) EXPECT_EQ(set[static_cast<std::size_t>(c.direction)].hotspot, c.expected) << c.direction;
}

TEST(TurnPicture, PictureTurnsWithItsHotspot) {
    // The hotspot sits on the block; in every direction the drawn block must surround it.
    const SliceSet set = turnPicture(blockAt({20, 6}, Rgba{0, 0, 255, 255}), PointF{20.5, 6.5});
    for (int d = 0; d < 16; ++d) {
        const Slice& s = set[static_cast<std::size_t>(d)];
        double sx = 0, sy = 0;
        const int n = opaqueCount(s);
        ASSERT_GE(n, 5) << d;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                if (s.at(x, y).a) {
                    sx += x + 0.5;
                    sy += y + 0.5;
                }
        EXPECT_NEAR(sx / n, s.hotspot.x + 0.5, 1.0) << d;
        EXPECT_NEAR(sy / n, s.hotspot.y + 0.5, 1.0) << d;
    }
}

TEST(TurnPicture, EdgesKeepTheirColourAgainstTransparentBlack) {
    // Transparent pixels are stored as (0,0,0,0). Sampling without premultiplied alpha
    // darkens every edge pixel toward black; with it they stay white.
    Image img(32, 32);
    for (int y = 6; y < 26; ++y)
        for (int x = 10; x < 22; ++x) img.at(x, y) = Rgba{255, 255, 255, 255};
    const SliceSet set = turnPicture(img, PointF{16, 6});
    for (int d : {0, 1, 3}) {
        int edges = 0;
        for (const Rgba& p : set[static_cast<std::size_t>(d)].pixels)
            if (p.a) {
                EXPECT_GE(p.r, 250) << d;
                ++edges;
            }
        EXPECT_GT(edges, 150) << d;
    }
}

TEST(FitTo32, ScalesAndMapsTheHotspot) {
    struct Case { int w, h; Pixel hotspot; PointF expected; };
    const Case cases[] = {
        {32, 32, {5, 7}, {5.5, 7.5}},      // already the right size: unchanged
        {64, 64, {63, 63}, {31.75, 31.75}},
        {16, 16, {0, 0}, {1.0, 1.0}},
        {64, 32, {0, 0}, {0.25, 8.25}},    // wide: centred vertically
        {1, 1, {0, 0}, {16.0, 16.0}},
    };
    for (const auto& c : cases) {
        Image src(c.w, c.h);
        for (auto& p : src.pixels) p = Rgba{10, 20, 30, 255};
        PointF hot;
        const Image out = fitTo32(src, c.hotspot, hot);
        EXPECT_EQ(out.width, 32);
        EXPECT_EQ(out.height, 32);
        EXPECT_DOUBLE_EQ(hot.x, c.expected.x) << c.w << "x" << c.h;
        EXPECT_DOUBLE_EQ(hot.y, c.expected.y) << c.w << "x" << c.h;
        EXPECT_EQ(out.at(16, 16), (Rgba{10, 20, 30, 255})) << c.w << "x" << c.h;
    }
}

TEST(FitTo32, ShrinkingAveragesWithPremultipliedAlpha) {
    // Opaque white and transparent black pixels in a fine checkerboard: half covered, still white.
    Image src(64, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) src.at(x, y) = (x + y) % 2 ? Rgba{255, 255, 255, 255} : Rgba{0, 0, 0, 0};
    PointF hot;
    const Image out = fitTo32(src, Pixel{0, 0}, hot);
    for (const Rgba& p : out.pixels) {
        EXPECT_EQ(p.r, 255);
        EXPECT_NEAR(p.a, 128, 1);
    }
}

TEST(DesignTips, ClassicHotspotsMatchTheTipTable) {
    const SliceSet set = renderDesign(Design::Classic, Rgb{255, 255, 255}, Rgb{0, 0, 0});
    for (std::size_t d = 0; d < 16; ++d) {
        EXPECT_LE(std::abs(set[d].hotspot.x - kTipTable[d].x), 1) << d;
        EXPECT_LE(std::abs(set[d].hotspot.y - kTipTable[d].y), 1) << d;
    }
}

TEST(DesignTips, HotspotIsTheFarthestDrawnPixelOfEveryDesign) {
    for (const auto& name : designNames()) {
        const SliceSet set = renderDesign(*designNamed(name), Rgb{255, 140, 0}, Rgb{0, 0, 0});
        const int upright = opaqueCount(set[0]);
        for (int d = 0; d < 16; ++d) {
            const Slice& s = set[static_cast<std::size_t>(d)];
            EXPECT_NE(s.at(s.hotspot.x, s.hotspot.y).a, 0) << name << " " << d << ": hotspot not on the drawing";
            // Project every drawn pixel on the pointing direction: none may reach past the hotspot.
            const double ux = directionSin(d), uy = -directionCos(d);
            const double hot = (s.hotspot.x + 0.5) * ux + (s.hotspot.y + 0.5) * uy;
            double farthest = -1e9;
            for (int y = 0; y < 32; ++y)
                for (int x = 0; x < 32; ++x)
                    if (s.at(x, y).a) farthest = std::max(farthest, (x + 0.5) * ux + (y + 0.5) * uy);
            EXPECT_LE(farthest - hot, 1.0) << name << " " << d;
            // Evenly turned: the drawing keeps its size in every direction.
            EXPECT_NEAR(opaqueCount(s), upright, upright / 10) << name << " " << d;
        }
    }
}

TEST(DesignTips, DrawingNeverTouchesThePictureBorderOnTheTailSide) {
    // The whole design turns inside the picture: nothing but the tip may reach an edge.
    for (const auto& name : designNames()) {
        const SliceSet set = renderDesign(*designNamed(name), Rgb{255, 255, 255}, Rgb{0, 0, 0});
        for (int d = 0; d < 16; ++d) {
            const Slice& s = set[static_cast<std::size_t>(d)];
            for (int i = 0; i < 32; ++i)
                for (const Pixel edge : {Pixel{i, 0}, Pixel{i, 31}, Pixel{0, i}, Pixel{31, i}})
                    if (s.at(edge.x, edge.y).a) {
                        EXPECT_LE(std::abs(edge.x - s.hotspot.x) + std::abs(edge.y - s.hotspot.y), 3)
                            << name << " " << d << " at " << edge.x << "," << edge.y;
                    }
        }
    }
}

TEST(RenderDesignAt, EverySizeHasTheSlicesShapeWithSoftEdgesAndTheHotspotOnTheTip) {
    const Rgb fill{255, 140, 0};
    for (const auto& name : designNames()) {
        const SliceSet slices = renderDesign(*designNamed(name), fill, Rgb{0, 0, 0});
        for (const int side : {48, 128}) {
            const auto pictures = renderDesignAt(*designNamed(name), fill, Rgb{0, 0, 0}, side);
            const int zoom = side / 32;  // whole for 128
            for (std::size_t d = 0; d < 16; ++d) {
                const Image& picture = pictures[d];
                const Slice& slice = slices[d];
                const CursorHotspot hot = ScaleHotspot({slice.hotspot.x, slice.hotspot.y}, side);
                EXPECT_GT(picture.at(hot.x, hot.y).a, 0) << name << " " << side << " " << d;
                int soft = 0, filled = 0, differ = 0;
                for (const Rgba& p : picture.pixels) {
                    soft += p.a > 0 && p.a < 255;
                    filled += p == Rgba{fill.r, fill.g, fill.b, 255};
                }
                EXPECT_GT(soft, side) << name << " " << side << " " << d << ": edges are anti-aliased";
                EXPECT_GT(filled, side) << name << " " << side << " " << d;
                if (side % 32 != 0) continue;
                // Each slice pixel is drawn where the picture covers at least half of it,
                // but for a few on the edge.
                for (int y = 0; y < 32; ++y)
                    for (int x = 0; x < 32; ++x) {
                        int alpha = 0;
                        for (int j = 0; j < zoom; ++j)
                            for (int i = 0; i < zoom; ++i) alpha += picture.at(x * zoom + i, y * zoom + j).a;
                        differ += (alpha * 2 >= 255 * zoom * zoom) != (slice.at(x, y).a != 0);
                    }
                EXPECT_LE(differ, 4) << name << " " << side << " " << d;
            }
        }
    }
}

TEST(RenderDesign, UsesTheGivenColoursAndIsRepeatable) {
    const Rgb fill{30, 200, 90}, outline{120, 0, 40};
    const SliceSet a = renderDesign(Design::Round, fill, outline);
    const SliceSet b = renderDesign(Design::Round, fill, outline);
    EXPECT_EQ(encodeSet(a), encodeSet(b));
    int fills = 0, outlines = 0;
    for (const Rgba& p : a[5].pixels) {
        fills += p == Rgba{fill.r, fill.g, fill.b, 255};
        outlines += p == Rgba{outline.r, outline.g, outline.b, 255};
    }
    EXPECT_GT(fills, 40);
    EXPECT_GT(outlines, 20);
}

TEST(Designs, NamesAreExact) {
    for (const char* known : {"classic", "dart", "round"}) EXPECT_TRUE(designNamed(known)) << known;
    for (const char* unknown : {"", "Classic", "arrow", "round "}) EXPECT_FALSE(designNamed(unknown)) << unknown;
}

}  // namespace
}  // namespace tarn::twc
