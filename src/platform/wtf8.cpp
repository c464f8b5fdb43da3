#include "platform/wtf8.h"

#include <cstdint>

namespace tarn {

namespace {

bool isHigh(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool isLow(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

void appendUtf8(std::string& out, char32_t cp) {
    const auto put = [&](char32_t byte) { out.push_back(static_cast<char>(byte)); };
    if (cp < 0x80) {
        put(cp);
    } else if (cp < 0x800) {
        put(0xC0 | (cp >> 6));
        put(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        put(0xE0 | (cp >> 12));
        put(0x80 | ((cp >> 6) & 0x3F));
        put(0x80 | (cp & 0x3F));
    } else {
        put(0xF0 | (cp >> 18));
        put(0x80 | ((cp >> 12) & 0x3F));
        put(0x80 | ((cp >> 6) & 0x3F));
        put(0x80 | (cp & 0x3F));
    }
}

// The code point starting at text[i], advancing i; nothing when the bytes there are
// not one well-formed sequence. Surrogates are accepted here, pairs are judged by the
// caller.
std::optional<char32_t> decodeOne(std::string_view text, std::size_t& i) {
    struct Lead {
        unsigned char first, last;
        std::size_t length;
        unsigned char bits;
        char32_t minimum;
    };
    // Overlong leads (C0, C1) and F5 and above begin no sequence at all.
    static constexpr Lead kLeads[] = {
        {0x00, 0x7F, 1, 0x7F, 0}, {0xC2, 0xDF, 2, 0x1F, 0x80}, {0xE0, 0xEF, 3, 0x0F, 0x800}, {0xF0, 0xF4, 4, 0x07, 0x10000}};
    const auto lead = static_cast<unsigned char>(text[i]);
    const Lead* kind = nullptr;
    for (const Lead& l : kLeads)
        if (lead >= l.first && lead <= l.last) kind = &l;
    if (!kind) return std::nullopt;
    const std::size_t length = kind->length;
    const char32_t minimum = kind->minimum;
    char32_t cp = lead & kind->bits;
    if (text.size() - i < length) return std::nullopt;
    for (std::size_t k = 1; k < length; ++k) {
        const auto b = static_cast<unsigned char>(text[i + k]);
        if ((b & 0xC0u) != 0x80u) return std::nullopt;
        cp = (cp << 6) | (b & 0x3Fu);
    }
    if (cp < minimum || cp > 0x10FFFF) return std::nullopt;
    i += length;
    return cp;
}

}  // namespace

std::string Wtf8FromUtf16(std::u16string_view units) {
    std::string out;
    out.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char32_t u = units[i];
        if (isHigh(u) && i + 1 < units.size() && isLow(units[i + 1])) {
            appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00));
            ++i;
        } else {
            appendUtf8(out, u);  // a lone surrogate keeps its own three-byte form
        }
    }
    return out;
}

std::optional<std::u16string> Utf16FromWtf8(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    bool afterHigh = false;  // the last unit was a lone high surrogate
    for (std::size_t i = 0; i < text.size();) {
        const std::optional<char32_t> cp = decodeOne(text, i);
        if (!cp) return std::nullopt;
        if (afterHigh && isLow(*cp)) return std::nullopt;  // a pair spelt as two halves
        afterHigh = isHigh(*cp);
        if (*cp < 0x10000) {
            out.push_back(static_cast<char16_t>(*cp));
        } else {
            out.push_back(static_cast<char16_t>(0xD800 + ((*cp - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((*cp - 0x10000) & 0x3FF)));
        }
    }
    return out;
}

}  // namespace tarn
