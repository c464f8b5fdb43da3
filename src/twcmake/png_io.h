// PNG in and out for the authoring tool's pictures, through the program's one copy of
// stb (stb/pictures.h), with the size guard that runs on a PNG's header before anything
// is decoded.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "stb/pictures.h"
#include "twcmake/image.h"

namespace tarn::twc {

// Sides longer than this are refused before decoding: a pointer picture never needs
// more, and a forged header could otherwise ask for gigabytes.
inline constexpr std::uint32_t kMaxPngSide = 4096;

// Checks the size, then decodes to 8-bit RGBA. `name` is how messages refer to the
// file. Throws TwcError.
Image decodePng(std::span<const std::uint8_t> bytes, const std::string& name);

std::vector<std::uint8_t> encodePng(const Image& image);

// The authoring tool's pictures and the shared picture code's, converted.
Image imageOf(const RgbaPicture& picture);
RgbaPicture pictureOf(const Image& image);

}  // namespace tarn::twc
