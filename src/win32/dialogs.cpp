#include "win32/dialogs.h"

#include "win32/handles.h"

namespace tarn::win32 {

namespace {

// The box comes to the front. With no window of ours on the screen (hidden to the tray,
// or not shown yet at start-up) it would otherwise open behind the window the user is
// working in, where the system may also refuse it the foreground: it then stays above
// the other windows until it is answered.
UINT boxStyle(HWND owner) {
    return MB_ICONEXCLAMATION | MB_OK | MB_SETFOREGROUND | (owner ? 0u : static_cast<UINT>(MB_TOPMOST));
}

}  // namespace

void Dialogs::show(std::string_view text) const {
    const std::wstring body = wide(text);
    HWND owner = owner_ && ::IsWindowVisible(owner_) ? owner_ : nullptr;
    ::MessageBoxW(owner, body.c_str(), L"Tarnwick", boxStyle(owner));
}

void Dialogs::failure(const char* what) const noexcept {
    try {
        show(what ? what : "Unexpected error");
    } catch (...) {
        ::MessageBoxW(nullptr, L"Unexpected error", L"Tarnwick", boxStyle(nullptr));
    }
}

}  // namespace tarn::win32
