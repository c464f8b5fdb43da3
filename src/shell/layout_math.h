// The arithmetic behind the window: where each control lands in pixels, which
// windowless control lies under a point, and font heights. The backend draws and
// routes every event through it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>

#include "shell/layout.h"

namespace tarn::layout {

struct PixelRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    [[nodiscard]] constexpr int right() const { return left + width; }
    [[nodiscard]] constexpr int bottom() const { return top + height; }
    [[nodiscard]] constexpr bool contains(int x, int y) const {
        return x >= left && x < right() && y >= top && y < bottom();
    }
    friend constexpr bool operator==(PixelRect, PixelRect) = default;
};

// A control's rectangle in pixels, relative to its container (client area or frame).
PixelRect controlRect(const Control& control, double tppX, double tppY);

// The window's client area in pixels.
PixelRect clientRect(double tppX, double tppY);

// The window's outer rectangle with its top-left corner at (left, top): the client area
// and a one-pixel border on every side.
PixelRect windowRect(int left, int top, double tpp);

// A monitor as the system reports it, in screen pixels: its whole area, and its work
// area (the part the task bar and docked tool bars leave free).
struct Monitor {
    PixelRect area;
    PixelRect work;
};

// The title strip, the window's drag handle, on the screen for a window whose outer
// rectangle is `window`.
PixelRect titleStrip(const PixelRect& window, double tpp);

// Where the window goes when it is shown, so that it can always be got back: nowhere
// while all of its title strip lies on the monitors' work areas (a strip under the task
// bar cannot be grabbed either); otherwise whole inside the work area of the monitor
// nearest to it (the one it overlaps most, else the closest, as the system picks a
// window's monitor), moved no further than that takes, and with its top-left corner
// inside when it is larger than the work area. Nowhere also when there is no monitor.
std::optional<PixelRect> bringBack(const PixelRect& window, const PixelRect& strip,
                                   std::span<const Monitor> monitors);

// Controls the form (or a frame) paints and hit-tests itself; the others (frames,
// list view, check boxes, knob) are real child windows.
bool isWindowless(const Control& control);

// The frontmost windowless control of `container` under the pixel point (x, y),
// relative to that container, as an index into kControls.
std::optional<std::size_t> hitTest(Container container, int x, int y, double tppX, double tppY);

// A font's height for CreateFont: minus the point size scaled to the DPI, rounded
// half away from zero the way MulDiv rounds.
int fontHeight(float points, unsigned dpi);

// The face the window's text is drawn in at `dpi`: the first that exists among the
// design face and its stand-ins. The design face is a bitmap face, drawn crisply only
// at the size it was made for (96 DPI); above that it would be scaled from its nearest
// bitmap size, blocky or clipped, so there its TrueType successor with the same
// metrics comes first, and any other TrueType stand-in before the bitmap face.
std::string_view pickFontFace(unsigned dpi, const std::function<bool(std::string_view)>& exists);

}  // namespace tarn::layout
