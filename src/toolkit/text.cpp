#include "toolkit/text.h"

#include <cstdint>
#include <optional>

namespace tarn::toolkit {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool isContinuation(unsigned char b) { return (b & 0xC0u) == 0x80u; }

// What a lead byte says of its sequence: how many bytes it has, the bits of the code
// point the lead carries, and the smallest code point that needs that many bytes (a
// smaller one is overlong).
struct Lead {
    std::size_t length;
    char32_t bits;
    char32_t minimum;
};

// Nothing for a byte that leads no sequence: a stray continuation byte, an overlong lead
// (C0, C1) or F5 and above.
std::optional<Lead> leadOf(unsigned char b) {
    if (b < 0x80) return Lead{1, b, 0};
    if (b >= 0xC2 && b <= 0xDF) return Lead{2, b & 0x1Fu, 0x80};
    if (b >= 0xE0 && b <= 0xEF) return Lead{3, b & 0x0Fu, 0x800};
    if (b >= 0xF0 && b <= 0xF4) return Lead{4, b & 0x07u, 0x10000};
    return std::nullopt;
}

void appendUtf16(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

}  // namespace

std::u16string utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const std::optional<Lead> lead = leadOf(static_cast<unsigned char>(text[i]));
        if (!lead) {
            out.push_back(static_cast<char16_t>(kReplacement));
            ++i;
            continue;
        }
        char32_t cp = lead->bits;
        std::size_t taken = 1;
        while (taken < lead->length && i + taken < text.size() &&
               isContinuation(static_cast<unsigned char>(text[i + taken]))) {
            cp = (cp << 6) | (static_cast<unsigned char>(text[i + taken]) & 0x3Fu);
            ++taken;
        }
        const bool complete = taken == lead->length;
        if (!complete || cp < lead->minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            // A truncated, overlong or out-of-range sequence: one replacement, then resume
            // at the first byte that did not belong to it.
            out.push_back(static_cast<char16_t>(kReplacement));
            i += taken;
            continue;
        }
        appendUtf16(out, cp);
        i += lead->length;
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
