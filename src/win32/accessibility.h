// What a screen reader is told about the windows that are no standard control of the
// system (the knob): their name, role and value, through the system's annotation
// service. The standard controls (list, check boxes, buttons) tell it themselves.
#pragma once

#include "win32/win32_api.h"

#include <oleacc.h>

#include <string_view>

#include "shell/layout.h"

namespace tarn::win32 {

// The user-interface thread's single-threaded COM apartment: entered before the
// annotation service is asked for and before the first ShellExecute (a verb may be
// carried out by a shell extension, which is a COM object), left when the backend goes.
class ComApartment {
public:
    ComApartment() = default;
    ~ComApartment() {
        if (entered_) ::CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

    void enter() noexcept {
        if (entered_) return;
        // S_FALSE (the thread was in it already) is balanced too; a thread that chose
        // another apartment keeps it and is not balanced.
        entered_ = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
    }

private:
    bool entered_ = false;
};

class Annotations {
public:
    // Enters the apartment the service lives in. Without the service (an older system)
    // nothing is annotated and the program runs as before.
    explicit Annotations(ComApartment& com);
    ~Annotations();
    Annotations(const Annotations&) = delete;
    Annotations& operator=(const Annotations&) = delete;

    // The control's name and role from the design table.
    void describe(HWND window, const layout::Control& control) noexcept;
    // Its value, read out as it changes.
    void setValue(HWND window, std::string_view value) noexcept;
    // Before the window goes: the service keeps what it was told by window handle.
    void forget(HWND window) noexcept;

private:
    IAccPropServices* service_ = nullptr;
};

}  // namespace tarn::win32
