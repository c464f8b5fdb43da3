// A set's large pictures: which sheets are companions, what every other file is told,
// and the pointer files made of them.
#include "cursorset/companion.h"
#include "cursorset/library.h"
#include "cursorset/set_pictures.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/units.h"
#include "support/fixtures.h"
#include "support/recording_platform.h"

namespace tarn {
namespace {

using testing::Bytes;
using ::testing::HasSubstr;

// Direction d's cell is filled with a colour of its own, inside a clear border of
// `border` pixels.
RgbaPicture sheet(int width, int height, int border = 0) {
    RgbaPicture picture(width, height);
    const int cell = width / kCompanionColumns;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int cx = x % cell, cy = y % std::max(1, height / kCompanionColumns), d = y / cell * 4 + x / cell;
            if (cx < border || cy < border || cx >= cell - border || cy >= cell - border) continue;
            const std::uint8_t rgba[4] = {static_cast<std::uint8_t>(16 * d), 200, 40, 255};
            std::copy_n(rgba, 4, picture.pixel(x, y));
        }
    return picture;
}

Bytes png(int width, int height) { return EncodePng(sheet(width, height)); }

// A PNG's chunk, its CRC left zero (the decoder does not look at it).
Bytes withChunk(Bytes file, const char* type, std::size_t length) {
    Bytes chunk{static_cast<std::uint8_t>(length >> 24), static_cast<std::uint8_t>(length >> 16),
                static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length)};
    chunk.insert(chunk.end(), type, type + 4);
    chunk.resize(chunk.size() + length + 4);
    file.insert(file.end() - 12, chunk.begin(), chunk.end());  // before IEND
    return file;
}

Bytes withSize(Bytes file, std::uint32_t width, std::uint32_t height) {
    for (int i = 0; i < 4; ++i) {
        file[16 + i] = static_cast<std::uint8_t>(width >> (24 - 8 * i));
        file[20 + i] = static_cast<std::uint8_t>(height >> (24 - 8 * i));
    }
    return file;
}

TEST(ReadCompanion, TakesOnlyFourByFourSquareCellsOf32To256Pixels) {
    const Bytes good = png(512, 512);
    const Bytes exact = withChunk(good, "prVt", kMaxCompanionBytes - good.size() - 12);
    const struct {
        const char* what;
        Bytes file;
        int cell;  // 0: none, and the fault says `fault`
        const char* fault;
    } cases[] = {
        {"cells of 128", good, 128, ""},
        {"cells of 256", png(1024, 1024), 256, ""},
        {"cells of 32", png(128, 128), 32, ""},
        {"exactly 16 MiB", exact, 128, ""},
        {"a byte over 16 MiB", withChunk(good, "prVt", kMaxCompanionBytes - good.size() - 11), 0, "16777217 bytes long"},
        {"cells of 31", png(124, 124), 0, "124 by 124 pixels, so its cells are 31 by 31 pixels"},
        {"cells of 257", png(1028, 1028), 0, "cells are 257 by 257"},
        {"not four by four", png(510, 510), 0, "510 by 510 pixels, which is not 4 by 4 cells"},
        {"cells not square", png(512, 256), 0, "its cells (128 by 64 pixels) are not square"},
        {"a header asking for gigapixels", withSize(good, 100000, 100000), 0, "cells are 25000 by 25000"},
        {"no pixels", withSize(good, 0, 0), 0, "0 by 0 pixels, which is not"},
        {"not a PNG", Bytes{'G', 'I', 'F', '8', '9', 'a', 0, 0, 0}, 0, "Not a PNG picture."},
        {"empty", Bytes{}, 0, "Not a PNG picture."},
        {"cut in half", Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(good.size() / 2)), 0,
         "A damaged PNG ("},
        // 1024 x 1024 clear pixels in a few kilobytes, said to be 128 x 128: the data
        // unpacks to 64 times what the picture holds.
        {"a decompression bomb", withSize(EncodePng(RgbaPicture(1024, 1024)), 128, 128), 0, "unpacks to more"},
    };
    for (const auto& c : cases) {
        const CompanionRead read = ReadCompanion(c.file);
        ASSERT_EQ(read.companion.has_value(), c.cell != 0) << c.what << ": " << read.fault;
        if (!read.companion) {
            EXPECT_THAT(read.fault, HasSubstr(c.fault)) << c.what;
            continue;
        }
        EXPECT_EQ(read.fault, "");
        EXPECT_EQ(read.companion->cell, c.cell) << c.what;
        for (std::size_t d = 0; d < kSliceCount; ++d) {  // row by row
            const RgbaPicture& cell = read.companion->directions[d];
            ASSERT_EQ(cell.width, c.cell);
            EXPECT_EQ(cell.pixel(c.cell - 1, c.cell - 1)[0], 16 * d) << c.what << " " << d;
        }
    }
}

TEST(PictureAtSide, KeepsAClearBorderClearAndTheInsideOpaqueInItsColour) {
    // A 256-pixel cell, its outer 64 pixels clear (colour black); the inside pink.
    const RgbaPicture cell = CutSheet(sheet(1024, 1024, 64))[8];
    for (const int side : {32, 48, 64, 96, 128, 200, 256}) {
        const RgbaPicture small = PictureAtSide(cell, side);
        ASSERT_EQ(small.width, side);
        const int margin = side / 4;  // where the border ends
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                const std::uint8_t* p = small.pixel(x, y);
                const int inside = std::min({x, y, side - 1 - x, side - 1 - y}) - margin;
                const std::string at = std::to_string(side) + ": " + std::to_string(x) + "," + std::to_string(y);
                EXPECT_TRUE(inside >= -2 || p[3] == 0) << at;
                EXPECT_TRUE(inside <= 2 || p[3] == 255) << at;
                // Edge pixels part covered keep the colour: clear black does not darken them.
                EXPECT_TRUE(p[3] == 0 || (p[1] >= 199 && p[1] <= 201)) << at << ": " << int(p[1]);
            }
    }
}

TEST(CompanionCursor, HotSpotIsThePixelHoldingTheSlicesScaled) {
    const Companion companion{256, CutSheet(sheet(1024, 1024))};
    const struct {
        int slice, side, expected;
    } cases[] = {
        // The middle of slice pixel h, (h + 0.5) * side / 32, falls in the pixel given.
        {0, 32, 0},   {31, 32, 31},  {17, 32, 17},  {1, 48, 2},   {2, 48, 3},   {3, 48, 5},   {31, 48, 47},
        {1, 40, 1},   {2, 40, 3},    {3, 40, 4},    {0, 64, 1},   {31, 64, 63}, {16, 64, 33}, {31, 256, 252},
        {1, 256, 12}, {40, 32, 31},  {40, 48, 47},  // a hot spot beyond the slice stays inside the picture
    };
    for (const auto& c : cases) {
        const auto file = CompanionCursor(companion, 5, testing::cursorSlice(1, c.slice, c.slice), std::array{c.side});
        ASSERT_TRUE(file) << c.slice;
        const auto entry = ReadCursorEntry(*file);
        ASSERT_TRUE(entry);
        EXPECT_EQ(entry->hotspot, (CursorHotspot{c.expected, c.expected})) << c.slice << " at " << c.side;
        EXPECT_EQ(entry->width, c.side);
    }
    EXPECT_FALSE(CompanionCursor(companion, 0, Bytes(21, 0), kPointerSides)) << "no entry, no hot spot";
}

TEST(CompanionCursor, EverySizeInOneFileReadsBackToAnotherReader) {
    const std::filesystem::path identify = "/usr/bin/identify";
    if (!std::filesystem::exists(identify)) GTEST_SKIP() << identify << " is absent (Debian package imagemagick)";
    const Companion companion{256, CutSheet(sheet(1024, 1024, 64))};
    const auto file = CompanionCursor(companion, 6, testing::cursorSlice(1), kPointerSides);
    ASSERT_TRUE(file);
    EXPECT_TRUE(DescribesImage(*file));
    testing::TempFolder dir;
    testing::writeFile(dir / "six.cur", testing::Bytes(file->begin(), file->end()));
    // Each picture's size, its corner (clear) and its middle (direction 6's colour, opaque).
    const std::string seen =
        testing::capture(identify.string() + " -format '%w %h %[pixel:p{0,0}] %[pixel:p{w/2,h/2}]\\n' '" +
                (dir / "six.cur").string() + "' 2>&1");
    EXPECT_EQ(seen,
              "32 32 srgba(0,0,0,0) srgba(96,200,40,1)\n"
              "48 48 srgba(0,0,0,0) srgba(96,200,40,1)\n"
              "64 64 srgba(0,0,0,0) srgba(96,200,40,1)\n"
              "96 96 srgba(0,0,0,0) srgba(96,200,40,1)\n"
              "128 128 srgba(0,0,0,0) srgba(96,200,40,1)\n"
              "256 256 srgba(0,0,0,0) srgba(96,200,40,1)\n");
}

TEST(CompanionName, IsTheSetsNameWithPngInAnyLetterCase) {
    EXPECT_EQ(CompanionName("Arrows.TWC"), "Arrows.png");
    EXPECT_EQ(CompanionName("a.b.twc"), "a.b.png");
    EXPECT_TRUE(IsCompanionOf("Arrows.TWC", "Arrows.PNG"));
    EXPECT_TRUE(IsCompanionOf("Arrows.TWC", "arrows.Png"));
    EXPECT_FALSE(IsCompanionOf("Arrows.TWC", "Arrows.png.png"));
    EXPECT_FALSE(IsCompanionOf("Arrows.TWC", "Arrow.png"));
}

// Cell 2, read the first time the set is asked for, however its name is written: a companion
// changed or mended later is not read. At 100 % the slice is shown as it is.
TEST(SetPictures, TheCompanionsCellAtTheWindowsSideReadOncePerRun) {
    const struct {
        const char* what;
        unsigned dpi;
        int side;           // of the pictures in pixels
        const char* file;   // the companion's name
        bool good = true;   // else it is no PNG until after its first read
        bool dibFails = false;
    } cases[] = {
        {"100 %", 96, 32, "a.png"},  {"125 %", 120, 40, "a.png"}, {"150 %, A.PNG", 144, 48, "A.PNG"},
        {"175 %", 168, 56, "a.png"}, {"200 %", 192, 64, "a.png"}, {"200 %, no PNG at first", 192, 64, "a.png", false},
        {"200 %, no picture for the preview", 192, 64, "a.png", true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        testing::TempFolder folder;
        testing::RecordingPlatform p{folder.path()};
        p.tppX = p.tppY = TwipsPerPixel(c.dpi);
        ASSERT_EQ(SetPictureSide(p.tppX), c.side);
        testing::writeFile(folder / "a.TWC", testing::cursorSet(1));
        testing::writeFile(folder / c.file, c.good ? EncodePng(sheet(512, 512)) : Bytes{'G', 'I', 'F'});
        CursorSet set;
        SetPictures pictures;
        ASSERT_TRUE(ShowIcons(p, set));
        if (c.dibFails) p.failCall("CreateDIBSection");
        p.SetPreviewPicture(pictures.preview(p, set, "A.twc", {}));
        testing::writeFile(folder / c.file, EncodePng(sheet(512, 512, 8)));
        pictures.sharpenListPicture(p, "a", {});
        pictures.sharpenPreview(p, {});

        const RgbaPicture made = PictureAtSide(CutSheet(sheet(512, 512))[kPreviewSlice], c.side);
        const testing::ImageId slice = testing::RecordingPlatform::imageOf(testing::cursorSlice(16 + kPreviewSlice));
        const testing::ImageId sharp =
            c.good && c.side != kSliceSide ? testing::RecordingPlatform::imageOfPixels(c.side, c.side, made.rgba) : slice;
        EXPECT_EQ(p.imageList.at(0).image, sharp);
        EXPECT_EQ(p.preview, sharp);
        EXPECT_EQ(p.count("LoadPicture"), sharp == slice || c.dibFails ? 2 : 1);  // the list's, the preview's
        EXPECT_TRUE(p.messages.empty());
        EXPECT_TRUE(p.misuse().empty());
    }
}

}  // namespace
}  // namespace tarn
