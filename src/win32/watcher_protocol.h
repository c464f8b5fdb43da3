// What the program and its pointer watcher agree on: the watcher's file, beside the
// program's, and its command line. The watcher is handed two handles by inheritance,
// so nobody but the program that made them can give it a working command line:
//
//     "<folder>\TarnwickWatch.exe" <program's process id> <process handle> <done event>
//
// the id in decimal, the handles in hexadecimal. The process handle (SYNCHRONIZE and
// PROCESS_QUERY_LIMITED_INFORMATION) tells the watcher when the program has ended; the manual-reset event is set by the
// program once the user's pointers are back.
#pragma once

#include "win32/win32_api.h"

#include <cstdint>
#include <cwchar>
#include <string>

namespace tarn::win32::watcher {

inline constexpr const wchar_t* kFileName = L"TarnwickWatch.exe";

struct Arguments {
    DWORD programId = 0;
    HANDLE program = nullptr;
    HANDLE done = nullptr;
};

inline std::wstring commandLine(const std::wstring& exe, const Arguments& a) {
    wchar_t tail[80];
    std::swprintf(tail, sizeof tail / sizeof *tail, L" %lu %llx %llx", static_cast<unsigned long>(a.programId),
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(a.program)),
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(a.done)));
    return L"\"" + exe + L"\"" + tail;
}

// The arguments after the program's name; false unless they are exactly three numbers.
inline bool parse(const wchar_t* text, Arguments& out) {
    unsigned long id = 0;
    unsigned long long program = 0, done = 0;
    int used = 0;
    if (!text || std::swscanf(text, L"%lu %llx %llx %n", &id, &program, &done, &used) != 3) return false;
    if (text[used] != L'\0' || id == 0 || program == 0 || done == 0) return false;
    out.programId = static_cast<DWORD>(id);
    out.program = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(program));
    out.done = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(done));
    return true;
}

}  // namespace tarn::win32::watcher
