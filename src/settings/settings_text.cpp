#include "settings/settings_text.h"

#include <stdexcept>

#include "files/folders.h"
#include "platform/messages.h"

namespace tarn {

namespace {

constexpr std::int32_t kDefaultInterval = 1;
constexpr std::int32_t kDefaultSliderPosition = 128;

// One line up to CR LF, a lone CR or a lone LF, none of which is kept. False at the
// end of the text, leaving `line` as it was.
bool readLine(std::streambuf& buf, std::string& line) {
    using traits = std::char_traits<char>;
    traits::int_type c = buf.sbumpc();
    if (traits::eq_int_type(c, traits::eof())) return false;
    std::string text;
    while (!traits::eq_int_type(c, traits::eof()) && c != '\r' && c != '\n') {
        text.push_back(traits::to_char_type(c));
        c = buf.sbumpc();
    }
    if (c == '\r' && buf.sgetc() == '\n') buf.sbumpc();
    line = std::move(text);
    return true;
}

// A read-only stream buffer over text in memory.
class TextBuf : public std::streambuf {
public:
    explicit TextBuf(std::string_view text) {
        char* begin = const_cast<char*>(text.data());
        setg(begin, begin, begin + text.size());
    }
};

}  // namespace

void SettingsLines::readStep(Settings& settings, int number) {
    step([&] {
        bool read = false;
        try {
            if (!in_) throw std::runtime_error(messages::CannotReadLine(number));
            read = readLine(*in_, settings.setFile);  // a file's read error throws
        } catch (...) {
            readFailed_ = true;
            throw;
        }
        if (!read) throw std::runtime_error(messages::NoSuchLine(kSettingsFileName, number));
    });
}

void SettingsLines::readChoices(Settings& settings) {
    // The line buffer is the remembered set name itself: a read that fails leaves the
    // previous line there for the steps that follow.
    readStep(settings, 1);
    step([&] { settings.autoStart = ReadFlagLine(settings.setFile, false); });
    readStep(settings, 2);
    step([&] { settings.normal = ReadFlagLine(settings.setFile, kNormalRoleDefault); });
    readStep(settings, 3);
    step([&] { settings.busy = ReadFlagLine(settings.setFile, true); });
    readStep(settings, 4);
    step([&] { settings.interval = ReadNumberLine(settings.setFile).value_or(kDefaultInterval); });
    readStep(settings, 5);
    step([&] { settings.sliderPosition = ReadNumberLine(settings.setFile).value_or(kDefaultSliderPosition); });
}

void SettingsLines::readSetName(Settings& settings) { readStep(settings, 6); }

void ReadSettingsText(std::string_view text, Settings& settings, const SettingsReport& report) {
    TextBuf buf(text);
    SettingsLines lines(&buf, report);
    lines.readChoices(settings);
    lines.readSetName(settings);
}

std::string SettingsText(const Settings& settings, const std::array<int, 3>& checks, std::string_view nameLine) {
    std::string text;
    for (const int value : checks) text += std::to_string(value) + "\r\n";
    text += std::to_string(settings.interval) + "\r\n";
    text += std::to_string(settings.sliderPosition) + "\r\n";
    text += std::string(nameLine) + "\r\n";
    return text;
}

}  // namespace tarn
