#include "rotation/tarn_mod.h"

#include <algorithm>

#include "platform/messages.h"

namespace tarn {

namespace {

// A watcher that keeps ending is started again no more often than this.
constexpr std::uint64_t kWatcherRestartMs = 60'000;

}  // namespace

TarnMod::~TarnMod() {
    // The last line of defence: a role still showing a direction image gets the
    // user's pointer back. Nothing here may throw.
    RestoreAll();
}

void TarnMod::capture(Role role) {
    // After the final restore nothing is kept any more: a copy made now would never be
    // released, and a watcher started now would never be dismissed.
    if (restoredForGood_) return;
    // Before the first copy of the user's pointers, so the watcher is there before
    // anything of theirs can be replaced.
    if (watcher_ == Watcher::NotTried)
        watcher_ = platform_.StartPointerWatcher() ? Watcher::Running : Watcher::Failed;
    Slot& s = slot(role);
    if (s.installed) return;
    const CursorHandle fresh = platform_.CopyImage(platform_.LoadCursor(systemCursorId(role)));
    // A copy replaced without a restore in between would otherwise be lost for good.
    release(s);
    s.saved = fresh;
    s.ours = !fresh.isNull();
}

bool TarnMod::ReloadSystemCursors() {
    reloading_ = true;
    const bool reloaded = platform_.ReloadSystemCursors();
    reloading_ = false;
    return reloaded;
}

void TarnMod::SchemeChanged() {
    if (reloading_ || restoredForGood_) return;
    std::array<bool, 3> held{};
    for (Role r : {Role::Normal, Role::AppStarting, Role::Wait})
        held[static_cast<std::size_t>(r)] = slot(r).holdsCopy();
    if (held == std::array<bool, 3>{}) return;
    // Reloaded once more by us, so that what is copied next is the user's scheme and never
    // a direction image of ours, whoever sent the word. Its result is not worth acting on:
    // the system has reloaded it itself when the word is true.
    ReloadSystemCursors();
    for (Role r : {Role::Normal, Role::AppStarting, Role::Wait}) {
        if (!held[static_cast<std::size_t>(r)]) continue;
        slot(r).installed = false;  // the reload put the user's pointer back
        capture(r);
    }
}

void TarnMod::release(Slot& s) {
    if (s.holdsCopy()) platform_.DestroyCursor(s.saved);
    s.ours = false;
}

void TarnMod::restore(Role role) {
    Slot& s = slot(role);
    if (!s.installed) {
        // Nothing of ours is shown: handing the copy back would only replace the user's
        // own pointer with a copy of it, which may have lost its animation.
        release(s);
        s.saved = {};
        return;
    }
    // A copy already handed to the system belongs to it (Windows destroys it); passing
    // it a second time would hand over a dead handle.
    if (!s.saved.isNull() && !s.ours) return;
    // A refused restore leaves the direction image showing and the copy ours: the role
    // still counts as replaced, so the next restore tries again.
    if (!platform_.SetSystemCursor(s.saved, systemCursorId(role))) return;
    // The system owns the copy now; it is never passed again or released by us.
    if (!s.saved.isNull()) {
        s.ours = false;
        s.installed = false;
    }
}

void TarnMod::RestoreAll() {
    // Whatever handler is still on its way (one whose message box let the close
    // through) finds the roles closed from here on.
    restoredForGood_ = true;
    // A copy is one picture of one size; the reload is the user's own files again.
    if (anyInstalled() && ReloadSystemCursors())
        for (Slot& s : slots_) s.installed = false;
    for (Role r : {Role::Normal, Role::AppStarting, Role::Wait}) restore(r);
    dismissWatcher();
}

void TarnMod::reloadOrRestore(std::initializer_list<Role> roles) {
    if (std::none_of(roles.begin(), roles.end(), [&](Role r) { return slot(r).installed; })) return;
    if (ReloadSystemCursors()) {
        // Every role shows the user's pointer again; the copies stay, for the next restore.
        for (Slot& s : slots_) s.installed = false;
        return;
    }
    for (Role r : roles) RestoreKeepingCopy(r);
}

void TarnMod::RestoreNormal() { reloadOrRestore({Role::Normal}); }

void TarnMod::RestoreBusy() { reloadOrRestore({Role::AppStarting, Role::Wait}); }

void TarnMod::dismissWatcher() {
    if (watcher_ != Watcher::Running) return;
    platform_.DismissPointerWatcher();
    watcher_ = Watcher::Dismissed;
}

bool TarnMod::anyInstalled() const {
    return slot(Role::Normal).installed || slot(Role::AppStarting).installed || slot(Role::Wait).installed;
}

void TarnMod::KeepWatching() {
    // Nothing of ours shown, or shown no more: nothing for a watcher to repair.
    if (restoredForGood_ || !anyInstalled()) return;
    if (watcher_ == Watcher::Running && platform_.PointerWatcherEnded()) watcher_ = Watcher::Ended;
    if (watcher_ != Watcher::Ended) return;
    const std::uint64_t now = platform_.GetTickCount64();
    if (restartedAt_ && now - *restartedAt_ < kWatcherRestartMs) return;
    restartedAt_ = now;
    if (platform_.StartPointerWatcher()) {
        watcher_ = Watcher::Running;
        return;
    }
    if (restartFailureSaid_) return;
    restartFailureSaid_ = true;
    platform_.MessageBox(messages::StepText(messages::kKeepWatching, messages::kWatcherNotRestarted));
}

void TarnMod::RestoreKeepingCopy(Role role) {
    Slot& s = slot(role);
    if (!s.installed) return;
    const CursorHandle keep = s.saved.isNull() ? CursorHandle{} : platform_.CopyImage(s.saved);
    restore(role);
    if (s.installed) {  // refused: the copy we had stays the one to hand back
        if (!keep.isNull()) platform_.DestroyCursor(keep);
        return;
    }
    s.saved = keep;
    s.ours = !keep.isNull();
}

void TarnMod::Install(Role role, CursorHandle image) {
    if (image.isNull()) {
        RestoreKeepingCopy(role);
        return;
    }
    Slot& s = slot(role);
    if (restoredForGood_ || s.saved.isNull()) return;
    const CursorHandle copy = platform_.CopyIcon(image);
    if (copy.isNull()) return;
    // Only a copy the system took shows: a refused one leaves the user's pointer there.
    if (platform_.SetSystemCursor(copy, systemCursorId(role))) s.installed = true;
    platform_.DestroyIcon(copy);
}

}  // namespace tarn
