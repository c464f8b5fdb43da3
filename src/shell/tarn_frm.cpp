#include "shell/tarn_frm.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "files/file_names.h"
#include "cursorset/library.h"
#include "cursorset/set_pictures.h"
#include "platform/messages.h"
#include "platform/units.h"
#include "shell/key_routing.h"
#include "shell/knob.h"
#include "shell/layout.h"
#include "settings/tick_rate.h"
#include "shell/tarn_frm_state.h"

namespace tarn {

namespace {

namespace fs = std::filesystem;

using layout::kCheckAutoStart, layout::kCheckBusy, layout::kCheckNormal;
using layout::kLabelClose, layout::kLabelExit, layout::kLabelHidden, layout::kLabelOk, layout::kLabelTitle,
    layout::kLabelTitleStrip;

constexpr int kShowNormal = 1;

bool isDragHandle(int index) { return index == kLabelTitle || index == kLabelTitleStrip; }

bool isButton(int index) {
    return index == kLabelOk || index == kLabelExit || index == kLabelHidden || index == kLabelClose;
}

// What a role option's box shows for the settings: ticked while its role rotates.
int roleBoxValue(const Settings& settings, int index) {
    return (index == kCheckNormal ? settings.normal : settings.busy) ? 1 : 0;
}

// A scratch file an earlier run left means that run never reached its clean-up (it was
// killed, or the machine went down): its direction images may still be the system
// pointers, and a capture now would save them as the user's. The pointer watcher will
// have reloaded them unless it was ended too; the user's configured pointers are
// reloaded first either way. The last run may have kept it in the other place.
void repairAfterKill(Platform& p, const Folders& folders, ScratchFile& scratch, TarnMod& saved) {
    if (scratch.takeLeftovers(p, folders)) saved.ReloadSystemCursors();
}

// "Auto Start" ticked: the window stays hidden and rotation starts by itself shortly.
void armAutoStart(Platform& p, bool autoStart) {
    if (autoStart) {
        p.SetFormVisible(false);
        p.SetCheckValue(kCheckAutoStart, 1);
        p.SetTimerEnabled(Timer::Timer2, true);
        p.SetTimerInterval(Timer::Timer2, kAutoStartDelayMs);
    } else {
        p.SetTimerEnabled(Timer::Timer2, false);
        p.SetTimerInterval(Timer::Timer2, 0);
    }
}

}  // namespace

TarnFrm::TarnFrm(Platform& platform) : state_(std::make_unique<State>(platform)) {}

TarnFrm::~TarnFrm() {
    // The last net: a form that goes without its close request takes its icon away, so
    // it does not linger in the tray of a program that has gone.
    if (!state_->life.rules().trayIcon) return;
    try {
        state_->tray.remove();
    } catch (...) {
        // Nothing more can be done for an icon on the way out; the shell drops it once
        // its window has gone.
    }
}

Phase TarnFrm::phase() const { return state_->life.phase(); }

// ---- Lifecycle

void TarnFrm::Form_Load() {
    State& s = *state_;
    Platform& p = s.platform;

    if (p.PrevInstance()) {
        s.life.moveTo(Phase::Closed);
        p.End();
        return;
    }

    // Start-up's work comes first: a user's action is refused until it is done, since
    // under one of its message boxes a tray click and Exit would act on a half-loaded
    // form. A close request is always honoured; start-up then stops once its box returns.
    // The tray icon is shown from here on.
    const Lifecycle::Span starting(s.life, Phase::StartingUp, Phase::Ready);
    s.tray.add();
    s.folders = ChooseFolders(p);
    repairAfterKill(p, s.folders, s.set.scratch, s.saved);
    measurePointerSide();
    p.SetTimerEnabled(Timer::Timer1, true);
    s.okTag = "Start";

    if (!loadSettingsAndList()) return;

    showRoleOptions();
    armAutoStart(p, s.settings.autoStart);
    selectRememberedSet();

    p.SetTaskVisible(false);
}

bool TarnFrm::loadSettingsAndList() {
    State& s = *state_;
    Platform& p = s.platform;
    // A box of either runs its own message loop, in which a close request may unload
    // the form: they stop then, and so does start-up.
    const auto closing = [&] { return s.life.leaving(); };
    const std::optional<Settings> read = LoadINI(p, closing, s.folders);
    if (!s.life.leaving()) showSettings(read);  // the set's load may show a box too
    if (s.life.leaving()) {
        stopLoading();
        return false;
    }
    describeSlider();
    const bool listed = ShowIcons(p, s.set, closing, s.folders, &s.listed);
    if (s.life.leaving()) {
        stopLoading();
        return false;
    }
    if (!listed) {
        // The list could not be built and the program ends here; the tray icon it added
        // would otherwise linger until the user hovers over it, and the scratch file
        // would make the next start reload the user's pointers for nothing.
        s.life.moveTo(Phase::Closed);
        s.tray.remove();
        s.set.scratch.remove(p);
        p.End();
        return false;
    }
    return true;
}

// What start-up read becomes the form's: the knob goes where the file has it, and the
// remembered set is loaded and, once it has loaded, previewed (a failing preview is one
// of the reader's failed steps). A first run shows nothing: the knob stays where the
// design draws it, and no set is chosen yet.
void TarnFrm::showSettings(const std::optional<Settings>& read) {
    State& s = *state_;
    Platform& p = s.platform;
    s.settings = read.value_or(FirstRunSettings());
    if (!read) return;
    p.SetKnobLeftTwips(KnobLeftTwips(s.settings.sliderPosition));
    if (LoadTWC(p, s.set, s.settings.setFile, s.folders) && !s.life.leaving()) showPreview(messages::kLoadINI);
}

void TarnFrm::showRoleOptions() {
    State& s = *state_;
    for (const int box : {kCheckNormal, kCheckBusy}) {
        s.platform.SetCheckValue(box, roleBoxValue(s.settings, box));
        checkClicked(box);
    }
}

// A close request came under one of start-up's message boxes. The unload has run (it
// runs here if only the close request did); what start-up went on to do after it, such
// as a preview through the scratch file, is taken away again.
void TarnFrm::stopLoading() {
    Form_Unload();
    state_->set.scratch.remove(state_->platform);
}

void TarnFrm::Form_QueryUnload() {
    State& s = *state_;
    if (!s.life.moveTo(Phase::Closing)) return;
    // No tick may run after this point, or it would install over the restore.
    s.platform.SetTimerEnabled(Timer::Timer1, false);
    // Nor may a pending automatic start capture and rotate after the unload.
    s.platform.SetTimerEnabled(Timer::Timer2, false);
    s.tray.remove();
}

void TarnFrm::Form_Unload() {
    State& s = *state_;
    Form_QueryUnload();  // unless it has run
    if (!s.life.moveTo(Phase::Closed)) return;
    s.saved.RestoreAll();
    s.set.scratch.remove(s.platform);
}

// ---- Actions

void TarnFrm::okAction() {
    State& s = *state_;
    Platform& p = s.platform;
    if (s.okTag != "Start") {
        p.HideForm();
        return;
    }
    {
        const Lifecycle::Span acting(s.life, Phase::Acting);
        s.rotation.CaptureUserPointers();
        LoadTWC(p, s.set, s.settings.setFile, s.folders);
    }
    // Its message box let a close request through: the user's pointers are back, and
    // nothing may start rotating after that.
    if (s.life.leaving()) return;
    s.tracker.ResetTracker();
    p.SetTimerInterval(Timer::Timer1, s.settings.interval);
    p.HideForm();
    s.okTag = "OK";
    firstTick();
}

void TarnFrm::exitAction() {
    State& s = *state_;
    // A settings file that cannot be written is reported; leaving goes on regardless,
    // so the user's pointers always come back.
    {
        const Lifecycle::Span acting(s.life, Phase::Acting);
        Platform& p = s.platform;
        SaveINI(p, s.settings,
                {p.CheckValue(kCheckAutoStart), p.CheckValue(kCheckNormal), p.CheckValue(kCheckBusy)}, s.folders);
    }
    // A close request under its message box has already closed the form.
    if (s.life.leaving()) return;
    Form_QueryUnload();
    Form_Unload();
    s.platform.End();
}

// ---- Timers

void TarnFrm::Timer1_Timer() {
    State& s = *state_;
    if (!s.life.rules().ticks) return;
    {
        // Its message box, should the watcher not start again, runs its own loop.
        const Lifecycle::Span acting(s.life, Phase::Acting);
        s.saved.KeepWatching();
    }
    if (!s.life.rules().ticks) return;
    // Pointers of a size the system no longer draws are made anew before they are
    // installed; the old ones go only once the set holds the new.
    FitPointers(s.platform, s.set, s.folders);
    s.rotation.Timer1_Timer(s.set.handles, s.flags());
}

void TarnFrm::Timer2_Timer() {
    State& s = *state_;
    // Under start-up or another action's message box it waits: the timer stays armed
    // and comes again.
    if (!s.life.userMayAct()) return;
    const bool started = s.started();
    if (!started) s.rotation.CaptureUserPointers();
    s.platform.SetTimerInterval(Timer::Timer2, 0);
    s.platform.SetTimerEnabled(Timer::Timer2, false);
    // Rotation started another way first (a double-click): a capture now would save
    // direction images as the user's pointers.
    if (!started) okAction();
}

// ---- Tray

void TarnFrm::Picture1_MouseMove(std::uint32_t mouseMessage) {
    State& s = *state_;
    if (!s.life.userMayAct() || !TrayIcon::bringsWindowBack(mouseMessage)) return;
    selectRememberedSet();
    s.platform.ShowForm();
    s.platform.SetFormVisible(true);
}

// A task bar that (re)started has no icons: ours is added again while the phase shows one.
void TarnFrm::Picture1_TaskbarCreated() {
    if (state_->life.rules().trayIcon) state_->tray.add();
}

// ---- Labels

void TarnFrm::ResetLabelColors() {
    Platform& p = state_->platform;
    for (const int i : layout::kLabels) {
        if (i == kLabelTitle) continue;  // the title keeps its colour
        p.SetLabelForeColor(i, (i == kLabelOk || i == kLabelExit) ? layout::kOrange : layout::kBlack);
    }
}

void TarnFrm::lbl_MouseDown(int index, int /*button*/) {
    State& s = *state_;
    if (!isDragHandle(index)) return;
    Platform& p = s.platform;
    Point where{};
    p.GetCursorPos(where);
    const TwipsRect r = p.FormRectTwips();
    s.dragX = where.x - ToPixels(r.left, p.TwipsPerPixelX());
    s.dragY = where.y - ToPixels(r.top, p.TwipsPerPixelY());
}

void TarnFrm::lbl_MouseMove(int index, int button) {
    State& s = *state_;
    Platform& p = s.platform;
    ResetLabelColors();
    if (isDragHandle(index) && button == kLeftButton) {
        Point where{};
        p.GetCursorPos(where);
        const TwipsRect r = p.FormRectTwips();
        p.MoveWindow(p.FormWindow(), where.x - s.dragX, where.y - s.dragY, ToPixels(r.width, p.TwipsPerPixelX()),
                     ToPixels(r.height, p.TwipsPerPixelY()), true);
    }
    if (isButton(index)) p.SetLabelForeColor(index, layout::kRed);
}

void TarnFrm::lbl_Click(int index) {
    if (!state_->life.userMayAct()) return;
    if (index == kLabelOk) okAction();
    if (index == kLabelExit || index == kLabelClose) exitAction();
}

void TarnFrm::Form_MouseMove() { ResetLabelColors(); }
void TarnFrm::listv_MouseMove() { ResetLabelColors(); }
void TarnFrm::Picture2_MouseMove() { ResetLabelColors(); }

// ---- The sensitivity slider

void TarnFrm::picSlider_MouseDown(int /*button*/) {
    State& s = *state_;
    Platform& p = s.platform;
    Point where{};
    p.GetCursorPos(where);
    s.sliderGrabX = where.x - ToPixels(p.KnobRectTwips().left, p.TwipsPerPixelX());
}

void TarnFrm::picSlider_MouseMove(int button) {
    State& s = *state_;
    Platform& p = s.platform;
    if (button != kLeftButton || !s.life.userMayAct()) return;
    Point where{};
    p.GetCursorPos(where);
    const std::optional<std::int32_t> position = layout::dragPosition(where.x - s.sliderGrabX, p.TwipsPerPixelX());
    if (!position) return;  // ignored, not clamped

    slideTo(*position);
}

void TarnFrm::picSlider_KeyDown(int key) {
    State& s = *state_;
    if (!s.life.userMayAct()) return;
    if (const auto to = layout::keyPosition(key, s.settings.sliderPosition, s.settings.interval)) slideTo(*to);
}

// The knob to a slider position on the track, and the interval it gives, as a drag puts them.
void TarnFrm::slideTo(std::int32_t position) {
    State& s = *state_;
    Platform& p = s.platform;
    placeKnob(position);
    const std::int32_t was = s.settings.interval;
    s.settings.interval = TickInterval(position).value_or(s.settings.interval);
    s.settings.sliderPosition = position;
    // Before rotation starts the new interval waits for the start: a tick now would
    // install direction images before the user's pointers are saved.
    // Only a new interval restarts the count: a drag within one would hold the ticks off.
    if (s.started() && s.settings.interval != was) p.SetTimerInterval(Timer::Timer1, s.settings.interval);
    // A drag comes here on every move of the pointer, and five places share an interval:
    // a screen reader is told only when what it reads out changes.
    if (s.settings.interval != was) describeSlider();
}

void TarnFrm::placeKnob(std::int32_t position) {
    Platform& p = state_->platform;
    const layout::PixelRect knob = layout::knobRect(position, p.TwipsPerPixelX(), p.TwipsPerPixelY());
    p.MoveWindow(p.KnobWindow(), knob.left, knob.top, knob.width, knob.height, true);
}

// What a screen reader says the slider is set to: its interval.
void TarnFrm::describeSlider() {
    Platform& p = state_->platform;
    p.SetHwndPropStr(p.KnobWindow(), std::to_string(state_->settings.interval) + " ms");
}

// ---- The keyboard

layout::KeyOutcome TarnFrm::Form_KeyPreview(const layout::KeyMessage& key) {
    State& s = *state_;
    const layout::KeyOutcome out = s.keys.route(key, s.life.userMayAct());
    layout::deliver(*this, out.event);
    return out;
}

void TarnFrm::Form_KeyDown(int key) {
    State& s = *state_;
    // To the tray and nothing else: unlike OK it never starts rotation.
    if (key == kKeyEscape && s.life.userMayAct()) s.platform.HideForm();
}

// The set the keyboard starts from when the window shows: the remembered one (its file
// name as a double-click on it makes it, letter case aside), else the first listed.
void TarnFrm::selectRememberedSet() {
    State& s = *state_;
    if (s.listed.empty()) return;
    const std::string& file = s.settings.setFile;
    auto it = std::find_if(s.listed.begin(), s.listed.end(), [&](const std::string& n) { return n + ".TWC" == file; });
    if (it == s.listed.end())
        it = std::find_if(s.listed.begin(), s.listed.end(),
                          [&](const std::string& n) { return SameIgnoringAsciiCase(n + ".TWC", file); });
    s.platform.SetListViewSelectedKey(it == s.listed.end() ? s.listed.front() : *it);
}

// ---- Options, the list and the banner

void TarnFrm::Check1_Click(int index) {
    State& s = *state_;
    if (s.life.leaving()) return;
    if (!s.life.userMayAct()) {
        // Refused, but the toolkit has already changed the box: put it back, so that the
        // box, the rotation and what Exit writes agree.
        if (index == kCheckNormal || index == kCheckBusy) s.platform.SetCheckValue(index, roleBoxValue(s.settings, index));
        return;
    }
    checkClicked(index);
}

void TarnFrm::checkClicked(int index) {
    State& s = *state_;
    // "Auto Start" switches no role: its box only changes what Exit writes.
    if (index != kCheckNormal && index != kCheckBusy) return;
    RoleFlags flags = s.flags();
    const RoleOption option = index == kCheckNormal ? RoleOption::Normal : RoleOption::Busy;
    // Under start-up the boxes are being set from the settings (a user's click is refused
    // then): nothing was installed yet that a box turned off would put back.
    s.rotation.Check1_Click(option, s.platform.CheckValue(index), s.life.phase() == Phase::StartingUp, flags);
    s.settings.normal = flags.normal;
    s.settings.busy = flags.busy;
}

void TarnFrm::listv_DblClick() {
    State& s = *state_;
    if (!s.life.userMayAct()) return;
    Platform& p = s.platform;
    // The selected set, not the one under the pointer: the list's own selection rules.
    const std::optional<std::string> key = p.ListViewSelectedKey();
    if (!key) return;
    {
        const Lifecycle::Span acting(s.life, Phase::Acting);
        const std::string file = *key + ".TWC";
        if (!s.started()) {
            s.rotation.CaptureUserPointers();
            s.okTag = "OK";
        }
        // Remembered only once it has really loaded: one that is refused (or missing, or of
        // the wrong size) changes neither the set in use nor the name Exit writes.
        const bool loaded = LoadTWC(p, s.set, file, s.folders);
        if (loaded) s.settings.setFile = file;
        // A preview that fails is said; the set still starts rotating.
        if (loaded && !s.life.leaving()) showPreview(messages::kListvDblClick);
    }
    // A close request under one of its message boxes: the user's pointers are back, and
    // no tick may follow.
    if (s.life.leaving()) return;
    s.tracker.ResetTracker();
    p.SetTimerInterval(Timer::Timer1, s.settings.interval);
    s.okTag = "OK";
    firstTick();
}

// Rotation's first tick, at once rather than after an interval; while nobody can see the
// pointer it waits, like every tick, for the user's return.
void TarnFrm::firstTick() {
    State& s = *state_;
    if (s.life.rules().ticks) s.rotation.RotateTick(s.set.handles, s.flags());
}

// The loaded set's preview in Picture2, at the window's scaling; a failure is said under
// the step that asked for it.
void TarnFrm::showPreview(const char* step) {
    State& s = *state_;
    Platform& p = s.platform;
    try {
        p.SetPreviewPicture(s.pictures.preview(p, s.set, s.settings.setFile, s.folders));
    } catch (const std::exception& e) {
        p.MessageBox(messages::StepText(step, e.what()));
    }
}

void TarnFrm::ilist_PictureWanted(const std::string& key) {
    State& s = *state_;
    if (!s.life.leaving()) s.pictures.sharpenListPicture(s.platform, key, s.folders);
}

void TarnFrm::Picture2_PictureWanted() {
    State& s = *state_;
    if (!s.life.leaving()) s.pictures.sharpenPreview(s.platform, s.folders);
}

void TarnFrm::Image2_Click() {
    State& s = *state_;
    if (!s.life.userMayAct()) return;
    Platform& p = s.platform;
    // Its full path: the shell would otherwise look for it in the current folder.
    std::string page;
    try {
        page = Utf8FromPath(p.ProgramFolder() / std::string(layout::kSetsPage));
    } catch (const std::exception&) {
        return;  // a page that cannot be named is skipped quietly, like one that cannot be opened
    }
    // The shell may show a message of its own, with its own loop (no program for the page).
    const Lifecycle::Span acting(s.life, Phase::Acting);
    p.ShellExecute(p.FormWindow(), "open", page, "", "", kShowNormal);
}

// ---- System settings

void TarnFrm::Form_SettingChange(std::uint32_t action) {
    State& s = *state_;
    // Any setting may be the pointer size: the Settings app's own change of it comes
    // with an action Windows does not document, so none is passed over.
    measurePointerSide();
    if (action != kSpiSetCursors) return;
    // While nobody can see the pointer (on the secure desktop above all) the new scheme is
    // read once the user is back, before the first tick.
    if (s.life.away()) {
        s.schemeChangedAway = true;
        return;
    }
    // The user's new pointers are saved at once, before the next tick installs over them;
    // TarnMod knows whether the change is our own and which roles it holds.
    s.saved.SchemeChanged();
}

// ---- The user's presence

void TarnFrm::Form_SessionChange(std::uint32_t change) {
    switch (change) {
        case kWtsSessionLock: awayChanged(Away::Locked, true); break;
        case kWtsSessionUnlock: awayChanged(Away::Locked, false); break;
        // Either disconnect leaves the session with no screen; either connect gives it one.
        case kWtsConsoleDisconnect:
        case kWtsRemoteDisconnect: awayChanged(Away::Disconnected, true); break;
        case kWtsConsoleConnect:
        case kWtsRemoteConnect: awayChanged(Away::Disconnected, false); break;
        default: break;
    }
}

void TarnFrm::Form_PowerBroadcast(std::uint32_t event) {
    // A resume comes as the automatic one, and again for the user when they are there;
    // the first is enough, since a display still off or a lock still holding keeps
    // rotation resting.
    if (event == kPbtApmSuspend) awayChanged(Away::Suspended, true);
    if (event == kPbtApmResumeAutomatic || event == kPbtApmResumeSuspend) awayChanged(Away::Suspended, false);
}

void TarnFrm::Form_DisplayState(std::uint32_t state) { awayChanged(Away::DisplayOff, state == kDisplayOff); }

// Gone: Timer1 stops, so a rest costs no tick at all. Back: the scheme the user picked
// meanwhile is read first, then Timer1 runs again (at the interval it has, which a
// slide may have changed meanwhile, and only once rotation has started).
void TarnFrm::awayChanged(Away reason, bool holds) {
    State& s = *state_;
    if (!s.life.setAway(reason, holds) || s.life.leaving()) return;
    Platform& p = s.platform;
    if (s.life.away()) {
        p.SetTimerEnabled(Timer::Timer1, false);
        return;
    }
    if (std::exchange(s.schemeChangedAway, false)) s.saved.SchemeChanged();
    p.SetTimerEnabled(Timer::Timer1, true);
}

void TarnFrm::Form_DisplayChange() { measurePointerSide(); }

void TarnFrm::measurePointerSide() {
    State& s = *state_;
    // Once closing, nothing is made or installed any more.
    if (!s.life.leaving()) s.set.side = PointerSide(s.platform);
}

}  // namespace tarn
