// The program's life, told as events: start-up, starting, the tray and every way out.
#include "story.h"

#include <filesystem>
#include <set>

#include "shell/layout.h"

namespace tarn::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
namespace fs = std::filesystem;

const std::string kTypicalIni = "0\r\n1\r\n0\r\n5\r\n100\r\narrows.TWC\r\n";

class LifecycleTest : public Story {
protected:
    void startTypical() {  // the typical settings and their set, rotating after OK
        writeIni(kTypicalIni);
        writeSet("arrows.TWC", 1);
        frm.Form_Load();
        frm.lbl_Click(layout::kLabelOk);
    }
};

TEST_F(LifecycleTest, ATypicalRunEndToEnd) {
    writeIni(kTypicalIni);
    writeSet("arrows.TWC", 1);
    writeSet("dots.TWC", 2);
    writeSet("zeds.TWC", 3);

    frm.Form_Load();
    EXPECT_THAT(fake.log({"Shell_NotifyIcon"}),
                ElementsAre("Shell_NotifyIcon(0,size=88,owner=0xf2,id=1,flags=7,msg=0x200,icon=0xf3,"
                            "tip=\"Tarnwick!\nVersion 1.2 \")",
                            "Shell_NotifyIcon(4,size=88,owner=0xf2,id=1,version=3)"));
    ASSERT_EQ(fake.listItems.size(), 3u);
    EXPECT_EQ(fake.listItems[0].key, "arrows");
    EXPECT_EQ(fake.listItems[2].text, "zeds");
    EXPECT_EQ(fake.knobRect.left, 108 * 15);
    EXPECT_EQ(fake.checks[layout::kCheckNormal], 1);
    EXPECT_EQ(fake.checks[layout::kCheckBusy], 0);
    EXPECT_TRUE(fake.visible);
    EXPECT_EQ(state().okTag, "Start");
    EXPECT_EQ(fake.timers[Timer::Timer1].interval, 0);
    EXPECT_FALSE(fake.timers[Timer::Timer2].enabled);
    EXPECT_FALSE(fake.taskVisible);
    EXPECT_EQ(fake.preview, slice(1, 2));
    EXPECT_THAT(fake.messages, IsEmpty());

    // Double-click "arrows" on the list: captured without moving the pointer, rotation starts.
    fake.selectedKey = "arrows";
    fake.pointer = {150, 150};
    fake.clearLog();
    frm.listv_DblClick();
    EXPECT_EQ(fake.count("SetCursorPos"), 0);
    EXPECT_EQ(fake.count("LoadCursor"), 3);
    EXPECT_EQ(state().okTag, "OK");
    EXPECT_EQ(fake.timers[Timer::Timer1].interval, 5);
    EXPECT_TRUE(fake.visible);
    for (Role r : {Role::Normal, Role::AppStarting, Role::Wait})
        EXPECT_EQ(fake.imageOfHandle(state().saved.saved(r)), RecordingPlatform::userImage(systemCursorId(r)));

    // Straight to the right: the arrow turns to index 4 and stays there.
    for (int tick = 1; tick <= 4; ++tick) {
        fake.pointer.x += 10;
        frm.Timer1_Timer();
    }
    EXPECT_EQ(state().tracker.current(), 4);
    EXPECT_EQ(fake.systemImage(kOcrNormal), slice(1, 4));
    EXPECT_EQ(fake.systemImage(kOcrWait), RecordingPlatform::userImage(kOcrWait));  // busy roles off

    // Exit: the same six lines, the arrow back, the tray icon gone, the scratch file gone.
    fake.clearLog();
    frm.lbl_Click(layout::kLabelExit);
    EXPECT_EQ(readText(folder / "Tarnwick.ini"), kTypicalIni);
    EXPECT_TRUE(userPointersShown());
    EXPECT_TRUE(fake.trayIcons.empty());
    EXPECT_FALSE(fs::exists(folder / "mw.tmp"));
    EXPECT_TRUE(fake.ended);
    EXPECT_EQ(fake.liveCopies(), 0);
    EXPECT_THAT(fake.misuse(), IsEmpty());
}

TEST_F(LifecycleTest, AutomaticStartHidesTheWindowAndStartsAfterItsDelay) {
    writeIni("1\r\n1\r\n1\r\n3\r\n120\r\narrows.TWC\r\n");
    writeSet("arrows.TWC", 1);
    frm.Form_Load();
    EXPECT_FALSE(fake.visible);
    EXPECT_EQ(fake.checks[layout::kCheckAutoStart], 1);
    EXPECT_TRUE(fake.timers[Timer::Timer2].enabled);
    EXPECT_EQ(fake.timers[Timer::Timer2].interval, 100);
    EXPECT_EQ(fake.count("CopyImage"), 0);  // nothing captured before the delay

    fake.clearLog();
    frm.Timer2_Timer();
    EXPECT_EQ(fake.count("LoadCursor"), 6);  // captured twice, as the OK action captures again
    EXPECT_EQ(fake.liveCopies(), 3);        // the first three copies were released
    EXPECT_FALSE(fake.timers[Timer::Timer2].enabled);
    EXPECT_EQ(fake.timers[Timer::Timer2].interval, 0);
    EXPECT_EQ(fake.timers[Timer::Timer1].interval, 3);
    EXPECT_EQ(state().okTag, "OK");
    EXPECT_FALSE(fake.visible);
    EXPECT_EQ(fake.count("SetCursorPos"), 0);  // the pointer is never moved
    EXPECT_EQ(fake.pointer, (Point{900, 700}));
    // The first tick measures from the screen's origin to (900, 700): down and right.
    EXPECT_EQ(fake.systemImage(kOcrNormal), slice(1, 6));
    EXPECT_EQ(fake.systemImage(kOcrWait), slice(1, 6));
    for (Role r : {Role::Normal, Role::AppStarting, Role::Wait})
        EXPECT_EQ(fake.imageOfHandle(state().saved.saved(r)), RecordingPlatform::userImage(systemCursorId(r)));
    // Clearing "Auto Start" switches no role: it only changes what Exit writes.
    fake.checks[layout::kCheckAutoStart] = 0;
    fake.clearLog();
    frm.Check1_Click(layout::kCheckAutoStart);
    EXPECT_TRUE(state().settings.normal && state().settings.busy);
    EXPECT_THAT(fake.log(), IsEmpty());
}

TEST_F(LifecycleTest, OkCapturesWithoutMovingThePointerBeforeTheFirstInstallAndASecondOkOnlyHides) {
    writeIni(kTypicalIni);
    writeSet("arrows.TWC", 1);
    frm.Form_Load();
    fake.clearLog();
    frm.lbl_Click(layout::kLabelOk);
    EXPECT_THAT(fake.log({"SetCursorPos", "SetTimerInterval", "HideForm"}),
                ElementsAre("SetTimerInterval(Timer1,5)", "HideForm()"));
    EXPECT_LT(last("LoadCursor"), first("SetSystemCursor"));
    EXPECT_EQ(fake.count("SetSystemCursor"), 1);  // the one tick the OK action runs itself
    EXPECT_FALSE(fake.visible);
    EXPECT_EQ(state().okTag, "OK");
    frm.Picture1_MouseMove(0x204);
    EXPECT_TRUE(fake.visible);
    fake.clearLog();
    frm.lbl_Click(layout::kLabelOk);
    EXPECT_THAT(fake.log(), ElementsAre("HideForm()"));
}

TEST_F(LifecycleTest, EveryWayOfClosingPutsThePointersBackAndRemovesTheTrayIcon) {
    struct Case {
        const char* name;
        bool startFirst;
        std::function<void(TarnFrm&)> close;
        bool writesSettings;
    };
    const Case cases[] = {
        {"Exit", true, [](TarnFrm& f) { f.lbl_Click(layout::kLabelExit); }, true},
        {"X", true, [](TarnFrm& f) { f.lbl_Click(layout::kLabelClose); }, true},
        {"closed by the system", true, [](TarnFrm& f) { f.Form_QueryUnload(); f.Form_Unload(); }, false},
        {"unloaded without a close request", true, [](TarnFrm& f) { f.Form_Unload(); }, false},
        {"Exit before starting", false, [](TarnFrm& f) { f.lbl_Click(layout::kLabelExit); }, true},
        {"closed before starting", false, [](TarnFrm& f) { f.Form_QueryUnload(); f.Form_Unload(); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder dir;
        RecordingPlatform p{dir.path()};
        writeText(dir / "Tarnwick.ini", "0\r\n1\r\n1\r\n5\r\n100\r\narrows.TWC\r\n");
        writeFile(dir / "arrows.TWC", cursorSet(1));
        TarnFrm f{p};
        f.Form_Load();
        if (c.startFirst) {
            f.lbl_Click(layout::kLabelOk);
            f.Timer1_Timer();
        }
        fs::remove(dir / "Tarnwick.ini");
        p.clearLog();
        c.close(f);

        const auto log = p.log({"SetTimerEnabled", "Shell_NotifyIcon", "ReloadSystemCursors", "SetSystemCursor",
                                "DismissPointerWatcher"});
        ASSERT_GE(log.size(), 3u);
        EXPECT_EQ(log[0], "SetTimerEnabled(Timer1,0)");  // the timer stops before anything is restored
        EXPECT_EQ(log[2], "Shell_NotifyIcon(2,size=88,owner=0xf2,id=1)");
        // Before the start no role was replaced: nothing to put back, no watcher to dismiss.
        // Once started, the user's scheme is reloaded, then the watcher hears that it is back.
        if (c.startFirst) {
            EXPECT_THAT(log, ElementsAre(::testing::_, ::testing::_, ::testing::_, "ReloadSystemCursors()",
                                         "DismissPointerWatcher()"));
        } else {
            EXPECT_EQ(log.size(), 3u);
        }
        EXPECT_TRUE(p.trayIcons.empty());
        for (auto id : {kOcrNormal, kOcrAppStarting, kOcrWait})
            EXPECT_EQ(p.systemImage(id), RecordingPlatform::userImage(id));
        EXPECT_FALSE(fs::exists(dir / "mw.tmp"));
        EXPECT_EQ(fs::exists(dir / "Tarnwick.ini"), c.writesSettings);
        EXPECT_THAT(p.misuse(), IsEmpty());

        // Whatever arrives afterwards changes nothing.
        p.clearLog();
        f.Timer1_Timer();
        f.Timer2_Timer();
        f.Form_QueryUnload();
        f.Form_Unload();
        EXPECT_EQ(p.count("SetSystemCursor"), 0);
        EXPECT_EQ(p.count("LoadCursor"), 0);
    }
}

TEST_F(LifecycleTest, EveryWayToStartStartsTheWatcherOnceBeforeTheFirstCapture) {
    struct Case {
        const char* name;
        const char* ini;
        std::function<void(TarnFrm&, RecordingPlatform&)> start;
    };
    const Case cases[] = {
        {"OK", "0\r\n1\r\n1\r\n5\r\n100\r\narrows.TWC\r\n", [](TarnFrm& f, RecordingPlatform&) { f.lbl_Click(layout::kLabelOk); }},
        {"double-click", "0\r\n1\r\n1\r\n5\r\n100\r\narrows.TWC\r\n",
         [](TarnFrm& f, RecordingPlatform& p) {
             p.selectedKey = "arrows";
             p.pointer = {150, 150};
             f.listv_DblClick();
         }},
        {"automatic start", "1\r\n1\r\n1\r\n5\r\n100\r\narrows.TWC\r\n",
         [](TarnFrm& f, RecordingPlatform&) { f.Timer2_Timer(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder dir;
        RecordingPlatform p{dir.path()};
        writeText(dir / "Tarnwick.ini", c.ini);
        writeFile(dir / "arrows.TWC", cursorSet(1));
        TarnFrm f{p};
        f.Form_Load();
        f.Check1_Click(layout::kCheckBusy);  // options, ticks and the tray before the start start nothing
        f.Timer1_Timer();
        f.Picture1_MouseMove(0x204);
        EXPECT_EQ(p.count("StartPointerWatcher"), 0);
        p.clearLog();
        c.start(f, p);
        for (int tick = 0; tick < 3; ++tick) f.Timer1_Timer();
        f.lbl_Click(layout::kLabelOk);
        EXPECT_EQ(p.count("StartPointerWatcher"), 1);
        std::size_t start = 0, capture = 0;  // the first of each
        for (std::size_t i = p.calls().size(); i-- > 0;) {
            if (p.calls()[i].name == "StartPointerWatcher") start = i;
            if (p.calls()[i].name == "LoadCursor") capture = i;
        }
        EXPECT_LT(start, capture);
        EXPECT_EQ(p.count("DismissPointerWatcher"), 0);  // still running: rotation goes on
    }
}

TEST_F(LifecycleTest, ASecondInstanceEndsBeforeTouchingAnything) {
    writeIni(kTypicalIni);
    fake.prevInstance = true;
    frm.Form_Load();
    EXPECT_THAT(fake.log(), ElementsAre("PrevInstance() -> 1", "End()"));
    EXPECT_TRUE(fake.trayIcons.empty());
}

TEST_F(LifecycleTest, AFirstRunWithoutSettingsRotatesAfterTheFirstOk) {
    writeSet("arrows.TWC", 1);
    writeSet("zeds.TWC", 3);
    frm.Form_Load();
    EXPECT_FALSE(fake.preview.has_value());
    EXPECT_EQ(fake.checks[layout::kCheckNormal], 1);  // the arrow rotates from the first start
    EXPECT_EQ(fake.checks[layout::kCheckBusy], 0);
    // OK: no set chosen yet says nothing, and rotation runs with the set the list
    // loaded last, at the knob's design interval.
    frm.lbl_Click(layout::kLabelOk);
    EXPECT_THAT(fake.messages, IsEmpty());
    EXPECT_EQ(fake.timers[Timer::Timer1].interval, 6);
    fake.pointer.x += 30;
    frm.Timer1_Timer();
    EXPECT_EQ(fake.systemImage(kOcrNormal).substr(0, 5), "file:");

    frm.lbl_Click(layout::kLabelExit);
    EXPECT_EQ(readText(folder / "Tarnwick.ini"), "0\r\n1\r\n0\r\n6\r\n104\r\n\r\n");
}

TEST_F(LifecycleTest, TheTrayBringsTheWindowBackOnARightPressOrAnyLeftButtonReport) {
    struct Case {
        std::uint32_t message;
        bool shows;
    };
    const Case cases[] = {{0x200, false}, {0x201, true},  {0x202, true},  {0x203, true},  {0x204, true},
                          {0x205, false}, {0x206, false}, {0x207, false}, {0x208, false}, {0x209, false},
                          {0x3FF, false}, {kNinSelect, true}, {kNinKeySelect, true}, {0x402, false}};
    writeIni("1\r\n1\r\n1\r\n3\r\n120\r\narrows.TWC\r\n");
    frm.Form_Load();
    for (const Case& c : cases) {
        fake.visible = false;
        fake.clearLog();
        frm.Picture1_MouseMove(c.message);
        EXPECT_EQ(fake.visible, c.shows) << std::hex << c.message;
        if (c.shows) {
            EXPECT_THAT(fake.log(), ElementsAre("ShowForm()", "SetFormVisible(1)"));
        }
    }
    // Nothing else changes: the automatic start is still armed.
    EXPECT_TRUE(fake.timers[Timer::Timer2].enabled);
}

// The icon comes back on a restarted task bar from the add (under start-up's own box
// too) to the close, and a form that goes without closing takes it away.
TEST_F(LifecycleTest, ARestartedTaskBarGetsTheIconBackWhileTheFormHasOne) {
    frm.Picture1_TaskbarCreated();
    EXPECT_EQ(fake.count("Shell_NotifyIcon"), 0);
    writeIni("0\r\n1\r\n1\r\n5\r\n100\r\nA.TWC\r\n");
    fs::create_directory(folder / "A.TWC");  // a set that cannot be read: "LoadTWC"
    fake.duringMessageBox = {[&] { frm.Picture1_TaskbarCreated(); }};
    frm.Form_Load();
    const auto added = fake.log({"Shell_NotifyIcon"});
    ASSERT_EQ(added.size(), 4u);  // each add asks for the notifications' version again
    EXPECT_EQ(added[2], added[0]);
    EXPECT_EQ(added[3], added[1]);
    frm.Form_QueryUnload();
    fake.clearLog();
    frm.Picture1_TaskbarCreated();
    EXPECT_EQ(fake.count("Shell_NotifyIcon"), 0);

    RecordingPlatform p{folder.path()};
    std::make_unique<TarnFrm>(p)->Form_Load();
    EXPECT_TRUE(p.trayIcons.empty());
    EXPECT_EQ(p.count("Shell_NotifyIcon"), 3);
}

TEST_F(LifecycleTest, AFailedListBuildEndsStartUpAndRemovesItsTrayIcon) {
    writeSet("arrows.TWC", 1);
    writeFile(folder / "mw.tmp", cursorSlice(99));
    fake.failCall("ClearListView");
    frm.Form_Load();
    EXPECT_FALSE(fs::exists(folder / "mw.tmp"));
    ASSERT_EQ(fake.messages.size(), 1u);
    EXPECT_EQ(fake.messages[0].rfind("ShowIcons\n\n", 0), 0u);
    EXPECT_TRUE(fake.trayIcons.empty());
    EXPECT_TRUE(fake.ended);
    EXPECT_LT(last("Shell_NotifyIcon"), first("End"));
    EXPECT_EQ(fake.count("SetCheckValue"), 0);
}

TEST_F(LifecycleTest, AScratchFileLeftBehindReloadsTheUsersPointersFirstAndAnythingElseOfItsNameIsTheUsers) {
    writeIni("1\r\n1\r\n1\r\n3\r\n120\r\narrows.TWC\r\n");
    writeSet("arrows.TWC", 1);
    writeFile(folder / "mw.tmp", cursorSlice(99));
    frm.Form_Load();
    frm.Timer2_Timer();
    // Only the instance check and the looks at the folders and the names come first.
    EXPECT_LT(first("ReloadSystemCursors"), first("SetTimerEnabled"));

    // A clean start, or the user's folder, second name or link (opened as itself, or followed
    // as in Wine) there: nothing reloaded, written or removed; the run's own file goes at Exit.
    for (const std::string what : {"clean", "folder", "second name", "link", "link followed"}) {
        SCOPED_TRACE(what);
        TempFolder dir;
        RecordingPlatform p{dir.path()};
        p.followsLinks = what == "link followed";
        writeFile(dir / "arrows.TWC", cursorSet(1));
        writeFile(dir / "doc", cursorSlice(7));
        if (what == "folder") fs::create_directory(dir / "mw.tmp");
        if (what == "second name") fs::create_hard_link(dir / "doc", dir / "mw.tmp");
        if (what.starts_with("link")) fs::create_symlink("doc", dir / "mw.tmp");
        const fs::file_type was = fs::symlink_status(dir / "mw.tmp").type();
        TarnFrm f{p};
        f.Form_Load();
        f.lbl_Click(layout::kLabelOk);
        EXPECT_THAT(p.log({"LoadImage"}).back(),
                    ::testing::HasSubstr(what == "clean" ? "mw.tmp\"" : "mw.tmp2"));
        EXPECT_EQ(p.count("ReloadSystemCursors"), 0);
        f.lbl_Click(layout::kLabelExit);
        EXPECT_EQ(readFile(dir / "doc"), cursorSlice(7));
        EXPECT_EQ(fs::symlink_status(dir / "mw.tmp").type(), was);
        EXPECT_FALSE(fs::exists(dir / "mw.tmp2"));
    }
}

std::set<fs::path> listing(const fs::path& folder) {
    std::error_code ec;
    return {fs::directory_iterator(folder, ec), fs::directory_iterator()};
}

// Where each file lives: beside the program while its folder takes new files, else in the
// per-user folder (the program folder's settings read until a per-user file exists); the
// scratch file alone goes there when its path is too long for the cursor loader. A scratch
// file a killed run left in either place makes start-up reload the user's pointers.
TEST(Folders, EachFileLivesWhereItsFolderCanTakeIt) {
    enum Place { Program, User, Nowhere };
    const struct {
        const char* what;
        bool writable, iniBeside, iniOfUser;
        std::size_t scratchLength;  // of the program folder's mw.tmp path; 0: a short one
        Place leftover, scratch, written;
        std::int32_t interval;  // what start-up read: 7 beside, 9 the user's, 6 none
    } cases[] = {
        {"a folder that takes files", true, true, true, 0, User, Program, Program, 7},
        {"one that does not, no settings", false, false, false, 0, Program, User, User, 6},
        {"one that does not, settings beside", false, true, false, 0, Nowhere, User, User, 7},
        {"one that does not, the user's settings", false, true, true, 0, User, User, User, 9},
        {"a path the cursor loader takes", true, true, false, 259, Nowhere, Program, Program, 7},
        {"one unit too long for it", true, true, false, 260, Program, User, Program, 7},
    };
    const auto ini = [](int interval) { return "0\r\n1\r\n0\r\n" + std::to_string(interval) + "\r\n99\r\na.TWC\r\n"; };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder root;
        fs::path program = root / "Tarnwick";
        if (c.scratchLength) program /= std::string(c.scratchLength - (program / "x/mw.tmp").string().size() + 1, 'd');
        const fs::path places[] = {program, root / "Local" / "Tarnwick"};
        fs::create_directories(program);
        fs::create_directories(places[User]);
        writeFile(program / "a.TWC", cursorSet(1));
        if (c.iniBeside) writeText(program / "Tarnwick.ini", ini(7));
        if (c.iniOfUser) writeText(places[User] / "Tarnwick.ini", ini(9));
        if (c.leftover != Nowhere) writeFile(places[c.leftover] / "mw.tmp", cursorSlice(99));
        RecordingPlatform p;
        p.programFolder = program;
        p.localAppData = root / "Local";
        if (!c.writable) p.readOnlyFolders.insert(program);
        const std::set<fs::path> before[] = {listing(places[Program]), listing(places[User])};
        TarnFrm f{p};

        f.Form_Load();
        EXPECT_EQ(p.count("ReloadSystemCursors"), c.leftover == Nowhere ? 0 : 1);
        EXPECT_EQ(TarnFrm::State::of(f).settings.interval, c.interval);
        for (const Place place : {Program, User})
            EXPECT_EQ(fs::is_regular_file(places[place] / "mw.tmp"), place == c.scratch) << place;  // no leftover
        f.lbl_Click(2);  // OK rotates: every direction has its pointer
        for (const CursorHandle h : TarnFrm::State::of(f).set.handles) EXPECT_FALSE(h.isNull());
        f.lbl_Click(3);

        EXPECT_THAT(readText(places[c.written] / "Tarnwick.ini"),
                    ::testing::HasSubstr("\r\n" + std::to_string(c.interval) + "\r\n"));
        for (const Place place : {Program, User}) {
            std::set<fs::path> now = listing(places[place]), was = before[place];
            if (place == c.written) was.insert(places[place] / "Tarnwick.ini");
            was.erase(places[place] / "mw.tmp");
            EXPECT_EQ(now, was) << place;  // nothing else made, nothing of the user's gone
            if (place != c.written && (place == Program ? c.iniBeside : c.iniOfUser)) {
                EXPECT_EQ(readText(places[place] / "Tarnwick.ini"), ini(place == Program ? 7 : 9));
            }
        }
    }
}

// Under a start-up box the tray, OK and Exit are refused: the half-loaded form neither
// shows, rotates nor writes the check boxes start-up had not set yet.
TEST_F(LifecycleTest, StartUpsWorkFinishesBeforeAUsersActionActs) {
    writeIni("1\r\n1\r\n1\r\n9\r\n77\r\nA.TWC\r\n");
    fs::create_directory(folder / "A.TWC");  // a set that cannot be read: "LoadTWC"
    writeSet("B.TWC", 2);
    fake.duringMessageBox = {[&] { frm.Picture1_MouseMove(0x201); }, [&] { frm.lbl_Click(layout::kLabelOk); },
                             [&] { frm.lbl_Click(layout::kLabelExit); }};
    frm.Form_Load();
    EXPECT_FALSE(fake.visible || frm.phase() == Phase::Closed);
    frm.Timer2_Timer();
    frm.Timer2_Timer();  // once rotating, the automatic start never captures again
    EXPECT_EQ(fake.count("CopyImage"), 6);
    EXPECT_EQ(fake.imageOfHandle(state().saved.saved(Role::Normal)), RecordingPlatform::userImage(kOcrNormal));
    frm.lbl_Click(layout::kLabelExit);
    EXPECT_EQ(readText(folder / "Tarnwick.ini").substr(0, 9), "1\r\n1\r\n1\r\n");
    EXPECT_TRUE(userPointersShown());
}

// A close request under a handler's box is honoured at once; once the box returns the
// handler goes no further: nothing rotates, arms, builds or ends after it.
TEST_F(LifecycleTest, AHandlerWhoseBoxLetACloseThroughStops) {
    using Step = std::function<void(TarnFrm&, RecordingPlatform&)>;
    const Step load = [](TarnFrm& f, RecordingPlatform&) { f.Form_Load(); };
    const Step none = [](TarnFrm&, RecordingPlatform&) {};
    const struct {
        const char* ini;  // A.TWC cannot be read, B.TWC can
        Step before, handler;
    } cases[] = {
        {"1\r\n1\r\n1\r\n9\r\n77\r\nA.TWC\r\n", none, load},
        {"1\r\n1\r\n1\r\n5\r\n100\r\nA.TWC\r\n", load, [](TarnFrm& f, RecordingPlatform&) { f.Timer2_Timer(); }},
        {"0\r\n1\r\n1\r\n5\r\n100\r\nB.TWC\r\n",
         [](TarnFrm& f, RecordingPlatform& p) { f.Form_Load(), f.lbl_Click(layout::kLabelOk), p.selectedKey = "A"; },
         [](TarnFrm& f, RecordingPlatform&) { f.listv_DblClick(); }},
        {"0\r\n1\r\n1\r\n5\r\n100\r\nB.TWC\r\n",
         [](TarnFrm& f, RecordingPlatform& p) {
             f.Form_Load();
             fs::remove(p.programFolder / "Tarnwick.ini");
             fs::create_directory(p.programFolder / "Tarnwick.ini");  // "SaveINI"
         },
         [](TarnFrm& f, RecordingPlatform&) { f.lbl_Click(layout::kLabelExit); }},
        {"0\r\n1\r\n1\r\n5\r\n100\r\nB.TWC\r\n",  // the watcher killed, not started again: "KeepWatching"
         [](TarnFrm& f, RecordingPlatform& p) { f.Form_Load(), f.lbl_Click(2), p.watcherEnded = true, p.failCall("StartPointerWatcher"); },
         [](TarnFrm& f, RecordingPlatform&) { f.Timer1_Timer(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);  // start-up, automatic start, double-click, Exit
        TempFolder dir;
        RecordingPlatform p{dir.path()};
        writeText(dir / "Tarnwick.ini", c.ini);
        fs::create_directory(dir / "A.TWC");
        writeFile(dir / "B.TWC", cursorSet(2));
        TarnFrm f{p};
        c.before(f, p);
        std::size_t closed = 0;
        p.duringMessageBox = {[&] { f.Form_QueryUnload(), f.Form_Unload(), closed = p.calls().size(); }};
        c.handler(f, p);
        ASSERT_GT(closed, 0u);
        std::vector<std::string> after;
        for (std::size_t i = closed; i < p.calls().size(); ++i) after.push_back(p.calls()[i].name);
        EXPECT_THAT(after, ::testing::Each(::testing::Not(::testing::AnyOf(
                               "SetSystemCursor", "LoadCursor", "SetTimerInterval", "SetTimerEnabled", "DoEvents",
                               "ClearListView", "SetCheckValue", "End"))));
        EXPECT_TRUE(p.systemImage(kOcrNormal) == RecordingPlatform::userImage(kOcrNormal) && f.phase() == Phase::Closed);
        EXPECT_FALSE(fs::exists(dir / "mw.tmp"));
    }
}

// While a double-click waits on its box, OK would capture a second time and an option
// click would change a role under it: both are refused, the box put back, also after a
// tick under the same box.
TEST_F(LifecycleTest, WhileOneActionWaitsOnABoxAnotherIsRefused) {
    using P = layout::KeyMessage::Phase;
    writeIni(kTypicalIni);
    fs::create_directory(folder / "A.TWC");
    frm.Form_Load();
    fake.selectedKey = "A";
    fake.duringMessageBox = {[&] { frm.Timer1_Timer(), frm.lbl_Click(layout::kLabelOk); }, [&] { fake.checks[layout::kCheckNormal] = 0, frm.Check1_Click(layout::kCheckNormal); },
                             [&] { key(P::Down, kKeyEnd, layout::Id::Knob), key(P::Down, kKeyEscape, layout::Id::Knob); },
                             [&] { key(P::Down, kKeyReturn, layout::Id::ListView); }};
    frm.listv_DblClick();
    key(P::Down, kKeyReturn, layout::Id::ListView, true);
    EXPECT_EQ(fake.messages.size(), 1u);  // the double-click's, once
    EXPECT_EQ(fake.count("CopyImage"), 3);
    EXPECT_TRUE(fake.checks[layout::kCheckNormal] == 1 && state().settings.normal && fake.visible);
    EXPECT_EQ(state().settings.sliderPosition, 100);
}

// The user picks another pointer scheme while the arrow rotates: the system's word saves
// their new pointers at once, for the busy roles too, and Exit puts back their last choice.
// Our own reloads (the one after a kill, and the one made to read the new scheme) are not
// taken for theirs, and a word with no new scheme behind it saves no direction image.
TEST_F(LifecycleTest, ExitPutsBackThePointerSchemeTheUserPickedWhileRotating) {
    writeIni(kTypicalIni);  // the normal role on, the busy roles off
    writeSet("arrows.TWC", 1);
    writeFile(folder / "mw.tmp", cursorSlice(99));  // the last run was killed
    fake.afterReload = [this] { frm.Form_SettingChange(kSpiSetCursors); };
    frm.Form_Load();
    EXPECT_EQ(fake.count("ReloadSystemCursors"), 1);
    frm.lbl_Click(layout::kLabelOk);
    frm.Timer1_Timer();

    fake.changeScheme("large");
    fake.clearLog();
    frm.Form_SettingChange(0x2F);  // another setting: only the pointer size is looked at
    EXPECT_THAT(fake.log(), ElementsAre("LoadCursor(32513) -> 0x7f01", "GetIconInfo(0x7f01) -> 32x32"));
    frm.Form_SettingChange(kSpiSetCursors);
    EXPECT_EQ(fake.count("ReloadSystemCursors"), 1);
    EXPECT_EQ(fake.count("CopyImage"), 3);
    for (Role r : {Role::Normal, Role::AppStarting, Role::Wait})
        EXPECT_EQ(fake.imageOfHandle(state().saved.saved(r)), "large:" + std::to_string(systemCursorId(r)));
    EXPECT_EQ(fake.liveCopies(), 3);  // the copies of the old scheme are released

    frm.Timer1_Timer();
    EXPECT_EQ(fake.systemImage(kOcrNormal), slice(1, 6));
    frm.Form_SettingChange(kSpiSetCursors);
    EXPECT_EQ(fake.imageOfHandle(state().saved.saved(Role::Normal)), "large:32512");

    fake.checks[layout::kCheckBusy] = 1;  // the busy roles ticked on later restore the new choice too
    frm.Check1_Click(layout::kCheckBusy);
    frm.Timer1_Timer();
    frm.lbl_Click(layout::kLabelExit);
    for (auto id : {kOcrNormal, kOcrAppStarting, kOcrWait})
        EXPECT_EQ(fake.systemImage(id), "large:" + std::to_string(id));
    fake.clearLog();
    frm.Form_SettingChange(kSpiSetCursors);  // after the final restore: nothing is held
    EXPECT_THAT(fake.log(), IsEmpty());
    EXPECT_EQ(fake.liveCopies(), 0);
    EXPECT_THAT(fake.misuse(), IsEmpty());
}

// Any setting (the Settings app's undocumented one too), the displays or the window's
// scaling: the tick makes the pointers at the size drawn now, never installing a released one.
TEST_F(LifecycleTest, APointerSizeChangeMakesTheSetAnewForTheNextTick) {
    const std::pair<int, std::function<void(TarnFrm&)>> changes[] = {
        {48, [](TarnFrm& f) { f.Form_SettingChange(0x2029); }}, {64, [](TarnFrm& f) { f.Form_SettingChange(kSpiSetCursors); }},
        {96, [](TarnFrm& f) { f.Form_DisplayChange(); }}, {32, [](TarnFrm& f) { f.Form_SettingChange(0); }}};
    startTypical();
    for (const auto& [side, change] : changes) {
        SCOPED_TRACE(side);
        fake.pointerSide = side;
        change(frm);
        fake.clearLog();
        frm.Timer1_Timer();
        EXPECT_EQ(fake.count("LoadImage"), 16);  // made by the tick that needs them
        EXPECT_LT(last("DestroyCursor"), first("CopyIcon"));
        for (const CursorHandle h : state().set.handles) EXPECT_EQ(fake.sideOfHandle(h), side);
        EXPECT_THAT(fake.misuse(), IsEmpty());
    }
    frm.lbl_Click(layout::kLabelExit);
    fake.pointerSide = 48;
    fake.clearLog();
    frm.Form_DisplayChange();
    frm.Timer1_Timer();
    EXPECT_THAT(fake.log(), IsEmpty());
}

// No tick at all while any reason holds, not even a queued one or an action's first; on
// waking a scheme picked meanwhile is read first. Also when the reason came under a box.
TEST_F(LifecycleTest, RotationRestsWhileNobodyCanSeeThePointerAndWakesWhenAllAreBack) {
    startTypical();
    const auto session = [this](std::uint32_t c) { return [this, c] { frm.Form_SessionChange(c); }; };
    const auto power = [this](std::uint32_t e) { return [this, e] { frm.Form_PowerBroadcast(e); }; };
    const auto display = [this](std::uint32_t d) { return [this, d] { frm.Form_DisplayState(d); }; };
    const std::string off = "SetTimerEnabled(Timer1,0)", on = "SetTimerEnabled(Timer1,1)";
    const struct {
        const char* what;
        std::function<void()> event;
        bool ticks;
        std::vector<std::string> calls;
    } steps[] = {
        {"locked", session(kWtsSessionLock), false, {off}},
        {"and the display off", display(kDisplayOff), false, {}},
        {"a new scheme", [this] { fake.changeScheme("large"), frm.Form_SettingChange(kSpiSetCursors); }, false, {}},
        {"unlocked, the display still off", session(kWtsSessionUnlock), false, {}},
        {"the display dimmed: seen", display(kDisplayDimmed), true, {"ReloadSystemCursors()", on}},
        {"disconnected", session(kWtsRemoteDisconnect), false, {off}},
        {"and suspended", power(kPbtApmSuspend), false, {}},
        {"connected at the console, still suspended", session(kWtsConsoleConnect), false, {}},
        {"resumed", power(kPbtApmResumeAutomatic), true, {on}},
        {"resumed for the user, an unlock with no lock",
         [&] { power(kPbtApmResumeSuspend)(), session(kWtsSessionUnlock)(); }, true, {}},
        {"console disconnected", session(kWtsConsoleDisconnect), false, {off}},
        {"a double-click", [this] { fake.selectedKey = "arrows", frm.listv_DblClick(); }, false, {}},
        {"remote connected", session(kWtsRemoteConnect), true, {on}},
        {"locked under a tick's box",
         [&] {
             fake.watcherEnded = true, fake.failCall("StartPointerWatcher");  // "KeepWatching"
             fake.duringMessageBox = {session(kWtsSessionLock)};
             frm.Timer1_Timer();
         },
         false, {off}},
        {"unlocked", session(kWtsSessionUnlock), true, {on}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        fake.clearLog();
        step.event();
        EXPECT_EQ(fake.log({"SetTimerEnabled", "ReloadSystemCursors"}), step.calls);
        EXPECT_EQ(fake.timers[Timer::Timer1].enabled, step.ticks);
        EXPECT_EQ(frm.phase(), step.ticks ? Phase::Ready : Phase::Paused);
        frm.Timer1_Timer();  // one already queued
        EXPECT_EQ(fake.count("SetSystemCursor") > 0, step.ticks);
    }
    EXPECT_EQ(fake.imageOfHandle(state().saved.saved(Role::Normal)), "large:32512");
}

TEST_F(LifecycleTest, TheLinkBannerOpensThePageBesideTheProgram) {
    frm.Image2_Click();
    const std::string page = (folder.path() / "Tarnwick.html").string();
    EXPECT_THAT(fake.log(), ElementsAre("ShellExecute(0xf0,\"open\",\"" + page + "\",\"\",\"\",1)"));
}

TEST_F(LifecycleTest, AnUnwritableSettingsFileIsReportedAndExitStillRestores) {
    startTypical();
    fs::remove(folder / "Tarnwick.ini");
    fs::create_directory(folder / "Tarnwick.ini");  // cannot be replaced by a file
    frm.lbl_Click(layout::kLabelExit);
    ASSERT_EQ(fake.messages.size(), 1u);
    EXPECT_EQ(fake.messages[0].rfind("SaveINI\n", 0), 0u);
    EXPECT_TRUE(userPointersShown());
    EXPECT_TRUE(fake.ended);
}

}  // namespace
}  // namespace tarn::testing
