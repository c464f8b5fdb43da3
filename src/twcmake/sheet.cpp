#include "twcmake/sheet.h"

namespace tarn::twc {

namespace {

constexpr int kCell = kSide * kSheetZoom;  // 128
constexpr int kGap = 8;
constexpr int kColumns = 4;
constexpr int kPanel = kColumns * kCell + (kColumns + 1) * kGap;
constexpr Rgba kGutter{128, 128, 128, 255};
constexpr Rgba kMark{255, 0, 255, 255};  // magenta: unlike any colour of the bundled sets

Rgba checker(bool dark, int x, int y) {
    const bool odd = ((x / 8) + (y / 8)) % 2 != 0;
    if (dark) return odd ? Rgba{40, 40, 40, 255} : Rgba{24, 24, 24, 255};
    return odd ? Rgba{224, 224, 224, 255} : Rgba{255, 255, 255, 255};
}

void drawCell(Image& sheet, const Slice& slice, int left, int top, bool dark) {
    for (int y = 0; y < kCell; ++y)
        for (int x = 0; x < kCell; ++x) {
            const Rgba p = slice.at(x / kSheetZoom, y / kSheetZoom);
            sheet.at(left + x, top + y) = p.a != 0 ? p : checker(dark, x, y);
        }
    // A thin frame around the enlarged hotspot pixel, leaving the pixel itself visible.
    const int hx = left + slice.hotspot.x * kSheetZoom, hy = top + slice.hotspot.y * kSheetZoom;
    for (int i = -1; i <= kSheetZoom; ++i) {
        for (const auto [x, y] : {Pixel{hx + i, hy - 1}, Pixel{hx + i, hy + kSheetZoom}, Pixel{hx - 1, hy + i},
                                  Pixel{hx + kSheetZoom, hy + i}}) {
            if (x >= left && y >= top && x < left + kCell && y < top + kCell) sheet.at(x, y) = kMark;
        }
    }
}

}  // namespace

Pixel sheetCellOrigin(int d) {
    return Pixel{kGap + (d % kColumns) * (kCell + kGap), kGap + (d / kColumns) * (kCell + kGap)};
}

Image contactSheet(const SliceSet& set) {
    Image sheet(2 * kPanel, kPanel);
    for (auto& p : sheet.pixels) p = kGutter;
    for (int d = 0; d < kDirections; ++d) {
        const Pixel at = sheetCellOrigin(d);
        drawCell(sheet, set[static_cast<std::size_t>(d)], at.x, at.y, false);
        drawCell(sheet, set[static_cast<std::size_t>(d)], kPanel + at.x, at.y, true);
    }
    return sheet;
}

}  // namespace tarn::twc
