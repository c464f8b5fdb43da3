// The settings text in memory, as LoadINI reads the file: whatever the text, the
// numbers end up in range, each step reports at most once with a description, and what
// Exit would write reads back to the same record without a message.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "settings/settings_text.h"

namespace {

using namespace tarn;

void require(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "settings_fuzzer: %s\n", what);
    std::abort();
}

bool sameRecord(const Settings& a, const Settings& b) {
    return a.autoStart == b.autoStart && a.normal == b.normal && a.busy == b.busy && a.interval == b.interval &&
           a.sliderPosition == b.sliderPosition && a.setFile == b.setFile;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Settings s;
    std::vector<std::string> messages;
    ReadSettingsText(text, s, [&](const std::string& d) { messages.push_back(d); });

    require(s.interval >= 1 && s.interval <= 255, "tick interval out of range");
    require(s.sliderPosition >= 1 && s.sliderPosition <= 255, "slider position out of range");
    require(messages.size() <= 6, "more messages than lines");
    for (const auto& m : messages) require(m.rfind("Input past end of file: ", 0) == 0, "a message that is not a missing line");
    require(s.setFile.find_first_of("\r\n") == std::string::npos, "a line end in the set name");

    const std::string written = SettingsText(s, {s.autoStart ? 1 : 0, s.normal ? 1 : 0, s.busy ? 1 : 0}, s.setFile);
    Settings again;
    bool quiet = true;
    ReadSettingsText(written, again, [&](const std::string&) { quiet = false; });
    require(quiet, "what Exit writes is reported when read back");
    require(sameRecord(s, again), "saved settings do not read back");
    return 0;
}
