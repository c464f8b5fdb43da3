#include "shell/layout_math.h"

#include "platform/units.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace tarn::layout {

PixelRect controlRect(const Control& c, double tppX, double tppY) {
    return PixelRect{ToPixels(c.left, tppX), ToPixels(c.top, tppY), ToPixels(c.width, tppX),
                     ToPixels(c.height, tppY)};
}

PixelRect clientRect(double tppX, double tppY) {
    return PixelRect{0, 0, ToPixels(kClientWidth, tppX), ToPixels(kClientHeight, tppY)};
}

PixelRect windowRect(int left, int top, double tpp) {
    const PixelRect client = clientRect(tpp, tpp);
    return PixelRect{left, top, client.width + 2, client.height + 2};
}

PixelRect titleStrip(const PixelRect& window, double tpp) {
    PixelRect strip = controlRect(control(Id::TitleStrip), tpp, tpp);
    // The client area starts inside the one-pixel border.
    strip.left += window.left + 1;
    strip.top += window.top + 1;
    return strip;
}

namespace {

PixelRect intersection(const PixelRect& a, const PixelRect& b) {
    const int left = std::max(a.left, b.left);
    const int top = std::max(a.top, b.top);
    const int right = std::min(a.right(), b.right());
    const int bottom = std::min(a.bottom(), b.bottom());
    if (right <= left || bottom <= top) return PixelRect{};
    return PixelRect{left, top, right - left, bottom - top};
}

std::int64_t area(const PixelRect& r) { return std::int64_t{r.width} * r.height; }

// What is left of `a` outside `b`: up to four pieces, added to `out`.
void subtract(const PixelRect& a, const PixelRect& b, std::vector<PixelRect>& out) {
    const PixelRect common = intersection(a, b);
    if (area(common) == 0) {
        out.push_back(a);
        return;
    }
    const PixelRect pieces[] = {
        {a.left, a.top, a.width, common.top - a.top},                                  // above
        {a.left, common.bottom(), a.width, a.bottom() - common.bottom()},              // below
        {a.left, common.top, common.left - a.left, common.height},                     // left
        {common.right(), common.top, a.right() - common.right(), common.height},       // right
    };
    for (const PixelRect& piece : pieces)
        if (area(piece) > 0) out.push_back(piece);
}

bool onWorkAreas(const PixelRect& r, std::span<const Monitor> monitors) {
    std::vector<PixelRect> uncovered{r};
    for (const Monitor& m : monitors) {
        std::vector<PixelRect> rest;
        for (const PixelRect& piece : uncovered) subtract(piece, m.work, rest);
        uncovered = std::move(rest);
    }
    return uncovered.empty();
}

// The square of the gap between two rectangles; 0 when they touch or overlap.
std::int64_t gap(const PixelRect& a, const PixelRect& b) {
    const std::int64_t dx = std::max({0, b.left - a.right(), a.left - b.right()});
    const std::int64_t dy = std::max({0, b.top - a.bottom(), a.top - b.bottom()});
    return dx * dx + dy * dy;
}

const Monitor& nearest(const PixelRect& window, std::span<const Monitor> monitors) {
    const Monitor* best = &monitors.front();
    for (const Monitor& m : monitors) {
        const std::int64_t overlap = area(intersection(window, m.area));
        const std::int64_t bestOverlap = area(intersection(window, best->area));
        if (overlap > bestOverlap || (bestOverlap == 0 && overlap == 0 && gap(window, m.area) < gap(window, best->area)))
            best = &m;
    }
    return *best;
}

}  // namespace

std::optional<PixelRect> bringBack(const PixelRect& window, const PixelRect& strip, std::span<const Monitor> monitors) {
    if (monitors.empty() || onWorkAreas(strip, monitors)) return std::nullopt;
    const PixelRect& work = nearest(window, monitors).work;
    PixelRect placed = window;
    placed.left = std::max(work.left, std::min(window.left, work.right() - window.width));
    placed.top = std::max(work.top, std::min(window.top, work.bottom() - window.height));
    if (placed == window) return std::nullopt;
    return placed;
}

bool isWindowless(const Control& c) {
    if (c.id == Id::Knob) return false;
    return c.kind == Kind::Label || c.kind == Kind::Image || c.kind == Kind::PictureBox;
}

std::optional<std::size_t> hitTest(Container container, int x, int y, double tppX, double tppY) {
    // Later rows lie in front, so the search runs from the last row back.
    for (std::size_t i = kControls.size(); i-- > 0;) {
        const Control& c = kControls[i];
        if (c.container != container || !isWindowless(c)) continue;
        if (controlRect(c, tppX, tppY).contains(x, y)) return i;
    }
    return std::nullopt;
}

int fontHeight(float points, unsigned dpi) {
    const double height = static_cast<double>(points) * static_cast<double>(dpi) / 72.0;
    return -static_cast<int>(std::lround(height));
}

// The scaling the design face's bitmaps are drawn for: 100 %.
constexpr unsigned kDesignDpi = 96;

// The last stand-in, which ships with every Windows.
constexpr std::string_view kStandInFace = "Tahoma";

std::string_view pickFontFace(unsigned dpi, const std::function<bool(std::string_view)>& exists) {
    static constexpr std::array<std::string_view, 3> kAtDesignDpi{kFontFace, kTrueTypeFace, kStandInFace};
    static constexpr std::array<std::string_view, 3> kAboveDesignDpi{kTrueTypeFace, kStandInFace, kFontFace};
    const auto& faces = dpi > kDesignDpi ? kAboveDesignDpi : kAtDesignDpi;
    for (std::string_view face : faces)
        if (exists(face)) return face;
    // Let the font mapper pick if even the stand-in is missing.
    return kStandInFace;
}

}  // namespace tarn::layout
