// The Windows backend: the Platform the form calls, a thin facade over the program's
// areas (the form's window, the set list, the painting, the tray), with the pointer,
// shell and process operations that need no window. It carries out; the form decides.
#pragma once

#include "win32/win32_api.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "win32/accessibility.h"
#include "win32/dialogs.h"
#include "win32/form_link.h"
#include "win32/form_window.h"
#include "win32/handles.h"
#include "win32/owned.h"
#include "win32/painting.h"
#include "win32/pointer_watcher.h"
#include "win32/set_list.h"
#include "win32/tray.h"

namespace tarn::win32 {

class Win32Platform final : public Platform {
public:
    explicit Win32Platform(HINSTANCE instance);
    ~Win32Platform() override;
    Win32Platform(const Win32Platform&) = delete;
    Win32Platform& operator=(const Win32Platform&) = delete;

    // Events reach `form` only while it is attached; detach before it is destroyed.
    void attach(TarnFrm* form) noexcept { link_.attach(form); }

    // Form_Load, then the window shows unless the form hid it, or start-up did not end Ready.
    void load();
    // The message loop; returns the exit code of WM_QUIT.
    int run();
    // Puts the user's pointers back on a way out that runs no normal clean-up. Runs
    // the form's close request and unload once; later calls do nothing.
    void emergencyUnload() noexcept { link_.unload(); }
    // The program's usual message box for a failure that reached the top.
    void showError(const char* what) const noexcept { dialogs_.failure(what); }

    // ---- Pointer operations
    bool GetCursorPos(Point& where) override;
    bool SetCursorPos(std::int32_t x, std::int32_t y) override;
    CursorHandle LoadCursor(std::uint32_t id) override;
    CursorHandle CopyIcon(CursorHandle cursor) override;
    CursorHandle CopyImage(CursorHandle cursor) override;
    bool DestroyIcon(CursorHandle cursor) override;
    bool SetSystemCursor(CursorHandle cursor, std::uint32_t id) override;
    CursorHandle LoadImage(const std::filesystem::path& file, int side) override;
    std::optional<IconSize> GetIconInfo(CursorHandle cursor) override;
    int GetSystemMetrics(int index) override { return ::GetSystemMetrics(index); }
    bool DestroyCursor(CursorHandle cursor) override;
    bool ReloadSystemCursors() override;
    bool StartPointerWatcher() override;
    void DismissPointerWatcher() override { watcher_.dismiss(); }
    bool PointerWatcherEnded() override { return watcher_.ended(); }

    // ---- The window and its controls
    WindowHandle FormWindow() override;
    TwipsRect FormRectTwips() override { return window_.rectTwips(); }
    double TwipsPerPixelX() override { return window_.twipsPerPixel(); }
    double TwipsPerPixelY() override { return window_.twipsPerPixel(); }
    void ShowForm() override;
    void HideForm() override;
    void SetFormVisible(bool visible) override;
    bool MoveWindow(WindowHandle window, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                    bool repaint) override;
    void SetLabelForeColor(int index, std::uint32_t color) override { window_.setLabelColor(index, color); }
    void SetCheckValue(int index, int value) override { window_.setCheck(index, value); }
    int CheckValue(int index) override { return window_.check(index); }
    WindowHandle KnobWindow() override;
    TwipsRect KnobRectTwips() override { return window_.knobRectTwips(); }
    void SetKnobLeftTwips(double left) override { window_.setKnobLeftTwips(left); }
    void SetHwndPropStr(WindowHandle window, const std::string& value) override {
        annotations_.setValue(toSystem<HWND>(window), value);
    }
    void SetTimerEnabled(Timer timer, bool enabled) override { window_.setTimerEnabled(timer, enabled); }
    void SetTimerInterval(Timer timer, std::int32_t ms) override { window_.setTimerInterval(timer, ms); }
    void DoEvents() override;

    // ---- The list of cursor sets, and pictures
    void ClearListViewSmallIcons() override { list_.clearSmallIcons(); }
    void ClearListView() override { list_.clearItems(); }
    void ClearImageList() override { list_.clearImages(); }
    void AddImageListPicture(const std::string& key, PictureHandle picture) override { list_.addPicture(key, picture); }
    void AddListViewItem(const std::string& key, const std::string& text, const std::string& iconKey) override {
        list_.addItem(key, text, iconKey);
    }
    std::optional<std::string> ListViewSelectedKey() override { return list_.selectedKey(); }
    void SetListViewSelectedKey(const std::string& key) override { list_.select(key); }
    void ImageList_Replace(const std::string& key, PictureHandle picture) override {
        list_.replacePicture(key, picture);
    }
    PictureHandle LoadPicture(const std::filesystem::path& file) override { return list_.loadPicture(file); }
    PictureHandle CreateDIBSection(int width, int height, std::span<const std::uint8_t> rgba) override;
    void SetPreviewPicture(PictureHandle picture) override;

    // ---- The shell
    WindowHandle TrayHostWindow() override;
    IconHandle FormIcon() override;
    std::uint32_t NotifyIconRecordSize() override { return TrayHost::recordSize(); }
    bool Shell_NotifyIcon(NotifyIconMessage message, const NotifyIconRecord& record) override {
        return tray_.notify(message, record);
    }
    void ShellExecute(WindowHandle owner, const std::string& operation, const std::string& file,
                      const std::string& parameters, const std::string& directory, int showCommand) override;

    // ---- Dialogs
    void MessageBox(const std::string& text) override { dialogs_.show(text); }

    // ---- Text in the ANSI code page
    std::optional<std::string> MultiByteToWideChar(std::string_view ansi) override;
    std::optional<std::string> WideCharToMultiByte(std::string_view text) override;

    // ---- Files
    std::optional<std::uint32_t> GetFileInformationByHandle(const std::filesystem::path& file) override;
    std::error_code CreateFile(const std::filesystem::path& file) override;
    OpenedFile CreateFile(const std::filesystem::path& file, FileAccess access, FileCreation creation,
                          std::uint32_t flags) override;
    std::optional<FileInformation> GetFileInformationByHandle(FileHandle file) override;
    std::optional<std::filesystem::path> GetFinalPathNameByHandle(FileHandle file) override;
    std::error_code WriteFile(FileHandle file, std::span<const unsigned char> bytes) override;
    std::error_code SetFileInformationByHandle(FileHandle file, const FileDispositionInfo& info) override;
    void CloseHandle(FileHandle file) override;
    std::vector<FoundFile> FindFirstFile(const std::filesystem::path& folder) override;
    std::optional<std::filesystem::path> SHGetKnownFolderPath(KnownFolder folder) override;

    // ---- The process
    bool PrevInstance() override;
    std::filesystem::path ProgramFolder() override;
    void SetTaskVisible(bool visible) override;
    std::uint64_t GetTickCount64() override { return ::GetTickCount64(); }
    [[noreturn]] void End() override;

private:
    HINSTANCE instance_;
    ComApartment com_;  // left last, after every window has gone
    // Owned first, so that everything else can use them; destroyed in reverse order,
    // the windows before the icon and the resources they show.
    Dialogs dialogs_;
    FormLink link_{dialogs_};
    OwnedIcon programIcon_;
    OwnedMutex instanceMutex_;
    std::optional<bool> prevInstance_;
    PointerWatcher watcher_;
    Painter painter_;
    SetList list_;
    Annotations annotations_{com_};
    TrayHost tray_;
    win32::FormWindow window_;
    // The form's Visible property: as the form last set it, true until it hides the
    // window. The window is created hidden and shows once loaded while this holds.
    bool visible_ = true;
};

}  // namespace tarn::win32
