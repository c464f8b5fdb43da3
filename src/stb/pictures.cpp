#include "stb/pictures.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <memory>
#include <new>
#include <stdexcept>

namespace {

// What one decode may allocate at once, and whether the decoder asked for more.
thread_local std::size_t decodeLimit = SIZE_MAX;
thread_local bool decodeRefused = false;

void* limitedMalloc(std::size_t bytes) {
    if (bytes > decodeLimit) {
        decodeRefused = true;
        return nullptr;
    }
    return std::malloc(bytes);
}

void* limitedRealloc(void* block, std::size_t bytes) {
    if (bytes > decodeLimit) {
        decodeRefused = true;
        return nullptr;
    }
    return std::realloc(block, bytes);
}

// The limit for the decodes within its lifetime.
class DecodeLimit {
public:
    explicit DecodeLimit(std::size_t bytes) {
        decodeLimit = bytes;
        decodeRefused = false;
    }
    ~DecodeLimit() { decodeLimit = SIZE_MAX; }
    DecodeLimit(const DecodeLimit&) = delete;
    DecodeLimit& operator=(const DecodeLimit&) = delete;
};

}  // namespace

// The stb headers are plain C with their own conventions; they are built here once,
// with only the PNG decoder and no file access (files are read through <filesystem>
// so that any path works on every system), the decoder's memory taken through the
// limit above.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_FAILURE_USERMSG
#define STBI_MALLOC(bytes) limitedMalloc(bytes)
#define STBI_REALLOC(block, bytes) limitedRealloc(block, bytes)
#define STBI_FREE(block) std::free(block)
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#define STB_IMAGE_RESIZE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wconversion"
#pragma GCC diagnostic ignored "-Wsign-conversion"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wdouble-promotion"
#pragma GCC diagnostic ignored "-Wpedantic"
#include <stb_image.h>
#include <stb_image_resize.h>
#include <stb_image_write.h>
#pragma GCC diagnostic pop

namespace tarn {

namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::uint8_t kHeaderTag[4] = {'I', 'H', 'D', 'R'};

// The decoder takes its input's length as an int.
bool fitsTheDecoder(std::span<const std::uint8_t> bytes) { return bytes.size() <= static_cast<std::size_t>(INT_MAX); }

std::string damaged() { return std::string("a damaged PNG (") + stbi_failure_reason() + ")"; }

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

bool HasPngSignature(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= sizeof kSignature && std::equal(std::begin(kSignature), std::end(kSignature), bytes.begin());
}

PngInfo ReadPngInfo(std::span<const std::uint8_t> bytes) {
    PngInfo info;
    if (!HasPngSignature(bytes)) {
        info.failure = "not a PNG picture";
        return info;
    }
    // The header chunk follows the signature: its length (13), "IHDR", width, height.
    constexpr std::size_t kHeaderChunk = sizeof kSignature + 4;
    if (bytes.size() >= kHeaderChunk + 12 &&
        std::equal(std::begin(kHeaderTag), std::end(kHeaderTag), bytes.begin() + kHeaderChunk)) {
        info.sized = true;
        info.width = bigEndian32(bytes, kHeaderChunk + 4);
        info.height = bigEndian32(bytes, kHeaderChunk + 8);
    }
    if (!fitsTheDecoder(bytes)) {
        info.failure = "a PNG file too large to read";
        return info;
    }
    int width = 0, height = 0, channels = 0;
    if (!stbi_info_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height, &channels))
        info.failure = damaged();
    return info;
}

PngDecode DecodePng(std::span<const std::uint8_t> bytes) {
    PngDecode result;
    const PngInfo info = ReadPngInfo(bytes);
    if (!info.failure.empty()) {
        result.failure = info.failure;
        return result;
    }
    // The largest buffer a picture of this size needs is its rows at 16 bits a channel
    // with a filter byte each; the compressed data is gathered in a buffer that doubles.
    const auto w = static_cast<std::size_t>(info.width), h = static_cast<std::size_t>(info.height);
    const DecodeLimit limit(std::max(2 * bytes.size(), h * (8 * w + 1)) + (64u << 10));
    int width = 0, height = 0, channels = 0;
    const std::unique_ptr<stbi_uc, void (*)(void*)> data(
        stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height, &channels, 4),
        stbi_image_free);
    if (!data) {
        result.failure = decodeRefused ? "a PNG whose compressed data unpacks to more than its picture holds"
                                       : damaged();
        return result;
    }
    RgbaPicture& picture = result.picture.emplace(width, height);
    std::copy_n(data.get(), picture.rgba.size(), picture.rgba.begin());
    return result;
}

std::vector<std::uint8_t> EncodePng(const RgbaPicture& picture) {
    std::vector<std::uint8_t> out;
    if (!stbi_write_png_to_func(appendBytes, &out, picture.width, picture.height, 4, picture.rgba.data(),
                                picture.width * 4))
        throw std::runtime_error("cannot encode the PNG");
    return out;
}

RgbaPicture ScalePicture(const RgbaPicture& picture, int width, int height) {
    RgbaPicture out(width, height);
    constexpr int kAlpha = 3;  // the channel that weights the others
    if (!stbir_resize_uint8_srgb(picture.rgba.data(), picture.width, picture.height, 0, out.rgba.data(), width, height,
                                 0, 4, kAlpha, 0))
        throw std::bad_alloc();
    return out;
}

}  // namespace tarn
