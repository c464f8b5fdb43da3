// The cursor file of one slice of a .TWC set: a single 32 x 32 cursor with a
// 256-colour palette and a 1-bit transparency mask, 2238 bytes exactly, and the set
// file made of sixteen such slices end to end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cursorset/cursor_check.h"
#include "cursorset/twc_format.h"
#include "twcmake/image.h"

namespace tarn::twc {

using Bytes = std::vector<std::uint8_t>;

using tarn::kSliceBytes;
inline constexpr std::size_t kSetBytes = tarn::kSetFileBytes;  // 35808
inline constexpr std::size_t kImageOffset = kCursorHeaderBytes + kCursorEntryBytes;  // 22: one entry
inline constexpr std::size_t kPaletteOffset = kImageOffset + kBitmapHeaderBytes;
inline constexpr std::size_t kPixelOffset = kPaletteOffset + 1024;
inline constexpr std::size_t kMaskOffset = kPixelOffset + 1024;

// Writes one slice. Opaque pixels (alpha 128 and above) keep their colour, reduced to
// at most 255 palette entries; palette entry 0 is black and serves the transparent
// pixels, so that the colour image leaves the screen untouched where the mask lets it
// through. The hotspot is clamped into the picture.
Bytes encodeSlice(const Slice& slice);

// What a reader finds in one slice.
struct SliceReport {
    std::vector<std::string> faults;  // empty when the slice is well formed
    Pixel hotspot;                    // as stored, valid when the header could be read
    bool ok() const { return faults.empty(); }
};

SliceReport examineSlice(std::span<const std::uint8_t> bytes);

// Reads back a well-formed slice's picture; nothing when examineSlice finds a fault.
std::optional<Slice> decodeSlice(std::span<const std::uint8_t> bytes);

// Sixteen slices end to end.
Bytes encodeSet(const SliceSet& set);

}  // namespace tarn::twc
