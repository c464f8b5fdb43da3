// The user's choices between runs: six CR LF lines in Tarnwick.ini, read once at start-up
// and written by Exit, in the program folder or the per-user one (files/folders.h:
// SettingsFile, SettingsFileToRead).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "files/folders.h"
#include "platform/platform.h"
#include "settings/tick_rate.h"

namespace tarn {

struct Settings {
    bool autoStart = false, normal = false, busy = false;
    std::int32_t interval = 0, sliderPosition = 0;  // milliseconds; knob pixels at the design scale
    std::string setFile;                            // bare file name of the remembered set
    // Line 6 as it was read and the name it gave: while setFile is still that name,
    // Exit writes the line back as it was, so the file keeps its bytes whatever the
    // code page makes of them.
    struct StoredLine {
        std::string bytes, name;
    } stored;
    // Start-up found a settings file it could not open or read: Exit keeps it, since
    // what the program would write is its defaults, not the settings the file holds.
    bool unreadFile = false;
};

// Where a first run (no settings file) leaves the slider: at the knob's place in the
// window's design (1680 twips, 112 design pixels; the form checks its row against
// this), with the interval the slider gives there, so rotation runs after the first OK
// instead of waiting for a slide.
inline constexpr std::int32_t kFirstRunSliderPosition = 104;
inline constexpr std::int32_t kFirstRunInterval = *TickInterval(kFirstRunSliderPosition);
// The normal arrow rotates unless the settings say otherwise: on a first run, so that the
// first double-click on a set shows what the program is for, and where line 2 is not a
// clear 0 or 1. The busy pointers wait until the user asks for them.
inline constexpr bool kNormalRoleDefault = true;

// A first run's settings: the normal role, no set chosen, and that slider and interval.
inline Settings FirstRunSettings() {
    Settings first;
    first.interval = kFirstRunInterval;
    first.sliderPosition = kFirstRunSliderPosition;
    first.normal = kNormalRoleDefault;
    return first;
}

// A flag line: one decimal digit once spaces are trimmed, 1 meaning on; anything
// else gives the fallback.
bool ReadFlagLine(std::string_view line, bool fallback);

// A number line: a decimal number in ordinary notation (optional sign, digits,
// optional fraction, surrounding spaces allowed), rounded half to even. The value
// when it lies in 1 to 255, nothing otherwise.
std::optional<std::int32_t> ReadNumberLine(std::string_view line);

// The remembered set's line is 8-bit text in the system's ANSI code page, as older
// files have it. A name the code page cannot hold (another script, an emoji, a lone
// surrogate) is written as UTF-8's byte-order mark followed by the core's text; a line
// is read that way only when the mark is followed by well-formed text (WTF-8), and
// otherwise as the code page, so an unmarked line that merely looks like UTF-8 is
// code page text. Bytes that are not text in the code page name no file and are kept
// as they are.
inline constexpr std::string_view kNameLineMark = "\xEF\xBB\xBF";
std::string ReadNameLine(Platform& platform, std::string_view line);
// The line for a name: its code page form when it has one that does not itself begin
// with the mark's bytes, else the marked form.
std::string WriteNameLine(Platform& platform, std::string_view name);

// Reads Tarnwick.ini and returns what it read; nothing, and not a word, when there is
// none (a first run). It only reads: the form shows what it read (the knob, the set and
// its preview). A failed step shows "LoadINI\n<description>" and the next step runs.
// `stopped` is asked before each step, so after each box: once it is true (a close
// request arrived while a box was up) the reader returns at once with what it has.
// The file read is the one Exit writes (Folders::settings) or, while a per-user one does
// not exist yet, the program folder's.
std::optional<Settings> LoadINI(Platform& platform, const std::function<bool()>& stopped = {},
                                const Folders& folders = {});

// Writes the six lines, the three flags taken from the check boxes' values (`checks`:
// "Auto Start", "Normal Cursor", "HourGlass Cursor"). The old file is replaced only
// once the new one is complete; one with another name (a hard link) is
// written in place instead, so both names keep the settings. A file start-up could not read, or one
// marked read-only, is kept as it is, and a message says so. On failure, or when the
// file is kept, shows "SaveINI\n..." and returns false.
// The temporary file beside it is made new (Tarnwick.ini.new, or .new2 ... when the user
// has a file of that name), so nothing the user made is written over or removed.
bool SaveINI(Platform& platform, const Settings& settings, const std::array<int, 3>& checks,
             const Folders& folders = {});

}  // namespace tarn
