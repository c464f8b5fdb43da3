// The Windows backend: the program's window, its controls, the tray host and every
// system call the core asks for. It carries out; the form TarnFrm decides.
#pragma once

#include "platform/win32/win32_api.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "platform/platform.h"
#include "platform/win32/keyed_collection.h"
#include "platform/win32/layout_math.h"
#include "platform/win32/mouse_routing.h"
#include "platform/win32/timer_gate.h"
#include "platform/win32/tray_memory.h"
#include "platform/win32/owned.h"
#include "shell/layout.h"

namespace tarn {
class TarnFrm;
}

namespace tarn::win32 {

class Win32Platform final : public Platform {
public:
    // Creates every window hidden, at the primary monitor's DPI, centred on its work area.
    explicit Win32Platform(HINSTANCE instance);
    ~Win32Platform() override;
    Win32Platform(const Win32Platform&) = delete;
    Win32Platform& operator=(const Win32Platform&) = delete;

    // Events reach `form` only while it is attached; detach before it is destroyed.
    void attach(TarnFrm* form) noexcept { form_ = form; }

    // Form_Load, then the window shows unless the form hid it (or ended) while loading.
    void load();
    // The message loop; returns the exit code of WM_QUIT.
    int run();
    // Puts the user's pointers back on a way out that runs no normal clean-up. Runs
    // the form's close request and unload once; later calls do nothing.
    void emergencyUnload() noexcept;
    // The program's usual message box for a failure that reached a window procedure.
    void showError(const char* what) noexcept;

    // ---- Platform
    bool GetCursorPos(Point& where) override;
    bool SetCursorPos(std::int32_t x, std::int32_t y) override;
    CursorHandle GetCursor() override;
    CursorHandle CopyIcon(CursorHandle cursor) override;
    bool DestroyIcon(CursorHandle cursor) override;
    bool SetSystemCursor(CursorHandle cursor, std::uint32_t id) override;
    CursorHandle LoadCursorFromFile(const std::filesystem::path& file) override;
    bool DestroyCursor(CursorHandle cursor) override;
    bool ReloadSystemCursors() override;

    WindowHandle FormWindow() override;
    TwipsRect FormRectTwips() override;
    double TwipsPerPixelX() override;
    double TwipsPerPixelY() override;
    void ShowForm() override;
    void HideForm() override;
    void SetFormVisible(bool visible) override;
    bool FormVisible() override;
    bool MoveWindow(WindowHandle window, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                    bool repaint) override;
    void SetLabelForeColor(int index, std::uint32_t color) override;
    void SetCheckValue(int index, int value) override;
    int CheckValue(int index) override;
    WindowHandle KnobWindow() override;
    TwipsRect KnobRectTwips() override;
    void SetKnobLeftTwips(double left) override;
    void SetTimerEnabled(Timer timer, bool enabled) override;
    void SetTimerInterval(Timer timer, std::int32_t milliseconds) override;
    void DoEvents() override;

    void SetListViewMousePointer(MousePointer shape) override;
    void ClearListViewSmallIcons() override;
    void ClearListView() override;
    void ClearImageList() override;
    void AddImageListPicture(const std::string& key, PictureHandle picture) override;
    void AddListViewItem(const std::string& key, const std::string& text, const std::string& iconKey) override;
    std::optional<std::string> ListViewSelectedKey() override;

    PictureHandle LoadPicture(const std::filesystem::path& file) override;
    void SetPreviewPicture(PictureHandle picture) override;

    WindowHandle TrayHostWindow() override;
    IconHandle FormIcon() override;
    std::uint32_t NotifyIconRecordSize() override;
    bool Shell_NotifyIcon(NotifyIconMessage message, const NotifyIconRecord& record) override;
    void ShellExecute(WindowHandle owner, const std::string& operation, const std::string& file,
                      const std::string& parameters, const std::string& directory, int showCommand) override;

    void MessageBox(const std::string& text) override;

    bool PrevInstance() override;
    std::filesystem::path ProgramFolder() override;
    void SetTaskVisible(bool visible) override;
    [[noreturn]] void End() override;

private:
    // One window procedure per class, all alike: find the backend, then run the
    // class's handler with no exception crossing back into the system.
    using Handler = LRESULT (Win32Platform::*)(HWND, UINT, WPARAM, LPARAM);
    template <Handler handler>
    static LRESULT CALLBACK windowProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK listProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);

    LRESULT onForm(HWND, UINT, WPARAM, LPARAM);
    LRESULT onFrame(HWND, UINT, WPARAM, LPARAM);
    LRESULT onKnob(HWND, UINT, WPARAM, LPARAM);
    LRESULT onTray(HWND, UINT, WPARAM, LPARAM);
    LRESULT onList(HWND, UINT, WPARAM, LPARAM);
    // Shared by the form and the frames: child notifications, pointers, mouse, painting.
    std::optional<LRESULT> onSurface(HWND, layout::Container, UINT, WPARAM, LPARAM);

    void registerClasses();
    void createWindows();
    void applyDpi(unsigned dpi, const RECT* suggested);
    void rebuildFonts();
    [[nodiscard]] HFONT font(float points, bool bold) const;
    [[nodiscard]] HWND frameWindow(layout::Container container) const;
    [[nodiscard]] HWND containerWindow(layout::Container container) const;

    void paint(HWND window, layout::Container container);
    void paintControl(HDC dc, const layout::Control& control);
    void invalidateControl(const layout::Control& control);

    void onMouse(HWND window, layout::Container container, UINT message, WPARAM wParam, LPARAM lParam);
    void dispatch(const FormEvent& event);
    bool setPointer(HWND window, layout::Container container, HWND over);
    [[nodiscard]] HCURSOR cursorFor(layout::Pointer pointer) const;
    [[nodiscard]] HCURSOR listViewCursor() const;
    [[nodiscard]] bool pointerOverListView() const;

    void applyTimer(Timer timer, TimerGate::Action action);
    void onTimer(UINT_PTR id);
    OwnedIcon takePicture(PictureHandle picture);
    [[nodiscard]] HWND dialogOwner() const;

    HINSTANCE instance_;
    TarnFrm* form_ = nullptr;
    unsigned dpi_ = 96;
    double tpp_ = 15.0;
    std::wstring face_;

    // Resources first, windows last: members are destroyed in reverse order, so the
    // windows go before the fonts, brushes and image list they use.
    OwnedBrush peach_;
    OwnedIcon programIcon_;
    OwnedIcon hand_;
    OwnedBitmap banner_;
    OwnedIcon blank_;
    OwnedIcon preview_;
    OwnedImageList images_;
    std::map<std::pair<int, bool>, OwnedFont> fonts_;  // (points x 100, bold)
    std::map<std::uintptr_t, OwnedIcon> pictures_;     // loaded, not yet handed over
    OwnedMutex instanceMutex_;
    OwnedWindow trayHost_;
    OwnedWindow formWindow_;
    // Child windows belong to their parent and go with it.
    std::array<HWND, 5> frames_{};  // Frame1 ... Frame5
    HWND listView_ = nullptr;
    HWND knob_ = nullptr;
    std::array<HWND, 3> checks_{};

    std::map<int, std::uint32_t> labelColors_;
    KeyedCollection itemKeys_;
    KeyedCollection imageKeys_;
    MousePointer listPointer_ = MousePointer::Default;
    std::array<TimerGate, 2> timers_{};
    PressTracker press_;
    std::optional<bool> prevInstance_;
    bool loading_ = false;
    bool hiddenWhileLoading_ = false;
    bool unloaded_ = false;
    UINT taskbarCreated_ = 0;
    TrayMemory tray_;
};

}  // namespace tarn::win32
