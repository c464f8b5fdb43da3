// File names as the core holds them and as the file system takes them: names are
// the core's text (UTF-8 that may carry lone surrogates, platform/wtf8.h) and are
// converted exactly at the file system; every name a file or a list gives is a bare
// name in the program folder.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tarn {

// Throws std::invalid_argument on Windows for text that is not WTF-8.
std::filesystem::path PathFromUtf8(std::string_view name);
// Never throws: a lone surrogate keeps its three-byte form.
std::string Utf8FromPath(const std::filesystem::path& path);

// True for a plain file name that can only mean a file in the program folder: text
// (WTF-8), no folder separator, no drive or stream colon, no wildcard or control
// character, not "." or "..", no trailing dot or space (Windows would drop it and open
// another file), not a device name such as CON or NUL.TWC, and not over 255 UTF-16
// units.
bool IsBareFileName(std::string_view name);

// Letter case as Windows ignores it for the names the program compares: ASCII only,
// which is all a set's extension or a device name needs.
char UpperAscii(char c);
std::string UpperAscii(std::string text);
bool SameIgnoringAsciiCase(std::string_view a, std::string_view b);

// messages::FileFailure with errno's text as the reason, when errno gave one.
std::string DescribeFileFailure(const std::string& what, const std::filesystem::path& file, int err);

}  // namespace tarn
