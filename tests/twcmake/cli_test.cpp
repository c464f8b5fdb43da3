// The command line, run in-process: every bad input gets one clear line on stderr and
// a non-zero status, and leaves the target folder as it was.
#include "twcmake/cli.h"
#include "twcmake/cursor_file.h"
#include "twcmake/png_io.h"
#include "twcmake/render.h"
#include "support/fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace tarn::twc {
namespace {

namespace fs = std::filesystem;
using tarn::testing::TempFolder;

struct Outcome {
    int status;
    std::string out, err;
};

Outcome run(std::vector<std::string> args) {
    std::ostringstream out, err;
    const int status = runTwcmake(args, out, err);
    return Outcome{status, out.str(), err.str()};
}

std::vector<std::string> listing(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void writeBytes(const fs::path& file, const std::vector<std::uint8_t>& bytes) {
    tarn::testing::writeFile(file, tarn::testing::Bytes(bytes.begin(), bytes.end()));
}

// A PNG signature and header chunk claiming the given size, with no pixel data.
std::vector<std::uint8_t> pngHeaderOnly(std::uint32_t w, std::uint32_t h) {
    std::vector<std::uint8_t> b{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    for (std::uint32_t v : {w, h})
        for (int shift = 24; shift >= 0; shift -= 8) b.push_back(static_cast<std::uint8_t>(v >> shift));
    b.insert(b.end(), {8, 6, 0, 0, 0, 0, 0, 0, 0});
    return b;
}

std::vector<std::uint8_t> upPointerPng(int side) {
    Image img(side, side);
    for (int y = side / 8; y < side - side / 8; ++y)
        for (int x = side / 2 - side / 8; x <= side / 2 + side / 8; ++x) img.at(x, y) = Rgba{250, 40, 40, 255};
    return encodePng(img);
}

std::vector<std::uint8_t> renderOk() { return encodeSet(renderDesign(Design::Classic, Rgb{255, 255, 255}, Rgb{0, 0, 0})); }

class CommandLine : public ::testing::Test {
protected:
    TempFolder dir;
    std::string at(const std::string& name) const { return (dir / name).string(); }
};

TEST_F(CommandLine, BadInputGetsOneLineAndNothingIsWritten) {
    writeBytes(dir / "text.png", {'h', 'e', 'l', 'l', 'o'});
    writeBytes(dir / "zero.png", pngHeaderOnly(0, 5));
    writeBytes(dir / "huge.png", pngHeaderOnly(100000, 100000));
    writeBytes(dir / "wide.png", pngHeaderOnly(4097, 1));
    writeBytes(dir / "limit.png", pngHeaderOnly(4096, 1));  // passes the size guard, then fails to decode
    writeBytes(dir / "p32.png", upPointerPng(32));
    writeBytes(dir / "wide-sheet.png", encodePng(Image(256, 128)));
    writeBytes(dir / "small-sheet.png", encodePng(Image(124, 124)));
    writeBytes(dir / "odd-sheet.png", encodePng(Image(258, 258)));
    writeBytes(dir / "sheet.png", encodePng(Image(256, 256)));
    writeBytes(dir / "taken.png", {'m', 'i', 'n', 'e'});
    const auto set = renderOk();
    auto shortSet = set;
    shortSet.pop_back();
    writeBytes(dir / "short.TWC", shortSet);
    auto longSet = set;
    longSet.push_back(0);
    writeBytes(dir / "long.TWC", longSet);
    writeBytes(dir / "whole.TWC", set);
    fs::create_directory(dir / "folder.TWC");
    const auto before = listing(dir.path());

    struct Case { std::vector<std::string> args; int status; const char* message; };
    const std::string out = at("out.TWC");
    const Case cases[] = {
        {{"make", "--from", at("missing.png"), "--hotspot", "1,1", "-o", out}, 1, "no such file"},
        {{"make", "--from", at("text.png"), "--hotspot", "1,1", "-o", out}, 1, "not a PNG"},
        {{"make", "--from", at("zero.png"), "--hotspot", "0,0", "-o", out}, 1, "0x5 pixels"},
        {{"make", "--from", at("huge.png"), "--hotspot", "0,0", "-o", out}, 1, "100000x100000 pixels"},
        {{"make", "--from", at("wide.png"), "--hotspot", "0,0", "-o", out}, 1, "4097x1 pixels"},
        {{"make", "--from", at("limit.png"), "--hotspot", "0,0", "-o", out}, 1, "a damaged PNG"},
        {{"make", "--from", at("p32.png"), "--hotspot", "32,0", "-o", out}, 1, "outside the 32x32 picture"},
        {{"make", "--from", at("p32.png"), "--hotspot", "0,32", "-o", out}, 1, "outside the 32x32 picture"},
        {{"make", "--from", at("p32.png"), "--hotspot", "-1,3", "-o", out}, 2, "bad hotspot"},
        {{"make", "--from", at("p32.png"), "--hotspot", "3", "-o", out}, 2, "bad hotspot"},
        {{"make", "--from", at("p32.png"), "-o", out}, 2, "needs --hotspot"},
        {{"make", "--design", "arrowhead", "-o", out}, 2, "unknown design 'arrowhead'"},
        {{"make", "--design", "classic", "--fill", "#12345", "-o", out}, 2, "bad colour '#12345'"},
        {{"make", "--design", "classic", "--outline", "beige", "-o", out}, 2, "bad colour 'beige'"},
        {{"make", "--design", "classic", "--size", "48", "-o", out}, 2, "unknown option '--size'"},
        {{"make", "--design", "classic", "-o"}, 2, "needs a value"},
        {{"make", "--design", "classic"}, 2, "needs -o"},
        {{"make", "--design", "classic", "--from", at("p32.png"), "-o", out}, 2, "one of --design, --sheet or --from"},
        {{"make", "--sheet", at("sheet.png"), "--from", at("p32.png"), "-o", out}, 2, "one of --design, --sheet"},
        {{"make", "--design", "dart", "--hotspot", "1,1", "-o", out}, 2, "--hotspot goes with --sheet or --from"},
        {{"make", "--sheet", at("wide-sheet.png"), "--hotspot", "1,1", "-o", out}, 1, "256x128 pixels; a sheet is 4 by 4"},
        {{"make", "--sheet", at("small-sheet.png"), "--hotspot", "1,1", "-o", out}, 1, "124x124 pixels; a sheet is"},
        {{"make", "--sheet", at("odd-sheet.png"), "--hotspot", "1,1", "-o", out}, 1, "258x258 pixels; a sheet is"},
        {{"make", "--sheet", at("sheet.png"), "--hotspot", "64,0", "-o", out}, 1, "outside the 64x64 cell"},
        {{"make", "--sheet", at("sheet.png"), "-o", out}, 2, "--sheet needs --hotspot"},
        {{"make", "--sheet", at("sheet.png"), "--hotspot", "1,1", "--fill", "red", "-o", out}, 2, "go with --design"},
        {{"make", "--sheet", at("text.png"), "--hotspot", "1,1", "-o", out}, 1, "not a PNG"},
        // A picture of the user's where the set's large pictures would go.
        {{"make", "--design", "classic", "-o", at("taken.TWC")}, 1, "taken.png is there and is not a set's large"},
        {{"make", "--sheet", at("sheet.png"), "--hotspot", "32,8", "-o", at("taken.TWC")}, 1, "leaves it alone"},
        {{"make", "--design", "classic", "-o", at("no-such-folder/out.TWC")}, 1, "no such folder"},
        {{"make", "--design", "classic", "-o", at("folder.TWC")}, 1, "is a folder, not a set file"},
        {{"check", at("short.TWC")}, 1, "35807 bytes; a cursor set is 35808 bytes"},
        {{"check", at("long.TWC")}, 1, "35809 bytes"},
        {{"check", at("missing.TWC")}, 1, "no such file"},
        {{"explode", at("short.TWC"), at("parts")}, 1, "35807 bytes"},
        {{"explode", at("short.TWC")}, 2, "explode needs"},
        // Its contact sheet would pass for the set's own large pictures.
        {{"explode", at("whole.TWC"), dir.path().string()}, 1, "would be taken as the large pictures of"},
        {{"frobnicate"}, 2, "unknown command"},
        {{}, 2, "usage"},
    };
    for (const auto& c : cases) {
        std::string shown;
        for (const auto& a : c.args) shown += a + " ";
        const Outcome r = run(c.args);
        EXPECT_EQ(r.status, c.status) << shown;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << shown << "\n" << r.err;
        if (!c.args.empty()) {
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << shown << "\n" << r.err;
        }
        EXPECT_EQ(listing(dir.path()), before) << shown;
    }
}

TEST_F(CommandLine, FailedMakeLeavesTheOldFileAlone) {
    writeBytes(dir / "Mine.TWC", {'k', 'e', 'e', 'p'});
    writeBytes(dir / "text.png", {'n', 'o'});
    EXPECT_EQ(run({"make", "--from", at("text.png"), "--hotspot", "0,0", "-o", at("Mine.TWC")}).status, 1);
    EXPECT_EQ(run({"make", "--design", "nope", "-o", at("Mine.TWC")}).status, 2);
    EXPECT_EQ(tarn::testing::readText(dir / "Mine.TWC"), "keep");
    EXPECT_EQ(listing(dir.path()), (std::vector<std::string>{"Mine.TWC", "text.png"}));

    // A successful make replaces it whole, and its large pictures come beside it.
    ASSERT_EQ(run({"make", "--design", "dart", "-o", at("Mine.TWC")}).status, 0);
    EXPECT_EQ(fs::file_size(dir / "Mine.TWC"), kSetBytes);
    EXPECT_EQ(listing(dir.path()), (std::vector<std::string>{"Mine.TWC", "Mine.png", "text.png"}));
}

// Direction d's cell holds a bar pointing up, in a colour of its own.
Image sheetOfBars(int cell) {
    Image sheet(4 * cell, 4 * cell);
    for (int d = 0; d < 16; ++d)
        for (int y = cell / 8; y < cell - cell / 8; ++y)
            for (int x = cell / 2 - cell / 8; x < cell / 2 + cell / 8; ++x)
                sheet.at(d % 4 * cell + x, d / 4 * cell + y) = Rgba{static_cast<std::uint8_t>(15 * d), 90, 200, 255};
    return sheet;
}

// From one upright picture of any size, or from a sheet of sixteen, whose large pictures come
// beside the set: up keeps the hotspot (scaled to 32), right turns it to the right edge.
TEST_F(CommandLine, MakeFromAPictureOrASheetAndCheckIt) {
    struct Case { std::string option; int side; std::string hotspot, up = "", right = "", large = ""; };
    for (const Case& c : {Case{"--from", 32, "16,4", "16,4", "27,16"}, Case{"--from", 1, "0,0"}, Case{"--from", 200, "199,199"},
                          Case{"--from", 7, "3,0"}, Case{"--sheet", 64, "32,8", "16,4", "27,16", "64x64"},
                          Case{"--sheet", 300, "150,0", "16,0", "31,16", "256x256"}}) {
        const bool sheet = c.option == "--sheet";
        writeBytes(at("p.png"), sheet ? encodePng(sheetOfBars(c.side)) : upPointerPng(c.side));
        const Outcome made = run({"make", c.option, at("p.png"), "--hotspot", c.hotspot, "-o", at("Bars.TWC")});
        ASSERT_EQ(made.status, 0) << c.side << ": " << made.err;
        EXPECT_EQ(fs::file_size(dir / "Bars.TWC"), kSetBytes);
        const Outcome checked = run({"check", at("Bars.TWC")});
        EXPECT_EQ(checked.status, 0) << checked.out;
        EXPECT_NE(checked.out.find("all 16 slices well formed"), std::string::npos);
        for (const auto& [slice, hotspot] : {std::pair{"slice  0", c.up}, std::pair{"slice  4", c.right}})
            EXPECT_TRUE(hotspot.empty() || checked.out.find(std::string(slice) + ": ok, 32x32 8-bit cursor, hotspot " +
                                                            hotspot) != std::string::npos) << checked.out;
        EXPECT_NE(checked.out.find(sheet ? "large pictures Bars.png: ok, 16 cells of " + c.large : "no large pictures"),
                  std::string::npos) << checked.out;
        if (!sheet) continue;
        const auto slices = tarn::testing::readFile(dir / "Bars.TWC");
        const auto slice9 = decodeSlice(std::span(slices).subspan(9 * kSliceBytes, kSliceBytes));
        ASSERT_TRUE(slice9);
        EXPECT_EQ(slice9->at(16, 16), (Rgba{135, 90, 200, 255})) << "direction 9 from cell 9, scaled down";
    }
    // The set's own large pictures as a sheet: used as they are, not written again.
    const auto companion = tarn::testing::readFile(dir / "Bars.png");
    ASSERT_EQ(run({"make", "--sheet", at("Bars.png"), "--hotspot", "128,0", "-o", at("Bars.TWC")}).status, 0);
    EXPECT_EQ(tarn::testing::readFile(dir / "Bars.png"), companion);
    // --from makes no large pictures, and says that those beside are another set's.
    writeBytes(at("p.png"), upPointerPng(32));
    const Outcome from = run({"make", "--from", at("p.png"), "--hotspot", "16,4", "-o", at("Bars.TWC")});
    EXPECT_NE(from.err.find("Bars.png beside the set holds large pictures of another set"), std::string::npos);
    // A damaged companion fails the check.
    writeBytes(dir / "Bars.png", std::vector<std::uint8_t>(companion.begin(), companion.begin() + 100));
    const Outcome checked = run({"check", at("Bars.TWC")});
    EXPECT_EQ(checked.status, 1);
    EXPECT_NE(checked.out.find("large pictures Bars.png: FAULT: A damaged PNG"), std::string::npos) << checked.out;
}

TEST_F(CommandLine, WarnsWhenTheHotspotTurnsOutOfThePicture) {
    writeBytes(at("p.png"), upPointerPng(32));
    struct Case { const char* hotspot; bool warned; };
    // Within 16 pixels of the centre every turn stays inside; a corner leaves it.
    for (const Case c : {Case{"16,4", false}, Case{"16,0", false}, Case{"0,0", true}, Case{"31,31", true}}) {
        const Outcome r = run({"make", "--from", at("p.png"), "--hotspot", c.hotspot, "-o", at("w.TWC")});
        EXPECT_EQ(r.status, 0) << c.hotspot;
        EXPECT_EQ(r.err.find("warning: the hotspot turns out") != std::string::npos, c.warned) << c.hotspot << r.err;
    }
}

TEST_F(CommandLine, CheckNamesTheFaultySlice) {
    auto set = renderOk();
    set[5 * kSliceBytes + 2] = 1;  // slice 5 claims to be an icon
    writeBytes(dir / "bad.TWC", set);
    const Outcome r = run({"check", at("bad.TWC")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("slice  5: FAULT: type is 1, not 2"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("slice  6: ok"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("1 of 16 slices faulty"), std::string::npos) << r.out;

    const Outcome e = run({"explode", at("bad.TWC"), at("parts")});
    EXPECT_EQ(e.status, 1);
    EXPECT_NE(e.err.find("slice 5"), std::string::npos) << e.err;
    EXPECT_FALSE(fs::exists(dir / "parts"));
}

TEST_F(CommandLine, ExplodeWritesSixteenCursorsAndASheetAndThePointersOfTheLargePictures) {
    ASSERT_EQ(run({"make", "--design", "round", "--fill", "#3fa9f5", "-o", at("Round.TWC")}).status, 0);
    const Outcome r = run({"explode", at("Round.TWC"), at("parts/deeper")});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto whole = tarn::testing::readFile(dir / "Round.TWC");
    for (int d = 0; d < 16; ++d) {
        const std::string name = std::string("Round-") + (d < 10 ? "0" : "") + std::to_string(d) + ".cur";
        const auto slice = tarn::testing::readFile(dir / "parts/deeper" / name);
        ASSERT_EQ(slice.size(), kSliceBytes) << name;
        EXPECT_TRUE(std::equal(slice.begin(), slice.end(), whole.begin() + d * static_cast<std::ptrdiff_t>(kSliceBytes)))
            << name;
    }
    const auto sheet = tarn::testing::readFile(dir / "parts/deeper/Round.png");
    const PngInfo size = ReadPngInfo(std::vector<std::uint8_t>(sheet.begin(), sheet.end()));
    EXPECT_GE(size.width, 16u * 32u);  // four times enlarged, twice over
    // The large pictures at 32 to 128 pixels, four to a row, twice.
    const auto sizes = tarn::testing::readFile(dir / "parts/deeper/Round-sizes.png");
    EXPECT_GE(ReadPngInfo(std::vector<std::uint8_t>(sizes.begin(), sizes.end())).height, 2u * 4u * 128u);
    EXPECT_EQ(listing(dir / "parts/deeper").size(), 34u);  // and each direction's pointer file of them
}

TEST(ColourAndHotspotText, ParseOnlyWhatTheyShould) {
    EXPECT_EQ(parseColour("#ff8000"), (Rgb{255, 128, 0}));
    EXPECT_EQ(parseColour("#A0b0C0"), (Rgb{160, 176, 192}));
    EXPECT_EQ(parseColour("white"), (Rgb{255, 255, 255}));
    for (const char* bad : {"", "#", "ff8000", "#ff80001", "#ff80zz", "#-ff800", "White"}) EXPECT_FALSE(parseColour(bad)) << bad;
    EXPECT_EQ(parseHotspot("0,31"), (Pixel{0, 31}));
    EXPECT_EQ(parseHotspot("4095,7"), (Pixel{4095, 7}));
    for (const char* bad : {"", ",", "1,", ",1", "1;2", "1,2,3", "+1,2", "1, 2", "9999999999,1"})
        EXPECT_FALSE(parseHotspot(bad)) << bad;
}

}  // namespace
}  // namespace tarn::twc
