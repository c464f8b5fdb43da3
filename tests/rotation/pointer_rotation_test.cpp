#include "rotation/pointer_rotation.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

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
            handles[static_cast<std::size_t>(i)] = fake.LoadImage(file, 32);
            images[static_cast<std::size_t>(i)] = fake.imageOfHandle(handles[static_cast<std::size_t>(i)]);
        }
        fake.clearLog();
        fake.pointer = {150, 150};
    }

    // The same sixteen slices loaded into another platform.
    DirectionHandles loadInto(RecordingPlatform& p) const {
        DirectionHandles h{};
        for (int i = 0; i < 16; ++i)
            h[static_cast<std::size_t>(i)] = p.LoadImage(folder / ("slice" + std::to_string(i) + ".cur"), 32);
        return h;
    }

    std::vector<std::string> cursorCalls() const {
        return fake.log({"GetCursorPos", "SetCursorPos", "LoadCursor", "CopyIcon", "CopyImage", "SetSystemCursor",
                         "DestroyIcon", "DestroyCursor", "StartPointerWatcher", "DoEvents"});
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
    rotation.CaptureUserPointers();
    fake.clearLog();
    rotation.RotateTick(handles, {false, false});
    EXPECT_THAT(fake.log(), ElementsAre("GetCursorPos() -> 150,150", "DoEvents()"));
    EXPECT_EQ(tracker.current(), 6);
}

TEST_F(PointerRolesTest, EachRoleGetsItsOwnFreshCopyEveryTickInRoleOrder) {
    rotation.CaptureUserPointers();
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
    rotation.CaptureUserPointers();
    fake.clearLog();
    rotation.Timer1_Timer(handles, {false, false});
    EXPECT_THAT(fake.log(), ElementsAre("GetCursorPos() -> 150,150", "DoEvents()", "DoEvents()"));
}

TEST_F(PointerRolesTest, NothingIsInstalledBeforeTheUsersPointersAreSaved) {
    rotation.RotateTick(handles, {true, true});
    EXPECT_EQ(fake.count("SetSystemCursor"), 0);
    EXPECT_EQ(fake.count("CopyIcon"), 0);
    // The capture that follows sees the user's own pointers, not a direction image.
    rotation.CaptureUserPointers();
    EXPECT_EQ(fake.imageOfHandle(saved.saved(Role::Normal)), RecordingPlatform::userImage(kOcrNormal));
}

TEST_F(PointerRolesTest, CaptureReadsEachRolesPointerFromTheSystemAndNeverMovesThePointer) {
    fake.pointer = {900, 700};  // outside the list, where the old capture saw the wrong pointer
    rotation.CaptureUserPointers();
    EXPECT_THAT(cursorCalls(),
                ElementsAre("StartPointerWatcher()", "LoadCursor(32650) -> 0x7f8a",
                            ::testing::StartsWith("CopyImage(0x7f8a) -> "), "LoadCursor(32514) -> 0x7f02",
                            ::testing::StartsWith("CopyImage(0x7f02) -> "), "LoadCursor(32512) -> 0x7f00",
                            ::testing::StartsWith("CopyImage(0x7f00) -> ")));
    EXPECT_EQ(fake.pointer, (Point{900, 700}));
    for (Role r : {Role::Normal, Role::AppStarting, Role::Wait})
        EXPECT_EQ(fake.imageOfHandle(saved.saved(r)), RecordingPlatform::userImage(systemCursorId(r)));
}

TEST_F(PointerRolesTest, ACaptureNeitherReadsNorMovesThePointerEvenWhenItsPositionCannotBeRead) {
    for (const bool unreadable : {false, true}) {
        SCOPED_TRACE(unreadable ? "position cannot be read" : "pointer over the list");
        if (unreadable) fake.failCall("GetCursorPos");
        fake.clearLog();
        rotation.CaptureUserPointers();
        EXPECT_EQ(fake.count("GetCursorPos"), 0);
        EXPECT_EQ(fake.count("SetCursorPos"), 0);
        for (Role r : {Role::Normal, Role::Wait})
            EXPECT_EQ(fake.imageOfHandle(saved.saved(r)), RecordingPlatform::userImage(systemCursorId(r)));
    }
}

// The system hands back our own image for a role that shows one: such a role keeps the
// user's copy it has, whoever asks for a capture then.
TEST_F(PointerRolesTest, ACaptureWhileARoleShowsADirectionImageKeepsTheUsersCopy) {
    rotation.CaptureUserPointers();
    rotation.RotateTick(handles, {true, false});
    const CursorHandle kept = saved.saved(Role::Normal);
    rotation.CaptureUserPointers();
    EXPECT_EQ(saved.saved(Role::Normal), kept);
    EXPECT_EQ(fake.imageOfHandle(kept), RecordingPlatform::userImage(kOcrNormal));
    EXPECT_EQ(fake.liveCopies(), 3);
}

TEST_F(PointerRolesTest, ACaptureReplacingAnUnrestoredCopyReleasesIt) {
    rotation.CaptureUserPointers();
    rotation.CaptureUserPointers();  // the automatic start captures twice
    EXPECT_EQ(fake.liveCopies(), 3);
    EXPECT_THAT(fake.misuse(), IsEmpty());
}

// One story, told with a watcher that starts and with one that cannot: the watcher is
// started once, at the first capture and before any copy, and dismissed once, after the
// last restore; without it every other call is the same.
TEST_F(PointerRolesTest, TheWatcherIsStartedOnceAtTheFirstCaptureAndAFailureChangesNothingElse) {
    auto story = [this](RecordingPlatform& p) {
        const DirectionHandles slices = loadInto(p);
        DirectionTracker t;
        TarnMod keeper{p};
        PointerRotation r{p, t, keeper};
        RoleFlags flags{true, true};
        r.RotateTick(slices, flags);  // nothing is captured yet: nothing starts
        r.Check1_Click(RoleOption::Busy, 0, false, flags);
        TarnMod{p}.RestoreAll();  // a program that ends before any capture
        EXPECT_EQ(p.count("StartPointerWatcher"), 0);
        flags.busy = true;
        r.CaptureUserPointers();
        r.CaptureUserPointers();  // the automatic start captures twice
        r.RotateTick(slices, flags);
        r.Check1_Click(RoleOption::Busy, 0, false, flags);
        keeper.RestoreAll();
        keeper.RestoreAll();
    };
    RecordingPlatform with;
    with.pointer = fake.pointer;
    story(with);
    RecordingPlatform without;
    without.pointer = fake.pointer;
    without.failCall("StartPointerWatcher");
    story(without);

    EXPECT_EQ(with.count("StartPointerWatcher"), 1);
    EXPECT_EQ(with.count("DismissPointerWatcher"), 1);
    std::size_t start = 0, firstCopy = 0, dismiss = 0, lastSet = 0;
    for (std::size_t i = 0; i < with.calls().size(); ++i) {
        const std::string& name = with.calls()[i].name;
        if (name == "StartPointerWatcher") start = i;
        if (name == "CopyImage" && !firstCopy) firstCopy = i;
        if (name == "DismissPointerWatcher") dismiss = i;
        if (name == "SetSystemCursor") lastSet = i;
    }
    EXPECT_LT(start, firstCopy);
    EXPECT_GT(dismiss, lastSet);

    EXPECT_THAT(without.log({"StartPointerWatcher", "DismissPointerWatcher"}), ElementsAre("StartPointerWatcher() -> FAILED"));
    // The same calls otherwise, with the same handles.
    std::vector<std::string> rest;
    for (const auto& line : with.log())
        if (line.rfind("StartPointerWatcher", 0) != 0 && line.rfind("DismissPointerWatcher", 0) != 0) rest.push_back(line);
    std::vector<std::string> restWithout;
    for (const auto& line : without.log())
        if (line.rfind("StartPointerWatcher", 0) != 0) restWithout.push_back(line);
    EXPECT_EQ(rest, restWithout);
    EXPECT_THAT(with.misuse(), IsEmpty());
    EXPECT_THAT(without.misuse(), IsEmpty());
}

// Started again at once, then at most once a minute (said once); not with no role replaced.
TEST_F(PointerRolesTest, AWatcherThatEndsWhileARoleIsReplacedIsStartedAgainAtMostOnceAMinute) {
    const struct { std::uint64_t clock; bool fails; int starts; std::function<void()> before; } steps[] = {{6'000, false, 1, {}}, {65'999, false, 0, {}}, {66'000, true, 1, {}}, {126'000, true, 1, {}},
                 {186'000, false, 1, {}}, {246'000, false, 0, [&] { saved.RestoreKeepingCopy(Role::Normal); }},
                 {306'000, false, 0, [&] { rotation.RotateTick(handles, {true, false}), saved.RestoreAll(); }}};
    rotation.CaptureUserPointers();
    rotation.RotateTick(handles, {true, false});
    for (const auto& step : steps) {
        if (step.before) step.before();
        fake.clearLog();
        fake.tickCount = step.clock;
        fake.watcherEnded = true;
        if (step.fails) fake.failCall("StartPointerWatcher");
        saved.KeepWatching();
        EXPECT_EQ(fake.count("StartPointerWatcher"), step.starts) << step.clock;
    }
    EXPECT_THAT(fake.messages, ElementsAre(::testing::StartsWith("KeepWatching\n")));
}

// Wherever the window lies (partly off the screen, on a monitor left of and above the
// main one) and at every scaling, the capture saves the user's own three pointers and the
// mouse pointer stays where it is.
TEST_F(PointerRolesTest, WhereverTheWindowIsTheCaptureSavesTheUsersPointers) {
    struct Case {
        TwipsRect window;
        int dpi;
        Point pointer;
    };
    const Case cases[] = {
        {{1500, 1500, 8670, 6360}, 96, {389, 312}},    // the pointer over the list
        {{1500, 1500, 8670, 6360}, 96, {900, 700}},    // the pointer away from the window
        {{-4000, 1500, 8670, 6360}, 120, {0, 300}},    // dragged partly off the left edge
        {{1500, 14000, 8670, 6360}, 144, {500, 767}},  // partly below the bottom edge
        {{-15000, -7500, 8670, 6360}, 168, {-711, -288}},
        {{1000, 1000, 8680, 6370}, 192, {1503, 1368}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.window.left << "," << c.window.top << " @" << c.dpi);
        RecordingPlatform p;
        p.formRect = c.window;
        p.tppX = p.tppY = 1440.0 / c.dpi;
        p.pointer = c.pointer;
        TarnMod keeper{p};
        PointerRotation r{p, tracker, keeper};
        r.CaptureUserPointers();
        for (Role role : {Role::Normal, Role::AppStarting, Role::Wait})
            EXPECT_EQ(p.imageOfHandle(keeper.saved(role)), RecordingPlatform::userImage(systemCursorId(role)));
        EXPECT_EQ(p.pointer, c.pointer);
        EXPECT_EQ(p.count("SetCursorPos"), 0);
    }
}

TEST_F(PointerRolesTest, ARestoreBeforeAnyCaptureCallsNothing) {
    saved.RestoreAll();
    EXPECT_THAT(fake.log(), IsEmpty());
}

// While a role shows a direction image the user's scheme is reloaded; only where the
// reload fails is each such role handed its saved copy, in role order. The others keep
// the user's own pointer (an animated one stays animated) and the copies go.
TEST_F(PointerRolesTest, TheRestoreReloadsTheSchemeAndHandsBackCopiesOnlyWhereThatFails) {
    struct Case {
        RoleFlags flags;
        bool reloadFails;
        std::vector<Role> replaced;
    };
    const Case cases[] = {
        {{true, false}, true, {Role::Normal}},
        {{false, true}, true, {Role::AppStarting, Role::Wait}},
        {{true, true}, true, {Role::Normal, Role::AppStarting, Role::Wait}},
        {{true, true}, false, {Role::Normal, Role::AppStarting, Role::Wait}},
        {{false, false}, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.flags.normal << c.flags.busy << c.reloadFails);
        RecordingPlatform p;
        p.pointer = {150, 150};
        DirectionTracker t;
        {
            TarnMod keeper{p};
            PointerRotation r{p, t, keeper};
            r.CaptureUserPointers();
            std::vector<std::string> expected;
            if (!c.replaced.empty()) expected.push_back(c.reloadFails ? "ReloadSystemCursors() -> FAILED" : "ReloadSystemCursors()");
            for (Role role : c.replaced)
                if (c.reloadFails)
                    expected.push_back("SetSystemCursor(" + testing::hex(keeper.saved(role).value()) + "," +
                                       std::to_string(systemCursorId(role)) + ")");
            r.RotateTick(loadInto(p), c.flags);
            p.clearLog();
            if (c.reloadFails) p.failCall("ReloadSystemCursors");
            keeper.RestoreAll();
            EXPECT_EQ(p.log({"ReloadSystemCursors", "SetSystemCursor"}), expected);
            EXPECT_EQ(p.log({"DismissPointerWatcher"}).size(), 1u);
            EXPECT_EQ(p.calls().back().name, "DismissPointerWatcher");
        }
        for (auto id : {kOcrNormal, kOcrAppStarting, kOcrWait})
            EXPECT_EQ(p.systemImage(id), RecordingPlatform::userImage(id));
        EXPECT_EQ(p.liveCopies(), 0);
        EXPECT_THAT(p.misuse(), IsEmpty());
    }
}

TEST_F(PointerRolesTest, ARoleWhoseInstallTheSystemRefusedIsLeftAlone) {
    rotation.CaptureUserPointers();
    fake.failCall("SetSystemCursor", 1);  // the normal role's install
    rotation.RotateTick(handles, {true, true});
    EXPECT_FALSE(saved.installed(Role::Normal));
    EXPECT_TRUE(saved.installed(Role::Wait));
    fake.clearLog();
    fake.failCall("ReloadSystemCursors");
    saved.RestoreAll();
    EXPECT_THAT(fake.log({"SetSystemCursor"}), ElementsAre(::testing::EndsWith(",32650)"), ::testing::EndsWith(",32514)")));
}

// The reload puts back every role: those still ticked get their image at the next tick.
TEST_F(PointerRolesTest, UntickingARoleReloadsTheUsersSchemeAndKeepsTheCopies) {
    rotation.CaptureUserPointers();
    RoleFlags flags{true, true};
    rotation.RotateTick(handles, flags);
    const std::array<CursorHandle, 3> copies{saved.saved(Role::Normal), saved.saved(Role::AppStarting), saved.saved(Role::Wait)};
    fake.clearLog();
    rotation.Check1_Click(RoleOption::Busy, 0, false, flags);
    EXPECT_THAT(fake.log(), ElementsAre("ReloadSystemCursors()"));
    for (auto id : {kOcrNormal, kOcrAppStarting, kOcrWait}) EXPECT_EQ(fake.systemImage(id), RecordingPlatform::userImage(id));
    EXPECT_EQ((std::array{saved.saved(Role::Normal), saved.saved(Role::AppStarting), saved.saved(Role::Wait)}), copies);
    rotation.RotateTick(handles, flags);
    EXPECT_EQ(fake.systemImage(kOcrNormal), images[6]);
    EXPECT_EQ(fake.systemImage(kOcrWait), RecordingPlatform::userImage(kOcrWait));
}

// Where the reload fails, the saved copies go back and fresh copies are kept.
TEST_F(PointerRolesTest, UntickingARoleGivesTheUsersPointerBackAtOnceAndKeepsAFreshCopy) {
    for (int nth = 1; nth <= 3; ++nth) fake.failCall("ReloadSystemCursors", nth);
    rotation.CaptureUserPointers();
    RoleFlags flags{true, true};
    rotation.RotateTick(handles, flags);
    fake.pointer = {900, 700};  // over the "HourGlass Cursor" box
    fake.clearLog();
    rotation.Check1_Click(RoleOption::Busy, 0, false, flags);
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
    rotation.Check1_Click(RoleOption::Normal, 0, false, flags);
    EXPECT_EQ(fake.systemImage(kOcrNormal), RecordingPlatform::userImage(kOcrNormal));
    EXPECT_EQ(fake.imageOfHandle(saved.saved(Role::Normal)), RecordingPlatform::userImage(kOcrNormal));

    // Ticking it again installs at the next tick, without a capture.
    fake.clearLog();
    rotation.Check1_Click(RoleOption::Normal, 1, false, flags);
    EXPECT_THAT(fake.log(), IsEmpty());
    rotation.RotateTick(handles, flags);
    EXPECT_EQ(fake.count("LoadCursor"), 0);
    EXPECT_EQ(fake.systemImage(kOcrNormal), images[6]);

    // Exit: everything back, nothing leaked, no handle passed twice.
    saved.RestoreAll();
    for (auto id : {kOcrNormal, kOcrAppStarting, kOcrWait}) EXPECT_EQ(fake.systemImage(id), RecordingPlatform::userImage(id));
    EXPECT_EQ(fake.liveCopies(), 0);
    EXPECT_THAT(fake.misuse(), IsEmpty());
}

TEST_F(PointerRolesTest, OptionValues) {
    struct Case {
        RoleOption option;
        int value;
        RoleFlags expected;
    };
    const Case cases[] = {
        {RoleOption::Normal, 1, {true, false}}, {RoleOption::Normal, 2, {true, false}},
        {RoleOption::Normal, 0, {false, false}}, {RoleOption::Busy, 1, {false, true}},
        {RoleOption::Busy, 2, {false, true}},    {RoleOption::Busy, 0, {false, false}},
    };
    for (const Case& c : cases) {
        RoleFlags flags;
        rotation.Check1_Click(c.option, c.value, false, flags);
        const int option = static_cast<int>(c.option);
        EXPECT_EQ(flags.normal, c.expected.normal) << option << "=" << c.value;
        EXPECT_EQ(flags.busy, c.expected.busy) << option << "=" << c.value;
    }
}

TEST_F(PointerRolesTest, WhileLoadingTheOptionsOnlySetTheFlags) {
    rotation.CaptureUserPointers();
    fake.clearLog();
    RoleFlags flags{true, true};
    rotation.Check1_Click(RoleOption::Normal, 0, true, flags);
    rotation.Check1_Click(RoleOption::Busy, 0, true, flags);
    EXPECT_FALSE(flags.normal);
    EXPECT_FALSE(flags.busy);
    EXPECT_THAT(fake.log(), IsEmpty());
}

TEST_F(PointerRolesTest, ARoleWhoseCaptureFailedIsNeverInstalled) {
    fake.failCall("CopyImage", 3);  // app-starting, wait, then normal: the normal copy fails
    rotation.CaptureUserPointers();
    fake.clearLog();
    rotation.RotateTick(handles, {true, true});
    EXPECT_THAT(fake.log({"SetSystemCursor"}), ElementsAre(::testing::EndsWith(",32650)"), ::testing::EndsWith(",32514)")));
    EXPECT_EQ(fake.systemImage(kOcrNormal), RecordingPlatform::userImage(kOcrNormal));
}

// Without an image for the direction, a role that shows another direction's gets the
// user's pointer back, once, keeping a copy; the next direction with one installs again.
TEST_F(PointerRolesTest, AMissingDirectionImageShowsTheUsersPointer) {
    rotation.CaptureUserPointers();
    DirectionHandles empty{};  // no set loaded yet
    fake.clearLog();
    rotation.RotateTick(empty, {true, true});
    EXPECT_EQ(fake.count("SetSystemCursor"), 0);
    EXPECT_EQ(fake.count("CopyIcon"), 0);
    fake.failCall("SetSystemCursor", 4);  // the first put-back is refused: the next tick tries again
    for (const DirectionHandles* h : {&handles, &empty, &empty}) rotation.RotateTick(*h, {true, true});
    for (auto id : {kOcrNormal, kOcrAppStarting, kOcrWait}) EXPECT_EQ(fake.systemImage(id), RecordingPlatform::userImage(id));
    EXPECT_EQ(fake.count("SetSystemCursor"), 7);
    EXPECT_EQ(fake.imageOfHandle(saved.saved(Role::Wait)), RecordingPlatform::userImage(kOcrWait));
    rotation.RotateTick(handles, {true, true});
    EXPECT_EQ(fake.systemImage(kOcrWait), images[6]);
    EXPECT_EQ(fake.liveCopies(), 3);
}

TEST_F(PointerRolesTest, TheKeeperPutsRotatedRolesBackWhenNothingElseDid) {
    {
        TarnMod keeper{fake};
        PointerRotation r{fake, tracker, keeper};
        r.CaptureUserPointers();
        r.RotateTick(handles, {true, false});
        EXPECT_EQ(fake.systemImage(kOcrNormal), images[6]);
    }
    EXPECT_EQ(fake.systemImage(kOcrNormal), RecordingPlatform::userImage(kOcrNormal));
    EXPECT_EQ(fake.liveCopies(), 0);  // the copies never handed over are released
    EXPECT_THAT(fake.misuse(), IsEmpty());
}

TEST_F(PointerRolesTest, NothingIsInstalledAfterTheFinalRestore) {
    rotation.CaptureUserPointers();
    rotation.RotateTick(handles, {true, true});
    saved.RestoreAll();
    fake.clearLog();
    rotation.RotateTick(handles, {true, true});
    EXPECT_EQ(fake.count("SetSystemCursor") + fake.count("CopyIcon"), 0);
}

// On the secure desktop the position cannot be read: such a tick neither turns the
// tracker (a tick it read would take a rest and turn on) nor installs.
TEST_F(PointerRolesTest, ATickWhosePositionCannotBeReadChangesNothing) {
    rotation.CaptureUserPointers();
    rotation.RotateTick(handles, {true, false});  // down and right, 6
    fake.pointer.x += 10;                          // right: one step toward 4
    rotation.RotateTick(handles, {true, false});
    ASSERT_EQ(tracker.current(), 5);
    fake.failCall("GetCursorPos");
    fake.clearLog();
    rotation.RotateTick(handles, {true, false});
    EXPECT_EQ(tracker.current(), 5);
    EXPECT_EQ(fake.count("CopyIcon") + fake.count("SetSystemCursor"), 0);
    EXPECT_EQ(fake.systemImage(kOcrNormal), images[5]);
}

}  // namespace
}  // namespace tarn
