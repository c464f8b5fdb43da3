// The form the program's windows report to. Events reach it only while it is attached,
// so nothing is delivered to a form that is being destroyed.
#pragma once

#include "shell/tarn_frm.h"
#include "win32/dialogs.h"

namespace tarn::win32 {

class FormLink {
public:
    explicit FormLink(const Dialogs& dialogs) : dialogs_(dialogs) {}

    void attach(TarnFrm* form) noexcept { form_ = form; }
    [[nodiscard]] TarnFrm* form() const noexcept { return form_; }

    // Calls `event` with the form, if one is attached.
    template <class Event>
    void send(Event&& event) {
        if (form_) event(*form_);
    }

    // The form's close request and unload, once, whichever way out gets here first (the
    // window's destruction, the end of the session, a crash): nothing once the form's
    // phase is Closed.
    void unload() noexcept {
        if (!form_ || form_->phase() == Phase::Closed) return;
        // Apart, so that a close request that fails still lets the unload put the
        // user's pointers back.
        guarded(dialogs_, [this] {
            form_->Form_QueryUnload();
            return LRESULT{0};
        });
        guarded(dialogs_, [this] {
            form_->Form_Unload();
            return LRESULT{0};
        });
    }

private:
    const Dialogs& dialogs_;
    TarnFrm* form_ = nullptr;
};

}  // namespace tarn::win32
