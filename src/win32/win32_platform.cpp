// The platform operations the form calls, carried out with the wide-character Win32 API
// or handed to the area that owns them.
#include "win32/win32_platform.h"

#include <algorithm>
#include <climits>
#include <cwchar>

#include "platform/wtf8.h"
#include "win32/failure.h"
#include "win32/handles.h"
#include "win32/owned.h"
#include "win32/program_file.h"
#include "win32/resource.h"
#include "win32/watcher_protocol.h"

namespace tarn::win32 {

namespace {

// The tray icon shows it: without it the program, hidden to the tray, could not be
// reached. The notification area shows small icons at the system's DPI.
HICON loadProgramIcon(HINSTANCE instance) {
    return checked(programIcon(instance, ::GetSystemMetrics(SM_CXSMICON)).release(), messages::kCannotLoadIcon,
                   "LoadImageW");
}

// Wide text from the system (a file name may hold a lone surrogate) as the core's WTF-8.
std::string fromWide(std::wstring_view units) { return Wtf8FromUtf16(std::u16string(units.begin(), units.end())); }

HANDLE fileOf(FileHandle file) { return reinterpret_cast<HANDLE>(file.value()); }

std::error_code lastError() { return {static_cast<int>(::GetLastError()), std::system_category()}; }

// A key for a dialog (a message box, also the shell's) goes through its dialog manager,
// as the box's own loop would take it: a yield under a box never swallows its Return.
bool dialogKey(MSG& m) {
    if (m.message < WM_KEYFIRST || m.message > WM_KEYLAST) return false;
    HWND root = ::GetAncestor(m.hwnd, GA_ROOT);
    wchar_t name[8]{};
    return root && ::GetClassNameW(root, name, 8) > 0 && std::wcscmp(name, L"#32770") == 0 &&
           ::IsDialogMessageW(root, &m);
}

}  // namespace

Win32Platform::Win32Platform(HINSTANCE instance)
    : instance_(instance),
      programIcon_(loadProgramIcon(instance)),
      painter_(instance),
      list_(link_, dialogs_),
      tray_(instance, link_, dialogs_, programIcon_.get()),
      window_(instance, link_, dialogs_, list_, painter_, annotations_) {}

Win32Platform::~Win32Platform() {
    // Destroying the windows must not raise events in a form that is already gone.
    link_.attach(nullptr);
}

void Win32Platform::load() {
    TarnFrm* form = link_.form();
    if (!form) return;
    list_.holdLayout(true);  // the set list is built here
    guarded(dialogs_, [form] {
        form->Form_Load();
        return LRESULT{0};
    });
    list_.holdLayout(false);
    // A form that start-up left resting shows itself unless it chose to stay invisible.
    const Phase phase = form->phase();
    const bool resting = phase == Phase::Ready || phase == Phase::Paused;
    if (visible_ && resting && window_.handle() && !::IsWindowVisible(window_.handle())) window_.show();
}

int Win32Platform::run() {
    MSG message{};
    for (;;) {
        const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) return static_cast<int>(message.wParam);
        if (got == -1) return 1;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

// ---- Pointer operations

bool Win32Platform::GetCursorPos(Point& where) {
    POINT p{};
    if (!::GetCursorPos(&p)) return false;
    where = Point{p.x, p.y};
    return true;
}

bool Win32Platform::SetCursorPos(std::int32_t x, std::int32_t y) { return ::SetCursorPos(x, y) != FALSE; }

CursorHandle Win32Platform::LoadCursor(std::uint32_t id) {
    return fromSystem<CursorHandle>(::LoadCursorW(nullptr, MAKEINTRESOURCEW(id)));
}

CursorHandle Win32Platform::CopyIcon(CursorHandle cursor) {
    return fromSystem<CursorHandle>(::CopyIcon(toSystem<HICON>(cursor)));
}

CursorHandle Win32Platform::CopyImage(CursorHandle cursor) {
    return fromSystem<CursorHandle>(::CopyImage(toSystem<HCURSOR>(cursor), IMAGE_CURSOR, 0, 0, 0));
}

bool Win32Platform::DestroyIcon(CursorHandle cursor) { return ::DestroyIcon(toSystem<HICON>(cursor)) != FALSE; }

bool Win32Platform::SetSystemCursor(CursorHandle cursor, std::uint32_t id) {
    return ::SetSystemCursor(toSystem<HCURSOR>(cursor), id) != FALSE;
}

CursorHandle Win32Platform::LoadImage(const std::filesystem::path& file, int side) {
    return fromSystem<CursorHandle>(::LoadImageW(nullptr, file.c_str(), IMAGE_CURSOR, side, side, LR_LOADFROMFILE));
}

std::optional<IconSize> Win32Platform::GetIconInfo(CursorHandle cursor) {
    ICONINFO info{};
    if (!::GetIconInfo(toSystem<HICON>(cursor), &info)) return std::nullopt;
    // The call makes both bitmaps for the caller, who must delete them.
    const OwnedBitmap mask(info.hbmMask), colour(info.hbmColor);
    BITMAP bitmap{};
    if (!::GetObjectW(info.hbmMask, sizeof bitmap, &bitmap)) return std::nullopt;
    return IconSize{bitmap.bmWidth, info.hbmColor ? bitmap.bmHeight : bitmap.bmHeight / 2};
}

bool Win32Platform::DestroyCursor(CursorHandle cursor) { return ::DestroyCursor(toSystem<HCURSOR>(cursor)) != FALSE; }

bool Win32Platform::ReloadSystemCursors() { return ::SystemParametersInfoW(SPI_SETCURSORS, 0, nullptr, 0) != FALSE; }

bool Win32Platform::StartPointerWatcher() {
    try {
        return watcher_.start(ProgramFolder() / watcher::kFileName);
    } catch (const PlatformError&) {
        return false;  // no folder, no watcher: the program runs as it would without one
    }
}

// ---- The window and its controls

WindowHandle Win32Platform::FormWindow() { return fromSystem<WindowHandle>(window_.handle()); }

WindowHandle Win32Platform::KnobWindow() { return fromSystem<WindowHandle>(window_.knob()); }

void Win32Platform::ShowForm() {
    visible_ = true;
    window_.show();
}

void Win32Platform::HideForm() {
    visible_ = false;
    window_.hide();
}

void Win32Platform::SetFormVisible(bool visible) {
    if (visible) ShowForm();
    else HideForm();
}

bool Win32Platform::MoveWindow(WindowHandle window, std::int32_t x, std::int32_t y, std::int32_t width,
                               std::int32_t height, bool repaint) {
    return ::MoveWindow(toSystem<HWND>(window), x, y, width, height, repaint ? TRUE : FALSE) != FALSE;
}

void Win32Platform::DoEvents() {
    // Only what is waiting now: a bounded number of messages, so a stream of new ones
    // (timers, paints) cannot keep the caller here. A tick message stays queued (the tick
    // that yields never runs the next inside itself): the loop the caller returns to, or
    // a message box's, delivers it.
    constexpr UINT tick = TickTimer::kMessage;
    const auto next = [](MSG& m) {
        // An empty queue, the usual case at every tick, costs one look.
        return ::PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE) &&
               (::PeekMessageW(&m, nullptr, 0, tick - 1, PM_REMOVE) ||
                ::PeekMessageW(&m, nullptr, tick + 1, UINT_MAX, PM_REMOVE));
    };
    MSG message{};
    for (int budget = 256; budget > 0 && next(message); --budget) {
        if (message.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        if (dialogKey(message)) continue;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

PictureHandle Win32Platform::CreateDIBSection(int width, int height, std::span<const std::uint8_t> rgba) {
    // The size is checked before anything of it is made: a wrong one is an invalid picture.
    const std::size_t row = 4 * static_cast<std::size_t>(width);
    if (width <= 0 || height <= 0 || rgba.size() % row != 0 || rgba.size() / row != static_cast<std::size_t>(height))
        throw PlatformError(messages::kInvalidPicture);
    RgbaPicture pixels(width, height);
    std::copy(rgba.begin(), rgba.end(), pixels.rgba.begin());
    return list_.createPicture(std::move(pixels));
}

void Win32Platform::SetPreviewPicture(PictureHandle picture) {
    list_.setPreview(picture);
    window_.invalidate(layout::control(layout::Id::Preview));
}

// ---- The shell

WindowHandle Win32Platform::TrayHostWindow() { return fromSystem<WindowHandle>(tray_.host()); }

IconHandle Win32Platform::FormIcon() { return fromSystem<IconHandle>(programIcon_.get()); }

void Win32Platform::ShellExecute(WindowHandle owner, const std::string& operation, const std::string& file,
                                 const std::string& parameters, const std::string& directory, int showCommand) {
    // The file is a path, converted exactly: a folder name with a lone surrogate (which
    // NTFS allows) or characters outside the code page reaches the shell as the system
    // spelled it. Text that names nothing is skipped, like a page that cannot be opened.
    const std::optional<std::u16string> units = Utf16FromWtf8(file);
    if (!units) return;
    const std::wstring target(units->begin(), units->end());
    const std::wstring op = wide(operation);
    const std::wstring params = wide(parameters);
    const std::wstring dir = wide(directory);
    com_.enter();
    ::ShellExecuteW(toSystem<HWND>(owner), op.c_str(), target.c_str(), params.c_str(), dir.c_str(), showCommand);
}

// ---- Text in the ANSI code page

std::optional<std::string> Win32Platform::MultiByteToWideChar(std::string_view ansi) {
    if (ansi.empty()) return std::string();
    if (ansi.size() > static_cast<std::size_t>(INT_MAX)) return std::nullopt;
    const int size = static_cast<int>(ansi.size());
    const int length = ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi.data(), size, nullptr, 0);
    if (length <= 0) return std::nullopt;
    std::wstring units(static_cast<std::size_t>(length), L'\0');
    if (::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi.data(), size, units.data(), length) != length)
        return std::nullopt;
    return fromWide(units);
}

std::optional<std::string> Win32Platform::WideCharToMultiByte(std::string_view text) {
    const std::optional<std::u16string> converted = Utf16FromWtf8(text);
    if (!converted || converted->size() > static_cast<std::size_t>(INT_MAX)) return std::nullopt;
    if (converted->empty()) return std::string();
    const std::wstring units(converted->begin(), converted->end());
    const int size = static_cast<int>(units.size());
    // Where the ANSI code page is UTF-8 the call takes no best-fit flag and reports no
    // default character (it fails instead); there WC_ERR_INVALID_CHARS refuses the
    // lone surrogates UTF-8 cannot hold.
    const bool utf8 = ::GetACP() == CP_UTF8;
    const UINT codePage = utf8 ? CP_UTF8 : CP_ACP;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* const reportDefault = utf8 ? nullptr : &usedDefault;
    const int length = ::WideCharToMultiByte(codePage, flags, units.data(), size, nullptr, 0, nullptr, reportDefault);
    if (length <= 0 || usedDefault) return std::nullopt;
    std::string bytes(static_cast<std::size_t>(length), '\0');
    if (::WideCharToMultiByte(codePage, flags, units.data(), size, bytes.data(), length, nullptr, reportDefault) !=
            length ||
        usedDefault)
        return std::nullopt;
    return bytes;
}

// ---- Files

std::optional<std::uint32_t> Win32Platform::GetFileInformationByHandle(const std::filesystem::path& file) {
    // The C runtime's stat, and so std::filesystem::hard_link_count, always says 1 here.
    HANDLE opened = ::CreateFileW(file.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return std::nullopt;
    const OwnedKernelHandle handle(opened);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle.get(), &info)) return std::nullopt;
    return info.nNumberOfLinks;
}

std::error_code Win32Platform::CreateFile(const std::filesystem::path& file) {
    HANDLE made = ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (made != INVALID_HANDLE_VALUE) {
        const OwnedKernelHandle closed(made);
        return {};
    }
    // The system's text; ERROR_FILE_EXISTS and ERROR_ALREADY_EXISTS compare equal to
    // std::errc::file_exists.
    return {static_cast<int>(::GetLastError()), std::system_category()};
}

OpenedFile Win32Platform::CreateFile(const std::filesystem::path& file, FileAccess access, FileCreation creation,
                                     std::uint32_t flags) {
    HANDLE opened = ::CreateFileW(file.c_str(), static_cast<DWORD>(access),
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  static_cast<DWORD>(creation), FILE_ATTRIBUTE_NORMAL | flags, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return {{}, lastError()};
    return {FileHandle(reinterpret_cast<std::uintptr_t>(opened)), {}};
}

std::optional<FileInformation> Win32Platform::GetFileInformationByHandle(FileHandle file) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(fileOf(file), &info)) return std::nullopt;
    return FileInformation{info.dwFileAttributes, info.nNumberOfLinks, info.dwVolumeSerialNumber,
                           (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

std::optional<std::filesystem::path> Win32Platform::GetFinalPathNameByHandle(FileHandle file) {
    constexpr DWORD how = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD size = static_cast<DWORD>(path.size());
        const DWORD length = ::GetFinalPathNameByHandleW(fileOf(file), path.data(), size, how);
        if (length == 0) return std::nullopt;
        // Too small, the length asked for counts the closing NUL; else it does not.
        if (length < path.size()) {
            path.resize(length);
            return std::filesystem::path(path);
        }
        path.resize(length);
    }
}

std::error_code Win32Platform::WriteFile(FileHandle file, std::span<const unsigned char> bytes) {
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(fileOf(file), bytes.data(), chunk, &written, nullptr)) return lastError();
        if (written == 0) return std::make_error_code(std::errc::io_error);
        bytes = bytes.subspan(written);
    }
    return {};
}

std::error_code Win32Platform::SetFileInformationByHandle(FileHandle file, const FileDispositionInfo& info) {
    FILE_DISPOSITION_INFO disposition{static_cast<BOOLEAN>(info.deleteFile)};
    if (!::SetFileInformationByHandle(fileOf(file), ::FileDispositionInfo, &disposition, sizeof disposition))
        return lastError();
    return {};
}

void Win32Platform::CloseHandle(FileHandle file) { ::CloseHandle(fileOf(file)); }

std::vector<FoundFile> Win32Platform::FindFirstFile(const std::filesystem::path& folder) {
    std::wstring pattern = (folder / L"*").native();
    // The extended-length form lifts MAX_PATH: a drive path gets \\?\, a share \\?\UNC\.
    if (pattern.size() >= MAX_PATH && pattern.rfind(L"\\\\?\\", 0) != 0)
        pattern = pattern.rfind(L"\\\\", 0) == 0 ? L"\\\\?\\UNC\\" + pattern.substr(2) : L"\\\\?\\" + pattern;
    const std::string what = messages::CannotList(fromWide(folder.native()));
    WIN32_FIND_DATAW data{};
    HANDLE first = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
    if (first == INVALID_HANDLE_VALUE) {
        if (::GetLastError() == ERROR_FILE_NOT_FOUND) return {};  // nothing at all, not even "."
        throwLastError(what, "FindFirstFileExW");
    }
    const OwnedFindHandle search(first);
    std::vector<FoundFile> found;
    for (;;) {
        const std::wstring_view entry = data.cFileName;
        if (entry != L"." && entry != L"..")
            found.push_back({fromWide(entry), (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
        if (::FindNextFileW(search.get(), &data)) continue;
        if (::GetLastError() == ERROR_NO_MORE_FILES) return found;
        throwLastError(what, "FindNextFileW");
    }
}

std::optional<std::filesystem::path> Win32Platform::SHGetKnownFolderPath(KnownFolder folder) {
    const KNOWNFOLDERID& id = FOLDERID_LocalAppData;
    static_cast<void>(folder);  // the only one asked for
    PWSTR path = nullptr;
    const HRESULT got = ::SHGetKnownFolderPath(id, 0, nullptr, &path);
    std::optional<std::filesystem::path> found;
    if (SUCCEEDED(got) && path && *path) found = std::filesystem::path(path);
    ::CoTaskMemFree(path);  // also on failure, as documented; null is fine
    return found;
}

// ---- The process

bool Win32Platform::PrevInstance() {
    if (!prevInstance_) {
        HANDLE mutex = ::CreateMutexW(nullptr, FALSE, L"Local\\Tarnwick.SingleInstance");
        const DWORD error = ::GetLastError();
        instanceMutex_.reset(mutex);
        prevInstance_ = mutex != nullptr && error == ERROR_ALREADY_EXISTS;
    }
    return *prevInstance_;
}

std::filesystem::path Win32Platform::ProgramFolder() {
    const std::wstring file = programFile();
    // Never fall back to the current folder: files must come from beside the program.
    if (file.empty()) throw PlatformError(messages::kNoProgramFolder);
    return std::filesystem::path(file).parent_path();
}

void Win32Platform::SetTaskVisible(bool visible) {
    if (visible) return;
    // Tool windows have no task-bar button and no Alt-Tab entry.
    for (HWND window : {window_.handle(), tray_.host()}) {
        if (!window) continue;
        const LONG_PTR style = ::GetWindowLongPtrW(window, GWL_EXSTYLE);
        if (!(style & WS_EX_TOOLWINDOW)) ::SetWindowLongPtrW(window, GWL_EXSTYLE, style | WS_EX_TOOLWINDOW);
    }
}

void Win32Platform::End() { ::ExitProcess(0); }

}  // namespace tarn::win32
