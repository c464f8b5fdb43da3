// The program's entry: process-wide settings, the backend, the form, the message loop,
// and the last line of defence that puts the user's pointers back.
#include <exception>
#include <memory>

#include "platform/messages.h"
#include "win32/dll_search.h"
#include "win32/win32_platform.h"
#include "shell/tarn_frm.h"

namespace {

tarn::win32::Win32Platform* g_platform = nullptr;

void becomeDpiAware() {
    // Per-monitor v2 where the system has it (Windows 10 1703 on), else system-wide.
    using tarn::win32::SystemFunction;
    const auto setContext = SystemFunction<BOOL(WINAPI*)(HANDLE)>(L"user32.dll", "SetProcessDpiAwarenessContext");
    if (setContext && setContext(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4)))) return;
    const auto setAware = SystemFunction<BOOL(WINAPI*)()>(L"user32.dll", "SetProcessDPIAware");
    if (setAware) setAware();
}

LONG WINAPI onCrash(EXCEPTION_POINTERS*) {
    if (g_platform) g_platform->emergencyUnload();
    return EXCEPTION_EXECUTE_HANDLER;
}

[[noreturn]] void onTerminate() {
    if (g_platform) g_platform->emergencyUnload();
    std::abort();
}

// Detaches the form from the backend before the form is destroyed.
struct Attachment {
    tarn::win32::Win32Platform& platform;
    Attachment(tarn::win32::Win32Platform& p, tarn::TarnFrm& form) : platform(p) {
        platform.attach(&form);
        g_platform = &platform;
    }
    ~Attachment() {
        g_platform = nullptr;
        platform.attach(nullptr);
    }
    Attachment(const Attachment&) = delete;
    Attachment& operator=(const Attachment&) = delete;
};

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // Before anything can load a DLL.
    tarn::win32::loadDllsFromTheSystemFolderOnly();
    becomeDpiAware();
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    ::SetUnhandledExceptionFilter(onCrash);
    std::set_terminate(onTerminate);

    std::unique_ptr<tarn::win32::Win32Platform> platform;
    try {
        platform = std::make_unique<tarn::win32::Win32Platform>(instance);
    } catch (const std::exception& e) {
        // Nothing has been touched yet; say why (in the program's usual box, with no
        // window to own it) and stop.
        tarn::win32::Dialogs{}.failure(e.what());
        return 1;
    }
    tarn::TarnFrm form(*platform);
    Attachment attachment(*platform, form);
    try {
        platform->load();
        return platform->run();
    } catch (const std::exception& e) {
        platform->showError(e.what());
    } catch (...) {
        platform->showError(tarn::messages::kUnexpectedError);
    }
    platform->emergencyUnload();
    return 1;
}
