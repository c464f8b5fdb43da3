#include "twcmake/cursor_file.h"

#include <algorithm>

#include "cursorset/cursor_check.h"
#include "twcmake/palette.h"

namespace tarn::twc {

namespace {

constexpr std::uint32_t kImageBytes = kSliceBytes - kImageOffset;  // 2216
constexpr std::uint32_t kBitmapBytes = 1024 + 128;                   // colour pixels and mask

std::uint32_t get16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at] | (b[at + 1] << 8));
}

std::uint32_t get32(std::span<const std::uint8_t> b, std::size_t at) {
    return get16(b, at) | (get16(b, at + 2) << 16);
}

// Cursor rows are stored bottom-up: row 0 of the file is the picture's last row.
std::size_t storedRow(int y) { return static_cast<std::size_t>(kSide - 1 - y); }

bool opaque(Rgba p) { return p.a >= 128; }

// The file header, the directory entry with the hotspot (clamped into the picture) and
// the bitmap header: everything before the palette.
void putHeaders(Bytes& b, Pixel hotspot) {
    const CursorHotspot hot{std::clamp(hotspot.x, 0, kSide - 1), std::clamp(hotspot.y, 0, kSide - 1)};
    PutCursorHeader(b, 1);
    // No colour count: 256 colours.
    PutCursorEntry(b, 0, CursorEntry{kSide, kSide, 0, hot, kImageBytes, static_cast<std::uint32_t>(kImageOffset)});
    PutBitmapHeader(b, kImageOffset, kSide, 8, kBitmapBytes);
}

// Palette entry 0 stays black; the reduced colours follow from entry 1, as blue,
// green, red, reserved.
void putPalette(Bytes& b, const std::vector<Rgb>& palette) {
    for (std::size_t i = 0; i < palette.size(); ++i) {
        const std::size_t at = kPaletteOffset + 4 * (i + 1);
        b[at] = palette[i].b;
        b[at + 1] = palette[i].g;
        b[at + 2] = palette[i].r;
    }
}

// Each opaque pixel's palette entry, in the order `index` holds them; each clear pixel
// entry 0 with its mask bit set.
void putPixels(Bytes& b, const Slice& slice, const std::vector<std::uint8_t>& index) {
    std::size_t next = 0;
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            const std::size_t px = kPixelOffset + storedRow(y) * kSide + static_cast<std::size_t>(x);
            const std::size_t mask = kMaskOffset + storedRow(y) * 4 + static_cast<std::size_t>(x / 8);
            const auto bit = static_cast<std::uint8_t>(0x80u >> (x % 8));
            if (opaque(slice.at(x, y))) {
                b[px] = static_cast<std::uint8_t>(index[next++] + 1);
            } else {
                b[px] = 0;
                b[mask] = static_cast<std::uint8_t>(b[mask] | bit);
            }
        }
    }
}

}  // namespace

Bytes encodeSlice(const Slice& slice) {
    Bytes b(kSliceBytes, 0);
    putHeaders(b, slice.hotspot);
    std::vector<Rgb> colours;
    for (const Rgba& p : slice.pixels)
        if (opaque(p)) colours.push_back(Rgb{p.r, p.g, p.b});
    const ReducedColours reduced = reduceColours(colours, 255);
    putPalette(b, reduced.palette);
    putPixels(b, slice, reduced.index);
    return b;
}

SliceReport examineSlice(std::span<const std::uint8_t> b) {
    SliceReport r;
    if (b.size() != kSliceBytes) {
        r.faults.push_back(std::to_string(b.size()) + " bytes, not " + std::to_string(kSliceBytes));
        if (b.size() < kImageOffset + 40) return r;
    }
    auto expect = [&](const char* what, std::uint32_t found, std::uint32_t wanted) {
        if (found != wanted)
            r.faults.push_back(std::string(what) + " is " + std::to_string(found) + ", not " + std::to_string(wanted));
    };
    expect("reserved word", get16(b, 0), 0);
    expect("type", get16(b, 2), 2);
    expect("image count", get16(b, 4), 1);
    expect("width", b[6], kSide);
    expect("height", b[7], kSide);
    expect("colour count", b[8], 0);
    expect("entry reserved byte", b[9], 0);
    r.hotspot = Pixel{static_cast<int>(get16(b, 10)), static_cast<int>(get16(b, 12))};
    if (r.hotspot.x >= kSide || r.hotspot.y >= kSide)
        r.faults.push_back("hotspot (" + std::to_string(r.hotspot.x) + "," + std::to_string(r.hotspot.y) +
                           ") lies outside the 32x32 picture");
    expect("image size in the entry", get32(b, 14), kImageBytes);
    expect("image offset", get32(b, 18), static_cast<std::uint32_t>(kImageOffset));
    expect("bitmap header size", get32(b, kImageOffset), 40);
    expect("bitmap width", get32(b, kImageOffset + 4), kSide);
    expect("bitmap height (colour and mask)", get32(b, kImageOffset + 8), 2 * kSide);
    expect("planes", get16(b, kImageOffset + 12), 1);
    expect("bits per pixel", get16(b, kImageOffset + 14), 8);
    expect("compression", get32(b, kImageOffset + 16), 0);
    const std::uint32_t imageSize = get32(b, kImageOffset + 20);
    if (imageSize != 0 && imageSize != kBitmapBytes)
        r.faults.push_back("bitmap size is " + std::to_string(imageSize) + ", not 0 or " + std::to_string(kBitmapBytes));
    const std::uint32_t used = get32(b, kImageOffset + 32);
    if (used != 0 && used != 256) r.faults.push_back("palette size is " + std::to_string(used) + ", not 256");
    return r;
}

std::optional<Slice> decodeSlice(std::span<const std::uint8_t> b) {
    if (!examineSlice(b).ok()) return std::nullopt;
    Slice s;
    s.hotspot = Pixel{static_cast<int>(get16(b, 10)), static_cast<int>(get16(b, 12))};
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            const std::size_t mask = kMaskOffset + storedRow(y) * 4 + static_cast<std::size_t>(x / 8);
            const bool transparent = (b[mask] & (0x80u >> (x % 8))) != 0;
            const std::size_t entry = kPaletteOffset + 4u * b[kPixelOffset + storedRow(y) * kSide + static_cast<std::size_t>(x)];
            s.at(x, y) = transparent ? Rgba{} : Rgba{b[entry + 2], b[entry + 1], b[entry], 255};
        }
    }
    return s;
}

Bytes encodeSet(const SliceSet& set) {
    Bytes all;
    all.reserve(kSetBytes);
    for (const Slice& s : set) {
        const Bytes one = encodeSlice(s);
        all.insert(all.end(), one.begin(), one.end());
    }
    return all;
}

}  // namespace tarn::twc
