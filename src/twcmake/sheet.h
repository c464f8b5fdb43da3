// A contact sheet for people: the sixteen directions enlarged, once on a light and once
// on a dark checkerboard, with each hotspot framed in magenta.
#pragma once

#include <array>

#include "cursorset/companion.h"
#include "twcmake/image.h"

namespace tarn::twc {

inline constexpr int kSheetZoom = 4;

// Directions run left to right, top to bottom, four to a row; the light panel is on the
// left, the dark one on the right.
Image contactSheet(const SliceSet& set);

// Where direction d's enlarged picture starts on the sheet, in the light panel.
Pixel sheetCellOrigin(int d);

// The sizes a sheet of sizes shows: the pointer sizes of 100 to 200 % display scaling,
// and the next larger one.
inline constexpr std::array<int, 5> kSheetSides{32, 48, 64, 96, 128};

// A contact sheet of the pictures the program makes of a companion, at their own size:
// for each of kSheetSides, left to right, the sixteen directions four to a row, on a
// light checkerboard above and on a dark one below, where each hot spot (the slice's,
// scaled) is one magenta pixel.
Image sizesSheet(const Companion& companion, const SliceSet& slices);

}  // namespace tarn::twc
