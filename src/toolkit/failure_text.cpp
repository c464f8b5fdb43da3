#include "toolkit/failure_text.h"

#include "platform/messages.h"
#include "platform/wtf8.h"

namespace tarn::toolkit {

std::string describeFailure(std::string_view what, std::string_view call, std::uint32_t code,
                            std::u16string_view systemText) {
    const std::size_t end = code == 0 ? std::u16string_view::npos : systemText.find_last_not_of(u" \t\r\n");
    const std::string text = end == std::u16string_view::npos ? "" : Wtf8FromUtf16(systemText.substr(0, end + 1));
    return messages::CallFailed(what, call, code, text);
}

}  // namespace tarn::toolkit
