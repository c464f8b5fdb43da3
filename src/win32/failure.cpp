#include "win32/failure.h"

#include <string>

#include "platform/platform.h"
#include "toolkit/failure_text.h"

namespace tarn::win32 {

void throwLastError(std::string_view what, std::string_view call) {
    const DWORD code = ::GetLastError();
    wchar_t text[512];
    const DWORD length = code == 0 ? 0
                                   : ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                                      nullptr, code, 0, text, sizeof text / sizeof *text, nullptr);
    const std::u16string systemText(text, text + length);
    throw PlatformError(toolkit::describeFailure(what, call, code, systemText));
}

}  // namespace tarn::win32
