// Small image types shared by the authoring tool: straight 8-bit colour with alpha,
// and the fixed 32 x 32 picture a cursor slice holds.
#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "cursorset/twc_format.h"

namespace tarn::twc {

inline constexpr int kSide = 32;  // every slice is 32 x 32 pixels
inline constexpr int kDirections = static_cast<int>(tarn::kSliceCount);

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    friend constexpr bool operator==(Rgb, Rgb) = default;
};

struct Rgba {
    std::uint8_t r = 0, g = 0, b = 0, a = 0;
    friend constexpr bool operator==(Rgba, Rgba) = default;
};

// Any-size picture, rows top to bottom, straight (not premultiplied) alpha.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<Rgba> pixels;  // width * height

    Image() = default;
    Image(int w, int h) : width(w), height(h), pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h)) {}
    Rgba& at(int x, int y) { return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)]; }
    const Rgba& at(int x, int y) const {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
    }
};

struct Pixel {
    int x = 0;
    int y = 0;
    friend constexpr bool operator==(Pixel, Pixel) = default;
};

// One direction's picture as a cursor holds it: every pixel either fully opaque or
// fully transparent (alpha 255 or 0), and the hotspot pixel.
struct Slice {
    std::array<Rgba, kSide * kSide> pixels{};  // rows top to bottom
    Pixel hotspot;

    Rgba& at(int x, int y) { return pixels[static_cast<std::size_t>(y * kSide + x)]; }
    const Rgba& at(int x, int y) const { return pixels[static_cast<std::size_t>(y * kSide + x)]; }
};

using SliceSet = std::array<Slice, kDirections>;

// A fault in the user's input: the command line prints the text as its one-line message.
class TwcError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace tarn::twc
