#include "cursorset/companion.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "files/file_names.h"
#include "platform/messages.h"

namespace tarn {

namespace {

// What a file system failure makes of reading the file, as a sentence. The reason is
// the error code's own text: on Windows the file system's codes are the system's, not errno.
std::string fileFault(const char* action, const std::error_code& ec) {
    return messages::LargePicturesFileFault(action, ec ? ec.message() : "");
}

std::optional<std::string> sizeFault(std::uintmax_t bytes) {
    if (bytes <= kMaxCompanionBytes) return std::nullopt;
    return messages::LargePicturesTooLong(bytes, kMaxCompanionBytes);
}

// What is wrong with a sheet of this size, if anything.
std::optional<std::string> gridFault(std::uint32_t width, std::uint32_t height) {
    constexpr auto columns = static_cast<std::uint32_t>(kCompanionColumns);
    if (width % columns != 0 || height % columns != 0 || width == 0 || height == 0)
        return messages::NotFourByFourCells(width, height);
    const std::uint32_t cell = width / columns;
    if (width != height) return messages::CellsNotSquare(width, height, cell, height / columns);
    if (cell < kMinCompanionCell || cell > kMaxCompanionCell) return messages::CellsOutOfRange(width, height, cell);
    return std::nullopt;
}

}  // namespace

std::string CompanionName(std::string_view setFileName) {
    const std::size_t dot = setFileName.rfind('.');
    return std::string(setFileName.substr(0, dot)) + ".png";
}

bool IsCompanionOf(std::string_view setFileName, std::string_view fileName) {
    return SameIgnoringAsciiCase(fileName, CompanionName(setFileName));
}

CompanionRead ReadCompanion(std::span<const std::uint8_t> bytes) {
    CompanionRead read;
    if (auto fault = sizeFault(bytes.size())) {
        read.fault = *fault;
        return read;
    }
    // The size first, from the header alone: a sheet that is no companion is never decoded.
    const PngInfo info = ReadPngInfo(bytes);
    if (info.sized)
        if (auto fault = gridFault(info.width, info.height)) {
            read.fault = *fault;
            return read;
        }
    if (!info.failure.empty()) {
        read.fault = messages::PictureCodeFault(info.failure);
        return read;
    }
    PngDecode decoded = DecodePng(bytes);
    if (!decoded.picture) {
        read.fault = messages::PictureCodeFault(decoded.failure);
        return read;
    }
    Companion& companion = read.companion.emplace();
    companion.cell = decoded.picture->width / kCompanionColumns;
    companion.directions = CutSheet(*decoded.picture);
    return read;
}

std::optional<CompanionRead> ReadCompanionFile(const std::filesystem::path& file) {
    namespace fs = std::filesystem;
    const auto failed = [](std::string fault) { return CompanionRead{std::nullopt, std::move(fault)}; };
    std::error_code ec;
    const fs::file_status status = fs::status(file, ec);
    if (status.type() == fs::file_type::not_found) return std::nullopt;
    if (ec) return failed(fileFault(messages::kCannotLookAtTheFile, ec));
    // A folder is not read, and a pipe or a device would block for ever.
    if (!fs::is_regular_file(status)) return failed(messages::kLargePicturesNotAFile);
    const std::uintmax_t length = fs::file_size(file, ec);
    if (ec) return failed(fileFault(messages::kCannotReadTheFile, ec));
    if (auto fault = sizeFault(length)) return failed(*fault);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length));
    errno = 0;
    std::ifstream in(file, std::ios::binary);
    if (in && length > 0) in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(length));
    // One that shrank since it was measured is read as far as it goes: the picture says the rest.
    if (!in.is_open() || in.bad())
        return failed(fileFault(messages::kCannotReadTheFile, std::error_code(errno, std::generic_category())));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return ReadCompanion(bytes);
}

namespace {

// Where direction d's cell starts on a sheet of `cell`-pixel cells.
std::pair<int, int> cellOrigin(std::size_t d, int cell) {
    const int i = static_cast<int>(d);
    return {i % kCompanionColumns * cell, i / kCompanionColumns * cell};
}

}  // namespace

std::array<RgbaPicture, kSliceCount> CutSheet(const RgbaPicture& sheet) {
    const int cell = sheet.width / kCompanionColumns;
    const auto rowBytes = static_cast<std::size_t>(cell) * 4;
    std::array<RgbaPicture, kSliceCount> cells;
    for (std::size_t d = 0; d < kSliceCount; ++d) {
        RgbaPicture& picture = cells[d] = RgbaPicture(cell, cell);
        const auto [left, top] = cellOrigin(d, cell);
        for (int y = 0; y < cell; ++y) std::copy_n(sheet.pixel(left, top + y), rowBytes, picture.pixel(0, y));
    }
    return cells;
}

RgbaPicture JoinSheet(const std::array<RgbaPicture, kSliceCount>& cells) {
    const int cell = cells[0].width;
    const auto rowBytes = static_cast<std::size_t>(cell) * 4;
    RgbaPicture sheet(cell * kCompanionColumns, cell * kCompanionColumns);
    for (std::size_t d = 0; d < kSliceCount; ++d) {
        const auto [left, top] = cellOrigin(d, cell);
        for (int y = 0; y < cell; ++y) std::copy_n(cells[d].pixel(0, y), rowBytes, sheet.pixel(left, top + y));
    }
    return sheet;
}

CursorHotspot ScaleHotspot(CursorHotspot slice, int side) {
    // The pixel holding the middle of the slice's hot spot pixel, scaled: for a large
    // picture that pixel's middle, not its corner, which at a slim tip may be clear.
    const auto scale = [side](int v) {
        const long long scaled = (2LL * v + 1) * side / (2 * kSliceSide);
        return static_cast<int>(std::clamp<long long>(scaled, 0, side - 1));
    };
    return CursorHotspot{scale(slice.x), scale(slice.y)};
}

RgbaPicture PictureAtSide(const RgbaPicture& picture, int side) {
    if (picture.width == side && picture.height == side) return picture;
    return ScalePicture(picture, side, side);
}

std::optional<std::vector<std::uint8_t>> CompanionCursor(const Companion& companion, std::size_t direction,
                                                         std::span<const std::uint8_t> slice,
                                                         std::span<const int> sides) {
    const std::optional<CursorEntry> entry = ReadCursorEntry(slice);
    if (!entry) return std::nullopt;
    const RgbaPicture& cell = companion.directions.at(direction);
    std::vector<RgbaPicture> pictures;
    pictures.reserve(sides.size());
    std::vector<CursorImage> images;
    for (const int side : sides) {
        if (side < 1 || side > kMaxCursorSide) throw std::invalid_argument("a pointer is 1 to 256 pixels on a side");
        const RgbaPicture& picture = pictures.emplace_back(PictureAtSide(cell, side));
        images.push_back(CursorImage{side, picture.rgba, ScaleHotspot(entry->hotspot, side)});
    }
    return EncodeCursor(images);
}

}  // namespace tarn
