#include "shell/layout_math.h"

#include "platform/units.h"

#include <array>
#include <cmath>

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

PixelRect knobAfterDpiChange(int left, double fromTpp, double toTpp) {
    PixelRect knob = controlRect(control(Id::Knob), toTpp, toTpp);
    knob.left = ToPixels(DesignPixels(ToTwips(left, fromTpp)) * kDesignTwipsPerPixel, toTpp);
    return knob;
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

std::string_view pickFontFace(const std::function<bool(std::string_view)>& exists) {
    static constexpr std::array<std::string_view, 3> kFaces{kFontFace, "Microsoft Sans Serif", "Tahoma"};
    for (std::string_view face : kFaces)
        if (exists(face)) return face;
    // The last stand-in ships with every Windows; let the font mapper pick if it does not.
    return kFaces.back();
}

}  // namespace tarn::layout
