// The settings text in memory: read step by step into the record, with each failed
// step's description passed on, as LoadINI reads the file; and written back as Exit
// writes it. LoadINI and SaveINI use these on the file's bytes.
#pragma once

#include <array>
#include <functional>
#include <streambuf>
#include <string>
#include <string_view>

#include "settings/settings.h"

namespace tarn {

using SettingsReport = std::function<void(const std::string&)>;

// Reads the lines of a settings text one by one from `in`, or from nothing when the
// file could not be opened (every line read then fails). The last line read stays in
// the record's set name, so a missing line leaves the one before it there for the
// steps that follow. Once `stopped` is true no step runs any more.
class SettingsLines {
public:
    SettingsLines(std::streambuf* in, SettingsReport report, std::function<bool()> stopped = {})
        : in_(in), report_(std::move(report)), stopped_(std::move(stopped)) {}

    // Lines 1 to 5: the three flags, the tick interval and the slider position.
    void readChoices(Settings& settings);
    // Line 6: the remembered set's file name.
    void readSetName(Settings& settings);
    // A read failed for another reason than the end of the text, or there was nothing
    // to read from: the file's settings are not known.
    bool readFailed() const { return readFailed_; }

    // Runs one step; an exception it throws is reported and the next step runs.
    template <class Action>
    void step(Action&& action) {
        if (stopped_ && stopped_()) return;
        try {
            action();
        } catch (const std::exception& e) {
            report_(e.what());
        }
    }

private:
    void readStep(Settings& settings, int number);

    std::streambuf* in_;
    SettingsReport report_;
    std::function<bool()> stopped_;
    bool readFailed_ = false;
};

// The whole text read in memory as LoadINI reads the file.
void ReadSettingsText(std::string_view text, Settings& settings, const SettingsReport& report);

// The six CR LF lines Exit writes; the flags are the three check boxes' values and
// line 6 is `nameLine`, the remembered name as stored.
std::string SettingsText(const Settings& settings, const std::array<int, 3>& checks, std::string_view nameLine);

}  // namespace tarn
