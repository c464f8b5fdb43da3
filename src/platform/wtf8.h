// The core's text and the system's UTF-16, converted exactly.
//
// The core's text is UTF-8, generalised to carry lone surrogates: a file name on NTFS
// may hold a surrogate with no partner, and that unit is written as its own three-byte
// form (WTF-8). Every UTF-16 name then has one spelling in the core, and that spelling
// converts back to the very same units, so a name the system listed opens the same file.
#pragma once

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

}  // namespace tarn
