// The program's side of the pointer watcher (see watcher_protocol.h): starts the
// watcher process and, once the user's pointers are back, tells it so.
#pragma once

#include "win32/win32_api.h"

#include <filesystem>

#include "win32/owned.h"

namespace tarn::win32 {

class PointerWatcher {
public:
    // Starts `exe` as the watcher of this process. False, with nothing left behind, when
    // it cannot be started (the file is missing, the system refuses).
    bool start(const std::filesystem::path& exe) noexcept;
    // Sets the event the watcher waits on; it then ends touching nothing.
    void dismiss() noexcept;

private:
    OwnedKernelHandle done_;
};

}  // namespace tarn::win32
