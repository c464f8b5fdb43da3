#include "rotation/pointer_roles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/fixtures.h"
#include "support/recording_platform.h"

namespace tarn {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::RecordingPlatform;
using testing::TempFolder;

class PointerRolesTest : public ::testing::Test {
protected:
    PointerRolesTest() {
        for (int i = 0; i < 16; ++i) {
            const auto file = folder / ("slice" + std::to_string(i) + ".cur");
            testing::writeFile(file, testing::cursorSlice(static_cast<std::uint32_t>(100 + i)));
            handles[static_cast<std::size_t>(i)] = fake.LoadCursorFromFile(file);
            images[static_cast<std::size_t>(i)] = fake.imageOfHandle(handles[static_cast<std::size_t>(i)]);
        }
        fake.clearLog();
        fake.pointer = {150, 150};  // over the list of sets, as after a double-click on it
    }

    std::vector<std::string> cursorCalls() const {
        return fake.log({"GetCursorPos", "SetCursorPos", "GetCursor", "CopyIcon", "SetSystemCursor", "DestroyIcon",
                         "SetListViewMousePointer", "DoEvents"});
    }

    TempFolder folder;
    RecordingPlatform fake;
    DirectionTracker tracker;
    TarnMod saved{fake};
    PointerRotation rotation{fake, tracker, saved};
    DirectionHandles handles{};
    std::array<std::string, 16> images{};
};

TEST_F(PointerRolesTest, WithBothRolesOffATickOnlyReadsThePointer) {
    rotation.CaptureUserPointers(false);
    fake.clearLog();
    rotation.RotateTick(handles, {false, false});
    EXPECT_THAT(fake.log(), ElementsAre("GetCursorPos() -> 150,150", "DoEvents()"));
    EXPECT_EQ(tracker.current(), 6);
}

TEST_F(PointerRolesTest, EachRoleGetsItsOwnFreshCopyEveryTickInRoleOrder) {
    rotation.CaptureUserPointers(false);
    struct Case {
        RoleFlags flags;
        std::vector<std::uint32_t> ids;
    };
    const Case cases[] = {
        {{true, false}, {kOcrNormal}},
        {{false, true}, {kOcrAppStarting, kOcrWait}},
        {{true, true}, {kOcrNormal, kOcrAppStarting, kOcrWait}},
    };
    for (const Case& c : cases) {
        for (int tick = 0; tick < 2; ++tick) {  // the install repeats although the direction stays
            fake.clearLog();
            rotation.RotateTick(handles, c.flags);
            const auto& calls = fake.calls();
            ASSERT_EQ(calls.size(), 2 + 3 * c.ids.size());
            EXPECT_EQ(calls.front().name, "GetCursorPos");
            EXPECT_EQ(calls.back().name, "DoEvents");
            for (std::size_t r = 0; r < c.ids.size(); ++r) {
                const auto& copy = calls[1 + 3 * r];
                const auto& set = calls[2 + 3 * r];
                const auto& destroy = calls[3 + 3 * r];
                EXPECT_EQ(copy.text(), "CopyIcon(" + testing::hex(handles[6].value()) + ") -> " + copy.result);
                EXPECT_EQ(set.text(), "SetSystemCursor(" + copy.result + "," + std::to_string(c.ids[r]) + ")");
                EXPECT_EQ(destroy.text(), "DestroyIcon(" + copy.result + ")");
            }
            for (auto id : c.ids) EXPECT_EQ(fake.systemImage(id), images[6]);
        }
    }
    EXPECT_EQ(fake.liveCopies(), 3);  // only the three saved user pointers
    EXPECT_THAT(fake.misuse(), IsEmpty());
}

TEST_F(PointerRolesTest, Timer1YieldsOnceMoreAfterTheTick) {
    rotation.CaptureUserPointers(false);
    fake.clearLog();
    rotation.Timer1_Timer(handles, {false, false});
    EXPECT_THAT(fake.log(), ElementsAre("GetCursorPos() -> 150,150", "DoEvents()", "DoEvents()"));
}

TEST_F(PointerRolesTest, NothingIsInstalledBeforeTheUsersPointersAreSaved) {
    rotation.RotateTick(handles, {true, true});
    EXPECT_EQ(fake.count("SetSystemCursor"), 0);
    EXPECT_EQ(fake.count("CopyIcon"), 0);
    // The capture that follows sees the user's own pointers, not a direction image.
    rotation.CaptureUserPointers(false);
    EXPECT_EQ(fake.imageOfHandle(saved.saved(Role::Normal)), RecordingPlatform::userImage(kOcrNormal));
}

TEST_F(PointerRolesTest, CaptureWithParkingVisitsTheWindowCentreAndComesBack) {
    fake.pointer = {900, 700};  // outside the list
    rotation.CaptureUserPointers(true);
    EXPECT_THAT(cursorCalls(),
                ElementsAre("GetCursorPos() -> 900,700", "SetCursorPos(389,312)", "SetListViewMousePointer(13)",
                            "GetCursor() -> 0x7f8a", ::testing::StartsWith("CopyIcon(0x7f8a) -> "),
                            "SetListViewMousePointer(11)", "GetCursor() -> 0x7f02",
                            ::testing::StartsWith("CopyIcon(0x7f02) -> "), "SetListViewMousePointer(1)",
                            "GetCursor() -> 0x7f00", ::testing::StartsWith("CopyIcon(0x7f00) -> "),
                            "SetCursorPos(900,700)"));
    EXPECT_EQ(fake.listViewShape, MousePointer::Arrow);
    EXPECT_EQ(fake.pointer, (Point{900, 700}));
    for (Role r : {Role::Normal, Role::AppStarting, Role::Wait})
        EXPECT_EQ(fake.imageOfHandle(saved.saved(r)), RecordingPlatform::userImage(systemCursorId(r)));
}

TEST_F(PointerRolesTest, AParkedCaptureWhosePositionCannotBeReadNeverMovesThePointerBack) {
    fake.pointer = {900, 700};
    fake.failCall("GetCursorPos");
    rotation.CaptureUserPointers(true);
    EXPECT_THAT(fake.log({"SetCursorPos"}), ElementsAre("SetCursorPos(389,312)"));  // parked, never sent to (0,0)
    EXPECT_EQ(rotation.savedPosition(), std::nullopt);
    EXPECT_EQ(fake.imageOfHandle(saved.saved(Role::Normal)), RecordingPlatform::userImage(kOcrNormal));
    // The next capture that reads the position puts the pointer back again.
    fake.pointer = {900, 700};
    rotation.CaptureUserPointers(true);
    EXPECT_EQ(fake.log({"SetCursorPos"}).back(), "SetCursorPos(900,700)");
    EXPECT_EQ(rotation.savedPosition(), (Point{900, 700}));
}

TEST_F(PointerRolesTest, CaptureWithoutParkingNeverMovesThePointer) {
    fake.pointer = {150, 150};  // the double-click happened on the list
    rotation.CaptureUserPointers(false);
    EXPECT_EQ(fake.count("SetCursorPos"), 0);
    EXPECT_EQ(fake.count("GetCursorPos"), 0);
    EXPECT_EQ(fake.imageOfHandle(saved.saved(Role::Wait)), RecordingPlatform::userImage(kOcrWait));
}

TEST_F(PointerRolesTest, ACaptureReplacingAnUnrestoredCopyReleasesIt) {
    rotation.CaptureUserPointers(true);
    rotation.CaptureUserPointers(true);  // the automatic start captures twice
    EXPECT_EQ(fake.liveCopies(), 3);
    EXPECT_THAT(fake.misuse(), IsEmpty());
}

TEST_F(PointerRolesTest, ParkingPoint) {
    struct Case {
        TwipsRect window;
        double tppX, tppY;
        Point expected;
    };
    const Case cases[] = {
        {{1500, 1500, 8670, 6360}, 15, 15, {389, 312}},
        {{0, 0, 8670, 6360}, 15, 15, {289, 212}},
        {{1500, 1500, 8671, 6361}, 15, 15, {389, 312}},      // odd sizes: the half is truncated
        {{1500, 1500, 8670.5, 6360.5}, 15, 15, {389, 312}},  // 8670.5 rounds to the even 8670
        {{1500, 1500, 8671.5, 6361.5}, 15, 15, {389, 312}},  // 8671.5 rounds up to 8672: 4336
        {{-15000, -7500, 8670, 6360}, 15, 15, {-711, -288}}, // a monitor left of and above the main one
        {{1000, 1000, 8680, 6370}, 10, 10, {534, 418}},      // 144 DPI
        // 168 DPI (8.57 twips per pixel): a window at 1000 px, 1008 x 738 px outside. Its centre
        // is (1504, 1369); the twips arithmetic lands one pixel short, well inside the list.
        // Dividing by the rounded factor 9 instead would give (1432, 1304), 72 px off.
        {{1000 * 1440.0 / 168, 1000 * 1440.0 / 168, 1008 * 1440.0 / 168, 738 * 1440.0 / 168},
         1440.0 / 168, 1440.0 / 168, {1503, 1368}},
    };
    for (const Case& c : cases) {
        const Point p = ParkingPoint(c.window, c.tppX, c.tppY);
        EXPECT_EQ(p, c.expected) << c.window.left << "," << c.window.width << " @" << c.tppX << " -> " << p.x << ","
                                 << p.y;
    }
}

TEST_F(PointerRolesTest, RestoresBeforeAnyCapturePassNullAndChangeNothing) {
    saved.RestoreNormal();
    saved.RestoreBusy();
    EXPECT_THAT(fake.log(), ElementsAre("SetSystemCursor(0,32512)", "SetSystemCursor(0,32650)", "SetSystemCursor(0,32514)"));
    for (auto id : {kOcrNormal, kOcrAppStarting, kOcrWait}) EXPECT_EQ(fake.systemImage(id), RecordingPlatform::userImage(id));
}

TEST_F(PointerRolesTest, UntickingARoleGivesTheUsersPointerBackAtOnceAndKeepsAFreshCopy) {
    rotation.CaptureUserPointers(false);
    RoleFlags flags{true, true};
    rotation.RotateTick(handles, flags);
    // The pointer lies over the "HourGlass Cursor" box, which shows the arrow with hourglass.
    fake.pointer = {900, 700};
    fake.shapeElsewhere = MousePointer::ArrowHourglass;
    fake.clearLog();
    rotation.Check1_Click(2, 0, false, flags);
    EXPECT_FALSE(flags.busy);
    for (auto id : {kOcrAppStarting, kOcrWait}) EXPECT_EQ(fake.systemImage(id), RecordingPlatform::userImage(id));
    EXPECT_EQ(fake.systemImage(kOcrNormal), images[6]);
    // The fresh copies are the user's own: the wait copy is not a second app-starting pointer.
    EXPECT_EQ(fake.imageOfHandle(saved.saved(Role::AppStarting)), RecordingPlatform::userImage(kOcrAppStarting));
    EXPECT_EQ(fake.imageOfHandle(saved.saved(Role::Wait)), RecordingPlatform::userImage(kOcrWait));

    // Later ticks leave the busy roles alone.
    fake.clearLog();
    rotation.RotateTick(handles, flags);
    EXPECT_EQ(fake.count("SetSystemCursor"), 1);

    // Unticking "Normal Cursor" with the pointer anywhere: the user's arrow comes back.
    fake.shapeElsewhere = MousePointer::Hourglass;
    rotation.Check1_Click(1, 0, false, flags);
    EXPECT_EQ(fake.systemImage(kOcrNormal), RecordingPlatform::userImage(kOcrNormal));
    EXPECT_EQ(fake.imageOfHandle(saved.saved(Role::Normal)), RecordingPlatform::userImage(kOcrNormal));

    // Ticking it again installs at the next tick, without a capture.
    fake.clearLog();
    rotation.Check1_Click(1, 1, false, flags);
    EXPECT_THAT(fake.log(), IsEmpty());
    rotation.RotateTick(handles, flags);
    EXPECT_EQ(fake.count("GetCursor"), 0);
    EXPECT_EQ(fake.systemImage(kOcrNormal), images[6]);

    // Exit: everything back, nothing leaked, no handle passed twice.
    saved.RestoreNormal();
    saved.RestoreBusy();
    for (auto id : {kOcrNormal, kOcrAppStarting, kOcrWait}) EXPECT_EQ(fake.systemImage(id), RecordingPlatform::userImage(id));
    EXPECT_EQ(fake.liveCopies(), 0);
    EXPECT_THAT(fake.misuse(), IsEmpty());
}

TEST_F(PointerRolesTest, OptionValues) {
    struct Case {
        int index, value;
        RoleFlags expected;
    };
    const Case cases[] = {
        {1, 1, {true, false}}, {1, 2, {true, false}}, {1, 0, {false, false}},
        {2, 1, {false, true}}, {2, 2, {false, true}}, {2, 0, {false, false}},
        {0, 1, {false, false}},  // "Auto Start" is not a role option
    };
    for (const Case& c : cases) {
        RoleFlags flags;
        rotation.Check1_Click(c.index, c.value, false, flags);
        EXPECT_EQ(flags.normal, c.expected.normal) << c.index << "=" << c.value;
        EXPECT_EQ(flags.busy, c.expected.busy) << c.index << "=" << c.value;
    }
}

TEST_F(PointerRolesTest, WhileLoadingTheOptionsOnlySetTheFlags) {
    rotation.CaptureUserPointers(false);
    fake.clearLog();
    RoleFlags flags{true, true};
    rotation.Check1_Click(1, 0, true, flags);
    rotation.Check1_Click(2, 0, true, flags);
    EXPECT_FALSE(flags.normal);
    EXPECT_FALSE(flags.busy);
    EXPECT_THAT(fake.log(), IsEmpty());
}

TEST_F(PointerRolesTest, ARoleWhoseCaptureFailedIsNeverInstalled) {
    fake.failCall("CopyIcon", 3);  // app-starting, wait, then normal: the normal copy fails
    rotation.CaptureUserPointers(false);
    fake.clearLog();
    rotation.RotateTick(handles, {true, true});
    EXPECT_THAT(fake.log({"SetSystemCursor"}), ElementsAre(::testing::EndsWith(",32650)"), ::testing::EndsWith(",32514)")));
    EXPECT_EQ(fake.systemImage(kOcrNormal), RecordingPlatform::userImage(kOcrNormal));
}

TEST_F(PointerRolesTest, AMissingDirectionImageLeavesTheRolesAsTheyAre) {
    rotation.CaptureUserPointers(false);
    DirectionHandles empty{};  // no set loaded yet
    fake.clearLog();
    rotation.RotateTick(empty, {true, true});
    EXPECT_EQ(fake.count("SetSystemCursor"), 0);
    EXPECT_EQ(fake.count("CopyIcon"), 0);
}

TEST_F(PointerRolesTest, TheKeeperPutsRotatedRolesBackWhenNothingElseDid) {
    {
        TarnMod keeper{fake};
        PointerRotation r{fake, tracker, keeper};
        r.CaptureUserPointers(false);
        r.RotateTick(handles, {true, false});
        EXPECT_EQ(fake.systemImage(kOcrNormal), images[6]);
    }
    EXPECT_EQ(fake.systemImage(kOcrNormal), RecordingPlatform::userImage(kOcrNormal));
    EXPECT_EQ(fake.liveCopies(), 0);  // the copies never handed over are released
    EXPECT_THAT(fake.misuse(), IsEmpty());
}

TEST_F(PointerRolesTest, AFailedPositionReadIsNoMovement) {
    rotation.CaptureUserPointers(false);
    rotation.RotateTick(handles, {false, false});
    EXPECT_EQ(tracker.current(), 6);
    fake.failCall("GetCursorPos");
    rotation.RotateTick(handles, {false, false});
    EXPECT_EQ(rotation.position(), (Point{150, 150}));
    EXPECT_EQ(tracker.previousDx(), 0);
}

}  // namespace
}  // namespace tarn
