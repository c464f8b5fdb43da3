#include "toolkit/text.h"

#include <cstdint>

namespace tarn::toolkit {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool isContinuation(unsigned char b) { return (b & 0xC0u) == 0x80u; }

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
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        char32_t cp = 0;
        char32_t minimum = 0;
        if (lead < 0x80) {
            length = 1;
            cp = lead;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            cp = lead & 0x1Fu;
            minimum = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            cp = lead & 0x0Fu;
            minimum = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            cp = lead & 0x07u;
            minimum = 0x10000;
        } else {
            // A stray continuation byte, an overlong lead (C0, C1) or F5 and above.
            out.push_back(static_cast<char16_t>(kReplacement));
            ++i;
            continue;
        }
        std::size_t taken = 1;
        while (taken < length && i + taken < text.size() && isContinuation(static_cast<unsigned char>(text[i + taken]))) {
            cp = (cp << 6) | (static_cast<unsigned char>(text[i + taken]) & 0x3Fu);
            ++taken;
        }
        const bool complete = taken == length;
        if (!complete || cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            // A truncated, overlong or out-of-range sequence: one replacement, then resume
            // at the first byte that did not belong to it.
            out.push_back(static_cast<char16_t>(kReplacement));
            i += taken;
            continue;
        }
        appendUtf16(out, cp);
        i += length;
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
