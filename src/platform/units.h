// Screen units. The window is designed in twips (1/1440 inch); pointer and window
// arithmetic is in pixels.
#pragma once

#include <cmath>
#include <cstdint>

namespace tarn {

// The usual screen: 96 dots per inch, 15 twips per pixel. Slider positions are stored
// in pixels of this scale whatever the monitor, so a settings file means the same
// place on every screen.
inline constexpr double kDesignTwipsPerPixel = 15;

// Whole numbers as the toolkit rounds them: halves go to the even neighbour.
inline double RoundHalfEven(double v) { return std::nearbyint(v); }

// A whole number of twips in pixels: divided by the twips-per-pixel factor rounded to a
// whole number, truncating toward zero. At fractional factors (125 %, 175 % ...) the
// real factor is used, since the rounded one would put everything several percent off.
inline std::int32_t WholeTwipsToPixels(double wholeTwips, double twipsPerPixel) {
    double factor = RoundHalfEven(twipsPerPixel);
    if (factor != twipsPerPixel) factor = twipsPerPixel;
    if (!(factor > 0)) factor = kDesignTwipsPerPixel;  // a toolkit reporting no factor
    return static_cast<std::int32_t>(std::trunc(wholeTwips / factor));
}

inline std::int32_t ToPixels(double twips, double twipsPerPixel) {
    return WholeTwipsToPixels(RoundHalfEven(twips), twipsPerPixel);
}

}  // namespace tarn
