// The program's message box: the exclamation icon and the title "Tarnwick", owned by
// the main window while it is on the screen, and always brought to the front. Also
// where a failure that reached a window procedure is shown.
#pragma once

#include "win32/win32_api.h"

#include <exception>
#include <string_view>

namespace tarn::win32 {

class Dialogs {
public:
    void setOwner(HWND form) noexcept { owner_ = form; }
    // The form's window while it exists, shown or not: a close request that reaches
    // another of the program's windows is passed on to it.
    [[nodiscard]] HWND form() const noexcept { return owner_; }
    // Shows the text and waits for the user.
    void show(std::string_view text) const;
    // As show(), for a failure on the way out of a window procedure: never throws.
    void failure(const char* what) const noexcept;

private:
    HWND owner_ = nullptr;
};

// Runs a window procedure's handler with no exception crossing back into the system's
// code that called it: a failure is shown as the program's usual message box.
template <class Handler>
LRESULT guarded(const Dialogs& dialogs, Handler&& handler) noexcept {
    try {
        return handler();
    } catch (const std::exception& e) {
        dialogs.failure(e.what());
    } catch (...) {
        dialogs.failure(nullptr);
    }
    return 0;
}

// A window procedure for `Area`: the window's user data holds the area (given as the
// creation parameter), and `handler` runs guarded.
template <class Area, LRESULT (Area::*handler)(HWND, UINT, WPARAM, LPARAM)>
LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* area = reinterpret_cast<Area*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!area) return ::DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    return guarded(area->dialogs(), [&] { return (area->*handler)(window, message, wParam, lParam); });
}

}  // namespace tarn::win32
