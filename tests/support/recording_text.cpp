// The recording platform's ANSI code page: Windows code page 1252, which is what the
// end-to-end tests run under. Every byte is text there (0x81, 0x8D, 0x8F, 0x90 and
// 0x9D stand for the control characters of the same number), and every character
// outside the table has no form in it, which is how a name the code page cannot hold
// is modelled. The real call's best-fit mappings are not modelled: the program asks
// for none.
#include "support/recording_platform.h"

#include "platform/wtf8.h"
#include "support/recording_format.h"

namespace tarn::testing {

namespace {

// Bytes 0x80 to 0x9F; every other byte is the character of the same number.
constexpr char16_t kHigh1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char16_t unitOf(unsigned char byte) { return byte >= 0x80 && byte <= 0x9F ? kHigh1252[byte - 0x80] : byte; }

std::optional<unsigned char> byteOf(char16_t unit) {
    for (unsigned byte = 0; byte < 256; ++byte)
        if (unitOf(static_cast<unsigned char>(byte)) == unit) return static_cast<unsigned char>(byte);
    return std::nullopt;
}

std::string shown(const std::optional<std::string>& text) { return text ? format::quote(*text) : "nothing"; }

}  // namespace

std::optional<std::string> RecordingPlatform::MultiByteToWideChar(std::string_view ansi) {
    std::optional<std::string> text;
    if (!record("MultiByteToWideChar", format::quote(std::string(ansi)))) {
        std::u16string units;
        for (const char c : ansi) units.push_back(unitOf(static_cast<unsigned char>(c)));
        text = Wtf8FromUtf16(units);
    }
    setResult(shown(text));
    return text;
}

std::optional<std::string> RecordingPlatform::WideCharToMultiByte(std::string_view text) {
    std::optional<std::string> ansi;
    const std::optional<std::u16string> units = Utf16FromWtf8(text);
    if (!record("WideCharToMultiByte", format::quote(std::string(text))) && units) {
        ansi.emplace();
        for (const char16_t unit : *units) {
            const std::optional<unsigned char> byte = byteOf(unit);
            if (!byte) {
                ansi.reset();
                break;
            }
            ansi->push_back(static_cast<char>(*byte));
        }
    }
    setResult(shown(ansi));
    return ansi;
}

}  // namespace tarn::testing
