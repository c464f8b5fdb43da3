// Where the programs' DLLs come from. A portable program is often run from a Downloads
// folder, where a DLL planted beside it would otherwise be found before the system's
// own: after this call every DLL loaded at run time, by the program or by the system on
// its behalf, comes from the system folder only. Called first thing by both programs.
#pragma once

#include "win32/win32_api.h"

namespace tarn::win32 {

// A system function that older Windows lack, looked up rather than imported (a program
// importing it would not start there at all); null where the system has none. A DLL the
// program has not loaded yet is loaded from the system folder.
template <class Fn>
Fn SystemFunction(const wchar_t* dll, const char* name) noexcept {
    HMODULE module = ::GetModuleHandleW(dll);
    if (!module) module = ::LoadLibraryExW(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name))) : nullptr;
}

inline void loadDllsFromTheSystemFolderOnly() noexcept {
    // Windows 7 has it only with an update. Without it the search stays as it was.
    const auto setDirectories =
        SystemFunction<BOOL(WINAPI*)(DWORD)>(L"kernel32.dll", "SetDefaultDllDirectories");
    if (setDirectories) setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace tarn::win32
