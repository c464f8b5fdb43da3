// Screen units: the window is designed in twips (1/1440 inch); pointer and window
// arithmetic is in pixels. This is the one rule between the two, used by the form, the
// backend and the recording fake alike, so a place read back is the place that was set.
#pragma once

#include <cmath>
#include <cstdint>

namespace tarn {

inline constexpr std::int64_t kTwipsPerInch = 1440;
// The usual screen: 96 dots per inch, 15 twips per pixel. Slider positions are stored
// in pixels of this scale whatever the monitor, so a settings file means the same
// place on every screen.
inline constexpr double kDesignTwipsPerPixel = 15;

// Whole numbers as the toolkit rounds them: halves go to the even neighbour.
inline double RoundHalfEven(double v) { return std::nearbyint(v); }

// The monitor's twips per pixel: 1440 / DPI (15 at 96 DPI, 7.5 at 192 DPI).
inline double TwipsPerPixel(unsigned dpi) { return 1440.0 / static_cast<double>(dpi == 0 ? 96 : dpi); }

// The dots per inch a twips-per-pixel factor stands for, so that the conversions below
// are exact in whole numbers at every scaling (8.57 twips per pixel is 168 DPI). A
// toolkit reporting no factor counts as the usual screen.
inline std::int64_t DotsPerInch(double twipsPerPixel) {
    if (!(twipsPerPixel > 0)) return 96;
    const std::int64_t dpi = std::llround(static_cast<double>(kTwipsPerInch) / twipsPerPixel);
    return dpi > 0 ? dpi : 1;
}

// A twip value in pixels: rounded to whole twips (halves to even), scaled to the
// screen and truncated toward zero. At 15, 12 and 10 twips per pixel this is the
// division by the factor; at 8.57 and 7.5 (175 % and 200 %) it is the division by the
// real factor, so the window is exactly 1.75 or 2 times its size at 100 %.
inline std::int32_t ToPixels(double twips, double twipsPerPixel) {
    const auto whole = static_cast<std::int64_t>(RoundHalfEven(twips));
    return static_cast<std::int32_t>(whole * DotsPerInch(twipsPerPixel) / kTwipsPerInch);
}

// A pixel value in twips, as the toolkit reports a window's place and size: the whole
// number of twips, rounded away from zero, that ToPixels turns back into exactly these
// pixels (at 15 twips per pixel simply pixels x 15). Rounding to the nearest twip
// instead would read some places back one pixel short at 175 %.
inline double ToTwips(std::int32_t pixels, double twipsPerPixel) {
    const std::int64_t dpi = DotsPerInch(twipsPerPixel);
    const std::int64_t scaled = std::int64_t{pixels} * kTwipsPerInch;
    const std::int64_t magnitude = ((scaled < 0 ? -scaled : scaled) + dpi - 1) / dpi;
    return static_cast<double>(scaled < 0 ? -magnitude : magnitude);
}

}  // namespace tarn
