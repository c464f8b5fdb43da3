// The drawing of the form and its frames: the controls that are no windows of their
// own (labels, images, picture boxes), the frames' edges and captions, and the knob.
// Every brush, the banner and the off-screen canvas are made once and reused.
#pragma once

#include "win32/win32_api.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>

#include "shell/layout.h"
#include "win32/owned.h"
#include "win32/picture.h"

namespace tarn::win32 {

// A design colour (0x00BBGGRR, or one of the system's colours) as GDI takes it.
COLORREF systemColor(std::uint32_t color);

// True while the user has a high-contrast theme on.
bool highContrastOn();

// The fonts of the design at one DPI, one per size and weight.
class FontTable {
public:
    FontTable() = default;
    FontTable(unsigned dpi, const std::wstring& face);
    // The stock GUI font for a size the design does not use.
    [[nodiscard]] HFONT get(float points, bool bold) const;

private:
    std::map<std::pair<int, bool>, OwnedFont> fonts_;  // (points x 100, bold)
};

// The program icon `side` pixels square: its image of that size, or a larger one
// scaled down (LoadIconWithScaleDown); an empty owner when there is none.
OwnedIcon programIcon(HINSTANCE instance, int side);

// What a paint needs from the rest of the window.
struct PaintContext {
    double twipsPerPixel;
    const FontTable& fonts;
    const Picture* preview;  // the loaded set's preview as it is shown, or none
};

class Painter {
public:
    // Draws in the theme the system has now.
    explicit Painter(HINSTANCE instance);
    // The program icon and the banner for a scaling of `twipsPerPixel`, each at the size
    // of its place in the design: the icon's image of that size; the banner drawn for it
    // (one for each of 100 to 200 %), else the nearest larger one scaled down with stb.
    void setScaling(double twipsPerPixel);
    Painter(const Painter&) = delete;
    Painter& operator=(const Painter&) = delete;

    // The theme or the system's colours changed: the brushes are made afresh from the
    // colours the theme shows. The caller repaints.
    void setTheme(bool highContrast);
    // What a design colour is drawn in under the current theme, as GDI takes it.
    [[nodiscard]] COLORREF color(std::uint32_t design) const;

    // The design colour a label shows; true when it changed and the label needs a repaint.
    bool setLabelColor(int index, std::uint32_t color);
    [[nodiscard]] HBRUSH background() const { return brush(layout::kPeach); }

    // WM_PAINT of the form (container Window) or of one of its frames.
    void paint(HWND window, layout::Container container, const PaintContext& context);
    // WM_DRAWITEM of a label button or the banner, a window over its place on `surface`:
    // what the surface draws there, with the focus mark while it has the keyboard.
    void paintButton(const DRAWITEMSTRUCT& item, HWND surface, layout::Container container,
                     const PaintContext& context);
    // The knob, with the focus mark while it has the keyboard.
    void paintKnob(HWND knob) const;

private:
    [[nodiscard]] HBRUSH brush(std::uint32_t design) const;
    [[nodiscard]] HBRUSH shownBrush(std::uint32_t shown) const;
    HDC canvas(int width, int height);
    // The surface drawn on the canvas, as far as the `needed` part of it (in its pixels).
    HDC render(HWND window, layout::Container container, const RECT& needed, const PaintContext& context);
    void paintFrame(HDC dc, const RECT& area, layout::Container container, const PaintContext& context) const;
    void paintControl(HDC dc, const layout::Control& control, const PaintContext& context);
    void paintImage(HDC dc, const layout::Control& control, const RECT& rect, const PaintContext& context) const;

    HINSTANCE instance_;
    bool highContrast_ = false;
    std::map<std::uint32_t, OwnedBrush> brushes_;  // by the colour shown: every fill and edge of the theme
    std::map<int, std::uint32_t> labelColors_;
    OwnedIcon icon_;
    std::optional<Picture> banner_;
    // Drawn off screen first, so hover colours and knob moves do not flicker. The
    // canvas grows to the largest surface and is kept.
    OwnedBitmap canvasBitmap_;
    OwnedDc canvasDc_;
    SIZE canvasSize_{};
};

}  // namespace tarn::win32
