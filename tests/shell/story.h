// A program folder, the recording platform and the form: the stage on which the shell's
// tests tell their stories as events.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "rows.h"
#include "shell/key_routing.h"
#include "shell/tarn_frm.h"
#include "shell/tarn_frm_state.h"
#include "support/fixtures.h"
#include "support/recording_platform.h"

namespace tarn::testing {

class Story : public ::testing::Test {
protected:
    Story() {
        fake.programFolder = folder.path();
        fake.pointer = {900, 700};  // away from the window
    }

    void writeIni(const std::string& text) { writeText(folder / "Tarnwick.ini", text); }
    void writeSet(const std::string& fileName, std::uint32_t mark) { writeFile(folder / fileName, cursorSet(mark)); }
    // The image of slice `index` of the set written with `mark`.
    static ImageId slice(std::uint32_t mark, int index) {
        return RecordingPlatform::imageOf(cursorSlice(mark * 16 + static_cast<std::uint32_t>(index)));
    }
    const TarnFrm::State& state() const { return TarnFrm::State::of(frm); }
    // A key message at the control `focused`, as the backend hands it to the form.
    layout::KeyOutcome key(layout::KeyMessage::Phase phase, int vk, layout::Id focused, bool repeat = false) {
        return frm.Form_KeyPreview({phase, vk, repeat, false, layout::rowOf(focused)});
    }
    bool userPointersShown() const {
        return fake.systemImage(kOcrNormal) == RecordingPlatform::userImage(kOcrNormal) &&
               fake.systemImage(kOcrAppStarting) == RecordingPlatform::userImage(kOcrAppStarting) &&
               fake.systemImage(kOcrWait) == RecordingPlatform::userImage(kOcrWait);
    }
    // Index in the log of the first and last call named `name`, -1 if none.
    int first(const std::string& name) const {
        const auto& c = fake.calls();
        for (std::size_t i = 0; i < c.size(); ++i)
            if (c[i].name == name) return static_cast<int>(i);
        return -1;
    }
    int last(const std::string& name) const {
        const auto& c = fake.calls();
        for (std::size_t i = c.size(); i-- > 0;)
            if (c[i].name == name) return static_cast<int>(i);
        return -1;
    }

    TempFolder folder;
    RecordingPlatform fake;
    TarnFrm frm{fake};
};

}  // namespace tarn::testing
