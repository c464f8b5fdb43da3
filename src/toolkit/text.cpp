#include "toolkit/text.h"

#include "platform/wtf8.h"

namespace tarn::toolkit {

std::u16string utf8ToUtf16(std::string_view text) {
    constexpr char32_t kReplacement = 0xFFFD;
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        // A bad sequence becomes one replacement and the text goes on after it; so does
        // a surrogate spelt on its own, which UTF-8 has no character for.
        const Wtf8Sequence sequence = DecodeWtf8(text.substr(i));
        const std::optional<char32_t> cp = sequence.codePoint;
        AppendUtf16(out, cp && !IsSurrogate(*cp) ? *cp : kReplacement);
        i += sequence.length;
    }
    return out;
}

std::u16string fitUtf16(std::u16string_view text, std::size_t capacity) {
    if (text.size() <= capacity) return std::u16string(text);
    std::size_t keep = capacity;
    // Cutting between a high and a low surrogate would leave half a character.
    if (keep > 0 && text[keep - 1] >= 0xD800 && text[keep - 1] <= 0xDBFF) --keep;
    return std::u16string(text.substr(0, keep));
}

}  // namespace tarn::toolkit
