#include "cursorset/files.h"

#include <system_error>

namespace tarn {

namespace fs = std::filesystem;

fs::path PathFromUtf8(std::string_view name) {
    return fs::path(std::u8string(reinterpret_cast<const char8_t*>(name.data()), name.size()));
}

std::string Utf8FromPath(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

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
    std::string text = what + " " + Utf8FromPath(file);
    if (err != 0) text += ": " + std::generic_category().message(err);
    return text;
}

}  // namespace tarn
