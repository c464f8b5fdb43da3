// Pictures in memory and the three things done with them, through the stb libraries:
// reading a PNG (its size first, then its pixels), writing one, and scaling. Every
// picture is 8-bit RGBA with straight (not premultiplied) alpha, rows top to bottom.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tarn {

struct RgbaPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;  // 4 bytes a pixel, width * height pixels

    RgbaPicture() = default;
    RgbaPicture(int w, int h)
        : width(w), height(h), rgba(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4) {}
    std::uint8_t* pixel(int x, int y) { return rgba.data() + offset(x, y); }
    const std::uint8_t* pixel(int x, int y) const { return rgba.data() + offset(x, y); }

private:
    std::size_t offset(int x, int y) const {
        return (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 4;
    }
};

// The eight bytes every PNG file starts with.
bool HasPngSignature(std::span<const std::uint8_t> bytes);

// A PNG's width and height as its header chunk gives them, read without decoding any
// pixel, and whether the decoder takes that header: `failure` is "not a PNG picture",
// or the decoder's word on a damaged or absurd header (the size is still given when
// the header chunk is there).
struct PngInfo {
    bool sized = false;  // the header chunk was there
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::string failure;  // empty when the decoder takes the header
};
PngInfo ReadPngInfo(std::span<const std::uint8_t> bytes);

// Decodes a PNG of any colour type and depth to 8-bit RGBA. No single allocation of
// the decoder may exceed what a picture of the header's size needs (with room for the
// compressed data twice over), so a small file that inflates without end fails
// instead of taking the memory. Nothing, with the decoder's reason, when it fails.
struct PngDecode {
    std::optional<RgbaPicture> picture;
    std::string failure;
};
PngDecode DecodePng(std::span<const std::uint8_t> bytes);

// Throws std::runtime_error only when the encoder cannot allocate.
std::vector<std::uint8_t> EncodePng(const RgbaPicture& picture);

// `picture` scaled to `width` by `height`: colour in linear light (the bytes are sRGB)
// and weighted by alpha, so a clear pixel's colour never bleeds into its neighbours;
// the library's default filters (Mitchell when shrinking, Catmull-Rom when growing),
// the edge pixels repeated beyond the border. Throws std::bad_alloc when the resampler
// cannot allocate.
RgbaPicture ScalePicture(const RgbaPicture& picture, int width, int height);

}  // namespace tarn
