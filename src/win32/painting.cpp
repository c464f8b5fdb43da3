#include "win32/painting.h"

#include <algorithm>
#include <span>
#include <vector>

#include "platform/units.h"
#include "shell/contrast.h"
#include "shell/layout_math.h"
#include "stb/pictures.h"
#include "win32/dll_search.h"
#include "win32/failure.h"
#include "win32/handles.h"
#include "win32/resource.h"

namespace tarn::win32 {

namespace {

using layout::Container;
using layout::Id;
using layout::Kind;

}  // namespace

COLORREF systemColor(std::uint32_t color) {
    // System colours carry the high bit and the GetSysColor index in the low byte.
    if (color & 0x80000000u) return ::GetSysColor(static_cast<int>(color & 0xFFu));
    return static_cast<COLORREF>(color);
}

bool highContrastOn() {
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof contrast;
    return ::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

// ---- Fonts

namespace {

std::pair<int, bool> fontKey(float points, bool bold) { return {static_cast<int>(points * 100.0f + 0.5f), bold}; }

}  // namespace

FontTable::FontTable(unsigned dpi, const std::wstring& face) {
    for (const layout::Control& c : layout::kControls) {
        if (c.points <= 0) continue;
        const auto key = fontKey(c.points, c.bold);
        if (fonts_.count(key)) continue;
        fonts_.emplace(key, OwnedFont(::CreateFontW(layout::fontHeight(c.points, dpi), 0, 0, 0,
                                                    c.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                                                    DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                                    DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, face.c_str())));
    }
}

HFONT FontTable::get(float points, bool bold) const {
    const auto it = fonts_.find(fontKey(points, bold));
    return it == fonts_.end() ? static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT)) : it->second.get();
}

// ---- The painter

Painter::Painter(HINSTANCE instance) : instance_(instance) {
    setTheme(highContrastOn());
    for (const layout::Control& c : layout::kControls)
        if (c.kind == Kind::Label && c.index >= 0) labelColors_[c.index] = c.foreColor;
}

namespace {

// The banner's pictures (PNG), drawn for 100 to 200 %.
struct BannerPicture {
    std::span<const std::uint8_t> png;
    PngInfo info;
};

std::vector<BannerPicture> bannerPictures(HINSTANCE instance) {
    std::vector<BannerPicture> found;
    for (int id = IDB_BANNER_100; id <= IDB_BANNER_200; ++id) {
        HRSRC resource = ::FindResourceW(instance, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10));  // RT_RCDATA
        HGLOBAL loaded = resource ? ::LoadResource(instance, resource) : nullptr;
        const auto* bytes = loaded ? static_cast<const std::uint8_t*>(::LockResource(loaded)) : nullptr;
        if (!bytes) continue;
        const std::span<const std::uint8_t> png(bytes, ::SizeofResource(instance, resource));
        const PngInfo info = ReadPngInfo(png);
        if (info.failure.empty()) found.push_back({png, info});
    }
    return found;
}

// The one drawn for `width`, else the narrowest wider one, else the widest.
const BannerPicture* bannerFor(const std::vector<BannerPicture>& pictures, int width) {
    const BannerPicture* best = nullptr;
    for (const BannerPicture& p : pictures) {
        const auto w = static_cast<int>(p.info.width);
        const int bestWidth = best ? static_cast<int>(best->info.width) : 0;
        const bool better = !best || (w >= width ? bestWidth < width || w < bestWidth : w > bestWidth);
        if (better) best = &p;
    }
    return best;
}

}  // namespace

OwnedIcon programIcon(HINSTANCE instance, int side) {
    // Only version 6 of the common controls has it, so the import library does not.
    using ScaleDownFn = HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, int, HICON*);
    static const auto loadScaledDown = SystemFunction<ScaleDownFn>(L"comctl32.dll", "LoadIconWithScaleDown");
    HICON icon = nullptr;
    if (loadScaledDown && FAILED(loadScaledDown(instance, MAKEINTRESOURCEW(IDI_TARNWICK), side, side, &icon)))
        icon = nullptr;
    if (!icon)
        icon = static_cast<HICON>(
            ::LoadImageW(instance, MAKEINTRESOURCEW(IDI_TARNWICK), IMAGE_ICON, side, side, LR_DEFAULTCOLOR));
    return OwnedIcon(icon);
}

void Painter::setScaling(double twipsPerPixel) {
    const layout::PixelRect place = layout::controlRect(layout::control(Id::Icon), twipsPerPixel, twipsPerPixel);
    if (OwnedIcon icon = programIcon(instance_, place.width)) icon_ = std::move(icon);

    const layout::PixelRect banner = layout::controlRect(layout::control(Id::Banner), twipsPerPixel, twipsPerPixel);
    if (banner_ && banner_->side() == banner.width) return;
    const std::vector<BannerPicture> pictures = bannerPictures(instance_);
    const BannerPicture* chosen = bannerFor(pictures, banner.width);
    if (!chosen) return;
    PngDecode decoded = DecodePng(chosen->png);
    if (!decoded.picture) return;
    RgbaPicture& picture = *decoded.picture;
    if (picture.width != banner.width || picture.height != banner.height)
        picture = ScalePicture(picture, banner.width, banner.height);
    try {
        banner_ = Picture::fromPixels(std::move(picture));
    } catch (const PlatformError&) {
        // No memory for it: the banner of the scaling before, if any, stays.
    }
}

void Painter::setTheme(bool highContrast) {
    std::map<std::uint32_t, OwnedBrush> brushes;
    const auto addBrush = [&](std::uint32_t shown) {
        if (brushes.count(shown)) return;
        brushes.emplace(shown, OwnedBrush(checked(::CreateSolidBrush(systemColor(shown)),
                                                  messages::kCannotCreateColours, "CreateSolidBrush")));
    };
    addBrush(layout::shownColor(layout::kPeach, highContrast));
    for (const layout::Control& c : layout::kControls) {
        if (c.backColor != layout::kTransparent) addBrush(layout::shownColor(c.backColor, highContrast));
        if (const auto edge = layout::contrastEdge(c, highContrast)) addBrush(*edge);
    }
    // Only once every brush is made: a failure keeps the ones the window draws with.
    brushes_ = std::move(brushes);
    highContrast_ = highContrast;
}

COLORREF Painter::color(std::uint32_t design) const {
    return systemColor(layout::shownColor(design, highContrast_));
}

HBRUSH Painter::brush(std::uint32_t design) const { return shownBrush(layout::shownColor(design, highContrast_)); }

HBRUSH Painter::shownBrush(std::uint32_t shown) const {
    const auto it = brushes_.find(shown);
    return it == brushes_.end() ? static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)) : it->second.get();
}

bool Painter::setLabelColor(int index, std::uint32_t color) {
    auto& stored = labelColors_[index];
    if (stored == color) return false;  // the core resets colours on every move; repaint only changes
    stored = color;
    return true;
}

HDC Painter::canvas(int width, int height) {
    if (canvasDc_ && width <= canvasSize_.cx && height <= canvasSize_.cy) return canvasDc_.get();
    const int w = std::max<int>(width, canvasSize_.cx);
    const int h = std::max<int>(height, canvasSize_.cy);
    if (!canvasDc_) canvasDc_.reset(::CreateCompatibleDC(nullptr));
    const WindowDc screen;
    OwnedBitmap bigger(::CreateCompatibleBitmap(screen.get(), w, h));
    if (!canvasDc_ || !bigger) return nullptr;
    ::SelectObject(canvasDc_.get(), bigger.get());
    canvasBitmap_ = std::move(bigger);  // the smaller one, no longer selected, goes
    canvasSize_ = SIZE{w, h};
    return canvasDc_.get();
}

HDC Painter::render(HWND window, Container container, const RECT& needed, const PaintContext& context) {
    RECT area{};
    ::GetClientRect(window, &area);
    HDC dc = canvas(std::max<int>(1, area.right), std::max<int>(1, area.bottom));
    if (!dc) return nullptr;
    // Drawing outside what is copied out is left undone: the canvas keeps older pixels there.
    ::SelectClipRgn(dc, nullptr);
    ::IntersectClipRect(dc, needed.left, needed.top, needed.right, needed.bottom);
    ::FillRect(dc, &area, background());
    ::SetBkMode(dc, TRANSPARENT);
    if (container != Container::Window) paintFrame(dc, area, container, context);
    for (const layout::Control& c : layout::kControls)
        if (c.container == container && layout::isWindowless(c)) paintControl(dc, c, context);
    return dc;
}

void Painter::paint(HWND window, Container container, const PaintContext& context) {
    const PaintScope scope(window);
    const RECT& dirty = scope.dirty();
    HDC dc = render(window, container, dirty, context);
    if (!dc) return;
    ::BitBlt(scope.dc(), dirty.left, dirty.top, dirty.right - dirty.left, dirty.bottom - dirty.top, dc, dirty.left,
             dirty.top, SRCCOPY);
}

void Painter::paintButton(const DRAWITEMSTRUCT& item, HWND surface, Container container,
                          const PaintContext& context) {
    // Exactly what the surface shows there: the label or banner as it is drawn on it.
    POINT origin{0, 0};
    ::MapWindowPoints(item.hwndItem, surface, &origin, 1);
    const RECT& r = item.rcItem;
    const RECT onSurface{origin.x + r.left, origin.y + r.top, origin.x + r.right, origin.y + r.bottom};
    HDC dc = render(surface, container, onSurface, context);
    if (!dc) return;
    ::BitBlt(item.hDC, r.left, r.top, r.right - r.left, r.bottom - r.top, dc, origin.x + r.left, origin.y + r.top,
             SRCCOPY);
    if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) ::DrawFocusRect(item.hDC, &r);
}

void Painter::paintFrame(HDC dc, const RECT& area, Container container, const PaintContext& context) const {
    const layout::Control& frame = layout::frameOf(container);
    const Selection font(dc, context.fonts.get(frame.points, frame.bold));
    const std::wstring caption = wide(frame.text);
    SIZE textSize{};
    ::GetTextExtentPoint32W(dc, L"Xg", 2, &textSize);
    RECT edge = area;
    if (!caption.empty()) edge.top = textSize.cy / 2;
    ::DrawEdge(dc, &edge, EDGE_ETCHED, BF_RECT);
    if (caption.empty()) return;
    RECT text{ToPixels(90, context.twipsPerPixel), 0, area.right, textSize.cy};
    ::DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &text, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    ::FillRect(dc, &text, background());
    ::SetTextColor(dc, color(frame.foreColor));
    ::DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &text, DT_SINGLELINE | DT_NOPREFIX);
}

void Painter::paintControl(HDC dc, const layout::Control& c, const PaintContext& context) {
    const layout::PixelRect r = layout::controlRect(c, context.twipsPerPixel, context.twipsPerPixel);
    const RECT rect{r.left, r.top, r.right(), r.bottom()};
    // Outside what this paint copies out: nothing to draw. A picture box's picture, at its
    // own size, may reach beyond the box, so it is drawn regardless.
    if (c.kind != Kind::PictureBox && !::RectVisible(dc, &rect)) return;
    if (c.backColor != layout::kTransparent) ::FillRect(dc, &rect, brush(c.backColor));
    if (c.kind == Kind::Label && !c.text.empty()) {
        ::SetTextColor(dc, color(c.index >= 0 ? labelColors_[c.index] : c.foreColor));
        const Selection font(dc, context.fonts.get(c.points, c.bold));
        const std::wstring text = wide(c.text);
        RECT box = rect;
        const UINT align = c.align == layout::Align::Centre ? DT_CENTER : DT_LEFT;
        ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box, DT_WORDBREAK | DT_NOPREFIX | align);
    } else if (c.kind == Kind::Image) {
        paintImage(dc, c, rect, context);
    } else if (c.kind == Kind::PictureBox && c.id == Id::Preview && context.preview) {
        // A picture box shows its picture at its own size from the top-left corner.
        context.preview->draw(dc, r.left, r.top);
    }
    if (const auto edge = layout::contrastEdge(c, highContrast_)) ::FrameRect(dc, &rect, shownBrush(*edge));
}

void Painter::paintImage(HDC dc, const layout::Control& c, const RECT& rect, const PaintContext&) const {
    // Each made for its place at this scaling: drawn pixel for pixel.
    if (c.id == Id::Icon && icon_) {
        ::DrawIconEx(dc, rect.left, rect.top, icon_.get(), rect.right - rect.left, rect.bottom - rect.top, 0, nullptr,
                     DI_NORMAL);
    } else if (c.id == Id::Banner && banner_) {
        banner_->draw(dc, rect.left, rect.top);
    }
}

void Painter::paintKnob(HWND knob) const {
    const PaintScope scope(knob);
    RECT area{};
    ::GetClientRect(knob, &area);
    ::FillRect(scope.dc(), &area, brush(layout::control(Id::Knob).backColor));
    const auto cues = ::SendMessageW(knob, WM_QUERYUISTATE, 0, 0);
    if (::GetFocus() == knob && !(cues & UISF_HIDEFOCUS)) ::DrawFocusRect(scope.dc(), &area);
}

}  // namespace tarn::win32
