#include "twcmake/sheet.h"

#include "twcmake/png_io.h"

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

Image sizesSheet(const Companion& companion, const SliceSet& slices) {
    constexpr int largest = kSheetSides.back();
    constexpr int panel = kColumns * largest + (kColumns + 1) * kGap;  // height of each checkerboard
    int width = kGap;
    for (const int side : kSheetSides) width += kColumns * (side + kGap);
    Image sheet(width, 2 * panel);
    for (auto& p : sheet.pixels) p = kGutter;
    int left = kGap;
    for (const int side : kSheetSides) {
        for (int d = 0; d < kDirections; ++d) {
            const Image picture = imageOf(PictureAtSide(companion.directions[static_cast<std::size_t>(d)], side));
            const Pixel hot = slices[static_cast<std::size_t>(d)].hotspot;
            const CursorHotspot mark = ScaleHotspot(CursorHotspot{hot.x, hot.y}, side);
            for (const bool dark : {false, true}) {
                const int x0 = left + d % kColumns * (side + kGap);
                const int y0 = (dark ? panel : 0) + kGap + d / kColumns * (side + kGap);
                for (int y = 0; y < side; ++y)
                    for (int x = 0; x < side; ++x) {
                        const Rgba ground = checker(dark, x, y), p = picture.at(x, y);
                        const auto over = [&](std::uint8_t a, std::uint8_t b) {
                            return static_cast<std::uint8_t>((a * p.a + b * (255 - p.a) + 127) / 255);
                        };
                        sheet.at(x0 + x, y0 + y) = Rgba{over(p.r, ground.r), over(p.g, ground.g), over(p.b, ground.b), 255};
                    }
                if (dark) sheet.at(x0 + mark.x, y0 + mark.y) = kMark;
            }
        }
        left += kColumns * (side + kGap);
    }
    return sheet;
}

}  // namespace tarn::twc
