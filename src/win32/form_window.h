// The form's window: its classes, the creation of the form, its frames, check boxes and
// knob at the monitor's DPI, its fonts, its timers, and the window procedures that turn
// messages into the form's events. The list view, the painting and the tray belong to
// their own areas; this one places and routes to them.
#pragma once

#include "win32/win32_api.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/platform.h"
#include "shell/layout.h"
#include "shell/mouse_routing.h"
#include "toolkit/timer_gate.h"
#include "win32/accessibility.h"
#include "win32/dialogs.h"
#include "win32/form_link.h"
#include "win32/owned.h"
#include "win32/painting.h"
#include "win32/presence.h"
#include "win32/set_list.h"
#include "win32/tick_timer.h"

namespace tarn::win32 {

class FormWindow {
public:
    // Creates every window hidden, at the primary monitor's DPI, centred on its work area.
    FormWindow(HINSTANCE instance, FormLink& form, Dialogs& dialogs, SetList& list, Painter& painter,
               Annotations& annotations);
    ~FormWindow();
    FormWindow(const FormWindow&) = delete;
    FormWindow& operator=(const FormWindow&) = delete;

    [[nodiscard]] HWND handle() const noexcept { return form_.get(); }
    [[nodiscard]] HWND knob() const noexcept { return knob_; }
    [[nodiscard]] double twipsPerPixel() const noexcept { return tpp_; }
    [[nodiscard]] TwipsRect rectTwips() const;
    [[nodiscard]] TwipsRect knobRectTwips() const;
    void setKnobLeftTwips(double left);

    // Shows the window, first bringing it back onto a monitor if its title strip left
    // them, with the keyboard on the list.
    void show();
    void hide();
    void setLabelColor(int index, std::uint32_t color);
    void setCheck(int index, int value);
    [[nodiscard]] int check(int index) const;
    void setTimerEnabled(Timer timer, bool enabled);
    void setTimerInterval(Timer timer, std::int32_t milliseconds);
    void invalidate(const layout::Control& control);

    [[nodiscard]] const Dialogs& dialogs() const noexcept { return dialogs_; }

private:
    // The check boxes report as command ids from here, by their index; the buttons by
    // their row of the design table.
    static constexpr int kCheckIdBase = 100;
    static constexpr int kButtonIdBase = 300;
    // The subclass that shows each control's keys to the form first.
    static constexpr UINT_PTR kKeySubclassId = 0x4B;

    // Creation and layout (form_window.cpp)
    void registerClasses();
    void createControls();
    // Everything at a monitor's DPI: places, fonts, the pictures and icons made for it.
    void applyDpi(unsigned dpi, const RECT* suggested);
    // The window's icons (the task switcher's and the small one) at the DPI.
    void applyIcons();
    // The high-contrast theme or the system's colours changed: everything is drawn afresh.
    void applyTheme();
    // Puts a window whose title strip left the monitors back onto the nearest one.
    void bringOntoMonitor();
    [[nodiscard]] HWND frameWindow(layout::Container container) const;
    [[nodiscard]] HWND containerWindow(layout::Container container) const;
    [[nodiscard]] HWND windowOf(const layout::Control& control) const;
    // The row of the design table a window of the form stands for.
    [[nodiscard]] std::optional<std::size_t> rowOf(HWND window) const;
    [[nodiscard]] RECT knobInFrame() const;
    [[nodiscard]] TwipsRect twips(const RECT& pixels) const;
    void applyTimer(Timer timer, toolkit::TimerGate::Action action);
    void onTimer(UINT_PTR id);
    void onTick();

    // The keyboard (form_events.cpp). Every key message (down, up, character) that
    // reaches the window or a control, however it was dispatched (the message loop,
    // DoEvents, a message box's own loop), goes to the form's key preview first, which
    // acts on it or refuses it; Tab and Shift+Tab move the focus round the tab stops.
    // Nothing when the control may have it.
    std::optional<LRESULT> onKey(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK keyProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);

    // Window procedures and mouse routing (form_events.cpp)
    LRESULT onForm(HWND, UINT, WPARAM, LPARAM);
    LRESULT onFrame(HWND, UINT, WPARAM, LPARAM);
    LRESULT onKnob(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK buttonProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    LRESULT onButton(HWND, std::size_t row, UINT, WPARAM, LPARAM);
    [[nodiscard]] PaintContext paintContext();
    // Shared by the form and the frames: painting, pointers, mouse.
    std::optional<LRESULT> onSurface(HWND, layout::Container, UINT, WPARAM, LPARAM);
    // A mouse move, press or release at a point in `from`'s pixels (the surface of
    // `container` or a button over it) becomes the form's event; false for any other message.
    bool onMouse(HWND from, layout::Container container, UINT message, WPARAM wParam, LPARAM lParam);
    void dispatch(const layout::FormEvent& event);
    bool setPointer(HWND window, layout::Container container, HWND over);
    [[nodiscard]] HCURSOR cursorFor(layout::Pointer pointer) const;
    void childrenGone() noexcept;

    HINSTANCE instance_;
    FormLink& link_;
    Dialogs& dialogs_;
    SetList& list_;
    Painter& painter_;
    Annotations& annotations_;
    OwnedIcon hand_;
    OwnedIcon bigIcon_;
    OwnedIcon smallIcon_;
    unsigned dpi_ = 96;
    double tpp_ = 15.0;
    FontTable fonts_;
    std::array<toolkit::TimerGate, 2> timers_{};
    TickTimer ticks_;  // Timer1's carrier; Timer2 is a system timer
    PresenceNotices presence_;
    layout::PressTracker press_;

    OwnedWindow form_;
    // Child windows belong to their parent and go with it.
    std::array<HWND, 5> frames_{};  // Frame1 ... Frame5
    std::array<HWND, layout::kCheckBoxes> checks_{};
    // The label buttons and the banner: buttons drawn as the design draws them, so the
    // keyboard and a screen reader reach them as buttons. By row of the design table.
    std::array<HWND, layout::kControls.size()> buttons_{};
    HWND knob_ = nullptr;
    HWND focusBefore_ = nullptr;  // the control with the keyboard when the form lost it
};

}  // namespace tarn::win32
