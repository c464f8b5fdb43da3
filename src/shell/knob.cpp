#include "shell/knob.h"

#include <cmath>

#include "platform/platform.h"
#include "platform/units.h"
#include "settings/settings.h"
#include "settings/tick_rate.h"

namespace tarn::layout {

// A first run leaves the slider where the design draws the knob.
static_assert(control(Id::Knob).left == KnobLeftTwips(kFirstRunSliderPosition),
              "the first-run slider position is the knob's place in the design");

PixelRect knobRect(std::int32_t position, double tppX, double tppY) {
    PixelRect knob = controlRect(control(Id::Knob), tppX, tppY);
    knob.left = ToPixels(KnobLeftTwips(position), tppX);
    return knob;
}

std::int32_t knobPosition(std::int32_t left, double tpp) {
    // The toolkit's twips are whole, and read back as exactly these pixels.
    const double designPixels = std::ceil(ToTwips(left, tpp) / kDesignTwipsPerPixel);
    return SliderPosition(static_cast<std::int32_t>(designPixels));
}

std::optional<std::int32_t> dragPosition(std::int32_t left, double tpp) {
    const std::int32_t position = knobPosition(left, tpp);
    if (!TickInterval(position)) return std::nullopt;
    return position;
}

std::optional<std::int32_t> keyPosition(int key, std::int32_t position, std::int32_t interval) {
    if (key == kKeyHome) return kFirstSliderPosition;
    if (key == kKeyEnd) return kLastSliderPosition;
    if (key != kKeyLeft && key != kKeyRight) return std::nullopt;
    const int step = key == kKeyLeft ? -1 : 1;
    // From beyond an end (a stored position past the right one) a step toward the
    // track lands on that end.
    std::int32_t p = position + step;
    if (p < kFirstSliderPosition) p = step > 0 ? kFirstSliderPosition : p;
    if (p > kLastSliderPosition) p = step < 0 ? kLastSliderPosition : p;
    for (; p >= kFirstSliderPosition && p <= kLastSliderPosition; p += step)
        if (TickInterval(p) != interval) return p;
    return std::nullopt;
}

PixelRect knobAfterDpiChange(std::int32_t left, double fromTpp, double toTpp) {
    return knobRect(knobPosition(left, fromTpp), toTpp, toTpp);
}

}  // namespace tarn::layout
