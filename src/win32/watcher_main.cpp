// TarnwickWatch: the pointer watcher. Tarnwick starts it before it first replaces a
// system pointer, through a launch step that starts the watcher proper and ends at once,
// so the watcher is no descendant of Tarnwick and outlives the end of its process tree.
// The watcher waits for Tarnwick to end. Ended without word that the user's pointers are
// back (killed, or a crash nothing could catch), it reloads the user's configured pointer
// scheme; either way it ends at once. It has no window, no tray icon and no message, and
// holds nothing of the program's folder but its own image. Its exit code says what it did
// (watcher::Exit).
//
// Started by hand, or with arguments that are not the handles Tarnwick handed down, it
// ends at once and does nothing.
#include <string>

#include "win32/dll_search.h"
#include "win32/pointer_watcher.h"
#include "win32/program_file.h"
#include "win32/watcher_protocol.h"

namespace {

using tarn::win32::watcher::Arguments;
using tarn::win32::watcher::Exit;
using tarn::win32::watcher::Step;

int exitWith(Exit code) { return static_cast<int>(code); }

// The launch step: the watcher proper, with the same three handles; this step then ends,
// and its handles with it.
Exit launch(Arguments a) {
    const std::wstring self = tarn::win32::programFile();
    if (self.empty()) return Exit::NotLaunched;
    a.step = Step::Watch;
    return tarn::win32::watcher::startStep(self, a) ? Exit::Launched : Exit::NotLaunched;
}

Exit watch(const Arguments& a) {
    // The event first: once the pointers are back there is nothing left to watch, and a
    // program that set it before ending is seen as clean even if both are signalled.
    HANDLE both[2] = {a.done, a.program};
    const DWORD woke = ::WaitForMultipleObjects(2, both, FALSE, INFINITE);
    if (woke == WAIT_OBJECT_0) return Exit::Dismissed;
    if (woke != WAIT_OBJECT_0 + 1) return Exit::BadArguments;
    if (::WaitForSingleObject(a.done, 0) != WAIT_TIMEOUT) return Exit::Dismissed;
    // Its result is not worth acting on: there is nothing else to try, and no one to tell.
    ::SystemParametersInfoW(SPI_SETCURSORS, 0, nullptr, 0);
    return Exit::Reloaded;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR arguments, int) {
    tarn::win32::loadDllsFromTheSystemFolderOnly();
    Arguments a;
    if (!tarn::win32::watcher::parse(arguments, a)) return exitWith(Exit::BadArguments);
    // The handles must be what they claim: the program's own process, its event and a pipe.
    // Anything else (a stale or made-up number) ends the run here. The lifeline is held,
    // untouched, until this process ends.
    if (::GetProcessId(a.program) != a.programId || ::GetFileType(a.lifeline) != FILE_TYPE_PIPE)
        return exitWith(Exit::BadArguments);
    const DWORD done = ::WaitForSingleObject(a.done, 0);
    if (done == WAIT_OBJECT_0) return exitWith(Exit::Dismissed);
    if (done != WAIT_TIMEOUT) return exitWith(Exit::BadArguments);
    return exitWith(a.step == Step::Launch ? launch(a) : watch(a));
}
