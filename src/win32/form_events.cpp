// The form's window procedures: messages become the form's events.
#include <algorithm>

#include "shell/key_routing.h"
#include "toolkit/mouse.h"
#include "win32/form_window.h"

namespace tarn::win32 {

namespace {

using layout::Container;
using layout::FormEvent;
using layout::Kind;
using layout::kControls;

}  // namespace

// ---- Mouse

void FormWindow::dispatch(const FormEvent& e) {
    link_.send([&](TarnFrm& f) { layout::deliver(f, e); });
}

bool FormWindow::onMouse(HWND from, Container container, UINT message, WPARAM wParam, LPARAM lParam) {
    const int button = toolkit::buttonOfMessage(message);
    if (message != WM_MOUSEMOVE && button == 0) return false;
    // The point in the surface's own pixels, also when the message came to a button over it.
    HWND window = containerWindow(container);
    POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    if (from != window) ::MapWindowPoints(from, window, &p, 1);
    const layout::Target hit = layout::targetAt(container, p.x, p.y, tpp_, tpp_);
    const int state = toolkit::buttonState(static_cast<std::uintptr_t>(wParam));
    const auto surface = reinterpret_cast<std::uintptr_t>(window);
    switch (message) {
        case WM_MOUSEMOVE: dispatch(layout::moveEvent(press_.move(hit), state)); break;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN: {
            const layout::PressTracker::Down down = press_.down(surface, hit);
            if (down.capture) ::SetCapture(window);
            dispatch(layout::downEvent(down.target, button));
            break;
        }
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP: {
            const layout::PressTracker::Up up = press_.up(surface, hit, button, state);
            if (up.releaseCapture) ::ReleaseCapture();
            if (up.click) dispatch(layout::clickEvent(*up.click));
            break;
        }
        default: break;
    }
    return true;
}

HCURSOR FormWindow::cursorFor(layout::Pointer pointer) const {
    switch (pointer) {
        case layout::Pointer::Hand: return hand_ ? static_cast<HCURSOR>(hand_.get()) : ::LoadCursorW(nullptr, IDC_HAND);
        case layout::Pointer::ArrowHourglass: return ::LoadCursorW(nullptr, IDC_APPSTARTING);
        default: return ::LoadCursorW(nullptr, IDC_ARROW);
    }
}

bool FormWindow::setPointer(HWND window, Container container, HWND over) {
    if (over == window) {
        POINT p{};
        ::GetCursorPos(&p);
        ::ScreenToClient(window, &p);
        ::SetCursor(cursorFor(layout::pointerAt(layout::targetAt(container, p.x, p.y, tpp_, tpp_))));
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

// ---- The keyboard

std::optional<LRESULT> FormWindow::onKey(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    using Phase = layout::KeyMessage::Phase;
    layout::KeyMessage key;
    switch (message) {
        case WM_KEYDOWN: key.phase = Phase::Down; break;
        case WM_KEYUP: key.phase = Phase::Up; break;
        case WM_CHAR: key.phase = Phase::Char; break;
        default: return std::nullopt;
    }
    key.key = static_cast<int>(wParam);
    key.repeat = (lParam & (LPARAM{1} << 30)) != 0;  // the key's previous state: down
    key.shift = ::GetKeyState(VK_SHIFT) < 0;
    key.focused = rowOf(window);
    // Refused unless a form is there to say otherwise.
    layout::KeyOutcome out;
    link_.send([&](TarnFrm& f) { out = f.Form_KeyPreview(key); });
    if (out.focus) {
        // From the first Tab on, the focus shows where it is.
        ::SendMessageW(form_.get(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
        ::SetFocus(windowOf(kControls[*out.focus]));
    }
    if (out.toControl) return std::nullopt;
    return 0;
}

LRESULT CALLBACK FormWindow::keyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                     DWORD_PTR self) {
    auto* form = reinterpret_cast<FormWindow*>(self);
    return guarded(form->dialogs(), [&] {
        if (message == WM_NCDESTROY) ::RemoveWindowSubclass(window, &FormWindow::keyProc, kKeySubclassId);
        if (const std::optional<LRESULT> taken = form->onKey(window, message, wParam, lParam)) return *taken;
        return ::DefSubclassProc(window, message, wParam, lParam);
    });
}

// ---- The label buttons and the banner

LRESULT CALLBACK FormWindow::buttonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR row,
                                        DWORD_PTR self) {
    auto* form = reinterpret_cast<FormWindow*>(self);
    return guarded(form->dialogs(), [&] { return form->onButton(window, row, message, wParam, lParam); });
}

LRESULT FormWindow::onButton(HWND window, std::size_t row, UINT message, WPARAM wParam, LPARAM lParam) {
    const layout::Control& c = kControls[row];
    // The button class reports a quick second press as a double-click; the surfaces,
    // which take no double-clicks, see two presses.
    if (message == WM_LBUTTONDBLCLK || message == WM_RBUTTONDBLCLK || message == WM_MBUTTONDBLCLK)
        message -= WM_LBUTTONDBLCLK - WM_LBUTTONDOWN;
    switch (message) {
        case WM_ERASEBKGND: return 1;  // drawn whole by WM_DRAWITEM
        case WM_SETCURSOR:
            if (LOWORD(lParam) != HTCLIENT) break;
            ::SetCursor(cursorFor(c.pointer));
            return TRUE;
        case WM_NCDESTROY: ::RemoveWindowSubclass(window, &FormWindow::buttonProc, row); break;
        default:
            // The mouse is the surface's under it, as before there was a button: hover
            // colours, presses, drags and clicks go as they went, and a click neither
            // takes the focus nor shows a pressed button.
            if (onMouse(window, c.container, message, wParam, lParam)) return 0;
            break;
    }
    return ::DefSubclassProc(window, message, wParam, lParam);
}

// ---- Window procedures

PaintContext FormWindow::paintContext() { return PaintContext{tpp_, fonts_, list_.shownPreview()}; }

std::optional<LRESULT> FormWindow::onSurface(HWND window, Container container, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    if (auto taken = onKey(window, message, wParam, lParam)) return taken;
    switch (message) {
        case WM_ERASEBKGND: return 1;  // WM_PAINT covers every pixel
        case WM_PAINT:
            painter_.paint(window, container, paintContext());
            return 0;
        case WM_SETCURSOR:
            if (LOWORD(lParam) == HTCLIENT && setPointer(window, container, reinterpret_cast<HWND>(wParam))) return TRUE;
            return std::nullopt;
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lParam) != window) press_.lost();
            return 0;
        default:
            if (onMouse(window, container, message, wParam, lParam)) return 0;
            return std::nullopt;
    }
}

void FormWindow::childrenGone() noexcept {
    // The children went with the form; later calls find no window rather than a stale one.
    form_.release();
    frames_.fill(nullptr);
    checks_.fill(nullptr);
    buttons_.fill(nullptr);
    knob_ = nullptr;
    focusBefore_ = nullptr;
    list_.destroyed();
    dialogs_.setOwner(nullptr);
}

LRESULT FormWindow::onForm(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (auto handled = onSurface(window, Container::Window, message, wParam, lParam)) return *handled;
    switch (message) {
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            if (HIWORD(wParam) == BN_CLICKED && id >= kCheckIdBase && id < kCheckIdBase + layout::kCheckBoxes)
                link_.send([&](TarnFrm& f) { f.Check1_Click(id - kCheckIdBase); });
            // A button's own click comes only from the keyboard (Space) or a screen
            // reader; the mouse's go through the surface.
            const auto row = static_cast<std::size_t>(id - kButtonIdBase);
            if (HIWORD(wParam) == BN_CLICKED && id >= kButtonIdBase && row < kControls.size())
                dispatch(layout::clickEvent({kControls[row].container, row}));
            return 0;
        }
        case WM_DRAWITEM: {
            const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (const std::optional<std::size_t> row = rowOf(item.hwndItem)) {
                const Container container = kControls[*row].container;
                painter_.paintButton(item, containerWindow(container), container, paintContext());
            }
            return TRUE;
        }
        case WM_NOTIFY: return list_.notified(*reinterpret_cast<const NMHDR*>(lParam));
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            HDC dc = reinterpret_cast<HDC>(wParam);
            ::SetTextColor(dc, painter_.color(layout::kWindowText));
            ::SetBkColor(dc, painter_.color(layout::kPeach));
            return reinterpret_cast<LRESULT>(painter_.background());
        }
        case WM_ACTIVATE:
            // A message box or another program takes the keyboard away: it comes back to
            // the control that had it, not to the form (where Tab would start again).
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focus = ::GetFocus();
                if (focus && ::IsChild(window, focus)) focusBefore_ = focus;
            } else if (focusBefore_ && ::IsChild(window, focusBefore_)) {
                ::SetFocus(focusBefore_);
                return 0;
            }
            return ::DefWindowProcW(window, message, wParam, lParam);
        case WM_TIMER: onTimer(wParam); return 0;
        case WM_SYSCOLORCHANGE:
            // The list view is a common control: it learns of new colours only from its parent.
            ::SendMessageW(list_.window(), message, wParam, lParam);
            applyTheme();
            return 0;
        case WM_SETTINGCHANGE:
            if (wParam == SPI_SETHIGHCONTRAST) applyTheme();
            link_.send([&](TarnFrm& f) { f.Form_SettingChange(static_cast<std::uint32_t>(wParam)); });
            return ::DefWindowProcW(window, message, wParam, lParam);
        case WM_DPICHANGED:
            applyDpi(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
            link_.send([](TarnFrm& f) { f.Form_DisplayChange(); });
            return 0;
        case WM_DISPLAYCHANGE:
            link_.send([](TarnFrm& f) { f.Form_DisplayChange(); });
            return ::DefWindowProcW(window, message, wParam, lParam);
        case WM_CLOSE:
            link_.send([](TarnFrm& f) { f.Form_QueryUnload(); });
            ::DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            link_.unload();
            ::PostQuitMessage(0);
            return 0;
        case WM_NCDESTROY: childrenGone(); return 0;
        case WM_QUERYENDSESSION: return TRUE;
        case WM_ENDSESSION:
            // Only once the session really ends, or a restart manager asks the program to
            // close: the user's pointers first (the session may end as soon as this
            // returns), then the program ends as after a close, so nothing is left holding
            // the single-instance lock. A cancelled log-off changes nothing.
            if (wParam) {
                link_.unload();
                ::DestroyWindow(window);
            }
            return 0;
        default: return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT FormWindow::onFrame(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto slot = std::find(frames_.begin(), frames_.end(), window);
    if (slot == frames_.end()) return ::DefWindowProcW(window, message, wParam, lParam);
    const auto container =
        static_cast<Container>(static_cast<int>(Container::Frame1) + static_cast<int>(slot - frames_.begin()));
    if (auto handled = onSurface(window, container, message, wParam, lParam)) return *handled;
    switch (message) {
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_DRAWITEM:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            // The check boxes and buttons report to their frame; the form handles every control.
            return ::SendMessageW(form_.get(), message, wParam, lParam);
        default: return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT FormWindow::onKnob(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (const std::optional<LRESULT> taken = onKey(window, message, wParam, lParam)) return *taken;
    const int state = toolkit::buttonState(static_cast<std::uintptr_t>(wParam));
    switch (message) {
        case WM_ERASEBKGND: return 1;
        case WM_PAINT: painter_.paintKnob(window); return 0;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
        case WM_UPDATEUISTATE:
            ::InvalidateRect(window, nullptr, FALSE);  // the focus mark comes or goes
            return ::DefWindowProcW(window, message, wParam, lParam);
        case WM_DESTROY: annotations_.forget(window); return 0;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            ::SetCapture(window);
            link_.send([&](TarnFrm& f) { f.picSlider_MouseDown(toolkit::buttonOfMessage(message)); });
            return 0;
        case WM_MOUSEMOVE: link_.send([&](TarnFrm& f) { f.picSlider_MouseMove(state); }); return 0;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP:
            if (state == 0 && ::GetCapture() == window) ::ReleaseCapture();
            return 0;
        default: return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace tarn::win32
