// Move-only owners for the Win32 handles the backend creates. Each releases its handle
// exactly once, in its destructor, and never throws.
#pragma once

#include "platform/win32/win32_api.h"

#include <utility>

namespace tarn::win32 {

template <class H, class Release>
class Owned {
public:
    Owned() = default;
    explicit Owned(H handle) noexcept : handle_(handle) {}
    ~Owned() { reset(); }
    Owned(Owned&& other) noexcept : handle_(std::exchange(other.handle_, H{})) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) reset(std::exchange(other.handle_, H{}));
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;

    [[nodiscard]] H get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != H{}; }
    // Gives up ownership without releasing, e.g. when the system has taken the handle over.
    H release() noexcept { return std::exchange(handle_, H{}); }
    void reset(H handle = H{}) noexcept {
        if (handle_ != H{}) Release{}(handle_);
        handle_ = handle;
    }

private:
    H handle_{};
};

struct ReleaseGdiObject {
    void operator()(HGDIOBJ h) const noexcept { ::DeleteObject(h); }
};
struct ReleaseIcon {
    void operator()(HICON h) const noexcept { ::DestroyIcon(h); }
};
struct ReleaseWindow {
    void operator()(HWND h) const noexcept { ::DestroyWindow(h); }
};
struct ReleaseKernelHandle {
    void operator()(HANDLE h) const noexcept { ::CloseHandle(h); }
};
struct ReleaseImageList {
    void operator()(HIMAGELIST h) const noexcept { ::ImageList_Destroy(h); }
};
struct ReleaseMemoryDc {
    void operator()(HDC h) const noexcept { ::DeleteDC(h); }
};

using OwnedFont = Owned<HFONT, ReleaseGdiObject>;
using OwnedBrush = Owned<HBRUSH, ReleaseGdiObject>;
using OwnedBitmap = Owned<HBITMAP, ReleaseGdiObject>;
// Icons and cursors loaded without LR_SHARED; DestroyIcon releases both kinds.
using OwnedIcon = Owned<HICON, ReleaseIcon>;
using OwnedWindow = Owned<HWND, ReleaseWindow>;
using OwnedMutex = Owned<HANDLE, ReleaseKernelHandle>;
using OwnedImageList = Owned<HIMAGELIST, ReleaseImageList>;
using OwnedDc = Owned<HDC, ReleaseMemoryDc>;

}  // namespace tarn::win32
