// A companion picture's bytes, read as the loader reads them: any input gives either
// sixteen square cells of 32 to 256 pixels and no fault, or no cells and one sentence
// saying what is wrong; a small companion also makes a pointer file of every size.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "cursorset/companion.h"
#include "support/fixtures.h"

namespace {

using namespace tarn;

void require(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "companion_fuzzer: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const CompanionRead read = ReadCompanion(std::span<const std::uint8_t>(data, size));
    if (!read.companion) {
        require(!read.fault.empty() && read.fault.back() == '.' && read.fault.find('\n') == std::string::npos,
                "no cells, and no one-line sentence saying why");
        return 0;
    }
    require(read.fault.empty(), "cells and a fault");
    const Companion& companion = *read.companion;
    require(companion.cell >= kMinCompanionCell && companion.cell <= kMaxCompanionCell, "a cell out of range");
    for (const RgbaPicture& cell : companion.directions)
        require(cell.width == companion.cell && cell.height == companion.cell &&
                    cell.rgba.size() == static_cast<std::size_t>(cell.width * cell.height * 4),
                "a cell of the wrong size");
    // Scaling is slow beside reading: only the smallest companions make pointers.
    if (companion.cell == kMinCompanionCell) {
        static const testing::Bytes slice = testing::cursorSlice(1, 31, 0);
        const auto file = CompanionCursor(companion, 15, slice, kPointerSides);
        require(file && DescribesImage(*file), "no pointer file from a companion");
        for (std::size_t i = 0; i < kPointerSides.size(); ++i) {
            // The hot spot lies on what the slice's hot spot pixel (31, 0) became.
            const int side = kPointerSides[i];
            const auto entry = ReadCursorEntry(*file, i);
            require(entry && entry->width == side && entry->hotspot.x * 32 / side == 31 && entry->hotspot.y * 32 / side == 0,
                    "a pointer file's entry is not its size, or its hot spot not the slice's");
        }
    }
    return 0;
}
