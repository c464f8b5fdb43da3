#include "win32/dialogs.h"

#include "win32/handles.h"

namespace tarn::win32 {

void Dialogs::show(std::string_view text) const {
    const std::wstring body = wide(text);
    HWND owner = owner_ && ::IsWindowVisible(owner_) ? owner_ : nullptr;
    ::MessageBoxW(owner, body.c_str(), L"Tarnwick", MB_ICONEXCLAMATION | MB_OK);
}

void Dialogs::failure(const char* what) const noexcept {
    try {
        show(what ? what : "Unexpected error");
    } catch (...) {
        ::MessageBoxW(nullptr, L"Unexpected error", L"Tarnwick", MB_ICONEXCLAMATION | MB_OK);
    }
}

}  // namespace tarn::win32
