// TarnMod: the keeper of the user's own pointers.
//
// Before any direction image is installed into a role, the user's pointer for that
// role is copied and kept here; it is handed back to the system when the role is
// switched off and when the program ends. This is the one place that knows whether
// a role currently shows one of our images, and its destructor puts the user's
// pointers back if nothing else did, so no way out leaves a role rotated.
//
// The user's pointer of a role is read from the system (LoadCursor of the role's id),
// so where the mouse pointer happens to lie never matters and it is never moved.
// The copies are made with CopyImage, which keeps an animated pointer (the busy
// pointers usually are) animated where the system allows; a role that never showed
// a direction image is never handed anything, so it stays exactly as the user had it.
// The first capture also starts the pointer watcher, which reloads the user's scheme
// should the program be ended before it could restore; KeepWatching starts it again
// should it end while a direction image is shown; RestoreAll dismisses it.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>

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

    // Each replaces one saved copy with a copy of its role's system pointer as the system
    // shows it now, read wherever the mouse pointer lies. A role that shows a direction
    // image keeps the copy it has: the system would only hand back our own image.
    void CaptureNormal() { capture(Role::Normal); }
    void CaptureAppStarting() { capture(Role::AppStarting); }
    void CaptureWait() { capture(Role::Wait); }

    // Reloads the user's configured pointer scheme as the program's own change: the
    // setting change it may raise is not taken for the user's (see SchemeChanged).
    bool ReloadSystemCursors();

    // The user's pointer scheme was reloaded into every system pointer (they picked
    // another scheme, size or colour while we rotate). Each role we hold a copy of gets a
    // fresh copy of their new pointer in place of the old one, so a later restore puts
    // back what they chose last, also for a role ticked on later. Ignored while our own
    // reload runs, before the first capture and after the final restore.
    void SchemeChanged();

    // The restore at the end of the program. While a role shows a direction image the
    // system reloads the user's scheme (ReloadSystemCursors), which puts back their own
    // pointers, at the size and with the animation of their files, into every role. Only
    // where that reload fails do the saved copies become the system pointers again, for
    // the roles that show a direction image, normal first, then app-starting, then wait.
    // The other copies are released. Then the word to the watcher that the user's
    // pointers are back. Nothing is installed after it: they are back for good.
    void RestoreAll();

    // A role option unticked: the user's pointers back in the normal role, or in both
    // busy roles, the way RestoreAll puts them back (the scheme reloaded, else the saved
    // copies, each kept as a fresh copy for later). The reload puts back every role; a
    // role still ticked gets its direction image again at the next tick. A role that
    // shows no direction image is left as it is.
    void RestoreNormal();
    void RestoreBusy();

    // Hands the saved copy of `role` back to the system while keeping a fresh copy of
    // it for later restores. The fresh copy is made from the user's own pointer we
    // already hold, so it never depends on what happens to lie under the pointer. A
    // role that shows no direction image is left as it is. A direction without an image
    // comes here at a tick, which must not make the system read the user's files again.
    void RestoreKeepingCopy(Role role);

    // Run at every tick, before its installs. A watcher that was running and has ended
    // (killed, or died) is started again while a role shows a direction image, since a
    // kill of the program would otherwise leave that image: at most once a minute, and
    // again when the minute has passed if it is still needed. A watcher that cannot be
    // started again is said once a run ("KeepWatching"). One that could not be started
    // at the first capture is not tried again, and nothing is started after RestoreAll.
    void KeepWatching();

    // Installs a fresh copy of `image` into the role, then releases that copy. Does
    // nothing while the user's pointer for the role has not been saved, nor once
    // RestoreAll has run: a direction image installed then could never be undone.
    // A null image (a direction the set has no pointer for) puts the user's own pointer
    // back, keeping a copy (RestoreKeepingCopy): another direction's image must not stay
    // as though it pointed this way.
    void Install(Role role, CursorHandle image);

    [[nodiscard]] CursorHandle saved(Role role) const { return slot(role).saved; }
    [[nodiscard]] bool installed(Role role) const { return slot(role).installed; }
    // The watcher was started (at the first capture) and not yet dismissed.
    [[nodiscard]] bool watching() const { return watcher_ == Watcher::Running; }

private:
    struct Slot {
        CursorHandle saved;
        bool ours = false;       // the saved copy is still ours to release (not handed to the system)
        bool installed = false;  // the role shows a direction image that a restore must undo
        // A copy of the user's pointer is here and still ours to release.
        [[nodiscard]] bool holdsCopy() const { return ours && !saved.isNull(); }
    };
    Slot& slot(Role r) { return slots_[static_cast<std::size_t>(r)]; }
    const Slot& slot(Role r) const { return slots_[static_cast<std::size_t>(r)]; }
    void capture(Role role);
    void restore(Role role);
    // The user's scheme reloaded in place of our images, else `roles` given their
    // copies back, each keeping a fresh one.
    void reloadOrRestore(std::initializer_list<Role> roles);
    void release(Slot& s);
    void dismissWatcher();
    [[nodiscard]] bool anyInstalled() const;

    // The watcher is first tried at the first capture, where a failure is final for the
    // run; once it ran, its end makes it wanted again (Ended) until a start succeeds.
    enum class Watcher { NotTried, Running, Failed, Ended, Dismissed };

    Platform& platform_;
    std::array<Slot, 3> slots_{};
    Watcher watcher_ = Watcher::NotTried;
    std::optional<std::uint64_t> restartedAt_;  // the clock at the last try to start it again
    bool restartFailureSaid_ = false;
    bool restoredForGood_ = false;  // RestoreAll ran
    bool reloading_ = false;  // our own reload of the scheme is under way
};

}  // namespace tarn
