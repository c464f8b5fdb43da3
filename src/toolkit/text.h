// The core's text as the UTF-16 the system shows, decoded by the core's one decoder
// (platform/wtf8.h). Malformed input never fails: each bad sequence, and each surrogate
// spelt on its own, becomes U+FFFD, so a text is shown, not lost.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tarn::toolkit {

std::u16string utf8ToUtf16(std::string_view text);

// At most `capacity` UTF-16 units of `text`, never splitting a surrogate pair, so a
// fixed-size field such as a tool tip always holds whole characters and its NUL.
std::u16string fitUtf16(std::u16string_view text, std::size_t capacity);

}  // namespace tarn::toolkit
