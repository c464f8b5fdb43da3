// The fake is the witness for every call-sequence test, so its own simulation is checked here.
#include "support/fixtures.h"
#include "support/recording_platform.h"

#include <gtest/gtest.h>

namespace tarn::testing {
namespace {

// LoadCursor answers with what the system shows for the id now, as the real call does:
// the user's pointer, a direction image once one is installed, the scheme a reload put back.
TEST(RecordingPlatform, LoadCursorReportsWhatTheSystemShowsForTheId) {
    RecordingPlatform p;
    for (auto id : {kOcrNormal, kOcrAppStarting, kOcrWait})
        EXPECT_EQ(p.imageOfHandle(p.LoadCursor(id)), RecordingPlatform::userImage(id));
    EXPECT_TRUE(p.LoadCursor(32515).isNull());  // not a pointer the fake keeps
    const CursorHandle arrow = p.LoadCursor(kOcrNormal);
    EXPECT_TRUE(p.SetSystemCursor(p.CopyIcon(p.LoadCursor(kOcrWait)), kOcrNormal));
    EXPECT_EQ(p.imageOfHandle(arrow), RecordingPlatform::userImage(kOcrWait) + ":still");
    p.changeScheme("large");
    EXPECT_EQ(p.imageOfHandle(arrow), "large:32512");
    int echoed = 0;
    p.afterReload = [&] { ++echoed; };
    EXPECT_TRUE(p.SetSystemCursor(p.CopyIcon(p.LoadCursor(kOcrWait)), kOcrNormal));
    p.ReloadSystemCursors();
    EXPECT_EQ(p.imageOfHandle(arrow), "large:32512");
    EXPECT_EQ(echoed, 1);
}

TEST(RecordingPlatform, CopiesFollowTheImageAndDestroyedHandlesAreMisuse) {
    RecordingPlatform p;
    const CursorHandle shown = p.LoadCursor(kOcrNormal);
    const CursorHandle copy = p.CopyIcon(shown);
    EXPECT_EQ(p.liveCopies(), 1);
    EXPECT_TRUE(p.SetSystemCursor(copy, kOcrWait));
    EXPECT_EQ(p.systemImage(kOcrWait), RecordingPlatform::userImage(kOcrNormal));
    EXPECT_TRUE(p.DestroyIcon(copy));
    EXPECT_EQ(p.liveCopies(), 0);
    EXPECT_TRUE(p.misuse().empty());
    EXPECT_FALSE(p.DestroyIcon(copy));
    EXPECT_FALSE(p.SetSystemCursor(copy, kOcrNormal));
    EXPECT_EQ(p.misuse().size(), 2u);
    // Null handles change nothing and are not misuse: the program relies on that before a capture.
    EXPECT_FALSE(p.SetSystemCursor(CursorHandle{}, kOcrNormal));
    EXPECT_EQ(p.systemImage(kOcrNormal), RecordingPlatform::userImage(kOcrNormal));
    EXPECT_EQ(p.misuse().size(), 2u);
}

TEST(RecordingPlatform, OnlyCopyImageKeepsAnAnimatedPointerAnimated) {
    RecordingPlatform p;
    const CursorHandle busy = p.LoadCursor(kOcrWait);
    EXPECT_EQ(p.imageOfHandle(p.CopyImage(busy)), RecordingPlatform::userImage(kOcrWait));
    EXPECT_EQ(p.imageOfHandle(p.CopyIcon(busy)), RecordingPlatform::userImage(kOcrWait) + ":still");
    // A still pointer is the same either way.
    EXPECT_EQ(p.imageOfHandle(p.CopyIcon(p.LoadCursor(kOcrNormal))), RecordingPlatform::userImage(kOcrNormal));
    EXPECT_FALSE(p.DestroyCursor(busy));  // the system's own pointer
    EXPECT_EQ(p.misuse().size(), 1u);
}

TEST(RecordingPlatform, FailsExactlyTheChosenCall) {
    RecordingPlatform p;
    p.failCall("CopyIcon", 2);
    const CursorHandle shown = p.LoadCursor(kOcrNormal);
    EXPECT_FALSE(p.CopyIcon(shown).isNull());
    EXPECT_TRUE(p.CopyIcon(shown).isNull());
    EXPECT_FALSE(p.CopyIcon(shown).isNull());
    EXPECT_EQ(p.calls()[2].result, "FAILED");

    p.failCall("ClearListView");
    EXPECT_THROW(p.ClearListView(), PlatformError);
    EXPECT_NO_THROW(p.ClearListView());
}

TEST(RecordingPlatform, LoadsOnlyCursorFilesAndReadsOnlyTheFirstCursor) {
    TempFolder dir;
    RecordingPlatform p;
    const Bytes slice = cursorSlice(7);
    writeFile(dir / "a.cur", slice);
    Bytes longer = slice;
    longer.resize(4000, 0xAB);  // a longer scratch file keeps its tail
    writeFile(dir / "b.cur", longer);
    writeFile(dir / "empty.cur", {});
    Bytes bad = slice;
    bad[2] = 1;  // an icon, not a cursor
    writeFile(dir / "bad.cur", bad);

    const CursorHandle a = p.LoadImage(dir / "a.cur", 32);
    const CursorHandle b = p.LoadImage(dir / "b.cur", 32);
    EXPECT_EQ(p.imageOfHandle(a), RecordingPlatform::imageOf(slice));
    EXPECT_EQ(p.imageOfHandle(b), p.imageOfHandle(a));
    EXPECT_TRUE(p.LoadImage(dir / "empty.cur", 32).isNull());
    EXPECT_TRUE(p.LoadImage(dir / "bad.cur", 32).isNull());
    EXPECT_TRUE(p.LoadImage(dir / "missing.cur", 32).isNull());
    EXPECT_THROW(p.LoadPicture(dir / "empty.cur"), PlatformError);
    EXPECT_NO_THROW(p.SetPreviewPicture(p.LoadPicture(dir / "a.cur")));
    EXPECT_EQ(p.preview, RecordingPlatform::imageOf(slice));
}

TEST(RecordingPlatform, DoEventsRunsOnlyWhatWasQueuedBeforeIt) {
    RecordingPlatform p;
    int ran = 0;
    p.pendingEvents.push_back([&] {
        ++ran;
        p.pendingEvents.push_back([&] { ran += 10; });
    });
    p.DoEvents();
    EXPECT_EQ(ran, 1);
    p.DoEvents();
    EXPECT_EQ(ran, 11);
}

}  // namespace
}  // namespace tarn::testing
