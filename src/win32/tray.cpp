#include "win32/tray.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "shell/tray_icon.h"
#include "toolkit/text.h"
#include "win32/failure.h"
#include "win32/handles.h"

namespace tarn::win32 {

namespace {

constexpr wchar_t kHostClass[] = L"TarnwickTrayHost";

}  // namespace

TrayHost::TrayHost(HINSTANCE instance, FormLink& form, const Dialogs& dialogs, HICON fallbackIcon)
    : form_(form), dialogs_(dialogs), fallbackIcon_(fallbackIcon) {
    WNDCLASSEXW host{};
    host.cbSize = sizeof host;
    host.lpfnWndProc = &windowProc<TrayHost, &TrayHost::onMessage>;
    host.hInstance = instance;
    host.lpszClassName = kHostClass;
    constexpr const char* kWhat = messages::kCannotCreateTrayHost;
    checked(::RegisterClassExW(&host), kWhat, "RegisterClassExW");
    taskbarCreated_ = ::RegisterWindowMessageW(L"TaskbarCreated");
    host_.reset(checked(::CreateWindowExW(WS_EX_TOOLWINDOW, kHostClass, L"Picture1", WS_POPUP, 0, 0, 0, 0, nullptr,
                                          nullptr, instance, this),
                        kWhat, "CreateWindowExW"));
}

std::uint32_t TrayHost::recordSize() noexcept { return static_cast<std::uint32_t>(NOTIFYICONDATAW_V1_SIZE); }

bool TrayHost::notify(NotifyIconMessage message, const NotifyIconRecord& record) {
    NOTIFYICONDATAW data{};
    // Always the size of the structure filled here, whatever the record says, so the
    // shell never reads past it.
    data.cbSize = NOTIFYICONDATAW_V1_SIZE;
    data.hWnd = toSystem<HWND>(record.owner);
    data.uID = record.id;
    data.uFlags = record.flags;
    data.uCallbackMessage = record.callbackMessage;
    data.hIcon = record.icon.isNull() ? fallbackIcon_ : toSystem<HICON>(record.icon);
    // The first-version layout holds 64 characters of tip, its NUL included.
    constexpr std::size_t kTipCharacters = 63;
    const std::u16string tip = toolkit::fitUtf16(toolkit::utf8ToUtf16(record.tip), kTipCharacters);
    std::copy(tip.begin(), tip.end(), data.szTip);
    if (message == NotifyIconMessage::SetVersion) {
        // The version lies beyond the first layout: this one record is the second's.
        data.cbSize = NOTIFYICONDATAW_V2_SIZE;
        data.uVersion = record.version;
    }

    return ::Shell_NotifyIconW(static_cast<DWORD>(message), &data) != FALSE;
}

LRESULT TrayHost::onMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kTrayCallbackMessage) {
        // The shell's mouse message arrives in the low word of lParam.
        form_.send([&](TarnFrm& f) { f.Picture1_MouseMove(LOWORD(lParam)); });
        return 0;
    }
    if (taskbarCreated_ != 0 && message == taskbarCreated_) {
        form_.send([](TarnFrm& f) { f.Picture1_TaskbarCreated(); });
        return 0;
    }
    if (message == WM_CLOSE) {
        // A close request (the restart manager and "End task" send one to every top-level
        // window) closes the program as one to the form does; left to the default, it
        // would destroy this window alone and leave the program without its tray icon.
        if (HWND form = dialogs_.form()) ::SendMessageW(form, WM_CLOSE, 0, 0);
        return 0;
    }
    if (message == WM_NCDESTROY) {
        host_.release();
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace tarn::win32
