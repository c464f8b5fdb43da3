#include "rotation/tarn_mod.h"

namespace tarn {

TarnMod::~TarnMod() {
    // The last line of defence: a role still showing a direction image gets the
    // user's pointer back. Nothing here may throw.
    for (Role r : {Role::Normal, Role::AppStarting, Role::Wait}) {
        Slot& s = slot(r);
        if (s.installed) {
            restore(r);
        } else if (s.ours && !s.saved.isNull()) {
            platform_.DestroyIcon(s.saved);
            s.ours = false;
        }
    }
}

void TarnMod::capture(Role role) {
    Slot& s = slot(role);
    const CursorHandle fresh = platform_.CopyIcon(platform_.GetCursor());
    // A copy replaced without a restore in between would otherwise be lost for good.
    if (s.ours && !s.saved.isNull()) platform_.DestroyIcon(s.saved);
    s.saved = fresh;
    s.ours = !fresh.isNull();
}

void TarnMod::restore(Role role) {
    Slot& s = slot(role);
    // A copy already handed to the system belongs to it (Windows destroys it); passing
    // it a second time would hand over a dead handle.
    if (!s.saved.isNull() && !s.ours) return;
    platform_.SetSystemCursor(s.saved, systemCursorId(role));
    // The system owns the copy now; it is never passed again or released by us.
    if (!s.saved.isNull()) {
        s.ours = false;
        s.installed = false;
    }
}

void TarnMod::RestoreKeepingCopy(Role role) {
    Slot& s = slot(role);
    const CursorHandle keep = s.saved.isNull() ? CursorHandle{} : platform_.CopyIcon(s.saved);
    restore(role);
    s.saved = keep;
    s.ours = !keep.isNull();
}

void TarnMod::Install(Role role, CursorHandle image) {
    Slot& s = slot(role);
    if (s.saved.isNull() || image.isNull()) return;
    const CursorHandle copy = platform_.CopyIcon(image);
    if (copy.isNull()) return;
    platform_.SetSystemCursor(copy, systemCursorId(role));
    platform_.DestroyIcon(copy);
    s.installed = true;
}

}  // namespace tarn
