// A set's large pictures: beside NAME.TWC, a picture NAME.png (".png" in any letter
// case) holding the sixteen directions as a PNG sheet of 4 by 4 square cells,
// direction 0 to 15 left to right and top to bottom (row 0: 0 1 2 3; row 1: 4 5 6 7
// ...), each cell 32 to 256 pixels, with or without alpha. A sheet like that can be
// drawn, looked at and touched up in any paint program; the .TWC stays as it is, its
// 32 x 32 slices giving every pointer's hot spot, scaled to the picture's size.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cursorset/cursor_check.h"
#include "cursorset/twc_format.h"
#include "stb/pictures.h"

namespace tarn {

inline constexpr int kCompanionColumns = 4;  // and as many rows
inline constexpr int kMinCompanionCell = 32;
inline constexpr int kMaxCompanionCell = kMaxCursorSide;  // 256
// With the largest cell this bounds what reading one can cost, however well its data
// is compressed.
inline constexpr std::size_t kMaxCompanionBytes = 16u << 20;
// The pointer sizes Windows draws: 32 up to 125 % display scaling, 48 at 150 %, 64 at
// 200 %, larger with the pointer-size setting.
inline constexpr std::array<int, 6> kPointerSides{32, 48, 64, 96, 128, 256};

// "Name.TWC" gives "Name.png"; and whether a file name is that in any letter case of
// its extension.
std::string CompanionName(std::string_view setFileName);
bool IsCompanionOf(std::string_view setFileName, std::string_view fileName);

// The sixteen directions' pictures, each `cell` pixels square.
struct Companion {
    int cell = 0;
    std::array<RgbaPicture, kSliceCount> directions;
};

// A companion's bytes as its sixteen pictures, or what is wrong with them as one
// sentence for a person (the file's name is not in it): not a PNG, more than 16 MiB,
// damaged, not 4 by 4 square cells of 32 to 256 pixels. The size is checked from the
// header before any pixel is decoded.
struct CompanionRead {
    std::optional<Companion> companion;
    std::string fault;  // empty when there is a companion
};
CompanionRead ReadCompanion(std::span<const std::uint8_t> bytes);

// The large pictures in `file`: nothing when no such file is there; otherwise what
// ReadCompanion makes of its bytes, its size checked before a byte is read, or why it
// could not be read (not a file, the file system's reason), as a sentence.
std::optional<CompanionRead> ReadCompanionFile(const std::filesystem::path& file);

// A sheet's sixteen cells, each a quarter of its width: the sheet's height must be
// its width. And sixteen cells of one size as a sheet.
std::array<RgbaPicture, kSliceCount> CutSheet(const RgbaPicture& sheet);
RgbaPicture JoinSheet(const std::array<RgbaPicture, kSliceCount>& cells);

// A 32 x 32 slice's hot spot on a picture of `side` pixels: the pixel that holds the
// middle of the slice's hot spot pixel scaled by side / 32 (the nearest pixel, whose
// middle the drawing covers wherever the slice's pixel is drawn), kept inside the
// picture.
CursorHotspot ScaleHotspot(CursorHotspot slice, int side);

// `picture` scaled to `side` pixels square (the same picture when it has that size).
RgbaPicture PictureAtSide(const RgbaPicture& picture, int side);

// A cursor file of direction `direction` with one 32-bit picture for each of `sides`
// (1 to 256; kPointerSides for every size Windows draws), each scaled from the
// companion's cell, its hot spot the slice's scaled. Nothing when the slice has no
// directory entry to take the hot spot from; std::invalid_argument for a side out of
// range.
std::optional<std::vector<std::uint8_t>> CompanionCursor(const Companion& companion, std::size_t direction,
                                                         std::span<const std::uint8_t> slice,
                                                         std::span<const int> sides);

}  // namespace tarn
