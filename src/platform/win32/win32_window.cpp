// The program's window: its classes, creation and layout at the monitor's DPI, the
// painting of the windowless controls, and the window procedures that turn messages
// into the form's events.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <string_view>

#include "platform/win32/resource.h"
#include "platform/win32/text.h"
#include "platform/win32/win32_platform.h"
#include "shell/tarn_frm.h"

namespace tarn::win32 {

namespace {

using layout::Container;
using layout::Id;
using layout::Kind;
using layout::kControls;

constexpr wchar_t kFormClass[] = L"TarnwickForm";
constexpr wchar_t kFrameClass[] = L"TarnwickFrame";
constexpr wchar_t kKnobClass[] = L"TarnwickKnob";
constexpr wchar_t kTrayClass[] = L"TarnwickTrayHost";
constexpr int kCheckIdBase = 100;
constexpr int kListViewId = 200;

std::wstring wide(std::string_view text) {
    const std::u16string u = utf8ToUtf16(text);
    return std::wstring(u.begin(), u.end());
}

COLORREF resolveColor(std::uint32_t color) {
    // System colours carry the high bit and the GetSysColor index in the low byte.
    if (color & 0x80000000u) return ::GetSysColor(static_cast<int>(color & 0xFFu));
    return static_cast<COLORREF>(color);
}

int frameSlot(Container c) { return static_cast<int>(c) - static_cast<int>(Container::Frame1); }

Container frameContainer(Id id) {
    switch (id) {
        case Id::Frame1: return Container::Frame1;
        case Id::Frame2: return Container::Frame2;
        case Id::Frame3: return Container::Frame3;
        case Id::Frame4: return Container::Frame4;
        default: return Container::Frame5;
    }
}

Win32Platform* self(HWND window) {
    return reinterpret_cast<Win32Platform*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

// Keeps the window's pointer to the platform from WM_NCCREATE on.
void remember(HWND window, UINT message, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
}

unsigned windowDpi(HWND window) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpi = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpi && window) {
        const UINT dpi = getDpi(window);
        if (dpi > 0) return dpi;
    }
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSX);
    ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<unsigned>(dpi) : 96u;
}

int CALLBACK noteFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool faceExists(std::string_view face) {
    LOGFONTW query{};
    query.lfCharSet = DEFAULT_CHARSET;
    const std::wstring name = wide(face);
    std::copy_n(name.c_str(), std::min<std::size_t>(name.size() + 1, LF_FACESIZE - 1), query.lfFaceName);
    bool found = false;
    HDC screen = ::GetDC(nullptr);
    ::EnumFontFamiliesExW(screen, &query, noteFace, reinterpret_cast<LPARAM>(&found), 0);
    ::ReleaseDC(nullptr, screen);
    return found;
}

template <class Handler>
LRESULT guarded(Win32Platform* platform, Handler&& handler) {
    // No exception may unwind through the system's code that called the procedure.
    try {
        return handler();
    } catch (const std::exception& e) {
        if (platform) platform->showError(e.what());
    } catch (...) {
        if (platform) platform->showError("Unexpected error");
    }
    return 0;
}

}  // namespace

// ---- Creation and layout

void Win32Platform::registerClasses() {
    WNDCLASSEXW form{};
    form.cbSize = sizeof form;
    form.lpfnWndProc = &Win32Platform::windowProc<&Win32Platform::onForm>;
    form.hInstance = instance_;
    form.hIcon = programIcon_.get();
    form.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    form.lpszClassName = kFormClass;
    ::RegisterClassExW(&form);

    WNDCLASSEXW frame = form;
    frame.lpfnWndProc = &Win32Platform::windowProc<&Win32Platform::onFrame>;
    frame.hIcon = nullptr;
    frame.lpszClassName = kFrameClass;
    ::RegisterClassExW(&frame);

    WNDCLASSEXW knob = frame;
    knob.lpfnWndProc = &Win32Platform::windowProc<&Win32Platform::onKnob>;
    knob.lpszClassName = kKnobClass;
    ::RegisterClassExW(&knob);

    WNDCLASSEXW tray = frame;
    tray.lpfnWndProc = &Win32Platform::windowProc<&Win32Platform::onTray>;
    tray.lpszClassName = kTrayClass;
    ::RegisterClassExW(&tray);
}

void Win32Platform::createWindows() {
    registerClasses();
    const std::wstring title = wide(layout::kWindowTitle);
    formWindow_.reset(::CreateWindowExW(WS_EX_TOOLWINDOW, kFormClass, title.c_str(),
                                        WS_POPUP | WS_BORDER | WS_CLIPCHILDREN, 0, 0, 0, 0, nullptr, nullptr,
                                        instance_, this));
    if (!formWindow_) throw PlatformError("Cannot create the main window");
    trayHost_.reset(::CreateWindowExW(WS_EX_TOOLWINDOW, kTrayClass, L"Picture1", WS_POPUP, 0, 0, 0, 0, nullptr,
                                      nullptr, instance_, this));
    if (!trayHost_) throw PlatformError("Cannot create the tray host window");

    HWND form = formWindow_.get();
    for (const layout::Control& c : kControls) {
        switch (c.kind) {
            case Kind::Frame: {
                const std::wstring caption = wide(c.text);
                frames_[static_cast<std::size_t>(frameSlot(frameContainer(c.id)))] =
                    ::CreateWindowExW(0, kFrameClass, caption.c_str(),
                                      WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0, 0, 0, 0, form,
                                      nullptr, instance_, this);
                break;
            }
            case Kind::ListView:
                listView_ = ::CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                                              WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS | LVS_ICON |
                                                  LVS_SINGLESEL | LVS_SHAREIMAGELISTS | LVS_AUTOARRANGE,
                                              0, 0, 0, 0, form, reinterpret_cast<HMENU>(kListViewId), instance_,
                                              nullptr);
                break;
            case Kind::CheckBox: {
                const std::wstring caption = wide(c.text);
                checks_[static_cast<std::size_t>(c.index)] = ::CreateWindowExW(
                    0, L"BUTTON", caption.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 0, 0, 0, 0,
                    containerWindow(c.container), reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCheckIdBase + c.index)),
                    instance_, nullptr);
                break;
            }
            default:
                if (c.id == Id::Knob)
                    knob_ = ::CreateWindowExW(0, kKnobClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                                              containerWindow(c.container), nullptr, instance_, this);
                break;
        }
    }
    if (!listView_ || !knob_ || std::count(frames_.begin(), frames_.end(), nullptr) > 0 ||
        std::count(checks_.begin(), checks_.end(), nullptr) > 0)
        throw PlatformError("Cannot create the window's controls");

    const COLORREF peach = resolveColor(layout::kPeach);
    ListView_SetBkColor(listView_, peach);
    ListView_SetTextBkColor(listView_, peach);
    ListView_SetTextColor(listView_, resolveColor(layout::control(Id::ListView).foreColor));
    ListView_SetImageList(listView_, images_.get(), LVSIL_NORMAL);
    ::SetWindowSubclass(listView_, &Win32Platform::listProc, 1, reinterpret_cast<DWORD_PTR>(this));

    for (const layout::Control& c : kControls)
        if (c.kind == Kind::Label && c.index >= 0) labelColors_[c.index] = c.foreColor;

    face_ = wide(pickFontFace(faceExists));
    applyDpi(windowDpi(form), nullptr);
}

HWND Win32Platform::frameWindow(Container c) const { return frames_.at(static_cast<std::size_t>(frameSlot(c))); }

HWND Win32Platform::containerWindow(Container c) const {
    return c == Container::Window ? formWindow_.get() : frameWindow(c);
}

void Win32Platform::rebuildFonts() {
    std::map<std::pair<int, bool>, OwnedFont> fresh;
    for (const layout::Control& c : kControls) {
        if (c.points <= 0) continue;
        const std::pair<int, bool> key{static_cast<int>(c.points * 100.0f + 0.5f), c.bold};
        if (fresh.count(key)) continue;
        fresh.emplace(key, OwnedFont(::CreateFontW(fontHeight(c.points, dpi_), 0, 0, 0, c.bold ? FW_BOLD : FW_NORMAL,
                                                   FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                                   CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS,
                                                   face_.c_str())));
    }
    // The controls switch to the new fonts before the old ones are released.
    std::swap(fonts_, fresh);
    const layout::Control& list = layout::control(Id::ListView);
    ::SendMessageW(listView_, WM_SETFONT, reinterpret_cast<WPARAM>(font(list.points, list.bold)), TRUE);
    for (const layout::Control& c : kControls)
        if (c.kind == Kind::CheckBox)
            ::SendMessageW(checks_[static_cast<std::size_t>(c.index)], WM_SETFONT,
                           reinterpret_cast<WPARAM>(font(c.points, c.bold)), TRUE);
}

HFONT Win32Platform::font(float points, bool bold) const {
    const auto it = fonts_.find({static_cast<int>(points * 100.0f + 0.5f), bold});
    return it == fonts_.end() ? static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT)) : it->second.get();
}

void Win32Platform::applyDpi(unsigned dpi, const RECT* suggested) {
    // The knob keeps its place in twips across a DPI change; before the first layout it
    // takes the design's place.
    double knobLeftTwips = layout::control(Id::Knob).left;
    RECT knobRect{};
    if (::GetWindowRect(knob_, &knobRect) && knobRect.right > knobRect.left) {
        ::MapWindowPoints(nullptr, frameWindow(Container::Frame2), reinterpret_cast<POINT*>(&knobRect), 2);
        knobLeftTwips = knobRect.left * tpp_;
    }

    dpi_ = dpi;
    tpp_ = twipsPerPixel(dpi);
    rebuildFonts();

    for (const layout::Control& c : kControls) {
        PixelRect r = controlRect(c, tpp_, tpp_);
        HWND window = nullptr;
        switch (c.kind) {
            case Kind::Frame: window = frameWindow(frameContainer(c.id)); break;
            case Kind::ListView: window = listView_; break;
            case Kind::CheckBox: window = checks_[static_cast<std::size_t>(c.index)]; break;
            default:
                if (c.id == Id::Knob) {
                    window = knob_;
                    r.left = twipsToPixels(knobLeftTwips, tpp_);
                }
                break;
        }
        if (window) ::MoveWindow(window, r.left, r.top, r.width, r.height, TRUE);
    }

    // A one-pixel border on every side of the client area.
    const PixelRect client = clientRect(tpp_, tpp_);
    const int width = client.width + 2;
    const int height = client.height + 2;
    int left = 0;
    int top = 0;
    if (suggested) {
        left = suggested->left;
        top = suggested->top;
    } else {
        RECT work{};
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        left = work.left + (work.right - work.left - width) / 2;
        top = work.top + (work.bottom - work.top - height) / 2;
    }
    ::SetWindowPos(formWindow_.get(), nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    ::InvalidateRect(formWindow_.get(), nullptr, TRUE);
}

// ---- Painting

void Win32Platform::paint(HWND window, Container container) {
    PAINTSTRUCT ps;
    HDC target = ::BeginPaint(window, &ps);
    RECT area{};
    ::GetClientRect(window, &area);
    const int width = std::max<int>(1, area.right);
    const int height = std::max<int>(1, area.bottom);
    // Drawn off screen first, so hover colours and knob moves do not flicker.
    OwnedDc dc(::CreateCompatibleDC(target));
    OwnedBitmap canvas(::CreateCompatibleBitmap(target, width, height));
    if (!dc || !canvas) {
        ::EndPaint(window, &ps);
        return;
    }
    HGDIOBJ oldBitmap = ::SelectObject(dc.get(), canvas.get());
    ::FillRect(dc.get(), &area, peach_.get());
    ::SetBkMode(dc.get(), TRANSPARENT);

    if (container != Container::Window) {
        const layout::Control& frame = layout::frameOf(container);
        HGDIOBJ oldFont = ::SelectObject(dc.get(), font(frame.points, frame.bold));
        const std::wstring caption = wide(frame.text);
        SIZE textSize{};
        ::GetTextExtentPoint32W(dc.get(), L"Xg", 2, &textSize);
        RECT edge = area;
        if (!caption.empty()) edge.top = textSize.cy / 2;
        ::DrawEdge(dc.get(), &edge, EDGE_ETCHED, BF_RECT);
        if (!caption.empty()) {
            RECT text{twipsToPixels(90, tpp_), 0, area.right, textSize.cy};
            ::DrawTextW(dc.get(), caption.c_str(), static_cast<int>(caption.size()), &text,
                        DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
            ::FillRect(dc.get(), &text, peach_.get());
            ::SetTextColor(dc.get(), resolveColor(frame.foreColor));
            ::DrawTextW(dc.get(), caption.c_str(), static_cast<int>(caption.size()), &text,
                        DT_SINGLELINE | DT_NOPREFIX);
        }
        ::SelectObject(dc.get(), oldFont);
    }

    for (const layout::Control& c : kControls)
        if (c.container == container && isWindowless(c)) paintControl(dc.get(), c);

    ::BitBlt(target, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
             ps.rcPaint.bottom - ps.rcPaint.top, dc.get(), ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
    ::SelectObject(dc.get(), oldBitmap);
    ::EndPaint(window, &ps);
}

void Win32Platform::paintControl(HDC dc, const layout::Control& c) {
    const PixelRect r = controlRect(c, tpp_, tpp_);
    RECT rect{r.left, r.top, r.right(), r.bottom()};
    if (c.backColor != layout::kTransparent) {
        OwnedBrush back(::CreateSolidBrush(resolveColor(c.backColor)));
        ::FillRect(dc, &rect, back.get());
    }
    switch (c.kind) {
        case Kind::Label: {
            if (c.text.empty()) break;
            const std::uint32_t color = c.index >= 0 ? labelColors_[c.index] : c.foreColor;
            ::SetTextColor(dc, resolveColor(color));
            HGDIOBJ oldFont = ::SelectObject(dc, font(c.points, c.bold));
            const std::wstring text = wide(c.text);
            const UINT align = c.align == layout::Align::Centre ? DT_CENTER : DT_LEFT;
            ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect, DT_WORDBREAK | DT_NOPREFIX | align);
            ::SelectObject(dc, oldFont);
            break;
        }
        case Kind::Image:
            if (c.id == Id::Icon && programIcon_) {
                ::DrawIconEx(dc, r.left, r.top, programIcon_.get(), r.width, r.height, 0, nullptr, DI_NORMAL);
            } else if (c.id == Id::Banner && banner_) {
                OwnedDc source(::CreateCompatibleDC(dc));
                BITMAP info{};
                ::GetObjectW(banner_.get(), sizeof info, &info);
                HGDIOBJ old = ::SelectObject(source.get(), banner_.get());
                ::SetStretchBltMode(dc, HALFTONE);
                ::StretchBlt(dc, r.left, r.top, r.width, r.height, source.get(), 0, 0, info.bmWidth, info.bmHeight,
                             SRCCOPY);
                ::SelectObject(source.get(), old);
            }
            break;
        case Kind::PictureBox:
            // A picture box shows its picture at its own size from the top-left corner.
            if (c.id == Id::Preview && preview_)
                ::DrawIconEx(dc, r.left, r.top, preview_.get(), 0, 0, 0, nullptr, DI_NORMAL);
            break;
        default: break;
    }
}

void Win32Platform::invalidateControl(const layout::Control& c) {
    const PixelRect r = controlRect(c, tpp_, tpp_);
    const RECT rect{r.left, r.top, r.right(), r.bottom()};
    ::InvalidateRect(containerWindow(c.container), &rect, FALSE);
}

// ---- Mouse

void Win32Platform::dispatch(const FormEvent& e) {
    if (!form_) return;
    switch (e.kind) {
        case FormEvent::Kind::FormMouseMove: form_->Form_MouseMove(); break;
        case FormEvent::Kind::LabelMouseMove: form_->lbl_MouseMove(e.index, e.button); break;
        case FormEvent::Kind::LabelMouseDown: form_->lbl_MouseDown(e.index, e.button); break;
        case FormEvent::Kind::LabelClick: form_->lbl_Click(e.index); break;
        case FormEvent::Kind::PreviewMouseMove: form_->Picture2_MouseMove(); break;
        case FormEvent::Kind::BannerClick: form_->Image2_Click(); break;
        case FormEvent::Kind::None: break;
    }
}

void Win32Platform::onMouse(HWND window, Container container, UINT message, WPARAM wParam, LPARAM lParam) {
    const Target hit = targetAt(container, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), tpp_, tpp_);
    const int state = buttonState(static_cast<std::uintptr_t>(wParam));
    const auto surface = reinterpret_cast<std::uintptr_t>(window);
    switch (message) {
        case WM_MOUSEMOVE: dispatch(moveEvent(press_.move(hit), state)); break;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN: {
            const int button = message == WM_LBUTTONDOWN ? 1 : message == WM_RBUTTONDOWN ? 2 : 4;
            const PressTracker::Down down = press_.down(surface, hit);
            if (down.capture) ::SetCapture(window);
            dispatch(downEvent(down.target, button));
            break;
        }
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP: {
            const int button = message == WM_LBUTTONUP ? 1 : message == WM_RBUTTONUP ? 2 : 4;
            const PressTracker::Up up = press_.up(surface, hit, button, state);
            if (up.releaseCapture) ::ReleaseCapture();
            if (up.click) dispatch(clickEvent(*up.click));
            break;
        }
        default: break;
    }
}

HCURSOR Win32Platform::cursorFor(layout::Pointer pointer) const {
    switch (pointer) {
        case layout::Pointer::Hand: return hand_ ? static_cast<HCURSOR>(hand_.get()) : ::LoadCursorW(nullptr, IDC_HAND);
        case layout::Pointer::ArrowHourglass: return ::LoadCursorW(nullptr, IDC_APPSTARTING);
        default: return ::LoadCursorW(nullptr, IDC_ARROW);
    }
}

bool Win32Platform::setPointer(HWND window, Container container, HWND over) {
    if (over == window) {
        POINT p{};
        ::GetCursorPos(&p);
        ::ScreenToClient(window, &p);
        ::SetCursor(cursorFor(pointerAt(targetAt(container, p.x, p.y, tpp_, tpp_))));
        return true;
    }
    for (const layout::Control& c : kControls) {
        if (c.kind == Kind::CheckBox && checks_[static_cast<std::size_t>(c.index)] == over) {
            ::SetCursor(cursorFor(c.pointer));
            return true;
        }
    }
    return false;
}

// ---- Window procedures

std::optional<LRESULT> Win32Platform::onSurface(HWND window, Container container, UINT message, WPARAM wParam,
                                                LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND: return 1;  // WM_PAINT covers every pixel
        case WM_PAINT: paint(window, container); return 0;
        case WM_SETCURSOR:
            if (LOWORD(lParam) == HTCLIENT && setPointer(window, container, reinterpret_cast<HWND>(wParam))) return TRUE;
            return std::nullopt;
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP:
            onMouse(window, container, message, wParam, lParam);
            return 0;
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lParam) != window) press_.lost();
            return 0;
        default: return std::nullopt;
    }
}

template <Win32Platform::Handler handler>
LRESULT CALLBACK Win32Platform::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    remember(window, message, lParam);
    Win32Platform* p = self(window);
    if (!p) return ::DefWindowProcW(window, message, wParam, lParam);
    return guarded(p, [&] { return (p->*handler)(window, message, wParam, lParam); });
}

LRESULT CALLBACK Win32Platform::listProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                         DWORD_PTR data) {
    auto* p = reinterpret_cast<Win32Platform*>(data);
    return guarded(p, [&] { return p->onList(window, message, wParam, lParam); });
}

LRESULT Win32Platform::onForm(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (auto handled = onSurface(window, Container::Window, message, wParam, lParam)) return *handled;
    switch (message) {
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            if (HIWORD(wParam) == BN_CLICKED && id >= kCheckIdBase && id < kCheckIdBase + 3 && form_)
                form_->Check1_Click(id - kCheckIdBase);
            return 0;
        }
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->hwndFrom == listView_ && header->code == static_cast<UINT>(NM_DBLCLK) && form_)
                form_->listv_DblClick();
            return 0;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            HDC dc = reinterpret_cast<HDC>(wParam);
            ::SetTextColor(dc, resolveColor(layout::kWindowText));
            ::SetBkColor(dc, resolveColor(layout::kPeach));
            return reinterpret_cast<LRESULT>(peach_.get());
        }
        case WM_TIMER: onTimer(wParam); return 0;
        case WM_DPICHANGED:
            applyDpi(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_CLOSE:
            if (form_) form_->Form_QueryUnload();
            ::DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            if (form_ && !unloaded_) {
                unloaded_ = true;
                form_->Form_Unload();
            }
            ::PostQuitMessage(0);
            return 0;
        case WM_NCDESTROY:
            ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            formWindow_.release();
            // The children went with it; later calls find no window rather than a stale one.
            frames_.fill(nullptr);
            checks_.fill(nullptr);
            listView_ = nullptr;
            knob_ = nullptr;
            return 0;
        case WM_QUERYENDSESSION: return TRUE;
        case WM_ENDSESSION:
            // Only once the session really ends: a cancelled log-off keeps the program running.
            if (wParam) emergencyUnload();
            return 0;
        default: return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT Win32Platform::onFrame(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto slot = std::find(frames_.begin(), frames_.end(), window);
    if (slot == frames_.end()) return ::DefWindowProcW(window, message, wParam, lParam);
    const auto container =
        static_cast<Container>(static_cast<int>(Container::Frame1) + static_cast<int>(slot - frames_.begin()));
    if (auto handled = onSurface(window, container, message, wParam, lParam)) return *handled;
    switch (message) {
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            // The check boxes report to their frame; the form handles every control.
            return ::SendMessageW(formWindow_.get(), message, wParam, lParam);
        default: return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT Win32Platform::onKnob(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const int state = buttonState(static_cast<std::uintptr_t>(wParam));
    switch (message) {
        case WM_ERASEBKGND: return 1;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = ::BeginPaint(window, &ps);
            RECT area{};
            ::GetClientRect(window, &area);
            OwnedBrush orange(::CreateSolidBrush(resolveColor(layout::control(Id::Knob).backColor)));
            ::FillRect(dc, &area, orange.get());
            ::EndPaint(window, &ps);
            return 0;
        }
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            ::SetCapture(window);
            if (form_) form_->picSlider_MouseDown(message == WM_LBUTTONDOWN ? 1 : message == WM_RBUTTONDOWN ? 2 : 4);
            return 0;
        case WM_MOUSEMOVE:
            if (form_) form_->picSlider_MouseMove(state);
            return 0;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP:
            if (state == 0 && ::GetCapture() == window) ::ReleaseCapture();
            return 0;
        default: return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT Win32Platform::onTray(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == tray_.callbackMessage()) {
        // The shell's mouse message arrives in the low word of lParam.
        if (form_) form_->Picture1_MouseMove(LOWORD(lParam));
        return 0;
    }
    if (taskbarCreated_ != 0 && message == taskbarCreated_) {
        // A restarted task bar has forgotten every icon: show ours again.
        if (tray_.wanted()) {
            const NotifyIconRecord again = *tray_.wanted();
            Shell_NotifyIcon(NotifyIconMessage::Add, again);
        }
        return 0;
    }
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        trayHost_.release();
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT Win32Platform::onList(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_MOUSEMOVE:
            if (form_) form_->listv_MouseMove();
            break;
        case WM_SETCURSOR:
            if (LOWORD(lParam) == HTCLIENT) {
                ::SetCursor(listViewCursor());
                return TRUE;
            }
            break;
        case WM_NCDESTROY:
            ::RemoveWindowSubclass(window, &Win32Platform::listProc, 1);
            break;
        default: break;
    }
    return ::DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace tarn::win32
