#include "win32/pointer_watcher.h"

#include <vector>

namespace tarn::win32 {

namespace {

// How long the program waits for the launch step to have started the watcher. It takes
// a few milliseconds; a step that takes longer is left to finish on its own.
constexpr DWORD kLaunchWaitMs = 2000;

// The list of handles a step may inherit: exactly these, whatever else of the program
// happens to be inheritable (a file the C library opened, say).
class InheritedHandles {
public:
    explicit InheritedHandles(HANDLE (&handles)[3]) noexcept {
        SIZE_T size = 0;
        ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        buffer_.resize(size);
        auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(buffer_.data());
        if (size == 0 || !::InitializeProcThreadAttributeList(list, 1, 0, &size)) return;
        list_ = list;
        if (!::UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles, sizeof handles,
                                         nullptr, nullptr)) {
            ::DeleteProcThreadAttributeList(list_);
            list_ = nullptr;
        }
    }
    ~InheritedHandles() {
        if (list_) ::DeleteProcThreadAttributeList(list_);
    }
    InheritedHandles(const InheritedHandles&) = delete;
    InheritedHandles& operator=(const InheritedHandles&) = delete;
    [[nodiscard]] LPPROC_THREAD_ATTRIBUTE_LIST get() const noexcept { return list_; }

private:
    std::vector<unsigned char> buffer_;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

std::wstring systemFolder() {
    wchar_t buffer[MAX_PATH];
    const UINT length = ::GetSystemDirectoryW(buffer, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(buffer, length) : std::wstring();
}

// The event the watcher waits on besides the program: manual-reset and unset. Every
// watcher of the run gets the same one.
OwnedKernelHandle makeDoneEvent() { return OwnedKernelHandle(::CreateEventW(nullptr, TRUE, FALSE, nullptr)); }

// A handle the step to be started inherits, and no later program: inheritable only for
// as long as this lives.
class InheritableFor {
public:
    explicit InheritableFor(HANDLE handle) noexcept : handle_(handle) {
        ::SetHandleInformation(handle_, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    }
    ~InheritableFor() { ::SetHandleInformation(handle_, HANDLE_FLAG_INHERIT, 0); }
    InheritableFor(const InheritableFor&) = delete;
    InheritableFor& operator=(const InheritableFor&) = delete;

private:
    HANDLE handle_;
};

// The watcher's lifeline: a pipe with nothing ever written to it, the reading end the
// program's, the writing end for the watcher.
struct Lifeline {
    OwnedKernelHandle reading, writing;
};

Lifeline makeLifeline() {
    HANDLE reading = nullptr, writing = nullptr;
    if (!::CreatePipe(&reading, &writing, nullptr, 0)) return {};
    return {OwnedKernelHandle(reading), OwnedKernelHandle(writing)};
}

// An inheritable handle of this process, with enough rights to wait on it and to check
// whose process it is, nothing more.
OwnedKernelHandle handleToSelf() {
    HANDLE self = nullptr;
    if (!::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentProcess(), ::GetCurrentProcess(), &self,
                           SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, TRUE, 0))
        return {};
    return OwnedKernelHandle(self);
}

// Starts the launch step and waits for it, so the watcher has left the program's tree
// before anything of the user's is touched. False when the step could not be started, or
// said it could not start the watcher, which leaves nothing running; a step that takes
// longer than the wait is left to finish on its own.
bool launchWatcher(const std::wstring& exe, const watcher::Arguments& handed) noexcept {
    const OwnedKernelHandle step = watcher::startStep(exe, handed);
    if (!step) return false;
    DWORD code = 0;
    return !(::WaitForSingleObject(step.get(), kLaunchWaitMs) == WAIT_OBJECT_0 &&
             ::GetExitCodeProcess(step.get(), &code) && code != static_cast<DWORD>(watcher::Exit::Launched));
}

}  // namespace

namespace watcher {

OwnedKernelHandle startStep(const std::wstring& exe, const Arguments& a) noexcept {
    try {
        HANDLE handles[3] = {a.program, a.done, a.lifeline};
        InheritedHandles inherited(handles);
        if (!inherited.get()) return {};
        STARTUPINFOEXW startup{};
        startup.StartupInfo.cb = sizeof startup;
        // No standard handles (they would keep the program's pipes open) and no busy
        // pointer while the system waits for a window that never comes.
        startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES | STARTF_FORCEOFFFEEDBACK;
        startup.lpAttributeList = inherited.get();

        std::wstring command = commandLine(exe, a);
        // The system's folder, so the program's folder stays free to be moved or deleted
        // once the program has ended.
        const std::wstring folder = systemFolder();
        const DWORD flags = CREATE_NO_WINDOW | EXTENDED_STARTUPINFO_PRESENT;
        PROCESS_INFORMATION started{};
        for (DWORD extra : {static_cast<DWORD>(CREATE_BREAKAWAY_FROM_JOB), DWORD{0}}) {
            if (::CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, TRUE, flags | extra, nullptr,
                                 folder.empty() ? nullptr : folder.c_str(), &startup.StartupInfo, &started)) {
                OwnedKernelHandle thread(started.hThread);
                return OwnedKernelHandle(started.hProcess);
            }
        }
        return {};
    } catch (...) {
        return {};
    }
}

}  // namespace watcher

bool PointerWatcher::start(const std::filesystem::path& exe) noexcept {
    if (lifeline_ && !ended()) return true;
    try {
        OwnedKernelHandle done = done_ ? std::move(done_) : makeDoneEvent();
        const OwnedKernelHandle program = handleToSelf();
        Lifeline lifeline = makeLifeline();
        bool launched = false;
        if (done && program && lifeline.reading) {
            // Whatever the program starts later (the web page's browser) gets no copy of them.
            const InheritableFor handedDone(done.get()), handedLifeline(lifeline.writing.get());
            const watcher::Arguments handed{watcher::Step::Launch, ::GetCurrentProcessId(), program.get(),
                                            done.get(), lifeline.writing.get()};
            launched = launchWatcher(exe.wstring(), handed);
        }
        done_ = std::move(done);
        if (!launched) return false;
        // The writing end goes here: from now on only the watcher (and the launch step,
        // until it ends) holds it.
        lifeline_ = std::move(lifeline.reading);
        return true;
    } catch (...) {
        return false;
    }
}

bool PointerWatcher::ended() const noexcept {
    if (!lifeline_) return false;
    DWORD waiting = 0;
    return !::PeekNamedPipe(lifeline_.get(), nullptr, 0, nullptr, &waiting, nullptr) &&
           ::GetLastError() == ERROR_BROKEN_PIPE;
}

void PointerWatcher::dismiss() noexcept {
    if (!done_) return;
    ::SetEvent(done_.get());
    done_.reset();
    lifeline_.reset();
}

}  // namespace tarn::win32
