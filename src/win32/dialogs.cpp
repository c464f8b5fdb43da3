#include "win32/dialogs.h"

#include <array>
#include <cstddef>

#include "platform/messages.h"
#include "win32/handles.h"

namespace tarn::win32 {

namespace {

// An ASCII text of the catalogue as wide text made at compile time: the box of last
// resort, for when making a text failed, must not need memory.
template <std::size_t N>
constexpr std::array<wchar_t, N> wideAscii(const char (&text)[N]) {
    std::array<wchar_t, N> out{};
    for (std::size_t i = 0; i < N; ++i) out[i] = static_cast<wchar_t>(text[i]);
    return out;
}

constexpr auto kTitle = wideAscii(messages::kTitle);
constexpr auto kUnexpectedError = wideAscii(messages::kUnexpectedError);

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
    ::MessageBoxW(owner, body.c_str(), kTitle.data(), boxStyle(owner));
}

void Dialogs::failure(const char* what) const noexcept {
    try {
        show(what ? what : messages::kUnexpectedError);
    } catch (...) {
        ::MessageBoxW(nullptr, kUnexpectedError.data(), kTitle.data(), boxStyle(nullptr));
    }
}

}  // namespace tarn::win32
