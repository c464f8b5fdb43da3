// The core's text and the system's UTF-16, converted exactly.
//
// The core's text is UTF-8, generalised to carry lone surrogates: a file name on NTFS
// may hold a surrogate with no partner, and that unit is written as its own three-byte
// form (WTF-8). Every UTF-16 name then has one spelling in the core, and that spelling
// converts back to the very same units, so a name the system listed opens the same file.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tarn {

// Never fails: every sequence of UTF-16 units has a WTF-8 spelling.
std::string Wtf8FromUtf16(std::u16string_view units);

// The exact inverse. Nothing for text that is not WTF-8: a malformed or overlong
// sequence, a code point beyond U+10FFFF, or a high and a low surrogate written as two
// three-byte forms (that pair is one character, whose spelling is its four-byte form).
std::optional<std::u16string> Utf16FromWtf8(std::string_view text);

// One sequence at the start of a text: the code point it spells, or nothing when its
// bytes spell none (a byte that leads no sequence, a sequence cut short, an overlong
// form, a code point beyond U+10FFFF), and how many bytes it takes: for a bad one the
// lead and the continuation bytes that follow it, at most as many as the lead asks for,
// so the next sequence starts at the first byte that did not belong to it.
struct Wtf8Sequence {
    std::optional<char32_t> codePoint;  // a surrogate too: whether two make a pair is the caller's
    std::size_t length = 1;
};

// The text must not be empty; this is the one decoder of the core's text.
Wtf8Sequence DecodeWtf8(std::string_view text);

inline bool IsSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

// A code point as one UTF-16 unit, or as a surrogate pair beyond the basic plane.
void AppendUtf16(std::u16string& out, char32_t codePoint);

}  // namespace tarn
