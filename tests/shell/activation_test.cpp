// A double-click on the list activates the selected set: it becomes the remembered one,
// the user's pointers are captured if rotation has not started, and rotation starts.
#include "story.h"

namespace tarn::testing {
namespace {

using ::testing::StartsWith;

class ActivationTest : public Story {
protected:
    ActivationTest() {
        state().settings.interval = 7;
        state().settings.setFile = "before.TWC";
        state().okTag = "Start";
    }
    TarnFrm::State& state() { return TarnFrm::State::of(frm); }
    std::size_t positionOf(const std::string& name) const {
        const int at = first(name);
        return at < 0 ? fake.calls().size() : static_cast<std::size_t>(at);
    }
};

TEST_F(ActivationTest, CapturesOnlyWhileTheTagIsExactlyStart) {
    struct Case {
        const char* tag;
        bool captures;
    };
    for (const auto& c : {Case{"Start", true}, Case{"OK", false}, Case{"start", false}, Case{"", false}}) {
        fake.clearLog();
        state().okTag = c.tag;
        fake.selectedKey = "a";
        frm.listv_DblClick();
        EXPECT_EQ(fake.count("LoadCursor"), c.captures ? 3 : 0) << c.tag;
        EXPECT_EQ(state().okTag, "OK") << c.tag;
    }
}

TEST_F(ActivationTest, RemembersLoadsPreviewsAndStartsInThatOrder) {
    writeFile(folder / "arrows.twc", cursorSet(5));
    fake.selectedKey = "arrows";
    // A turn under way, so the reset shows: the pointer stays put, and only a reset
    // before the activation's tick brings the arrow back to 0.
    state().tracker.UpdateDirection(fake.pointer.x, fake.pointer.y);
    ASSERT_NE(state().tracker.current(), 0);

    frm.listv_DblClick();

    EXPECT_EQ(state().settings.setFile, "arrows.TWC");
    EXPECT_EQ(state().set.images[0], cursorSlice(5 * 16));
    EXPECT_EQ(fake.preview, slice(5, 2));
    EXPECT_EQ(fake.timers[Timer::Timer1].interval, 7);
    EXPECT_TRUE(fake.messages.empty());
    EXPECT_EQ(fake.count("LoadCursor"), 3);
    EXPECT_EQ(fake.count("DoEvents"), 1);  // the one tick
    EXPECT_EQ(state().tracker.current(), 0);
    EXPECT_LE(positionOf("LoadCursor"), positionOf("LoadImage"));
    EXPECT_LT(positionOf("SetPreviewPicture"), positionOf("SetTimerInterval"));
    EXPECT_LT(positionOf("SetTimerInterval"), positionOf("DoEvents"));
    EXPECT_FALSE(fake.count("HideForm") || fake.count("SetFormVisible"));

    // Sets that do not load are not remembered, and the set in use stays; only the one
    // without a single cursor says so.
    writeFile(folder / "zeros.TWC", Bytes(kSetFileBytes, 0));
    for (const char* key : {"zeros", "gone"}) fake.selectedKey = key, frm.listv_DblClick();
    EXPECT_EQ(state().settings.setFile, "arrows.TWC");
    EXPECT_EQ(state().set.images[0], cursorSlice(5 * 16));
    EXPECT_THAT(fake.messages, ::testing::ElementsAre(::testing::HasSubstr("zeros.TWC")));
}

TEST_F(ActivationTest, NothingSelectedDoesNothing) {
    fake.selectedKey.reset();
    frm.listv_DblClick();
    EXPECT_TRUE(fake.calls().empty());
    EXPECT_EQ(state().settings.setFile, "before.TWC");
    EXPECT_EQ(state().okTag, "Start");
}

TEST_F(ActivationTest, APreviewFailureIsReportedAndRotationStillStarts) {
    writeSet("p.TWC", 2);
    fake.selectedKey = "p";
    fake.failCall("LoadPicture");
    frm.listv_DblClick();

    ASSERT_EQ(fake.messages.size(), 1u);
    EXPECT_THAT(fake.messages[0], StartsWith("listv_DblClick\n"));
    EXPECT_EQ(state().settings.setFile, "p.TWC");
    EXPECT_EQ(fake.count("DoEvents"), 1);
    EXPECT_EQ(state().okTag, "OK");
    EXPECT_FALSE(fake.ended);
}

}  // namespace
}  // namespace tarn::testing
