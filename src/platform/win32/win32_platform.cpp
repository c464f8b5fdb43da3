// The platform operations the core calls, carried out with the wide-character Win32 API.
#include "platform/win32/win32_platform.h"

#include <algorithm>
#include <vector>

#include "platform/win32/resource.h"
#include "platform/win32/text.h"
#include "shell/tarn_frm.h"

namespace tarn::win32 {

namespace {

std::wstring wide(std::string_view text) {
    const std::u16string u = utf8ToUtf16(text);
    return std::wstring(u.begin(), u.end());
}

template <class H>
H toSystem(std::uintptr_t value) {
    return reinterpret_cast<H>(value);
}

template <class T>
std::uintptr_t fromSystem(T handle) {
    return reinterpret_cast<std::uintptr_t>(handle);
}

std::size_t timerSlot(Timer t) { return t == Timer::Timer1 ? 0 : 1; }

// A picture for list entries whose set had no picture: transparent, 32 x 32.
HICON makeBlankIcon() {
    std::vector<unsigned char> andMask(32 * 32 / 8, 0xFF);
    std::vector<unsigned char> xorMask(32 * 32 / 8, 0x00);
    return ::CreateIcon(nullptr, 32, 32, 1, 1, andMask.data(), xorMask.data());
}

}  // namespace

Win32Platform::Win32Platform(HINSTANCE instance) : instance_(instance) {
    peach_.reset(::CreateSolidBrush(static_cast<COLORREF>(layout::kPeach)));
    programIcon_.reset(static_cast<HICON>(
        ::LoadImageW(instance_, MAKEINTRESOURCEW(IDI_TARNWICK), IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR)));
    hand_.reset(static_cast<HICON>(
        ::LoadImageW(instance_, MAKEINTRESOURCEW(IDC_TARNWICK_HAND), IMAGE_CURSOR, 0, 0, LR_DEFAULTCOLOR)));
    banner_.reset(static_cast<HBITMAP>(
        ::LoadImageW(instance_, MAKEINTRESOURCEW(IDB_BANNER), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
    blank_.reset(makeBlankIcon());
    images_.reset(::ImageList_Create(32, 32, ILC_COLOR32 | ILC_MASK, 0, 16));
    if (!peach_ || !images_) throw PlatformError("Out of memory");
    taskbarCreated_ = ::RegisterWindowMessageW(L"TaskbarCreated");
    createWindows();
}

Win32Platform::~Win32Platform() {
    // Destroying the windows must not raise events in a form that is already gone.
    form_ = nullptr;
    formWindow_.reset();
    trayHost_.reset();
}

void Win32Platform::load() {
    if (!form_) return;
    loading_ = true;
    hiddenWhileLoading_ = false;
    try {
        form_->Form_Load();
    } catch (const std::exception& e) {
        showError(e.what());
    } catch (...) {
        showError("Unexpected error");
    }
    loading_ = false;
    // A form shows itself once loaded unless it chose to stay invisible.
    if (!hiddenWhileLoading_ && !form_->ended() && formWindow_ && !::IsWindowVisible(formWindow_.get())) ShowForm();
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

void Win32Platform::emergencyUnload() noexcept {
    if (unloaded_ || !form_) return;
    unloaded_ = true;
    try {
        form_->Form_QueryUnload();
    } catch (...) {
    }
    try {
        form_->Form_Unload();
    } catch (...) {
    }
}

void Win32Platform::showError(const char* what) noexcept {
    try {
        MessageBox(what ? what : "Unexpected error");
    } catch (...) {
        ::MessageBoxW(nullptr, L"Unexpected error", L"Tarnwick", MB_ICONEXCLAMATION | MB_OK);
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

CursorHandle Win32Platform::GetCursor() { return CursorHandle{fromSystem(::GetCursor())}; }

CursorHandle Win32Platform::CopyIcon(CursorHandle cursor) {
    return CursorHandle{fromSystem(::CopyIcon(toSystem<HICON>(cursor.value())))};
}

bool Win32Platform::DestroyIcon(CursorHandle cursor) { return ::DestroyIcon(toSystem<HICON>(cursor.value())) != FALSE; }

bool Win32Platform::SetSystemCursor(CursorHandle cursor, std::uint32_t id) {
    return ::SetSystemCursor(toSystem<HCURSOR>(cursor.value()), id) != FALSE;
}

CursorHandle Win32Platform::LoadCursorFromFile(const std::filesystem::path& file) {
    return CursorHandle{fromSystem(::LoadCursorFromFileW(file.c_str()))};
}

bool Win32Platform::DestroyCursor(CursorHandle cursor) {
    return ::DestroyCursor(toSystem<HCURSOR>(cursor.value())) != FALSE;
}

bool Win32Platform::ReloadSystemCursors() { return ::SystemParametersInfoW(SPI_SETCURSORS, 0, nullptr, 0) != FALSE; }

// ---- The window and its controls

WindowHandle Win32Platform::FormWindow() { return WindowHandle{fromSystem(formWindow_.get())}; }

TwipsRect Win32Platform::FormRectTwips() {
    RECT r{};
    ::GetWindowRect(formWindow_.get(), &r);
    return TwipsRect{r.left * tpp_, r.top * tpp_, (r.right - r.left) * tpp_, (r.bottom - r.top) * tpp_};
}

double Win32Platform::TwipsPerPixelX() { return tpp_; }

double Win32Platform::TwipsPerPixelY() { return tpp_; }

void Win32Platform::ShowForm() {
    ::ShowWindow(formWindow_.get(), SW_SHOW);
    ::SetForegroundWindow(formWindow_.get());
}

void Win32Platform::HideForm() {
    if (loading_) hiddenWhileLoading_ = true;
    ::ShowWindow(formWindow_.get(), SW_HIDE);
}

void Win32Platform::SetFormVisible(bool visible) {
    if (visible) ShowForm();
    else HideForm();
}

bool Win32Platform::FormVisible() { return ::IsWindowVisible(formWindow_.get()) != FALSE; }

bool Win32Platform::MoveWindow(WindowHandle window, std::int32_t x, std::int32_t y, std::int32_t width,
                               std::int32_t height, bool repaint) {
    return ::MoveWindow(toSystem<HWND>(window.value()), x, y, width, height, repaint ? TRUE : FALSE) != FALSE;
}

void Win32Platform::SetLabelForeColor(int index, std::uint32_t color) {
    auto& stored = labelColors_[index];
    if (stored == color) return;  // the core resets colours on every move; repaint only changes
    stored = color;
    for (const layout::Control& c : layout::kControls)
        if (c.kind == layout::Kind::Label && c.index == index) invalidateControl(c);
}

void Win32Platform::SetCheckValue(int index, int value) {
    if (index < 0 || index >= static_cast<int>(checks_.size())) throw PlatformError("Control array element does not exist");
    const WPARAM state = value == 0 ? BST_UNCHECKED : value == 2 ? BST_INDETERMINATE : BST_CHECKED;
    ::SendMessageW(checks_[static_cast<std::size_t>(index)], BM_SETCHECK, state, 0);
}

int Win32Platform::CheckValue(int index) {
    if (index < 0 || index >= static_cast<int>(checks_.size())) throw PlatformError("Control array element does not exist");
    const LRESULT state = ::SendMessageW(checks_[static_cast<std::size_t>(index)], BM_GETCHECK, 0, 0);
    return state == BST_CHECKED ? 1 : state == BST_INDETERMINATE ? 2 : 0;
}

WindowHandle Win32Platform::KnobWindow() { return WindowHandle{fromSystem(knob_)}; }

TwipsRect Win32Platform::KnobRectTwips() {
    RECT r{};
    ::GetWindowRect(knob_, &r);
    ::MapWindowPoints(nullptr, frameWindow(layout::Container::Frame2), reinterpret_cast<POINT*>(&r), 2);
    return TwipsRect{r.left * tpp_, r.top * tpp_, (r.right - r.left) * tpp_, (r.bottom - r.top) * tpp_};
}

void Win32Platform::SetKnobLeftTwips(double left) {
    RECT r{};
    ::GetWindowRect(knob_, &r);
    ::MapWindowPoints(nullptr, frameWindow(layout::Container::Frame2), reinterpret_cast<POINT*>(&r), 2);
    ::SetWindowPos(knob_, nullptr, twipsToPixels(left, tpp_), r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Platform::applyTimer(Timer timer) {
    TimerState& t = timers_[timerSlot(timer)];
    const auto id = static_cast<UINT_PTR>(timer);
    if (t.enabled && t.interval > 0) {
        // Setting an existing timer again restarts its count, as a new interval should.
        t.running = ::SetTimer(formWindow_.get(), id, static_cast<UINT>(t.interval), nullptr) != 0;
    } else if (t.running) {
        ::KillTimer(formWindow_.get(), id);
        t.running = false;
    }
}

void Win32Platform::SetTimerEnabled(Timer timer, bool enabled) {
    timers_[timerSlot(timer)].enabled = enabled;
    applyTimer(timer);
}

void Win32Platform::SetTimerInterval(Timer timer, std::int32_t milliseconds) {
    timers_[timerSlot(timer)].interval = milliseconds;
    applyTimer(timer);
}

void Win32Platform::onTimer(UINT_PTR id) {
    if (!form_ || (id != 1 && id != 2)) return;
    TimerState& t = timers_[id - 1];
    // A tick yields to pending events; a timer message met there must not start the same
    // handler again inside itself, or short intervals would nest without end.
    if (t.inHandler || !t.running) return;
    t.inHandler = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{t.inHandler};
    if (id == 1) form_->Timer1_Timer();
    else form_->Timer2_Timer();
}

void Win32Platform::DoEvents() {
    // Only what is waiting now: a bounded number of messages, so a stream of new ones
    // (timers, paints) cannot keep the caller here.
    MSG message{};
    for (int budget = 256; budget > 0 && ::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE); --budget) {
        if (message.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

// ---- The list of cursor sets

HCURSOR Win32Platform::listViewCursor() const {
    switch (listPointer_) {
        case MousePointer::Hourglass: return ::LoadCursorW(nullptr, IDC_WAIT);
        case MousePointer::ArrowHourglass: return ::LoadCursorW(nullptr, IDC_APPSTARTING);
        default: return ::LoadCursorW(nullptr, IDC_ARROW);
    }
}

bool Win32Platform::pointerOverListView() const {
    POINT p{};
    RECT r{};
    return listView_ && ::GetCursorPos(&p) && ::GetWindowRect(listView_, &r) && ::PtInRect(&r, p);
}

void Win32Platform::SetListViewMousePointer(MousePointer shape) {
    listPointer_ = shape;
    // The core reads GetCursor straight after this, so the shape must be shown now, not
    // at the next WM_SETCURSOR.
    if (pointerOverListView()) ::SetCursor(listViewCursor());
}

void Win32Platform::ClearListViewSmallIcons() { ListView_SetImageList(listView_, nullptr, LVSIL_SMALL); }

void Win32Platform::ClearListView() {
    ListView_DeleteAllItems(listView_);
    itemKeys_.clear();
}

void Win32Platform::ClearImageList() {
    ImageList_RemoveAll(images_.get());
    imageKeys_.clear();
    ::InvalidateRect(listView_, nullptr, TRUE);
}

OwnedIcon Win32Platform::takePicture(PictureHandle picture) {
    if (picture.isNull()) return OwnedIcon{};
    const auto it = pictures_.find(picture.value());
    if (it == pictures_.end()) throw PlatformError("Invalid picture");
    OwnedIcon owned = std::move(it->second);
    pictures_.erase(it);
    return owned;
}

void Win32Platform::AddImageListPicture(const std::string& key, PictureHandle picture) {
    const OwnedIcon icon = takePicture(picture);  // released on every path out of here
    imageKeys_.checkUnique(key);
    if (ImageList_ReplaceIcon(images_.get(), -1, icon ? icon.get() : blank_.get()) < 0)
        throw PlatformError("Out of memory");
    imageKeys_.add(key);
}

void Win32Platform::AddListViewItem(const std::string& key, const std::string& text, const std::string& iconKey) {
    itemKeys_.checkUnique(key);
    int image = I_IMAGENONE;
    if (!iconKey.empty()) {
        const auto position = imageKeys_.find(iconKey);
        if (!position) throw PlatformError("Element not found");
        image = static_cast<int>(*position);
    }
    std::wstring caption = wide(text);
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = ListView_GetItemCount(listView_);
    item.pszText = caption.data();
    item.iImage = image;
    item.lParam = static_cast<LPARAM>(itemKeys_.size());
    if (ListView_InsertItem(listView_, &item) < 0) throw PlatformError("Out of memory");
    itemKeys_.add(key);
}

std::optional<std::string> Win32Platform::ListViewSelectedKey() {
    const int selected = ListView_GetNextItem(listView_, -1, LVNI_SELECTED);
    if (selected < 0) return std::nullopt;
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = selected;
    if (!ListView_GetItem(listView_, &item)) return std::nullopt;
    const auto position = static_cast<std::size_t>(item.lParam);
    if (position >= itemKeys_.size()) return std::nullopt;
    return itemKeys_.keyAt(position);
}

// ---- Pictures

PictureHandle Win32Platform::LoadPicture(const std::filesystem::path& file) {
    HANDLE image = ::LoadImageW(nullptr, file.c_str(), IMAGE_CURSOR, 0, 0, LR_LOADFROMFILE);
    if (!image) image = ::LoadImageW(nullptr, file.c_str(), IMAGE_ICON, 0, 0, LR_LOADFROMFILE);
    if (!image) {
        std::error_code ec;
        if (!std::filesystem::exists(file, ec)) throw PlatformError("File not found");
        throw PlatformError("Invalid picture");
    }
    OwnedIcon owned(static_cast<HICON>(image));
    const std::uintptr_t value = fromSystem(owned.get());
    pictures_.emplace(value, std::move(owned));
    return PictureHandle{value};
}

void Win32Platform::SetPreviewPicture(PictureHandle picture) {
    preview_ = takePicture(picture);  // the previous picture is released here
    invalidateControl(layout::control(layout::Id::Preview));
}

// ---- The shell

WindowHandle Win32Platform::TrayHostWindow() { return WindowHandle{fromSystem(trayHost_.get())}; }

IconHandle Win32Platform::FormIcon() { return IconHandle{fromSystem(programIcon_.get())}; }

std::uint32_t Win32Platform::NotifyIconRecordSize() { return static_cast<std::uint32_t>(NOTIFYICONDATAW_V1_SIZE); }

bool Win32Platform::Shell_NotifyIcon(NotifyIconMessage message, const NotifyIconRecord& record) {
    NOTIFYICONDATAW data{};
    // Always the size of the structure filled here, whatever the record says, so the
    // shell never reads past it.
    data.cbSize = NOTIFYICONDATAW_V1_SIZE;
    data.hWnd = toSystem<HWND>(record.owner.value());
    data.uID = record.id;
    data.uFlags = record.flags;
    data.uCallbackMessage = record.callbackMessage;
    data.hIcon = record.icon.isNull() ? programIcon_.get() : toSystem<HICON>(record.icon.value());
    const std::u16string tip = fitUtf16(utf8ToUtf16(record.tip), std::size(data.szTip) - 1);
    std::copy(tip.begin(), tip.end(), data.szTip);

    const BOOL done = ::Shell_NotifyIconW(static_cast<DWORD>(message), &data);
    // Remember what should be shown even when the shell is not there yet: the task bar
    // announces itself with TaskbarCreated and gets the icon then.
    if (message == NotifyIconMessage::Add) {
        trayIcon_ = record;
        if (record.flags & kNifMessage) trayCallback_ = record.callbackMessage;
    } else if (message == NotifyIconMessage::Delete && trayIcon_ && trayIcon_->id == record.id) {
        trayIcon_.reset();
    }
    return done != FALSE;
}

void Win32Platform::ShellExecute(WindowHandle owner, const std::string& operation, const std::string& file,
                                 const std::string& parameters, const std::string& directory, int showCommand) {
    const std::wstring op = wide(operation);
    const std::wstring target = wide(file);
    const std::wstring params = wide(parameters);
    const std::wstring dir = wide(directory);
    ::ShellExecuteW(toSystem<HWND>(owner.value()), op.c_str(), target.c_str(), params.c_str(), dir.c_str(),
                    showCommand);
}

HWND Win32Platform::dialogOwner() const {
    HWND form = formWindow_.get();
    return form && ::IsWindowVisible(form) ? form : nullptr;
}

void Win32Platform::MessageBox(const std::string& text) {
    const std::wstring body = wide(text);
    ::MessageBoxW(dialogOwner(), body.c_str(), L"Tarnwick", MB_ICONEXCLAMATION | MB_OK);
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
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return std::filesystem::current_path();
        if (length < buffer.size()) {
            buffer.resize(length);
            return std::filesystem::path(buffer).parent_path();
        }
        buffer.resize(buffer.size() * 2);  // a long path: try again with room for it
    }
}

void Win32Platform::SetTaskVisible(bool visible) {
    if (visible) return;
    // Tool windows have no task-bar button and no Alt-Tab entry.
    for (HWND window : {formWindow_.get(), trayHost_.get()}) {
        if (!window) continue;
        const LONG_PTR style = ::GetWindowLongPtrW(window, GWL_EXSTYLE);
        if (!(style & WS_EX_TOOLWINDOW)) ::SetWindowLongPtrW(window, GWL_EXSTYLE, style | WS_EX_TOOLWINDOW);
    }
}

void Win32Platform::End() { ::ExitProcess(0); }

}  // namespace tarn::win32
