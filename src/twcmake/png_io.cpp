#include "twcmake/png_io.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

// The stb headers are plain C with their own conventions; they are built here once,
// with only the PNG decoder and no file access (files are read through <filesystem>
// so that any path works on every system).
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_FAILURE_USERMSG
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wconversion"
#pragma GCC diagnostic ignored "-Wsign-conversion"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wdouble-promotion"
#pragma GCC diagnostic ignored "-Wpedantic"
#include <stb_image.h>
#include <stb_image_write.h>
#pragma GCC diagnostic pop

namespace tarn::twc {

namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

std::uint32_t bigEndian32(std::span<const std::uint8_t> b, std::size_t at) {
    return (static_cast<std::uint32_t>(b[at]) << 24) | (static_cast<std::uint32_t>(b[at + 1]) << 16) |
           (static_cast<std::uint32_t>(b[at + 2]) << 8) | static_cast<std::uint32_t>(b[at + 3]);
}

void appendBytes(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(context);
    const auto* p = static_cast<const std::uint8_t*>(data);
    out->insert(out->end(), p, p + size);
}

}  // namespace

PngSize pngSize(std::span<const std::uint8_t> b) {
    // Signature, then the header chunk: length 13, "IHDR", width, height.
    if (b.size() < 8 || !std::equal(std::begin(kSignature), std::end(kSignature), b.begin()))
        throw TwcError("not a PNG file");
    if (b.size() < 24 || b[12] != 'I' || b[13] != 'H' || b[14] != 'D' || b[15] != 'R')
        throw TwcError("damaged PNG: no image header");
    return PngSize{bigEndian32(b, 16), bigEndian32(b, 20)};
}

Image decodePng(std::span<const std::uint8_t> bytes, const std::string& name) {
    PngSize size;
    try {
        size = pngSize(bytes);
    } catch (const TwcError& e) {
        throw TwcError(name + ": " + e.what());
    }
    if (size.width == 0 || size.height == 0 || size.width > kMaxPngSide || size.height > kMaxPngSide)
        throw TwcError(name + ": the picture is " + std::to_string(size.width) + "x" + std::to_string(size.height) +
                       " pixels; 1 to " + std::to_string(kMaxPngSide) + " pixels on a side are accepted");
    if (bytes.size() > static_cast<std::size_t>(INT32_MAX)) throw TwcError(name + ": file too large");

    int w = 0, h = 0, channels = 0;
    std::unique_ptr<stbi_uc, void (*)(void*)> data(
        stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &w, &h, &channels, 4), stbi_image_free);
    if (!data) throw TwcError(name + ": cannot decode the PNG (" + stbi_failure_reason() + ")");

    Image img(w, h);
    for (std::size_t i = 0; i < img.pixels.size(); ++i)
        img.pixels[i] = Rgba{data.get()[4 * i], data.get()[4 * i + 1], data.get()[4 * i + 2], data.get()[4 * i + 3]};
    return img;
}

std::vector<std::uint8_t> encodePng(const Image& image) {
    std::vector<std::uint8_t> raw;
    raw.reserve(image.pixels.size() * 4);
    for (const Rgba& p : image.pixels) raw.insert(raw.end(), {p.r, p.g, p.b, p.a});
    std::vector<std::uint8_t> out;
    if (!stbi_write_png_to_func(appendBytes, &out, image.width, image.height, 4, raw.data(), image.width * 4))
        throw TwcError("cannot encode the PNG");
    return out;
}

}  // namespace tarn::twc
