#include "files/file_names.h"

#include <optional>
#include <stdexcept>
#include <system_error>

#include "platform/messages.h"
#include "platform/wtf8.h"

namespace tarn {

namespace fs = std::filesystem;

// On Windows a path is UTF-16 (path::native() is a std::wstring) and may hold a lone
// surrogate, which path::u8string() refuses with an exception; the names are converted
// here exactly instead. Elsewhere a path is the file system's own bytes.
fs::path PathFromUtf8(std::string_view name) {
#ifdef _WIN32
    const std::optional<std::u16string> units = Utf16FromWtf8(name);
    // Text that is not WTF-8 must not be made into some other name by a lenient decoder.
    if (!units) throw std::invalid_argument(messages::kNameNotText);
    return fs::path(std::wstring(units->begin(), units->end()));
#else
    return fs::path(std::string(name));
#endif
}

std::string Utf8FromPath(const fs::path& path) {
#ifdef _WIN32
    const std::wstring& units = path.native();
    return Wtf8FromUtf16(std::u16string(units.begin(), units.end()));
#else
    return path.native();
#endif
}

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

std::string UpperAscii(std::string text) {
    for (char& c : text) c = UpperAscii(c);
    return text;
}

bool SameIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
    return true;
}

bool IsBareFileName(std::string_view name) {
    if (name.empty()) return false;
    // No file name is longer than 255 UTF-16 units; a longer text names nothing here.
    std::size_t units = 0;
    for (const char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c & 0xC0) != 0x80) units += c >= 0xF0 ? 2 : 1;
    }
    if (units > 255) return false;
    if (!Utf16FromWtf8(name)) return false;  // not text: it names no file
    for (const char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F) return false;
        if (std::string_view("/\\:*?\"<>|").find(ch) != std::string_view::npos) return false;
    }
    // Windows drops trailing dots and spaces, so "x.TWC." would open "x.TWC" and ".."
    // the parent folder.
    if (name.back() == '.' || name.back() == ' ') return false;

    // Device names open the device whatever the extension ("NUL.TWC", "con .ini").
    std::string_view stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
    for (const char* device : {"CON", "PRN", "AUX", "NUL"})
        if (SameIgnoringAsciiCase(stem, device)) return false;
    if (stem.size() == 4 &&
        (SameIgnoringAsciiCase(stem.substr(0, 3), "COM") || SameIgnoringAsciiCase(stem.substr(0, 3), "LPT")) &&
        stem[3] >= '1' && stem[3] <= '9')
        return false;
    return true;
}

std::string DescribeFileFailure(const std::string& what, const fs::path& file, int err) {
    return messages::FileFailure(what, Utf8FromPath(file), err != 0 ? std::generic_category().message(err) : "");
}

}  // namespace tarn
