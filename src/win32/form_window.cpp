// The form's window: classes, creation, DPI, fonts, geometry, check boxes and timers.
#include "win32/form_window.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "cursorset/set_pictures.h"
#include "platform/units.h"
#include "shell/knob.h"
#include "shell/layout_math.h"
#include "win32/dll_search.h"
#include "win32/failure.h"
#include "win32/handles.h"
#include "win32/resource.h"

namespace tarn::win32 {

namespace {

using layout::Container;
using layout::Id;
using layout::Kind;
using layout::kControls;

constexpr wchar_t kFormClass[] = L"TarnwickForm";
constexpr wchar_t kFrameClass[] = L"TarnwickFrame";
constexpr wchar_t kKnobClass[] = L"TarnwickKnob";
constexpr int kListViewId = 200;

std::size_t frameSlot(Container c) { return static_cast<std::size_t>(c) - static_cast<std::size_t>(Container::Frame1); }

Container frameContainer(Id id) {
    switch (id) {
        case Id::Frame1: return Container::Frame1;
        case Id::Frame2: return Container::Frame2;
        case Id::Frame3: return Container::Frame3;
        case Id::Frame4: return Container::Frame4;
        default: return Container::Frame5;
    }
}

// A control the design draws as a label or a picture that acts when clicked: a button
// window over its place, drawn by the surface under it.
bool drawnButton(const layout::Control& c) {
    return c.access.role == layout::Role::Button && (c.kind == Kind::Label || c.kind == Kind::Image);
}

std::size_t rowIndex(const layout::Control& c) { return static_cast<std::size_t>(&c - kControls.data()); }

std::size_t timerSlot(Timer t) { return t == Timer::Timer1 ? 0 : 1; }

unsigned windowDpi(HWND window) {
    static const auto getDpi = SystemFunction<UINT(WINAPI*)(HWND)>(L"user32.dll", "GetDpiForWindow");
    if (getDpi && window) {
        const UINT dpi = getDpi(window);
        if (dpi > 0) return dpi;
    }
    const WindowDc screen;
    const int dpi = ::GetDeviceCaps(screen.get(), LOGPIXELSX);
    return dpi > 0 ? static_cast<unsigned>(dpi) : 96u;
}

// A size the system gives, at `dpi`: GetSystemMetricsForDpi where the system has it, else
// the size at the system's DPI scaled to `dpi`.
int systemMetric(int metric, unsigned dpi) {
    static const auto metricForDpi =
        SystemFunction<int(WINAPI*)(int, UINT)>(L"user32.dll", "GetSystemMetricsForDpi");
    if (metricForDpi) return metricForDpi(metric, dpi);
    return ::MulDiv(::GetSystemMetrics(metric), static_cast<int>(dpi), static_cast<int>(windowDpi(nullptr)));
}

int CALLBACK noteFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool faceExists(std::string_view face) {
    LOGFONTW query{};
    query.lfCharSet = DEFAULT_CHARSET;
    const std::wstring name = wide(face);
    std::copy_n(name.c_str(), std::min<std::size_t>(name.size() + 1, LF_FACESIZE - 1), query.lfFaceName);
    bool found = false;
    const WindowDc screen;
    ::EnumFontFamiliesExW(screen.get(), &query, noteFace, reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

layout::PixelRect pixelRect(const RECT& r) { return {r.left, r.top, r.right - r.left, r.bottom - r.top}; }

BOOL CALLBACK noteMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM found) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (::GetMonitorInfoW(monitor, &info))
        reinterpret_cast<std::vector<layout::Monitor>*>(found)->push_back(
            {pixelRect(info.rcMonitor), pixelRect(info.rcWork)});
    return TRUE;
}

std::vector<layout::Monitor> displayMonitors() {
    std::vector<layout::Monitor> monitors;
    ::EnumDisplayMonitors(nullptr, nullptr, noteMonitor, reinterpret_cast<LPARAM>(&monitors));
    return monitors;
}

}  // namespace

FormWindow::FormWindow(HINSTANCE instance, FormLink& link, Dialogs& dialogs, SetList& list, Painter& painter,
                       Annotations& annotations)
    : instance_(instance), link_(link), dialogs_(dialogs), list_(list), painter_(painter), annotations_(annotations) {
    hand_.reset(static_cast<HICON>(
        ::LoadImageW(instance_, MAKEINTRESOURCEW(IDC_TARNWICK_HAND), IMAGE_CURSOR, 0, 0, LR_DEFAULTCOLOR)));
    registerClasses();
    const std::wstring title = wide(layout::kWindowTitle);
    form_.reset(checked(::CreateWindowExW(WS_EX_TOOLWINDOW, kFormClass, title.c_str(),
                                          WS_POPUP | WS_BORDER | WS_CLIPCHILDREN, 0, 0, 0, 0, nullptr, nullptr,
                                          instance_, this),
                        messages::kCannotCreateMainWindow, "CreateWindowExW"));
    dialogs_.setOwner(form_.get());
    createControls();
    applyDpi(windowDpi(form_.get()), nullptr);
    presence_.ask(form_.get());
}

FormWindow::~FormWindow() {
    ticks_.stop();
    dialogs_.setOwner(nullptr);
    form_.reset();
}

void FormWindow::registerClasses() {
    const auto registerClass = [](const WNDCLASSEXW& c) {
        checked(::RegisterClassExW(&c), messages::kCannotCreateMainWindow, "RegisterClassExW");
    };
    WNDCLASSEXW form{};
    form.cbSize = sizeof form;
    form.lpfnWndProc = &windowProc<FormWindow, &FormWindow::onForm>;
    form.hInstance = instance_;
    form.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    form.lpszClassName = kFormClass;
    registerClass(form);

    WNDCLASSEXW frame = form;
    frame.lpfnWndProc = &windowProc<FormWindow, &FormWindow::onFrame>;
    frame.lpszClassName = kFrameClass;
    registerClass(frame);

    WNDCLASSEXW knob = frame;
    knob.lpfnWndProc = &windowProc<FormWindow, &FormWindow::onKnob>;
    knob.lpszClassName = kKnobClass;
    registerClass(knob);
}

void FormWindow::createControls() {
    constexpr const char* kWhat = messages::kCannotCreateControls;
    HWND form = form_.get();
    // In the design's order, which puts every frame before the controls it holds.
    for (const layout::Control& c : kControls) {
        if (c.kind == Kind::Frame) {
            const std::wstring caption = wide(c.text);
            frames_[frameSlot(frameContainer(c.id))] = checked(
                ::CreateWindowExW(0, kFrameClass, caption.c_str(), WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                                  0, 0, 0, 0, form, nullptr, instance_, this),
                kWhat, "CreateWindowExW");
        } else if (c.kind == Kind::ListView) {
            list_.create(instance_, form, kListViewId, painter_.color(c.backColor), painter_.color(c.foreColor));
        } else if (c.kind == Kind::CheckBox) {
            const std::wstring caption = wide(c.text);
            checks_[static_cast<std::size_t>(c.index)] = checked(
                ::CreateWindowExW(0, L"BUTTON", caption.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 0,
                                  0, 0, 0, containerWindow(c.container),
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCheckIdBase + c.index)), instance_,
                                  nullptr),
                kWhat, "CreateWindowExW");
        } else if (c.id == Id::Knob) {
            knob_ = checked(::CreateWindowExW(0, kKnobClass, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, 0, 0,
                                              containerWindow(c.container), nullptr, instance_, this),
                            kWhat, "CreateWindowExW");
            annotations_.describe(knob_, c);
        } else if (drawnButton(c)) {
            // Its text is the name a screen reader reads out; what it shows is the design's.
            const std::wstring name = wide(layout::accessibleName(c));
            const DWORD style = WS_CHILD | WS_VISIBLE | BS_OWNERDRAW | (c.access.tab > 0 ? WS_TABSTOP : 0);
            const std::size_t row = rowIndex(c);
            buttons_[row] = checked(
                ::CreateWindowExW(0, L"BUTTON", name.c_str(), style, 0, 0, 0, 0, containerWindow(c.container),
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(kButtonIdBase + row)), instance_,
                                  nullptr),
                kWhat, "CreateWindowExW");
            ::SetWindowSubclass(buttons_[row], &FormWindow::buttonProc, row, reinterpret_cast<DWORD_PTR>(this));
        }
    }
    // Each control's keys reach the form first (the knob's and the surfaces' own
    // procedures do the same).
    for (const layout::Control& c : kControls) {
        HWND window = c.kind == Kind::Frame || c.id == Id::Knob ? nullptr : windowOf(c);
        if (window) ::SetWindowSubclass(window, &FormWindow::keyProc, kKeySubclassId, reinterpret_cast<DWORD_PTR>(this));
    }
    // Every control the design names is there, or the form is not shown at all.
    const auto missingButton = [this](const layout::Control& c) { return drawnButton(c) && !buttons_[rowIndex(c)]; };
    if (!knob_ || std::count(frames_.begin(), frames_.end(), nullptr) > 0 ||
        std::count(checks_.begin(), checks_.end(), nullptr) > 0 ||
        std::any_of(kControls.begin(), kControls.end(), missingButton))
        throw PlatformError(kWhat);
}

HWND FormWindow::frameWindow(Container c) const { return frames_.at(frameSlot(c)); }

HWND FormWindow::containerWindow(Container c) const { return c == Container::Window ? form_.get() : frameWindow(c); }

HWND FormWindow::windowOf(const layout::Control& c) const {
    switch (c.kind) {
        case Kind::Frame: return frameWindow(frameContainer(c.id));
        case Kind::ListView: return list_.window();
        case Kind::CheckBox: return checks_[static_cast<std::size_t>(c.index)];
        default: return c.id == Id::Knob ? knob_ : buttons_[rowIndex(c)];
    }
}

std::optional<std::size_t> FormWindow::rowOf(HWND window) const {
    if (!window) return std::nullopt;
    for (std::size_t row = 0; row < kControls.size(); ++row)
        if (windowOf(kControls[row]) == window) return row;
    return std::nullopt;
}

void FormWindow::applyDpi(unsigned dpi, const RECT* suggested) {
    // The knob keeps the design pixel it stands for across a DPI change; before the first
    // layout it takes the design's place.
    const RECT knob = knobInFrame();
    const bool knobPlaced = knob.right > knob.left;
    const double previousTpp = tpp_;

    dpi_ = dpi;
    tpp_ = TwipsPerPixel(dpi);
    painter_.setScaling(tpp_);
    list_.setSide(SetPictureSide(tpp_), SIZE{systemMetric(SM_CXICONSPACING, dpi_), systemMetric(SM_CYICONSPACING, dpi_)});
    applyIcons();
    // The face too may differ at the new DPI. The controls switch to the new fonts
    // before the old ones are released.
    FontTable previous = std::exchange(fonts_, FontTable(dpi_, wide(layout::pickFontFace(dpi_, faceExists))));
    const layout::Control& listDesign = layout::control(Id::ListView);
    ::SendMessageW(list_.window(), WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.get(listDesign.points, listDesign.bold)),
                   TRUE);

    for (const layout::Control& c : kControls) {
        HWND window = windowOf(c);
        if (!window) continue;
        layout::PixelRect r = layout::controlRect(c, tpp_, tpp_);
        if (c.id == Id::Knob && knobPlaced) r = layout::knobAfterDpiChange(knob.left, previousTpp, tpp_);
        if (c.kind == Kind::CheckBox)
            ::SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.get(c.points, c.bold)), TRUE);
        ::MoveWindow(window, r.left, r.top, r.width, r.height, TRUE);
    }

    layout::PixelRect window = layout::windowRect(0, 0, tpp_);
    if (suggested) {
        window.left = suggested->left;
        window.top = suggested->top;
    } else {
        RECT work{};
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        window.left = work.left + (work.right - work.left - window.width) / 2;
        window.top = work.top + (work.bottom - work.top - window.height) / 2;
    }
    ::SetWindowPos(form_.get(), nullptr, window.left, window.top, window.width, window.height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    // The frames too: one that shrank keeps what it showed at the old size otherwise.
    ::RedrawWindow(form_.get(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void FormWindow::applyIcons() {
    // Each handed over before the one it replaces goes.
    OwnedIcon big = programIcon(instance_, systemMetric(SM_CXICON, dpi_));
    OwnedIcon small = programIcon(instance_, systemMetric(SM_CXSMICON, dpi_));
    if (big) ::SendMessageW(form_.get(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big.get()));
    if (small) ::SendMessageW(form_.get(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small.get()));
    if (big) bigIcon_ = std::move(big);
    if (small) smallIcon_ = std::move(small);
}

void FormWindow::applyTheme() {
    painter_.setTheme(highContrastOn());
    const layout::Control& listDesign = layout::control(Id::ListView);
    list_.setColors(painter_.color(listDesign.backColor), painter_.color(listDesign.foreColor));
    // The check boxes ask for their colours again as they repaint.
    ::RedrawWindow(form_.get(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// ---- Geometry

TwipsRect FormWindow::twips(const RECT& r) const {
    return TwipsRect{ToTwips(r.left, tpp_), ToTwips(r.top, tpp_), ToTwips(r.right - r.left, tpp_),
                     ToTwips(r.bottom - r.top, tpp_)};
}

TwipsRect FormWindow::rectTwips() const {
    RECT r{};
    ::GetWindowRect(form_.get(), &r);
    return twips(r);
}

RECT FormWindow::knobInFrame() const {
    RECT r{};
    if (!knob_ || !::GetWindowRect(knob_, &r)) return RECT{};
    ::MapWindowPoints(nullptr, frameWindow(Container::Frame2), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

TwipsRect FormWindow::knobRectTwips() const {
    return twips(knobInFrame());
}

void FormWindow::setKnobLeftTwips(double left) {
    const RECT r = knobInFrame();
    ::SetWindowPos(knob_, nullptr, ToPixels(left, tpp_), r.top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void FormWindow::invalidate(const layout::Control& c) {
    const layout::PixelRect r = layout::controlRect(c, tpp_, tpp_);
    const RECT rect{r.left, r.top, r.right(), r.bottom()};
    ::InvalidateRect(containerWindow(c.container), &rect, FALSE);
    if (HWND button = buttons_[rowIndex(c)]) ::InvalidateRect(button, nullptr, FALSE);
}

// ---- Showing, labels and check boxes

void FormWindow::show() {
    bringOntoMonitor();
    ::ShowWindow(form_.get(), SW_SHOW);
    ::SetForegroundWindow(form_.get());
    list_.focus();
}

void FormWindow::bringOntoMonitor() {
    // A second pass when the first moved the window onto a monitor of another DPI: the
    // window changed size there and may need one more step to lie whole on it.
    for (int pass = 0; pass < 2; ++pass) {
        RECT r{};
        if (!::GetWindowRect(form_.get(), &r)) return;
        const layout::PixelRect window = pixelRect(r);
        const std::vector<layout::Monitor> monitors = displayMonitors();
        const std::optional<layout::PixelRect> place =
            layout::bringBack(window, layout::titleStrip(window, tpp_), monitors);
        if (!place) return;
        const unsigned dpiBefore = dpi_;
        ::SetWindowPos(form_.get(), nullptr, place->left, place->top, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        if (dpi_ == dpiBefore) return;
    }
}

void FormWindow::hide() { ::ShowWindow(form_.get(), SW_HIDE); }

void FormWindow::setLabelColor(int index, std::uint32_t color) {
    if (!painter_.setLabelColor(index, color)) return;
    for (const layout::Control& c : kControls)
        if (c.kind == Kind::Label && c.index == index) invalidate(c);
}

void FormWindow::setCheck(int index, int value) {
    if (index < 0 || index >= static_cast<int>(checks_.size())) throw PlatformError(messages::kNoSuchControl);
    const WPARAM state = value == 0 ? BST_UNCHECKED : value == 2 ? BST_INDETERMINATE : BST_CHECKED;
    ::SendMessageW(checks_[static_cast<std::size_t>(index)], BM_SETCHECK, state, 0);
}

int FormWindow::check(int index) const {
    if (index < 0 || index >= static_cast<int>(checks_.size())) throw PlatformError(messages::kNoSuchControl);
    const LRESULT state = ::SendMessageW(checks_[static_cast<std::size_t>(index)], BM_GETCHECK, 0, 0);
    return state == BST_CHECKED ? 1 : state == BST_INDETERMINATE ? 2 : 0;
}

// ---- Timers

void FormWindow::applyTimer(Timer timer, toolkit::TimerGate::Action action) {
    toolkit::TimerGate& gate = timers_[timerSlot(timer)];
    if (timer == Timer::Timer1) {
        if (action == toolkit::TimerGate::Action::Start) gate.started(ticks_.start(form_.get(), gate.interval()));
        else if (action == toolkit::TimerGate::Action::Stop) ticks_.stop();
        return;
    }
    const auto id = static_cast<UINT_PTR>(timer);
    if (action == toolkit::TimerGate::Action::Start)
        gate.started(::SetTimer(form_.get(), id, static_cast<UINT>(gate.interval()), nullptr) != 0);
    else if (action == toolkit::TimerGate::Action::Stop)
        ::KillTimer(form_.get(), id);
}

void FormWindow::setTimerEnabled(Timer timer, bool enabled) {
    applyTimer(timer, timers_[timerSlot(timer)].setEnabled(enabled));
}

void FormWindow::setTimerInterval(Timer timer, std::int32_t milliseconds) {
    applyTimer(timer, timers_[timerSlot(timer)].setInterval(milliseconds));
}

// Timer2's WM_TIMER: its handler never starts again inside itself (under its own box).
void FormWindow::onTimer(UINT_PTR id) {
    if (!link_.form() || id != static_cast<UINT_PTR>(Timer::Timer2)) return;
    toolkit::TimerGate& gate = timers_[timerSlot(Timer::Timer2)];
    if (!gate.enter()) return;
    struct Leave {
        toolkit::TimerGate& gate;
        ~Leave() { gate.leave(); }
    } leave{gate};
    link_.form()->Timer2_Timer();
}

// Timer1's tick message. A tick's yields leave tick messages queued, so one arrives
// inside a tick only through a message box's loop, where ticks go on.
void FormWindow::onTick() {
    ticks_.taken();
    if (link_.form() && timers_[timerSlot(Timer::Timer1)].running()) link_.form()->Timer1_Timer();
}

}  // namespace tarn::win32
