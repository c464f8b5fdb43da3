// The running program's own file, at any length of path: what both programs need to
// find what lies beside them.
#pragma once

#include "win32/win32_api.h"

#include <string>

namespace tarn::win32 {

// Empty when the system cannot say.
inline std::wstring programFile() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.resize(buffer.size() * 2);  // a long path: try again with room for it
    }
}

}  // namespace tarn::win32
