// Starting the pointer watcher (see watcher_protocol.h): the program's side, which starts
// the launch step and, once the user's pointers are back, tells the watcher so; and the
// start of one step, which the launch step uses to start the watcher itself.
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
    // for that step to end. False, with nothing left behind, when it cannot be started
    // (the file is missing, the system refuses).
    bool start(const std::filesystem::path& exe) noexcept;
    // Sets the event the watcher waits on; it then ends touching nothing.
    void dismiss() noexcept;

private:
    OwnedKernelHandle done_;
};

namespace watcher {

// Starts `exe` as step `a.step`: no window, no busy pointer, no standard handles, the
// system's folder as its current one, exactly a's two handles inherited, and out of the
// job of the caller where the job allows it, so ending the job does not end the step.
// The started process, or none.
OwnedKernelHandle startStep(const std::wstring& exe, const Arguments& a) noexcept;

}  // namespace watcher

}  // namespace tarn::win32
