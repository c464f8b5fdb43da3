// Draws the sixteen direction pictures of a set: from a built-in vector design, or by
// turning a user's upright picture. Only +, -, *, / and sqrt on doubles are used, so a
// given binary always produces the same pixels.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "twcmake/image.h"

namespace tarn::twc {

struct PointF {
    double x = 0;
    double y = 0;
};

// Cosine and sine of direction `d`: 0 is up, each step 22.5 degrees clockwise.
double directionCos(int d);
double directionSin(int d);

// `p` turned clockwise (on screen, y down) about `centre` by direction `d`'s angle.
PointF turn(PointF p, PointF centre, int d);

// The pixel holding a continuous point, clamped into the 32 x 32 picture.
Pixel pixelAt(PointF p);

enum class Design { Classic, Dart, Round };

std::optional<Design> designNamed(std::string_view name);
std::vector<std::string> designNames();

// The turning centre of the built-in designs. It sits right of and below the picture's
// middle so that the classic design's tips fall where the shipped tip table puts them.
inline constexpr PointF kDesignPivot{17.0, 17.5};

// Where the design's hotspot lies in direction 0 (half a pixel inside the tip, so the
// hotspot pixel is one the tip actually covers).
PointF designHotPoint(Design design);

// Sixteen anti-aliased pictures of a design (8 x 8 samples a pixel), the hotspot of
// each on its tip.
SliceSet renderDesign(Design design, Rgb fill, Rgb outline);

// The sixteen pictures of a design drawn at `side` pixels square, as the slices are at
// 32 but with alpha: each pixel as opaque as the shape covers it (8 x 8 samples a
// pixel), in the mean colour of the samples that cover it.
std::array<Image, kDirections> renderDesignAt(Design design, Rgb fill, Rgb outline, int side);

// Scales a picture of any size to fit 32 x 32 (keeping its proportions, centred):
// area averaging when shrinking, bilinear when growing, both with premultiplied alpha.
// `hotspot` (a pixel of the source) comes back as a continuous point in the result.
Image fitTo32(const Image& source, Pixel hotspot, PointF& hotPoint);

// Sixteen pictures of an upright 32 x 32 picture turned about its centre (16, 16):
// 4 x 4 bilinear samples a pixel, premultiplied. The hot point turns with it.
SliceSet turnPicture(const Image& upright, PointF hotPoint);

}  // namespace tarn::twc
