// TarnMod: the keeper of the user's own pointers.
//
// Before any direction image is installed into a role, the user's pointer for that
// role is copied and kept here; it is handed back to the system when the role is
// switched off and when the program ends. This is the one place that knows whether
// a role currently shows one of our images, and its destructor puts the user's
// pointers back if nothing else did, so no way out leaves a role rotated.
#pragma once

#include <array>
#include <cstdint>

#include "platform/platform.h"

namespace tarn {

enum class Role : int { Normal = 0, AppStarting = 1, Wait = 2 };

constexpr std::uint32_t systemCursorId(Role role) {
    switch (role) {
        case Role::AppStarting: return kOcrAppStarting;
        case Role::Wait: return kOcrWait;
        default: return kOcrNormal;
    }
}

class TarnMod {
public:
    explicit TarnMod(Platform& platform) : platform_(platform) {}
    ~TarnMod();
    TarnMod(const TarnMod&) = delete;
    TarnMod& operator=(const TarnMod&) = delete;

    // Each replaces one saved copy with a copy of the pointer shown at this moment.
    void CaptureNormal() { capture(Role::Normal); }
    void CaptureAppStarting() { capture(Role::AppStarting); }
    void CaptureWait() { capture(Role::Wait); }

    // Make the saved copies the system pointers again.
    void RestoreNormal() { restore(Role::Normal); }
    void RestoreBusy() {
        restore(Role::AppStarting);
        restore(Role::Wait);
    }

    // Hands the saved copy of `role` back to the system while keeping a fresh copy of
    // it for later restores. The fresh copy is made from the user's own pointer we
    // already hold, so it never depends on what happens to lie under the pointer.
    void RestoreKeepingCopy(Role role);

    // Installs a fresh copy of `image` into the role, then releases that copy. Does
    // nothing while the user's pointer for the role has not been saved: a direction
    // image installed then could never be undone.
    void Install(Role role, CursorHandle image);

    [[nodiscard]] CursorHandle saved(Role role) const { return slot(role).saved; }

private:
    struct Slot {
        CursorHandle saved;
        bool ours = false;       // the saved copy is still ours to release (not handed to the system)
        bool installed = false;  // the role shows a direction image that a restore must undo
    };
    Slot& slot(Role r) { return slots_[static_cast<std::size_t>(r)]; }
    const Slot& slot(Role r) const { return slots_[static_cast<std::size_t>(r)]; }
    void capture(Role role);
    void restore(Role role);

    Platform& platform_;
    std::array<Slot, 3> slots_{};
};

}  // namespace tarn
