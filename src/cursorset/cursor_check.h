// The cursor file format (and the icon file's, the same but for its type) as the
// system's loaders read it, in one place, read and written here only: a 6-byte file
// header (reserved 0, type 2, image count), a 16-byte directory entry for each image
// (width and height, 0 meaning 256; colour count; hot spot; the image's size and
// offset), then each image as a 40-byte bitmap header, its colour rows and its 1-bit
// AND mask rows (each row padded to 4 bytes), bottom row first.
//
// Whether a cursor file's pictures have any pixels at all, asked before a file is
// handed to the system. The system's cursor loader scales a bitmap to the pointer size
// by dividing by the size its header gives, so a header that says width 0, or a height
// of -1 to 1 (the colour and mask rows counted together, leaving no row of either),
// ends the whole process inside the loader. Such a file is no pointer and no picture.
// Every other lie (huge sizes and offsets, negative sizes, odd bit counts, palettes,
// compression, a PNG entry) is for the loader to take or refuse.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tarn {

inline constexpr std::size_t kCursorHeaderBytes = 6;
inline constexpr std::size_t kCursorEntryBytes = 16;
inline constexpr std::size_t kBitmapHeaderBytes = 40;
// The largest side a directory entry can give.
inline constexpr int kMaxCursorSide = 256;
// The file header's type: an icon file has the same layout, with each entry's planes
// and bit count where a cursor's has its hot spot.
inline constexpr std::uint32_t kIconType = 1;
inline constexpr std::uint32_t kCursorType = 2;

struct CursorFileHeader {
    std::uint32_t reserved = 0;  // 0 in a well-formed file
    std::uint32_t type = 0;
    std::size_t count = 0;  // images
};

// The file header; nothing when the file is shorter than it.
std::optional<CursorFileHeader> ReadCursorFileHeader(std::span<const std::uint8_t> file);

struct CursorHotspot {
    int x = 0;
    int y = 0;
    friend constexpr bool operator==(CursorHotspot, CursorHotspot) = default;
};

struct CursorEntry {
    int width = 0;
    int height = 0;
    int colours = 0;  // 0: 256 or more
    CursorHotspot hotspot;
    std::uint32_t bytes = 0;   // the image's size
    std::uint32_t offset = 0;  // where the image starts in the file
    int reserved = 0;          // the byte after the colour count, 0 in a well-formed file
};

// Directory entry `index`; nothing when the file is too short to hold it or its header
// counts fewer images.
std::optional<CursorEntry> ReadCursorEntry(std::span<const std::uint8_t> file, std::size_t index = 0);

// A bitmap header as the loaders read it: the 40-byte one (or a later, longer one that
// begins the same way), or the old 12-byte one with 16-bit sides, then planes and bit
// count. The sides lie in the first 12 bytes of either; the rest of a 40-byte header is
// read only when all of it lies in the file (`whole`).
struct BitmapHeader {
    std::uint32_t bytes = 0;  // its own size, as its first field gives it
    std::int32_t width = 0;
    std::int32_t height = 0;  // the colour rows and the mask rows together
    bool whole = false;
    int planes = 0;
    int bitsPerPixel = 0;
    std::uint32_t compression = 0;
    std::uint32_t imageBytes = 0;   // the rows' size; may be 0 when not compressed
    std::uint32_t coloursUsed = 0;  // palette entries; 0: all the bit count allows
};

// The bitmap header at `at`; nothing when its first 12 bytes do not lie in the file. A
// PNG picture in an entry starts with its signature, read here as the header's size.
inline constexpr std::uint32_t kPngSignature = 0x474E5089;
std::optional<BitmapHeader> ReadBitmapHeader(std::span<const std::uint8_t> file, std::size_t at);

// The file header for `count` images, then entry `index`, and a bitmap header at `at`
// for a square picture of `side` pixels and `bitsPerPixel`, whose colour rows and mask
// take `imageBytes` (its height counts the colour rows and the mask rows together).
// The file must be long enough.
void PutCursorHeader(std::span<std::uint8_t> file, std::size_t count);
void PutCursorEntry(std::span<std::uint8_t> file, std::size_t index, const CursorEntry& entry);
void PutBitmapHeader(std::span<std::uint8_t> file, std::size_t at, int side, int bitsPerPixel, std::uint32_t imageBytes);

// One square picture of a cursor file: straight 8-bit RGBA, top row first.
struct CursorImage {
    int side = 0;  // 1 to 256
    std::span<const std::uint8_t> rgba;
    CursorHotspot hotspot;  // clamped into the picture
};

// A cursor file of 32-bit pictures with alpha, in the order given, each with the AND
// mask set where a pixel is wholly clear (and its colour black, so that a display that
// ignores alpha leaves the screen there untouched). Throws std::invalid_argument for
// a side out of range or pixels of the wrong count.
std::vector<std::uint8_t> EncodeCursor(std::span<const CursorImage> images);

// False when any directory entry of the file points at a bitmap header, in the file,
// that describes an empty picture: the loader picks its entry by the pointer size the
// display wants, so each one must be safe to pick.
bool DescribesImage(std::span<const unsigned char> cursorFile);

}  // namespace tarn
