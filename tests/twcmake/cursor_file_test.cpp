// The slice writer against a reader written here from the cursor file layout, not from
// the writer; and the palette reduction.
#include "twcmake/cursor_file.h"
#include "twcmake/palette.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <set>

namespace tarn::twc {
namespace {

unsigned le(const Bytes& b, std::size_t at, int width) {
    unsigned v = 0;
    for (int i = width - 1; i >= 0; --i) v = (v << 8) | b[at + static_cast<std::size_t>(i)];
    return v;
}

// Colour of the pixel at (x, y), y counted from the top, as a reader of the file sees it;
// nothing when the mask makes it transparent.
std::optional<Rgb> readPixel(const Bytes& b, int x, int y) {
    const std::size_t row = static_cast<std::size_t>(31 - y);  // rows are stored bottom-up
    const bool transparent = (b[62 + 1024 + 1024 + row * 4 + static_cast<std::size_t>(x) / 8] >> (7 - x % 8)) & 1;
    if (transparent) return std::nullopt;
    const std::size_t entry = 62 + 4u * b[62 + 1024 + row * 32 + static_cast<std::size_t>(x)];
    return Rgb{b[entry + 2], b[entry + 1], b[entry]};
}

int channelError(Rgb a, Rgb b) {
    return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
}

TEST(CursorSlice, HeaderFieldsFollowTheCursorFileLayout) {
    Slice s;
    s.at(5, 9) = Rgba{1, 2, 3, 255};
    s.hotspot = Pixel{7, 30};
    const Bytes b = encodeSlice(s);
    ASSERT_EQ(b.size(), 2238u);

    struct Field { const char* name; std::size_t at; int width; unsigned expected; };
    const Field fields[] = {
        {"reserved", 0, 2, 0},          {"type cursor", 2, 2, 2},        {"one image", 4, 2, 1},
        {"width", 6, 1, 32},            {"height", 7, 1, 32},            {"colour count", 8, 1, 0},
        {"entry reserved", 9, 1, 0},    {"hotspot x", 10, 2, 7},         {"hotspot y", 12, 2, 30},
        {"bytes in resource", 14, 4, 2216}, {"image offset", 18, 4, 22}, {"header size", 22, 4, 40},
        {"bitmap width", 26, 4, 32},    {"doubled height", 30, 4, 64},   {"planes", 34, 2, 1},
        {"bits per pixel", 36, 2, 8},   {"compression", 38, 4, 0},
    };
    for (const auto& f : fields) EXPECT_EQ(le(b, f.at, f.width), f.expected) << f.name;
    const unsigned imageSize = le(b, 42, 4);
    EXPECT_TRUE(imageSize == 0 || imageSize == 1152) << imageSize;
}

TEST(CursorSlice, PixelsAndMaskAreStoredBottomUpAndTransparentPixelsAreBlack) {
    Slice s;
    s.at(3, 1) = Rgba{200, 10, 60, 255};   // near the top: stored in row 30
    s.at(31, 31) = Rgba{0, 0, 0, 255};     // opaque black in the bottom-right corner: stored first
    const Bytes b = encodeSlice(s);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const auto p = readPixel(b, x, y);
            if (x == 3 && y == 1) {
                ASSERT_TRUE(p);
                EXPECT_EQ(*p, (Rgb{200, 10, 60}));
            } else if (x == 31 && y == 31) {
                ASSERT_TRUE(p);
                EXPECT_EQ(*p, (Rgb{0, 0, 0}));
            } else {
                ASSERT_FALSE(p) << x << "," << y;
                // AND 1 with XOR colour 0 leaves the screen as it is; anything else would invert it.
                EXPECT_EQ(b[62 + 1024 + static_cast<std::size_t>((31 - y) * 32 + x)], 0);
            }
        }
    EXPECT_EQ(le(b, 62, 4), 0u) << "palette entry 0 is black";
}

TEST(CursorSlice, HalfOpaqueIsTheThresholdOfTheOneBitMask) {
    struct Case { std::uint8_t alpha; bool drawn; };
    for (const Case c : {Case{0, false}, Case{127, false}, Case{128, true}, Case{255, true}}) {
        Slice s;
        s.at(10, 10) = Rgba{90, 90, 90, c.alpha};
        EXPECT_EQ(readPixel(encodeSlice(s), 10, 10).has_value(), c.drawn) << int(c.alpha);
    }
}

TEST(CursorSlice, HotspotIsKeptInsideThePicture) {
    struct Case { Pixel given, stored; };
    for (const Case c : {Case{{0, 0}, {0, 0}}, Case{{31, 31}, {31, 31}}, Case{{32, 5}, {31, 5}}, Case{{-1, 40}, {0, 31}}}) {
        Slice s;
        s.hotspot = c.given;
        const Bytes b = encodeSlice(s);
        EXPECT_EQ(le(b, 10, 2), static_cast<unsigned>(c.stored.x));
        EXPECT_EQ(le(b, 12, 2), static_cast<unsigned>(c.stored.y));
    }
}

TEST(CursorSlice, ReaderFindsEachMalformedField) {
    Slice s;
    s.at(0, 0) = Rgba{9, 9, 9, 255};
    const Bytes good = encodeSlice(s);
    ASSERT_TRUE(examineSlice(good).ok());

    struct Case { const char* what; std::size_t at; std::uint8_t value; const char* fault; };
    const Case cases[] = {
        {"an icon", 2, 1, "type"},        {"two images", 4, 2, "image count"},
        {"16 wide", 6, 16, "width"},      {"hotspot x 32", 10, 32, "hotspot"},
        {"4 bits", 36, 4, "bits per pixel"}, {"single height", 30, 32, "bitmap height"},
        {"compressed", 38, 1, "compression"}, {"odd image size", 42, 7, "bitmap size"},
    };
    for (const auto& c : cases) {
        Bytes bad = good;
        bad[c.at] = c.value;
        const SliceReport r = examineSlice(bad);
        ASSERT_FALSE(r.ok()) << c.what;
        EXPECT_NE(r.faults.front().find(c.fault), std::string::npos) << c.what << ": " << r.faults.front();
        EXPECT_FALSE(decodeSlice(bad)) << c.what;
    }
    for (std::size_t size : {std::size_t{0}, std::size_t{61}, std::size_t{2237}, std::size_t{2239}}) {
        Bytes wrong = good;
        wrong.resize(size);
        EXPECT_FALSE(examineSlice(wrong).ok()) << size;
    }
}

TEST(CursorSlice, FewColoursSurviveExactly) {
    Slice s;
    for (int i = 0; i < 255; ++i)  // 255 distinct colours fill the palette beside black
        s.pixels[static_cast<std::size_t>(i * 4)] = Rgba{static_cast<std::uint8_t>(i), 255, static_cast<std::uint8_t>(255 - i), 255};
    s.hotspot = Pixel{4, 6};
    const auto back = decodeSlice(encodeSlice(s));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->pixels, s.pixels);
    EXPECT_EQ(back->hotspot, s.hotspot);
}

TEST(CursorSlice, ManyColoursAreReducedToThePaletteAndStayClose) {
    // 1024 distinct colours of a smooth picture: every pixel differs.
    Slice s;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            s.at(x, y) = Rgba{static_cast<std::uint8_t>(x * 8), static_cast<std::uint8_t>(y * 8),
                              static_cast<std::uint8_t>(128 + (x - y) * 2), 255};
    const Bytes b = encodeSlice(s);
    std::set<std::uint8_t> used;
    for (std::size_t i = 0; i < 1024; ++i) used.insert(b[62 + 1024 + i]);
    EXPECT_LE(used.size(), 256u);
    EXPECT_GT(used.size(), 200u) << "the palette should be put to use";
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const auto p = readPixel(b, x, y);
            ASSERT_TRUE(p);
            const Rgba src = s.at(x, y);
            EXPECT_LE(channelError(*p, Rgb{src.r, src.g, src.b}), 12) << x << "," << y;
        }
}

TEST(ReduceColours, BoundsThePaletteOnBothSidesOfTheLimit) {
    std::mt19937 random(7);  // fixed seed: the same colours every run
    std::uniform_int_distribution<int> byte(0, 255);
    struct Case { std::size_t distinct, limit, expectedSize; int maxError; };
    // At or under the limit nothing moves; over it, the palette is full and colours are near.
    for (const Case c : {Case{255, 255, 255, 0}, Case{256, 255, 255, 60}, Case{256, 256, 256, 0},
                         Case{1024, 256, 256, 60}, Case{5000, 16, 16, 130}}) {
        std::set<std::array<int, 3>> seen;
        std::vector<Rgb> colours;
        while (colours.size() < c.distinct) {
            const Rgb col{static_cast<std::uint8_t>(byte(random)), static_cast<std::uint8_t>(byte(random)),
                          static_cast<std::uint8_t>(byte(random))};
            if (seen.insert({col.r, col.g, col.b}).second) colours.push_back(col);
        }
        const ReducedColours r = reduceColours(colours, c.limit);
        EXPECT_EQ(r.palette.size(), c.expectedSize) << c.distinct;
        ASSERT_EQ(r.index.size(), colours.size());
        int worst = 0;
        for (std::size_t i = 0; i < colours.size(); ++i) {
            ASSERT_LT(r.index[i], r.palette.size());
            worst = std::max(worst, channelError(colours[i], r.palette[r.index[i]]));
        }
        EXPECT_LE(worst, c.maxError) << c.distinct << " colours into " << c.limit;
    }
}

TEST(ReduceColours, CommonColoursKeepTheirOwnEntry) {
    // A picture mostly of two colours with a sprinkle of noise: the two must stay exact.
    std::vector<Rgb> colours(600, Rgb{255, 255, 255});
    colours.insert(colours.end(), 300, Rgb{0, 0, 0});
    for (int i = 0; i < 400; ++i)
        colours.push_back(Rgb{static_cast<std::uint8_t>(i % 256), static_cast<std::uint8_t>((i * 7) % 256),
                              static_cast<std::uint8_t>((i * 13) % 256)});
    const ReducedColours r = reduceColours(colours, 64);
    EXPECT_EQ(r.palette[r.index[0]], (Rgb{255, 255, 255}));
    EXPECT_EQ(r.palette[r.index[600]], (Rgb{0, 0, 0}));
}

}  // namespace
}  // namespace tarn::twc
