// A recording stand-in for the system: logs every call in order with its
// arguments and result, keeps the state a simple window toolkit would keep, and
// can be told to fail the Nth call of a given operation.
#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "shell/layout.h"
#include "toolkit/keyed_collection.h"

namespace tarn::testing {

struct Call {
    std::string name;    // "CopyIcon"
    std::string args;    // "0x101"
    std::string result;  // "0x102", "" for void
    std::string text() const;  // "CopyIcon(0x101) -> 0x102"
};

// Identity of an image: the user's own pointers are "user:<id>" (or of the scheme they
// picked later, "<scheme>:<id>"), images loaded from files are "file:<hash of the bytes
// the cursor file's first entry spans>" (a slice's 2238, not a longer scratch file's tail).
using ImageId = std::string;

class RecordingPlatform : public Platform {
public:
    // The program's folder is `programFolder` (none: the tests that need one give it later).
    explicit RecordingPlatform(std::filesystem::path programFolder = {});

    // ---- Fault injection: the nth (1-based) call of `name` from now fails.
    void failCall(const std::string& name, int nth = 1);

    // ---- The log.
    const std::vector<Call>& calls() const { return calls_; }
    std::vector<std::string> log() const;  // every call as text
    // Only the calls whose name is in `names`, as text.
    std::vector<std::string> log(std::initializer_list<std::string_view> names) const;
    int count(std::string_view name) const;
    void clearLog() { calls_.clear(); }

    // ---- Simulated pointers.
    static ImageId imageOf(const std::vector<unsigned char>& fileBytes);
    // A picture made from pixels: "pixels:<width>x<height>:<hash of them all>".
    static ImageId imageOfPixels(int width, int height, std::span<const std::uint8_t> rgba);
    static ImageId userImage(std::uint32_t id) { return "user:" + std::to_string(id); }
    ImageId imageOfHandle(CursorHandle h) const;
    // The side, in pixels, of a pointer's pictures: a loaded one's the size it was loaded
    // at, a copy's its original's, a system pointer's pointerSide; 0 for no pointer.
    int sideOfHandle(CursorHandle h) const;
    ImageId systemImage(std::uint32_t id) const { return system_.at(id); }
    // An animated pointer: CopyImage keeps its frames, CopyIcon keeps only the first,
    // which the copy's image shows as "<image>:still".
    std::set<ImageId> animated{userImage(kOcrAppStarting), userImage(kOcrWait)};
    // Handles made by CopyIcon or CopyImage that are still the program's: neither destroyed
    // nor given to the system by SetSystemCursor.
    int liveCopies() const;
    // Every misuse seen: a dead or unknown handle passed on, a handle destroyed twice.
    const std::vector<std::string>& misuse() const { return misuse_; }

    Point pointer{640, 400};
    // The size the system draws its pointers at (GetIconInfo of any of them), and the
    // nominal one GetSystemMetrics(SM_CXCURSOR) gives.
    int pointerSide = 32;
    int cursorMetric = 32;
    // The user's configured pointer scheme, which ReloadSystemCursors puts into every
    // system pointer; "user:<id>" until the user picks another (changeScheme).
    std::map<std::uint32_t, ImageId> scheme;
    // The user picks another scheme: its images are "<name>:<id>", and the system reloads
    // them into every system pointer, as the system does before it tells the windows.
    void changeScheme(const std::string& name);
    // Run by ReloadSystemCursors after the reload: what the system may send then (a
    // setting change to the program's own window).
    std::function<void()> afterReload;

    // ---- The window moved to a monitor of `dpi` (WM_DPICHANGED). As the backend does:
    // the window keeps its top-left pixel and takes its size at the new scaling, the knob
    // keeps the design pixel it stands for.
    void changeDpi(unsigned dpi);

    // ---- Simulated window toolkit state.
    TwipsRect formRect{1500, 1500, 8670, 6360};
    double tppX = 15, tppY = 15;
    bool visible = true;
    std::map<int, std::uint32_t> labelColors;  // as the form set them
    // The user's theme. What a label is drawn in follows it, by the backend's own rule.
    bool highContrast = false;
    std::uint32_t shownLabelColor(int index) const;
    std::map<int, int> checks{{layout::kCheckAutoStart, 0}, {layout::kCheckNormal, 0}, {layout::kCheckBusy, 0}};
    TwipsRect knobRect{1680, 345, 105, 315};
    struct TimerState { bool enabled = true; std::int32_t interval = 0; };
    std::map<Timer, TimerState> timers{{Timer::Timer1, {}}, {Timer::Timer2, {}}};
    struct Item { std::string key, text, iconKey; };
    std::vector<Item> listItems;
    struct ImageEntry { std::string key; ImageId image; };  // image "" is a blank entry
    std::vector<ImageEntry> imageList;
    std::optional<std::string> selectedKey;
    std::map<std::uintptr_t, std::string> accessibleValues;  // by window
    bool smallIconsCleared = false;
    std::optional<ImageId> preview;
    std::map<std::uint32_t, NotifyIconRecord> trayIcons;
    std::vector<std::string> messages;
    bool prevInstance = false;
    // The pointer watcher: started (and not failed), then dismissed.
    bool watcherStarted = false;
    bool watcherDismissed = false;
    bool watcherEnded = false;
    std::uint64_t tickCount = 0;  // GetTickCount64
    std::filesystem::path programFolder;
    // The user's local application data folder (SHGetKnownFolderPath); none unless a test
    // gives one, and then everything stays in the program folder.
    std::optional<std::filesystem::path> localAppData;
    // Folders the user may not write in: CreateFile makes no file there, as the system
    // would refuse it (the tests run as root, which writes past permissions).
    std::set<std::filesystem::path> readOnlyFolders;
    bool taskVisible = true;
    bool ended = false;
    // Run by DoEvents, in order: events the user "queued" while a tick ran.
    std::deque<std::function<void()>> pendingEvents;
    // Run inside the next MessageBox, before it returns: events that arrive while a box
    // is up (a tray click, a close request). Events queued by those wait for the box after.
    std::deque<std::function<void()>> duringMessageBox;

    // ---- Platform
    bool GetCursorPos(Point& where) override;
    bool SetCursorPos(std::int32_t x, std::int32_t y) override;
    CursorHandle LoadCursor(std::uint32_t id) override;
    CursorHandle CopyIcon(CursorHandle cursor) override;
    CursorHandle CopyImage(CursorHandle cursor) override;
    bool DestroyIcon(CursorHandle cursor) override;
    bool SetSystemCursor(CursorHandle cursor, std::uint32_t id) override;
    CursorHandle LoadImage(const std::filesystem::path& file, int side) override;
    std::optional<IconSize> GetIconInfo(CursorHandle cursor) override;
    int GetSystemMetrics(int index) override;
    bool DestroyCursor(CursorHandle cursor) override;
    bool ReloadSystemCursors() override;
    bool StartPointerWatcher() override;
    void DismissPointerWatcher() override;
    bool PointerWatcherEnded() override;

    WindowHandle FormWindow() override;
    TwipsRect FormRectTwips() override;
    double TwipsPerPixelX() override;
    double TwipsPerPixelY() override;
    void ShowForm() override;
    void HideForm() override;
    void SetFormVisible(bool v) override;
    bool MoveWindow(WindowHandle window, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                    bool repaint) override;
    void SetLabelForeColor(int index, std::uint32_t color) override;
    void SetCheckValue(int index, int value) override;
    int CheckValue(int index) override;
    WindowHandle KnobWindow() override;
    TwipsRect KnobRectTwips() override;
    void SetKnobLeftTwips(double left) override;
    void SetHwndPropStr(WindowHandle window, const std::string& value) override;
    void SetTimerEnabled(Timer timer, bool enabled) override;
    void SetTimerInterval(Timer timer, std::int32_t milliseconds) override;
    void DoEvents() override;

    void ClearListViewSmallIcons() override;
    void ClearListView() override;
    void ClearImageList() override;
    void AddImageListPicture(const std::string& key, PictureHandle picture) override;
    void AddListViewItem(const std::string& key, const std::string& text, const std::string& iconKey) override;
    void ImageList_Replace(const std::string& key, PictureHandle picture) override;
    std::optional<std::string> ListViewSelectedKey() override;
    void SetListViewSelectedKey(const std::string& key) override;

    PictureHandle LoadPicture(const std::filesystem::path& file) override;
    PictureHandle CreateDIBSection(int width, int height, std::span<const std::uint8_t> rgba) override;
    void SetPreviewPicture(PictureHandle picture) override;

    WindowHandle TrayHostWindow() override;
    IconHandle FormIcon() override;
    std::uint32_t NotifyIconRecordSize() override;
    bool Shell_NotifyIcon(NotifyIconMessage message, const NotifyIconRecord& record) override;
    void ShellExecute(WindowHandle owner, const std::string& operation, const std::string& file,
                      const std::string& parameters, const std::string& directory, int showCommand) override;

    void MessageBox(const std::string& text) override;

    // Code page 1252; a failed call reports bytes that are not text, or a name the
    // code page cannot hold.
    std::optional<std::string> MultiByteToWideChar(std::string_view ansi) override;
    std::optional<std::string> WideCharToMultiByte(std::string_view text) override;

    // std::filesystem::hard_link_count, which works here; nothing for a folder.
    std::optional<std::uint32_t> GetFileInformationByHandle(const std::filesystem::path& file) override;
    // A real exclusive create ("wx"), refused in the read-only folders.
    std::error_code CreateFile(const std::filesystem::path& file) override;
    // Linux files: the identity is st_dev and st_ino, the names st_nlink; a link opened as
    // itself (lstat's) is a reparse point, unless links are followed even then, as in Wine.
    bool followsLinks = false;
    OpenedFile CreateFile(const std::filesystem::path& file, FileAccess access, FileCreation creation,
                          std::uint32_t flags) override;
    std::optional<FileInformation> GetFileInformationByHandle(FileHandle file) override;
    std::optional<std::filesystem::path> GetFinalPathNameByHandle(FileHandle file) override;
    std::error_code WriteFile(FileHandle file, std::span<const unsigned char> bytes) override;
    std::error_code SetFileInformationByHandle(FileHandle file, const FileDispositionInfo& info) override;
    void CloseHandle(FileHandle file) override;
    // std::filesystem::directory_iterator's names, a folder being what it leads to.
    std::vector<FoundFile> FindFirstFile(const std::filesystem::path& folder) override;
    std::optional<std::filesystem::path> SHGetKnownFolderPath(KnownFolder folder) override;

    bool PrevInstance() override;
    std::filesystem::path ProgramFolder() override;
    void SetTaskVisible(bool v) override;
    std::uint64_t GetTickCount64() override;
    void End() override;

    static constexpr WindowHandle kForm{0xF0};
    static constexpr WindowHandle kKnob{0xF1};
    static constexpr WindowHandle kTrayHost{0xF2};
    static constexpr IconHandle kIcon{0xF3};

private:
    enum class Kind { System, Copy, Loaded };
    struct HandleInfo {
        ImageId image;
        Kind kind;
        bool alive = true;
        bool givenToSystem = false;  // handed to SetSystemCursor: the system's to keep
        int side = 0;                // of a loaded pointer and its copies
    };

    // Records the call; true when it was told to fail.
    bool record(std::string name, std::string args, std::string result = {});
    void setResult(std::string result) { calls_.back().result = std::move(result); }
    bool shouldFail(const std::string& name);
    // A new pointer of `image`, `side` pixels wide; the call's result is its handle.
    CursorHandle newHandle(ImageId image, Kind kind, int side);
    TwipsRect twips(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) const;
    CursorHandle copy(const char* op, CursorHandle cursor, bool keepsFrames);
    bool release(const char* op, CursorHandle cursor);  // DestroyIcon, DestroyCursor
    HandleInfo* live(CursorHandle h, const char* op);
    // A one-image cursor file's identity. Nothing for any other file, nor for one whose
    // picture has no pixels (`noPixels` then says so): the system's cursor loader ends
    // the process on such a file, and the backend's picture loader refuses it.
    std::optional<ImageId> readImage(const std::filesystem::path& file, bool* noPixels = nullptr) const;

    std::vector<Call> calls_;
    std::map<std::string, std::set<int>> failures_;  // name -> call numbers that fail
    std::map<std::string, int> seen_;
    std::map<std::uint32_t, ImageId> system_;
    std::map<std::uintptr_t, HandleInfo> handles_;
    std::map<std::uintptr_t, ImageId> pictures_;
    struct OpenFile { int fd; bool mayDelete; };
    std::map<std::uintptr_t, OpenFile> files_;  // by handle; at() throws for one not open
    std::uintptr_t nextFile_ = 0x10000;
    // The list's and the image list's keys, by the toolkit's own rules.
    toolkit::KeyedCollection itemKeys_;
    toolkit::KeyedCollection imageKeys_;
    std::uintptr_t next_ = 0x100;
    std::vector<std::string> misuse_;
};

// Formats a handle the way the log shows it: "0x1a2", "0" for null.
std::string hex(std::uintptr_t value);

}  // namespace tarn::testing
