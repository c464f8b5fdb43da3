// Starting the pointer watcher (see watcher_protocol.h): the program's side, which starts
// the launch step, sees the watcher end by its lifeline and, once the user's pointers are
// back, tells the watcher so; and the start of one step, which the launch step uses to
// start the watcher itself.
#pragma once

#include "win32/win32_api.h"

#include <filesystem>
#include <string>

#include "win32/owned.h"
#include "win32/watcher_protocol.h"

namespace tarn::win32 {

class PointerWatcher {
public:
    // Starts `exe` as the watcher of this process, through its launch step, and waits
    // for that step to end; true at once while the watcher it started last runs. False,
    // with nothing left running, when it cannot be started (the file is missing, the
    // system refuses).
    bool start(const std::filesystem::path& exe) noexcept;
    // Sets the event the watcher waits on; it then ends touching nothing.
    void dismiss() noexcept;
    // The watcher started last has ended, however: nothing holds its lifeline any more.
    [[nodiscard]] bool ended() const noexcept;

private:
    OwnedKernelHandle done_;
    OwnedKernelHandle lifeline_;  // the pipe's reading end; the watcher holds its writing end
};

namespace watcher {

// Starts `exe` as step `a.step`: no window, no busy pointer, no standard handles, the
// system's folder as its current one, exactly a's three handles inherited, and out of the
// job of the caller where the job allows it, so ending the job does not end the step.
// The started process, or none.
OwnedKernelHandle startStep(const std::wstring& exe, const Arguments& a) noexcept;

}  // namespace watcher

}  // namespace tarn::win32
