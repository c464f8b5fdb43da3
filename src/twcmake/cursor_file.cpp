#include "twcmake/cursor_file.h"

#include <algorithm>

#include "twcmake/palette.h"

namespace tarn::twc {

namespace {

constexpr std::uint32_t kImageBytes = kSliceBytes - kImageOffset;  // 2216
constexpr std::uint32_t kBitmapBytes = 1024 + 128;                   // colour pixels and mask

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
        if (b.size() < kPaletteOffset) return r;
    }
    auto expect = [&](const char* what, std::uint32_t found, std::uint32_t wanted) {
        if (found != wanted)
            r.faults.push_back(std::string(what) + " is " + std::to_string(found) + ", not " + std::to_string(wanted));
    };
    const CursorFileHeader file = *ReadCursorFileHeader(b);
    expect("reserved word", file.reserved, 0);
    expect("type", file.type, kCursorType);
    expect("image count", static_cast<std::uint32_t>(file.count), 1);
    // A file of no image has no entry to look at.
    if (const std::optional<CursorEntry> entry = ReadCursorEntry(b)) {
        expect("width", static_cast<std::uint32_t>(entry->width), kSide);
        expect("height", static_cast<std::uint32_t>(entry->height), kSide);
        expect("colour count", static_cast<std::uint32_t>(entry->colours), 0);
        expect("entry reserved byte", static_cast<std::uint32_t>(entry->reserved), 0);
        r.hotspot = Pixel{entry->hotspot.x, entry->hotspot.y};
        if (r.hotspot.x >= kSide || r.hotspot.y >= kSide)
            r.faults.push_back("hotspot (" + std::to_string(r.hotspot.x) + "," + std::to_string(r.hotspot.y) +
                               ") lies outside the 32x32 picture");
        expect("image size in the entry", entry->bytes, kImageBytes);
        expect("image offset", entry->offset, static_cast<std::uint32_t>(kImageOffset));
    }
    const BitmapHeader bitmap = *ReadBitmapHeader(b, kImageOffset);
    expect("bitmap header size", bitmap.bytes, static_cast<std::uint32_t>(kBitmapHeaderBytes));
    if (bitmap.bytes != kBitmapHeaderBytes) return r;  // its other fields are another header's
    expect("bitmap width", static_cast<std::uint32_t>(bitmap.width), kSide);
    expect("bitmap height (colour and mask)", static_cast<std::uint32_t>(bitmap.height), 2 * kSide);
    expect("planes", static_cast<std::uint32_t>(bitmap.planes), 1);
    expect("bits per pixel", static_cast<std::uint32_t>(bitmap.bitsPerPixel), 8);
    expect("compression", bitmap.compression, 0);
    if (bitmap.imageBytes != 0 && bitmap.imageBytes != kBitmapBytes)
        r.faults.push_back("bitmap size is " + std::to_string(bitmap.imageBytes) + ", not 0 or " +
                           std::to_string(kBitmapBytes));
    if (bitmap.coloursUsed != 0 && bitmap.coloursUsed != 256)
        r.faults.push_back("palette size is " + std::to_string(bitmap.coloursUsed) + ", not 256");
    return r;
}

std::optional<Slice> decodeSlice(std::span<const std::uint8_t> b) {
    const SliceReport report = examineSlice(b);
    if (!report.ok()) return std::nullopt;
    Slice s;
    s.hotspot = report.hotspot;
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
