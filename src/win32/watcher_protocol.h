// What the program and its pointer watcher agree on: the watcher's file, beside the
// program's, its command line and its exit codes. The watcher is handed three handles by
// inheritance, so nobody but the program that made them can give it a working command
// line:
//
//     "<folder>\TarnwickWatch.exe" <step> <program's process id> <process handle> <done event> <lifeline>
//
// the step a word, the id in decimal, the handles in hexadecimal. The process handle
// (SYNCHRONIZE and PROCESS_QUERY_LIMITED_INFORMATION) tells the watcher when the program
// has ended; the manual-reset event is set by the program once the user's pointers are
// back. The lifeline is the writing end of a pipe whose reading end only the program
// holds; the watcher holds it, never using it, until it ends, however it ends: the
// program then finds the pipe broken and knows that nothing watches over it any more.
//
// The program starts the "launch" step, which starts the "watch" step with the same three
// handles and ends at once: the watcher that stays is then no descendant of the program,
// so ending the program's process tree does not end it too.
#pragma once

#include "win32/win32_api.h"

#include <cstdint>
#include <cwchar>
#include <string>

namespace tarn::win32::watcher {

inline constexpr const wchar_t* kFileName = L"TarnwickWatch.exe";

enum class Step { Launch, Watch };

// What one run of the watcher's program did, as its exit code.
enum class Exit : DWORD {
    Dismissed = 0,     // the program said its pointers were back: nothing was touched
    Reloaded = 1,      // the program ended without that word: the user's scheme was reloaded
    BadArguments = 2,  // not started by the program, or with handles that are not its own
    Launched = 3,      // the launch step started the watcher and handed the handles on
    NotLaunched = 4,   // the launch step could not start the watcher
};

struct Arguments {
    Step step = Step::Watch;
    DWORD programId = 0;
    HANDLE program = nullptr;
    HANDLE done = nullptr;
    HANDLE lifeline = nullptr;
};

inline const wchar_t* stepWord(Step step) { return step == Step::Launch ? L"launch" : L"watch"; }

inline std::wstring commandLine(const std::wstring& exe, const Arguments& a) {
    wchar_t tail[128];
    std::swprintf(tail, sizeof tail / sizeof *tail, L" %ls %lu %llx %llx %llx", stepWord(a.step),
                  static_cast<unsigned long>(a.programId),
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(a.program)),
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(a.done)),
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(a.lifeline)));
    return L"\"" + exe + L"\"" + tail;
}

// The arguments after the program's name; false unless they are exactly a step's word
// and four numbers.
inline bool parse(const wchar_t* text, Arguments& out) {
    wchar_t word[8] = {};
    unsigned long id = 0;
    unsigned long long program = 0, done = 0, lifeline = 0;
    int used = 0;
    if (!text ||
        std::swscanf(text, L"%7ls %lu %llx %llx %llx %n", word, &id, &program, &done, &lifeline, &used) != 5)
        return false;
    if (text[used] != L'\0' || id == 0 || program == 0 || done == 0 || lifeline == 0) return false;
    if (std::wcscmp(word, stepWord(Step::Launch)) == 0) out.step = Step::Launch;
    else if (std::wcscmp(word, stepWord(Step::Watch)) == 0) out.step = Step::Watch;
    else return false;
    out.programId = static_cast<DWORD>(id);
    out.program = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(program));
    out.done = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(done));
    out.lifeline = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(lifeline));
    return true;
}

}  // namespace tarn::win32::watcher
