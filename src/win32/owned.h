// Owners for the Win32 handles the backend creates, and scopes for the pairs of calls
// that must match (BeginPaint and EndPaint, GetDC and ReleaseDC, SelectObject and its
// undo). Each releases exactly once, in its destructor, and never throws.
#pragma once

#include "win32/win32_api.h"

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
struct ReleaseFindHandle {
    void operator()(HANDLE h) const noexcept { ::FindClose(h); }
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
using OwnedKernelHandle = Owned<HANDLE, ReleaseKernelHandle>;
using OwnedFindHandle = Owned<HANDLE, ReleaseFindHandle>;
using OwnedImageList = Owned<HIMAGELIST, ReleaseImageList>;
using OwnedDc = Owned<HDC, ReleaseMemoryDc>;

// A paint of one window: BeginPaint now, EndPaint at the end of the scope.
class PaintScope {
public:
    explicit PaintScope(HWND window) noexcept : window_(window), dc_(::BeginPaint(window, &paint_)) {}
    ~PaintScope() { ::EndPaint(window_, &paint_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    [[nodiscard]] HDC dc() const noexcept { return dc_; }
    [[nodiscard]] const RECT& dirty() const noexcept { return paint_.rcPaint; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

// A window's device context (the screen's for no window), released at the end of the scope.
class WindowDc {
public:
    explicit WindowDc(HWND window = nullptr) noexcept : window_(window), dc_(::GetDC(window)) {}
    ~WindowDc() {
        if (dc_) ::ReleaseDC(window_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    [[nodiscard]] HDC get() const noexcept { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// An object selected into a device context, the previous one put back at the end of the scope.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) noexcept : dc_(dc), previous_(::SelectObject(dc, object)) {}
    ~Selection() {
        if (previous_) ::SelectObject(dc_, previous_);
    }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

}  // namespace tarn::win32
