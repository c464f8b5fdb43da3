#include "toolkit/failure_text.h"

#include "platform/wtf8.h"

namespace tarn::toolkit {

std::string describeFailure(std::string_view what, std::string_view call, std::uint32_t code,
                            std::u16string_view systemText) {
    std::string text = std::string(what) + "\n" + std::string(call) + " failed";
    if (code == 0) return text;
    text += " with error " + std::to_string(code);
    const std::size_t end = systemText.find_last_not_of(u" \t\r\n");
    if (end == std::u16string_view::npos) return text;
    return text + ": " + Wtf8FromUtf16(systemText.substr(0, end + 1));
}

}  // namespace tarn::toolkit
