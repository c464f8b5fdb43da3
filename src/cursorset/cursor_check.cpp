#include "cursorset/cursor_check.h"

#include <cstddef>
#include <cstdint>

namespace tarn {

namespace {

constexpr std::size_t kFileHeaderBytes = 6;  // reserved, type, count
constexpr std::size_t kEntryBytes = 16;
constexpr std::size_t kEntryOffsetField = 12;  // where the entry's picture starts
// The old bitmap header: its size field, then 16-bit width and height.
constexpr std::uint32_t kCoreHeaderBytes = 12;
// A PNG entry: its signature read as a bitmap header's size. Its decoder checks its sizes.
constexpr std::uint32_t kPngSignature = 0x474E5089;

std::uint32_t read16(std::span<const unsigned char> b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at] | (b[at + 1] << 8));
}

std::uint32_t read32(std::span<const unsigned char> b, std::size_t at) {
    return read16(b, at) | (read16(b, at + 2) << 16);
}

}  // namespace

bool DescribesImage(std::span<const unsigned char> file) {
    if (file.size() < kFileHeaderBytes) return true;
    const std::size_t count = read16(file, 4);
    for (std::size_t i = 0; i < count && kFileHeaderBytes + (i + 1) * kEntryBytes <= file.size(); ++i) {
        const std::size_t offset = read32(file, kFileHeaderBytes + i * kEntryBytes + kEntryOffsetField);
        // Both headers give width and height within their first 12 bytes; a header not
        // wholly in the file is refused by the loader itself.
        if (offset > file.size() || file.size() - offset < kCoreHeaderBytes) continue;
        const std::uint32_t headerBytes = read32(file, offset);
        if (headerBytes == kPngSignature) continue;
        std::int64_t width = 0, height = 0;
        if (headerBytes == kCoreHeaderBytes) {
            width = read16(file, offset + 4);
            height = read16(file, offset + 6);
        } else {
            width = static_cast<std::int32_t>(read32(file, offset + 4));
            height = static_cast<std::int32_t>(read32(file, offset + 8));
        }
        if (width == 0 || height / 2 == 0) return false;
    }
    return true;
}

}  // namespace tarn
