// The window's colours under a high-contrast theme: one rule, used by the backend's
// painter and by the recording fake, so what the form asks for and what is drawn
// cannot drift apart.
//
// The form keeps asking for the design's colours (a hot label is red, a label at rest
// orange or black); only what is drawn changes. So a label keeps its meaning when the
// theme changes under it: red under the pointer is drawn in the hot-light colour.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>

#include "shell/layout.h"

namespace tarn::layout {

struct ContrastColor {
    std::uint32_t design;
    std::uint32_t highContrast;
};

// Each colour the design paints with, and the system colour that stands for it while
// the user has a high-contrast theme on:
// - every background (peach) is the window colour, and so is the title strip's and the
//   close label's light orange: the theme's text colours are chosen to be read on it;
//   the strip keeps an edge (contrastEdge) so it can still be found and grabbed;
// - what the design fills or writes with its accent colours (the knob, the track and
//   its ticks, "OK" and "Exit" at rest) is the highlight colour;
// - a label button under the pointer (red) is the hot-light colour;
// - all other text is the window-text colour, also "min" and "max", which the design
//   writes in the button-text colour but which stand on the window colour, not on a
//   button's face.
inline constexpr std::array<ContrastColor, 8> kHighContrastColors{{
    {kPeach, kWindow},
    {kLightOrange, kWindow},
    {kOrange, kHighlight},
    {kDarkOrange, kHighlight},
    {kRed, kHotLight},
    {kBlack, kWindowText},
    {kWindowText, kWindowText},
    {kButtonText, kWindowText},
}};

// The colour drawn for a design colour. A colour the design does not use (the form
// only ever asks for the palette's) is drawn as text would be.
constexpr std::uint32_t shownColor(std::uint32_t design, bool highContrast) {
    if (!highContrast) return design;
    for (const ContrastColor& c : kHighContrastColors)
        if (c.design == design) return c.highContrast;
    return kWindowText;
}

// The edge drawn around a control under a high-contrast theme, where its fill no
// longer sets it apart: the title strip and the close label (light orange, now the
// window colour) in the highlight colour, and the banner's picture, which stays as it
// is, in the window-text colour. No edge on the design's own colours.
constexpr std::optional<std::uint32_t> contrastEdge(const Control& control, bool highContrast) {
    if (!highContrast) return std::nullopt;
    if (control.id == Id::Banner) return kWindowText;
    if (control.backColor == kLightOrange) return kHighlight;
    return std::nullopt;
}

// Every colour a row of the design names has its own entry.
constexpr bool everyDesignColorHasAnEntry() {
    const auto known = [](std::uint32_t color) {
        return std::any_of(kHighContrastColors.begin(), kHighContrastColors.end(),
                           [color](const ContrastColor& c) { return c.design == color; });
    };
    for (const Control& c : kControls)
        if (!known(c.foreColor) || (c.backColor != kTransparent && !known(c.backColor))) return false;
    return known(kRed);
}
static_assert(everyDesignColorHasAnEntry(), "a colour of the design has no high-contrast colour");

}  // namespace tarn::layout
