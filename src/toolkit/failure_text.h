// The words for a system call that failed: what the program was doing, the call's name
// and the system's own text for the error code it left, so a message box says why.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarn::toolkit {

// messages::CallFailed with the system's text as the core's text. The system ends its
// text with a line break, which is dropped; no text leaves only the code, and a call
// that left no code (0: it does not say why) is only named.
std::string describeFailure(std::string_view what, std::string_view call, std::uint32_t code,
                            std::u16string_view systemText);

}  // namespace tarn::toolkit
