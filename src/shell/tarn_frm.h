// TarnFrm: the main form. It owns all of the program's state for its lifetime and
// reacts to the events the backend delivers, one handler per control and event.
// Everything it does to the system goes through the Platform it is given.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/platform.h"
#include "shell/lifecycle.h"

namespace tarn {

struct Settings;

namespace layout {
struct KeyMessage;
struct KeyOutcome;
}  // namespace layout

class TarnFrm {
public:
    explicit TarnFrm(Platform& platform);
    ~TarnFrm();
    TarnFrm(const TarnFrm&) = delete;
    TarnFrm& operator=(const TarnFrm&) = delete;

    // ---- Lifecycle
    void Form_Load();
    // Any close of the form: the close request, then the unload. Safe to call more than once.
    void Form_QueryUnload();
    void Form_Unload();
    // A system setting changed (WM_SETTINGCHANGE); `action` is the SystemParametersInfo
    // action it carries. Only a reload of the user's pointer scheme concerns the form; a
    // high-contrast theme changes what the backend draws for the colours the form set.
    void Form_SettingChange(std::uint32_t action);
    // The displays changed (WM_DISPLAYCHANGE: a monitor added or removed, a resolution),
    // or the window's scaling did (WM_DPICHANGED): the size pointers are drawn at may
    // have changed with them.
    void Form_DisplayChange();

    // ---- Timers
    void Timer1_Timer();
    void Timer2_Timer();

    // ---- The tray icon's notifications: the shell's mouse message (0x200 ... 0x209), or
    // its word that the icon was chosen (NIN_SELECT, NIN_KEYSELECT).
    void Picture1_MouseMove(std::uint32_t mouseMessage);
    // The task bar (re)started and shows no icons (the shell's TaskbarCreated message).
    void Picture1_TaskbarCreated();

    // ---- Labels (their indexes are named in layout.h) and surfaces that reset their colours
    void lbl_MouseDown(int index, int button);
    void lbl_MouseMove(int index, int button);
    void lbl_Click(int index);
    void Form_MouseMove();
    void listv_MouseMove();
    void Picture2_MouseMove();
    void ResetLabelColors();

    // ---- The sensitivity slider's knob
    void picSlider_MouseDown(int button);
    void picSlider_MouseMove(int button);
    // Left and Right: to the nearest place that changes the interval; Home and End: to the ends.
    void picSlider_KeyDown(int key);

    // ---- The keyboard. Every key message that reaches the window or one of its controls
    // comes here first (the toolkit's key preview): the form acts on it, refuses it, or
    // leaves it to the control, as the outcome says (key_routing.h).
    layout::KeyOutcome Form_KeyPreview(const layout::KeyMessage& key);
    // A key for the whole window (Esc hides it to the tray)
    void Form_KeyDown(int key);

    // ---- Option check boxes ("Auto Start", "Normal Cursor", "HourGlass Cursor", by their
    // indexes in layout.h); the toolkit has already changed the box's value when it
    // raises the click.
    void Check1_Click(int index);

    // ---- The list of cursor sets and the link banner
    void listv_DblClick();
    void Image2_Click();
    // The window shows a set's picture in the list (under `key` in the image list), or
    // the preview, at another size than it was made for (the display scaling is not
    // 100 %, or changed): the form may give it one made for that size. Not a user's
    // action: it may come at any time, also under a message box.
    void ilist_PictureWanted(const std::string& key);
    void Picture2_PictureWanted();

    // Where the form is in its life (lifecycle.h): the backend shows the window once
    // start-up leaves it Ready, and runs the unload only while it is not Closed.
    [[nodiscard]] Phase phase() const;

    // Everything the form holds; defined in tarn_frm_state.h.
    struct State;

private:
    void okAction();
    void exitAction();
    void stopLoading();
    // Start-up's settings, then its list of sets. False when start-up goes no further: a
    // close request came under one of their boxes, or the list could not be built.
    bool loadSettingsAndList();
    void showSettings(const std::optional<Settings>& read);
    void showPreview(const char* step);
    // The role options' boxes as the settings have them, and the roles with them.
    void showRoleOptions();
    void checkClicked(int index);
    void slideTo(std::int32_t position);
    // The knob to its place at a slider position, at the window's scaling.
    void placeKnob(std::int32_t position);
    void describeSlider();
    // The size Windows draws pointers at now, for the set's pointers: the next tick makes
    // them anew when it changed.
    void measurePointerSide();
    void selectRememberedSet();

    std::unique_ptr<State> state_;
};

}  // namespace tarn
