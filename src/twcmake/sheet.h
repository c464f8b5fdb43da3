// A contact sheet for people: the sixteen directions enlarged, once on a light and once
// on a dark checkerboard, with each hotspot framed in magenta.
#pragma once

#include "twcmake/image.h"

namespace tarn::twc {

inline constexpr int kSheetZoom = 4;

// Directions run left to right, top to bottom, four to a row; the light panel is on the
// left, the dark one on the right.
Image contactSheet(const SliceSet& set);

// Where direction d's enlarged picture starts on the sheet, in the light panel.
Pixel sheetCellOrigin(int d);

}  // namespace tarn::twc
