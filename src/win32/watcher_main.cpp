// TarnwickWatch: the pointer watcher. Tarnwick starts it before it first replaces a
// system pointer; it waits for Tarnwick to end. Ended without word that the user's
// pointers are back (killed, or a crash nothing could catch), it reloads the user's
// configured pointer scheme; either way it ends at once. It has no window, no tray icon
// and no message, and holds nothing of the program's folder but its own image.
//
// Started by hand, or with arguments that are not the handles Tarnwick handed down, it
// ends at once and does nothing.
#include "win32/dll_search.h"
#include "win32/watcher_protocol.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR arguments, int) {
    using namespace tarn::win32;
    loadDllsFromTheSystemFolderOnly();
    watcher::Arguments a;
    if (!watcher::parse(arguments, a)) return 0;
    // The handles must be what they claim: the program's own process, and an event it
    // has not set yet. Anything else (a stale or made-up number) ends the watch here.
    if (::GetProcessId(a.program) != a.programId) return 0;
    if (::WaitForSingleObject(a.done, 0) != WAIT_TIMEOUT) return 0;

    // The event first: once the pointers are back there is nothing left to watch, and a
    // program that set it before ending is seen as clean even if both are signalled.
    HANDLE both[2] = {a.done, a.program};
    const DWORD woke = ::WaitForMultipleObjects(2, both, FALSE, INFINITE);
    if (woke != WAIT_OBJECT_0 + 1) return 0;
    if (::WaitForSingleObject(a.done, 0) != WAIT_TIMEOUT) return 0;
    // Its result is not worth acting on: there is nothing else to try, and no one to tell.
    ::SystemParametersInfoW(SPI_SETCURSORS, 0, nullptr, 0);
    return 0;
}
