// Where the programs' DLLs come from. A portable program is often run from a Downloads
// folder, where a DLL planted beside it would otherwise be found before the system's
// own: after this call every DLL loaded at run time, by the program or by the system on
// its behalf, comes from the system folder only. Called first thing by both programs.
#pragma once

#include "win32/win32_api.h"

namespace tarn::win32 {

inline void loadDllsFromTheSystemFolderOnly() noexcept {
    // Looked up rather than imported: Windows 7 has it only with an update, and a
    // program that imported it would not start at all there. Without it the search
    // stays as it was.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    const auto setDirectories = reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    if (setDirectories) setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace tarn::win32
