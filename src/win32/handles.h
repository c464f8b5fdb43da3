// The core's opaque handles and the system's, converted in one place; and the core's
// UTF-8 text as the wide text the system takes.
#pragma once

#include "win32/win32_api.h"

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "toolkit/text.h"

namespace tarn::win32 {

template <class H, class Tag>
H toSystem(Handle<Tag> handle) noexcept {
    return reinterpret_cast<H>(handle.value());
}

template <class Handle, class T>
Handle fromSystem(T system) noexcept {
    return Handle{reinterpret_cast<std::uintptr_t>(system)};
}

inline std::wstring wide(std::string_view utf8) {
    const std::u16string text = toolkit::utf8ToUtf16(utf8);
    return std::wstring(text.begin(), text.end());
}

}  // namespace tarn::win32
