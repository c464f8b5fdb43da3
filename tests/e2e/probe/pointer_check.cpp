// pointer_check: what the end-to-end tests compare the program's installed pointer with,
// built with the program's own code for Windows (build/mingw/pointer_check.exe) and run
// under Wine beside it.
//
//   pointer_check.exe DUMP SET.TWC
//
// DUMP is a pointer as pointer_shim.dll read it back inside the program; SET.TWC a set
// with its large pictures beside it. Prints one line:
//   side=<n> direction=<d> companion=<x> slice=<y> hotspot=<x>,<y> expected=<x>,<y>
// where direction is the set's direction whose large picture, scaled to the pointer's
// side by the program's own scaling, is nearest to the pointer; companion is the mean
// difference from that picture and slice the mean difference from the same direction's
// 32 x 32 slice scaled to that side (0 to 255 a channel, over the pixels either covers,
// colour weighted by alpha); expected is the slice's hot spot scaled as the program
// scales it. Exit code 0, or 1 with a message when the files cannot be read.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <span>
#include <vector>

#include "cursorset/companion.h"
#include "cursorset/cursor_check.h"
#include "stb/pictures.h"
#include "twcmake/cursor_file.h"
#include "twcmake/png_io.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes readAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uint32_t word(const Bytes& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

// The mean difference of two pictures of one size, over the pixels either covers.
double difference(const tarn::RgbaPicture& a, const tarn::RgbaPicture& b) {
    double sum = 0;
    long covered = 0;
    for (std::size_t i = 0; i < a.rgba.size(); i += 4) {
        const int alphaA = a.rgba[i + 3], alphaB = b.rgba[i + 3];
        if (alphaA == 0 && alphaB == 0) continue;
        ++covered;
        sum += std::abs(alphaA - alphaB);
        for (std::size_t c = 0; c < 3; ++c) sum += std::abs(a.rgba[i + c] * alphaA - b.rgba[i + c] * alphaB) / 255.0;
    }
    return covered ? sum / (4.0 * static_cast<double>(covered)) : 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: pointer_check DUMP SET.TWC\n");
        return 1;
    }
    const Bytes dump = readAll(argv[1]);
    const fs::path set = argv[2];
    if (dump.size() < 20 || word(dump, 0) != 0x44505754) {
        std::fprintf(stderr, "%s: not a pointer dump\n", argv[1]);
        return 1;
    }
    const int side = static_cast<int>(word(dump, 4));
    tarn::RgbaPicture shown(side, static_cast<int>(word(dump, 8)));
    if (shown.width != shown.height || dump.size() != 20 + shown.rgba.size()) {
        std::fprintf(stderr, "%s: not a square pointer\n", argv[1]);
        return 1;
    }
    for (std::size_t i = 0; i < shown.rgba.size(); i += 4) {  // blue, green, red, alpha
        shown.rgba[i] = dump[20 + i + 2];
        shown.rgba[i + 1] = dump[20 + i + 1];
        shown.rgba[i + 2] = dump[20 + i];
        shown.rgba[i + 3] = dump[20 + i + 3];
    }
    const std::optional<tarn::CompanionRead> large = tarn::ReadCompanionFile(fs::path(set).replace_extension(".png"));
    const Bytes slices = readAll(set);
    if (!large || !large->companion || slices.size() != tarn::kSetFileBytes) {
        std::fprintf(stderr, "%s: no set with its large pictures\n", argv[2]);
        return 1;
    }
    std::size_t nearest = 0;
    double best = std::numeric_limits<double>::max();
    for (std::size_t d = 0; d < tarn::kSliceCount; ++d) {
        const double diff = difference(shown, tarn::PictureAtSide(large->companion->directions[d], side));
        if (diff < best) best = diff, nearest = d;
    }
    const auto slice = std::span(slices).subspan(nearest * tarn::kSliceBytes, tarn::kSliceBytes);
    const std::optional<tarn::twc::Slice> small = tarn::twc::decodeSlice(slice);
    if (!small) {
        std::fprintf(stderr, "%s: slice %zu is no cursor\n", argv[2], nearest);
        return 1;
    }
    tarn::twc::Image picture(tarn::twc::kSide, tarn::twc::kSide);
    picture.pixels.assign(small->pixels.begin(), small->pixels.end());
    const double stretched = difference(shown, tarn::ScalePicture(tarn::twc::pictureOf(picture), side, side));
    const tarn::CursorHotspot expected =
        tarn::ScaleHotspot({small->hotspot.x, small->hotspot.y}, side);
    std::printf("side=%d direction=%zu companion=%.2f slice=%.2f hotspot=%u,%u expected=%d,%d\n", side, nearest, best,
                stretched, word(dump, 12), word(dump, 16), expected.x, expected.y);
    return 0;
}
