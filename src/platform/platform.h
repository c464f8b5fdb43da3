// The one boundary between Tarnwick's portable core and the system it runs on.
//
// The core decides; an implementation of Platform carries out. Every operation is
// named after the real Windows call or toolkit property it stands for, so the call
// log of the recording fake used in tests reads like the relay log of the real
// program. No system header is included here or anywhere in the core.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace tarn {

// An opaque handle: it can be kept, compared and handed back, never computed with.
template <class Tag>
class Handle {
public:
    constexpr Handle() = default;
    constexpr explicit Handle(std::uintptr_t value) : value_(value) {}
    [[nodiscard]] constexpr std::uintptr_t value() const { return value_; }
    [[nodiscard]] constexpr bool isNull() const { return value_ == 0; }
    friend constexpr bool operator==(Handle, Handle) = default;

private:
    std::uintptr_t value_ = 0;
};

using CursorHandle = Handle<struct CursorTag>;    // HCURSOR / HICON
using PictureHandle = Handle<struct PictureTag>;  // a picture the toolkit can show
using WindowHandle = Handle<struct WindowTag>;    // HWND
using IconHandle = Handle<struct IconTag>;        // the program icon
using FileHandle = Handle<struct FileTag>;        // an open file's HANDLE, closed with CloseHandle

struct Point {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend constexpr bool operator==(Point, Point) = default;
};

// A window's outer rectangle in twips (1/1440 inch), as the toolkit reports it.
struct TwipsRect {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
};

// System pointer ids of the three roles the program replaces.
inline constexpr std::uint32_t kOcrNormal = 32512;
inline constexpr std::uint32_t kOcrAppStarting = 32650;
inline constexpr std::uint32_t kOcrWait = 32514;
// The I-beam, a system pointer the program never replaces: the size Windows loaded it at
// is the size it draws every pointer of the user's scheme at now.
inline constexpr std::uint32_t kIdcIBeam = 32513;

// GetSystemMetrics index of the nominal pointer width (it follows the display scaling but
// not the pointer-size setting).
inline constexpr int kSmCxCursor = 13;

// A pointer's size in pixels, as the bitmaps GetIconInfo gives read (a monochrome
// pointer's mask holds two pictures: its height is half the mask's).
struct IconSize {
    int width = 0;
    int height = 0;
    friend constexpr bool operator==(IconSize, IconSize) = default;
};

// The SystemParametersInfo action a WM_SETTINGCHANGE carries after the user's pointer
// scheme was reloaded into every system pointer (a new scheme, size or colour).
inline constexpr std::uint32_t kSpiSetCursors = 0x57;
// The one it carries after the user turned a high-contrast theme on or off.
inline constexpr std::uint32_t kSpiSetHighContrast = 0x43;

enum class Timer : int { Timer1 = 1, Timer2 = 2 };

// Mouse buttons as pointer events carry them: a bit set.
inline constexpr int kLeftButton = 1;
inline constexpr int kRightButton = 2;
inline constexpr int kMiddleButton = 4;

// The system's mouse messages, as windows receive them and the tray icon reports them.
inline constexpr std::uint32_t kMouseMove = 0x200;
inline constexpr std::uint32_t kLeftButtonDown = 0x201;
inline constexpr std::uint32_t kLeftButtonUp = 0x202;
inline constexpr std::uint32_t kLeftButtonDoubleClick = 0x203;
inline constexpr std::uint32_t kRightButtonDown = 0x204;
inline constexpr std::uint32_t kRightButtonUp = 0x205;
inline constexpr std::uint32_t kMiddleButtonDown = 0x207;
inline constexpr std::uint32_t kMiddleButtonUp = 0x208;

// Virtual-key codes, as key presses carry them.
inline constexpr int kKeyTab = 0x09;
inline constexpr int kKeyReturn = 0x0D;
inline constexpr int kKeyEscape = 0x1B;
inline constexpr int kKeySpace = 0x20;
inline constexpr int kKeyEnd = 0x23;
inline constexpr int kKeyHome = 0x24;
inline constexpr int kKeyLeft = 0x25;
inline constexpr int kKeyRight = 0x27;

// MAX_PATH: the longest path, its closing NUL included, that the system's cursor loader
// takes; a longer one fails whatever the file holds.
inline constexpr std::size_t kMaxPath = 260;

// A name in a folder, as the system lists it.
struct FoundFile {
    std::string name;  // the bare name, the core's text
    bool folder = false;
};

// CreateFileW's access, creation and flags, as far as the program asks for them. The
// share mode is always read, write and delete: the program never keeps others out.
enum class FileAccess : std::uint32_t { None = 0, Write = 0x40000000, Delete = 0x00010000 };  // GENERIC_WRITE, DELETE
enum class FileCreation : std::uint32_t { CreateNew = 1, OpenExisting = 3 };
// A link is opened as itself, not as what it leads to.
inline constexpr std::uint32_t kFileFlagOpenReparsePoint = 0x00200000;
// Needed to open a folder at all.
inline constexpr std::uint32_t kFileFlagBackupSemantics = 0x02000000;

// What was opened, or why nothing was: std::errc::file_exists when CreateNew found the
// name taken, std::errc::no_such_file_or_directory when OpenExisting found nothing.
struct OpenedFile {
    FileHandle handle;
    std::error_code failure;
};

inline constexpr std::uint32_t kFileAttributeDirectory = 0x10;
inline constexpr std::uint32_t kFileAttributeReparsePoint = 0x400;

// BY_HANDLE_FILE_INFORMATION, as far as the program reads it. The volume and the index
// together are the file's identity, whatever name it is reached by.
struct FileInformation {
    std::uint32_t attributes = 0;  // dwFileAttributes
    std::uint32_t links = 0;       // nNumberOfLinks: the names it has
    std::uint64_t volume = 0;      // dwVolumeSerialNumber
    std::uint64_t index = 0;       // nFileIndexHigh and nFileIndexLow
};

// FILE_DISPOSITION_INFO: the file goes when its last handle is closed.
struct FileDispositionInfo {
    bool deleteFile = true;
};

// The known folders the program asks the system for.
enum class KnownFolder { LocalAppData };  // FOLDERID_LocalAppData

// Shell_NotifyIcon commands and flags, as far as the program uses them.
enum class NotifyIconMessage : std::uint32_t { Add = 0, Delete = 2, SetVersion = 4 };
inline constexpr std::uint32_t kNifMessage = 1;
inline constexpr std::uint32_t kNifIcon = 2;
inline constexpr std::uint32_t kNifTip = 4;

// The notification-area record, as the core fills it. The backend copies it into
// the system's own structure; `size` is whatever the backend reports for the
// record layout it uses.
struct NotifyIconRecord {
    std::uint32_t size = 0;
    WindowHandle owner;
    std::uint32_t id = 0;
    std::uint32_t flags = 0;
    std::uint32_t callbackMessage = 0;
    IconHandle icon;
    std::string tip;  // UTF-8, at most 63 characters shown
    std::uint32_t version = 0;  // SetVersion only
};

// A toolkit operation that failed. The text is the description the program
// shows after its tag line ("ShowIcons", "LoadINI", ...).
class PlatformError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Text is UTF-8 throughout, generalised to carry the lone surrogates a file name may
// hold (platform/wtf8.h); the Windows backend converts to UTF-16 at the call.
class Platform {
public:
    virtual ~Platform() = default;

    // ---- Pointer operations (user32). Results are reported, never thrown.
    virtual bool GetCursorPos(Point& where) = 0;
    virtual bool SetCursorPos(std::int32_t x, std::int32_t y) = 0;
    // LoadCursorW(nullptr, MAKEINTRESOURCEW(id)): the system pointer of that id as it is
    // shown now, wherever the pointer lies. A shared handle, never released; copied with
    // CopyImage to keep it.
    virtual CursorHandle LoadCursor(std::uint32_t id) = 0;
    virtual CursorHandle CopyIcon(CursorHandle cursor) = 0;
    // CopyImage(cursor, IMAGE_CURSOR, 0, 0, 0): a copy at the same size that keeps an
    // animated pointer's frames where the system does (CopyIcon keeps only one).
    // Released with DestroyCursor.
    virtual CursorHandle CopyImage(CursorHandle cursor) = 0;
    virtual bool DestroyIcon(CursorHandle cursor) = 0;
    virtual bool SetSystemCursor(CursorHandle cursor, std::uint32_t id) = 0;
    // LoadImageW(nullptr, file, IMAGE_CURSOR, side, side, LR_LOADFROMFILE): a pointer of
    // `side` pixels from a cursor file, from its image of that size, else its image
    // stretched to it. A null handle when the file is not a cursor, and for a path of
    // kMaxPath UTF-16 units or more, which the system's cursor loader does not take.
    virtual CursorHandle LoadImage(const std::filesystem::path& file, int side) = 0;
    // GetIconInfo: the size of the pointer's pictures; nothing when the system does not say.
    virtual std::optional<IconSize> GetIconInfo(CursorHandle cursor) = 0;
    virtual int GetSystemMetrics(int index) = 0;
    // Releases a handle made by LoadImage or CopyImage.
    virtual bool DestroyCursor(CursorHandle cursor) = 0;
    // Reloads the user's configured pointer scheme (SystemParametersInfo SPI_SETCURSORS).
    virtual bool ReloadSystemCursors() = 0;

    // ---- The pointer watcher: a small process of its own that outlives the program.
    // Once started it waits for the program to end; an end that came without the word
    // that the user's pointers are back (a kill, a crash nothing could catch) makes it
    // reload the user's pointer scheme, as ReloadSystemCursors does. False when it could
    // not be started; the program then runs as it would without it.
    virtual bool StartPointerWatcher() = 0;
    // The word to the watcher: the user's pointers are back. It ends touching nothing.
    virtual void DismissPointerWatcher() = 0;
    // Whether the watcher last started has ended since (it was killed, or died), so that
    // nothing would repair a kill of the program now. False while it runs.
    virtual bool PointerWatcherEnded() = 0;

    // ---- The main window and its controls (the toolkit).
    virtual WindowHandle FormWindow() = 0;
    virtual TwipsRect FormRectTwips() = 0;  // outer rectangle, border included
    virtual double TwipsPerPixelX() = 0;
    virtual double TwipsPerPixelY() = 0;
    // Shows the form with the keyboard focus on the list of sets.
    virtual void ShowForm() = 0;
    virtual void HideForm() = 0;
    virtual void SetFormVisible(bool visible) = 0;
    virtual bool MoveWindow(WindowHandle window, std::int32_t x, std::int32_t y, std::int32_t width,
                            std::int32_t height, bool repaint) = 0;

    virtual void SetLabelForeColor(int index, std::uint32_t color) = 0;  // 0x00BBGGRR
    virtual void SetCheckValue(int index, int value) = 0;
    virtual int CheckValue(int index) = 0;

    // The sensitivity knob, a child window of its frame; positions in twips within the frame.
    virtual WindowHandle KnobWindow() = 0;
    virtual TwipsRect KnobRectTwips() = 0;
    virtual void SetKnobLeftTwips(double left) = 0;
    // IAccPropServices::SetHwndPropStr with PROPID_ACC_VALUE: the value a screen reader
    // reads out for a window (the slider's interval). Its name and role come from the
    // design table.
    virtual void SetHwndPropStr(WindowHandle window, const std::string& value) = 0;

    virtual void SetTimerEnabled(Timer timer, bool enabled) = 0;
    virtual void SetTimerInterval(Timer timer, std::int32_t milliseconds) = 0;

    // Handles the events already queued, then returns.
    virtual void DoEvents() = 0;

    // ---- The list of cursor sets and its image list. Failures throw PlatformError.
    virtual void ClearListViewSmallIcons() = 0;
    virtual void ClearListView() = 0;
    virtual void ClearImageList() = 0;
    // Takes ownership of the picture, also when it throws. A null picture adds a blank
    // entry under the key (a set whose preview could not be made).
    virtual void AddImageListPicture(const std::string& key, PictureHandle picture) = 0;
    virtual void AddListViewItem(const std::string& key, const std::string& text, const std::string& iconKey) = 0;
    // ImageList_Replace: the picture under `key` becomes `picture`, taken over as
    // AddImageListPicture takes it; the items showing it show the new one.
    virtual void ImageList_Replace(const std::string& key, PictureHandle picture) = 0;
    virtual std::optional<std::string> ListViewSelectedKey() = 0;
    // Selects the item of that key, the one the keyboard then starts from.
    virtual void SetListViewSelectedKey(const std::string& key) = 0;

    // ---- Pictures. LoadPicture throws PlatformError when the file is not a picture. A
    // picture is shown as large as the window's scaling makes a set's picture
    // (SetPictureSide, cursorset/set_pictures.h): one made for another size is scaled to
    // it, and the window then asks for one (TarnFrm::ilist_PictureWanted,
    // Picture2_PictureWanted).
    virtual PictureHandle LoadPicture(const std::filesystem::path& file) = 0;
    // CreateDIBSection of a 32-bit top-down bitmap: a picture of `width` x `height`
    // straight (not premultiplied) RGBA pixels, top row first, made for that size.
    // Throws PlatformError when the system cannot make it.
    virtual PictureHandle CreateDIBSection(int width, int height, std::span<const std::uint8_t> rgba) = 0;
    // Takes ownership of the picture; the previous one is released.
    virtual void SetPreviewPicture(PictureHandle picture) = 0;

    // ---- The shell.
    virtual WindowHandle TrayHostWindow() = 0;  // the hidden picture box Picture1
    virtual IconHandle FormIcon() = 0;
    virtual std::uint32_t NotifyIconRecordSize() = 0;
    virtual bool Shell_NotifyIcon(NotifyIconMessage message, const NotifyIconRecord& record) = 0;
    virtual void ShellExecute(WindowHandle owner, const std::string& operation, const std::string& file,
                              const std::string& parameters, const std::string& directory, int showCommand) = 0;

    // ---- Dialogs: exclamation icon, the program's title "Tarnwick".
    virtual void MessageBox(const std::string& text) = 0;

    // ---- 8-bit text in the system's ANSI code page (CP_ACP), which differs between
    // machines. MultiByteToWideChar with MB_ERR_INVALID_CHARS: the bytes as text, or
    // nothing when they are not text in that code page.
    virtual std::optional<std::string> MultiByteToWideChar(std::string_view ansi) = 0;
    // WideCharToMultiByte with WC_NO_BEST_FIT_CHARS: the text in that code page, or
    // nothing when a character has no exact form there, so that a name is never
    // written as a look-alike (A for A-macron) or a '?' that names another file.
    virtual std::optional<std::string> WideCharToMultiByte(std::string_view text) = 0;

    // ---- Files.
    // GetFileInformationByHandle of the file opened for no access: its nNumberOfLinks,
    // the names it has (more than one when a package manager keeps it as a hard link).
    // Nothing when it cannot be opened.
    virtual std::optional<std::uint32_t> GetFileInformationByHandle(const std::filesystem::path& file) = 0;
    // CreateFileW(file, GENERIC_WRITE, 0, CREATE_NEW), closed at once: a new empty file,
    // made only where nothing of that name is, so it is certainly the program's own. The
    // reason when none was made; std::errc::file_exists when the name is taken.
    virtual std::error_code CreateFile(const std::filesystem::path& file) = 0;
    // CreateFileW(file, access, read|write|delete sharing, creation, flags): an open
    // file, or why none was opened. CreateNew makes a file only where nothing of that
    // name is, not even a link that leads nowhere.
    virtual OpenedFile CreateFile(const std::filesystem::path& file, FileAccess access, FileCreation creation,
                                  std::uint32_t flags) = 0;
    // GetFileInformationByHandle of an open file. Nothing when the system does not say.
    virtual std::optional<FileInformation> GetFileInformationByHandle(FileHandle file) = 0;
    // GetFinalPathNameByHandleW (FILE_NAME_NORMALIZED, VOLUME_NAME_DOS): the path the open
    // file really has, the links on the way resolved; also the last one where the system
    // followed a link it was asked to open as itself (Wine does). Nothing when the system
    // does not say.
    virtual std::optional<std::filesystem::path> GetFinalPathNameByHandle(FileHandle file) = 0;
    // WriteFile of all of `bytes` at the file's current position (its start, when just
    // opened).
    virtual std::error_code WriteFile(FileHandle file, std::span<const unsigned char> bytes) = 0;
    // SetFileInformationByHandle with FileDispositionInfo: the open file, not whatever
    // its name may lead to by then, is deleted when its last handle is closed. Needs
    // FileAccess::Delete.
    virtual std::error_code SetFileInformationByHandle(FileHandle file, const FileDispositionInfo& info) = 0;
    virtual void CloseHandle(FileHandle file) = 0;
    // FindFirstFileW and FindNextFileW of the folder's "*": every name in it but "." and
    // "..", in the file system's order. Also in a folder whose path is MAX_PATH or longer,
    // which the C runtime's folder listing does not take. Throws PlatformError naming the
    // folder and the reason when it cannot be listed.
    virtual std::vector<FoundFile> FindFirstFile(const std::filesystem::path& folder) = 0;
    // SHGetKnownFolderPath: the folder's path for the user, nothing when the system has none.
    virtual std::optional<std::filesystem::path> SHGetKnownFolderPath(KnownFolder folder) = 0;

    // ---- The process.
    virtual bool PrevInstance() = 0;
    virtual std::filesystem::path ProgramFolder() = 0;
    virtual void SetTaskVisible(bool visible) = 0;
    // The clock: milliseconds since the system started.
    virtual std::uint64_t GetTickCount64() = 0;
    // Ends the program at once, running no clean-up of the form.
    virtual void End() = 0;
};

}  // namespace tarn
