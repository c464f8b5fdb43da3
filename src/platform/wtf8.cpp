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
        const Wtf8Sequence sequence = DecodeWtf8(text.substr(i));
        const std::optional<char32_t> cp = sequence.codePoint;
        if (!cp) return std::nullopt;
        if (afterHigh && isLow(*cp)) return std::nullopt;  // a pair spelt as two halves
        afterHigh = isHigh(*cp);
        AppendUtf16(out, *cp);
        i += sequence.length;
    }
    return out;
}

Wtf8Sequence DecodeWtf8(std::string_view text) {
    struct Lead {
        unsigned char first, last;
        std::size_t length;
        unsigned char bits;
        char32_t minimum;  // the smallest code point that needs this many bytes
    };
    // Overlong leads (C0, C1) and F5 and above begin no sequence at all.
    static constexpr Lead kLeads[] = {
        {0x00, 0x7F, 1, 0x7F, 0}, {0xC2, 0xDF, 2, 0x1F, 0x80}, {0xE0, 0xEF, 3, 0x0F, 0x800}, {0xF0, 0xF4, 4, 0x07, 0x10000}};
    const auto lead = static_cast<unsigned char>(text[0]);
    const Lead* kind = nullptr;
    for (const Lead& l : kLeads)
        if (lead >= l.first && lead <= l.last) kind = &l;
    if (!kind) return {std::nullopt, 1};
    char32_t cp = lead & kind->bits;
    std::size_t taken = 1;
    for (; taken < kind->length && taken < text.size(); ++taken) {
        const auto b = static_cast<unsigned char>(text[taken]);
        if ((b & 0xC0u) != 0x80u) break;
        cp = (cp << 6) | (b & 0x3Fu);
    }
    if (taken < kind->length || cp < kind->minimum || cp > 0x10FFFF) return {std::nullopt, taken};
    return {cp, taken};
}

void AppendUtf16(std::u16string& out, char32_t codePoint) {
    if (codePoint < 0x10000) {
        out.push_back(static_cast<char16_t>(codePoint));
        return;
    }
    out.push_back(static_cast<char16_t>(0xD800 + ((codePoint - 0x10000) >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + ((codePoint - 0x10000) & 0x3FF)));
}

}  // namespace tarn
