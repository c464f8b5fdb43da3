// PNG in and out, through the stb single-file libraries, and the size guard that runs
// on a PNG's header before anything is decoded.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "twcmake/image.h"

namespace tarn::twc {

// Sides longer than this are refused before decoding: a pointer picture never needs
// more, and a forged header could otherwise ask for gigabytes.
inline constexpr std::uint32_t kMaxPngSide = 4096;

struct PngSize {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

// Reads the width and height from the PNG signature and header chunk; throws TwcError
// when the bytes are not a PNG.
PngSize pngSize(std::span<const std::uint8_t> bytes);

// Checks the size, then decodes to 8-bit RGBA. `name` is how messages refer to the file.
Image decodePng(std::span<const std::uint8_t> bytes, const std::string& name);

std::vector<std::uint8_t> encodePng(const Image& image);

}  // namespace tarn::twc
