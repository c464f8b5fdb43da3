// The one way the backend reports a Win32 call that failed: a PlatformError that says
// what the program was doing (one of the catalogue's texts), the call's name and the
// system's own text for GetLastError, so the message box the user sees carries the
// reason.
#pragma once

#include "platform/messages.h"
#include "win32/win32_api.h"

#include <string_view>

namespace tarn::win32 {

// Reads GetLastError first, so call it straight after the call that failed.
[[noreturn]] void throwLastError(std::string_view what, std::string_view call);

// `result` when the call succeeded (not null, not zero); otherwise throws as above.
template <class T>
T checked(T result, std::string_view what, std::string_view call) {
    if (!result) throwLastError(what, call);
    return result;
}

}  // namespace tarn::win32
