#include "cursorset/cursor_check.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <stdexcept>

namespace tarn {

namespace {

constexpr std::size_t kFileHeaderBytes = kCursorHeaderBytes;  // reserved, type, count
constexpr std::size_t kEntryBytes = kCursorEntryBytes;
// The old bitmap header: its size field, then 16-bit width and height, planes and bit
// count.
constexpr std::uint32_t kCoreHeaderBytes = 12;

std::uint32_t read16(std::span<const unsigned char> b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at] | (b[at + 1] << 8));
}

std::uint32_t read32(std::span<const unsigned char> b, std::size_t at) {
    return read16(b, at) | (read16(b, at + 2) << 16);
}

void put16(std::span<std::uint8_t> b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<std::uint8_t>(v & 0xFF);
    b[at + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
}

void put32(std::span<std::uint8_t> b, std::size_t at, std::uint32_t v) {
    put16(b, at, v & 0xFFFF);
    put16(b, at + 2, v >> 16);
}

// A side as a directory entry's byte holds it: 256 is 0.
std::uint8_t sideByte(int side) { return static_cast<std::uint8_t>(side & 0xFF); }
int sideOf(std::uint8_t stored) { return stored == 0 ? kMaxCursorSide : stored; }

// Bytes of one row of the 1-bit mask: whole 32-bit words.
std::size_t maskRowBytes(int side) { return (static_cast<std::size_t>(side) + 31) / 32 * 4; }

}  // namespace

std::optional<CursorFileHeader> ReadCursorFileHeader(std::span<const std::uint8_t> file) {
    if (file.size() < kFileHeaderBytes) return std::nullopt;
    return CursorFileHeader{read16(file, 0), read16(file, 2), read16(file, 4)};
}

std::optional<BitmapHeader> ReadBitmapHeader(std::span<const std::uint8_t> file, std::size_t at) {
    if (at > file.size() || file.size() - at < kCoreHeaderBytes) return std::nullopt;
    BitmapHeader h;
    h.bytes = read32(file, at);
    if (h.bytes == kCoreHeaderBytes) {
        h.width = static_cast<std::int32_t>(read16(file, at + 4));
        h.height = static_cast<std::int32_t>(read16(file, at + 6));
        h.whole = true;
        h.planes = static_cast<int>(read16(file, at + 8));
        h.bitsPerPixel = static_cast<int>(read16(file, at + 10));
        return h;
    }
    h.width = static_cast<std::int32_t>(read32(file, at + 4));
    h.height = static_cast<std::int32_t>(read32(file, at + 8));
    h.whole = file.size() - at >= kBitmapHeaderBytes;
    if (!h.whole) return h;
    h.planes = static_cast<int>(read16(file, at + 12));
    h.bitsPerPixel = static_cast<int>(read16(file, at + 14));
    h.compression = read32(file, at + 16);
    h.imageBytes = read32(file, at + 20);
    h.coloursUsed = read32(file, at + 32);
    return h;
}

bool DescribesImage(std::span<const unsigned char> file) {
    const std::optional<CursorFileHeader> header = ReadCursorFileHeader(file);
    for (std::size_t i = 0; header && i < header->count; ++i) {
        const std::optional<CursorEntry> entry = ReadCursorEntry(file, i);
        if (!entry) break;  // it and the rest lie beyond the end
        // Both headers give their sides within their first 12 bytes, and a header not
        // wholly in the file is refused by the loader itself. A PNG's sizes are its
        // decoder's.
        const std::optional<BitmapHeader> bitmap = ReadBitmapHeader(file, entry->offset);
        if (!bitmap || bitmap->bytes == kPngSignature) continue;
        if (bitmap->width == 0 || bitmap->height / 2 == 0) return false;
    }
    return true;
}

std::optional<CursorEntry> ReadCursorEntry(std::span<const std::uint8_t> file, std::size_t index) {
    const std::size_t at = kFileHeaderBytes + index * kEntryBytes;
    if (file.size() < at + kEntryBytes || index >= read16(file, 4)) return std::nullopt;
    CursorEntry entry;
    entry.width = sideOf(file[at]);
    entry.height = sideOf(file[at + 1]);
    entry.colours = file[at + 2];
    entry.hotspot = CursorHotspot{static_cast<int>(read16(file, at + 4)), static_cast<int>(read16(file, at + 6))};
    entry.bytes = read32(file, at + 8);
    entry.offset = read32(file, at + 12);
    entry.reserved = file[at + 3];
    return entry;
}

void PutCursorHeader(std::span<std::uint8_t> file, std::size_t count) {
    put16(file, 0, 0);
    put16(file, 2, kCursorType);
    put16(file, 4, static_cast<std::uint32_t>(count));
}

void PutCursorEntry(std::span<std::uint8_t> file, std::size_t index, const CursorEntry& entry) {
    const std::size_t at = kFileHeaderBytes + index * kEntryBytes;
    file[at] = sideByte(entry.width);
    file[at + 1] = sideByte(entry.height);
    file[at + 2] = static_cast<std::uint8_t>(entry.colours);
    file[at + 3] = static_cast<std::uint8_t>(entry.reserved);
    put16(file, at + 4, static_cast<std::uint32_t>(entry.hotspot.x));
    put16(file, at + 6, static_cast<std::uint32_t>(entry.hotspot.y));
    put32(file, at + 8, entry.bytes);
    put32(file, at + 12, entry.offset);
}

void PutBitmapHeader(std::span<std::uint8_t> file, std::size_t at, int side, int bitsPerPixel, std::uint32_t imageBytes) {
    put32(file, at, static_cast<std::uint32_t>(kBitmapHeaderBytes));
    put32(file, at + 4, static_cast<std::uint32_t>(side));
    put32(file, at + 8, static_cast<std::uint32_t>(2 * side));
    put16(file, at + 12, 1);  // planes
    put16(file, at + 14, static_cast<std::uint32_t>(bitsPerPixel));
    put32(file, at + 16, 0);  // not compressed
    put32(file, at + 20, imageBytes);
}

std::vector<std::uint8_t> EncodeCursor(std::span<const CursorImage> images) {
    std::size_t total = kFileHeaderBytes + images.size() * kEntryBytes;
    for (const CursorImage& image : images) {
        if (image.side < 1 || image.side > kMaxCursorSide)
            throw std::invalid_argument("a cursor picture is 1 to 256 pixels on a side");
        const auto side = static_cast<std::size_t>(image.side);
        if (image.rgba.size() != side * side * 4) throw std::invalid_argument("a cursor picture of the wrong size");
        total += kBitmapHeaderBytes + side * side * 4 + side * maskRowBytes(image.side);
    }
    std::vector<std::uint8_t> file(total, 0);
    PutCursorHeader(file, images.size());
    std::size_t at = kFileHeaderBytes + images.size() * kEntryBytes;
    for (std::size_t i = 0; i < images.size(); ++i) {
        const CursorImage& image = images[i];
        const auto side = static_cast<std::size_t>(image.side);
        const std::size_t colourBytes = side * side * 4, maskBytes = side * maskRowBytes(image.side);
        const auto imageBytes = static_cast<std::uint32_t>(colourBytes + maskBytes);
        const CursorHotspot hot{std::clamp(image.hotspot.x, 0, image.side - 1), std::clamp(image.hotspot.y, 0, image.side - 1)};
        PutCursorEntry(file, i, CursorEntry{image.side, image.side, 0, hot, static_cast<std::uint32_t>(kBitmapHeaderBytes) + imageBytes,
                                            static_cast<std::uint32_t>(at)});
        PutBitmapHeader(file, at, image.side, 32, imageBytes);
        const std::size_t colours = at + kBitmapHeaderBytes, mask = colours + colourBytes;
        for (std::size_t y = 0; y < side; ++y) {
            const std::size_t row = side - 1 - y;  // stored bottom row first
            for (std::size_t x = 0; x < side; ++x) {
                const std::uint8_t* p = image.rgba.data() + (y * side + x) * 4;
                std::uint8_t* q = file.data() + colours + (row * side + x) * 4;
                if (p[3] == 0) {
                    file[mask + row * maskRowBytes(image.side) + x / 8] |= static_cast<std::uint8_t>(0x80u >> (x % 8));
                    continue;
                }
                q[0] = p[2];
                q[1] = p[1];
                q[2] = p[0];
                q[3] = p[3];
            }
        }
        at = mask + maskBytes;
    }
    return file;
}

}  // namespace tarn
