// The main window's design, in twips (1/1440 inch), as one table the backend reads.
//
// Twips keep the design independent of the screen: the backend converts each
// rectangle at the monitor's twips per pixel (1440 / DPI). Positions are relative to
// the control's container: the window's client area or one of the frames.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "tarnwick_version.h"

namespace tarn::layout {

// Colours as the toolkit takes them: 0x00BBGGRR.
constexpr std::uint32_t rgb(std::uint32_t r, std::uint32_t g, std::uint32_t b) { return r | (g << 8) | (b << 16); }

inline constexpr std::uint32_t kPeach = rgb(255, 224, 192);
inline constexpr std::uint32_t kOrange = rgb(255, 128, 0);  // 33023
inline constexpr std::uint32_t kDarkOrange = rgb(192, 64, 0);
inline constexpr std::uint32_t kLightOrange = rgb(255, 192, 128);
inline constexpr std::uint32_t kRed = rgb(255, 0, 0);  // 255
inline constexpr std::uint32_t kBlack = 0;
// The system's own colours, resolved by the backend: the high bit set and the
// system's colour index in the low byte.
inline constexpr std::uint32_t kWindow = 0xFF000005;
inline constexpr std::uint32_t kWindowText = 0xFF000008;
inline constexpr std::uint32_t kHighlight = 0xFF00000D;
inline constexpr std::uint32_t kButtonText = 0xFF000012;
inline constexpr std::uint32_t kHotLight = 0xFF00001A;
inline constexpr std::uint32_t kTransparent = 0xFFFFFFFF;

// The client area; the window adds a one-pixel border on every side.
inline constexpr int kClientWidth = 8640;
inline constexpr int kClientHeight = 6330;

enum class Kind { Label, Image, ListView, Frame, PictureBox, CheckBox };
enum class Align { Left, Centre };
enum class Container { Window, Frame1, Frame2, Frame3, Frame4, Frame5 };
enum class Pointer { Default, Hand, Arrow, ArrowHourglass };
// What a control is to a screen reader: what it does when used.
enum class Role { None, Button, CheckBox, Slider, List };

// The indexed control sets: a label of `lbl` or a check box of `Check1` is known by
// its index everywhere (the rows below, the form's handlers, the backend's controls,
// the tests), and these names are where each index is written. There is no label 7;
// the hidden label 4 has no row, as it is never shown.
inline constexpr int kLabelTitle = 0;
inline constexpr int kLabelSubtitle = 1;
inline constexpr int kLabelOk = 2;
inline constexpr int kLabelExit = 3;
inline constexpr int kLabelHidden = 4;
inline constexpr int kLabelVersion = 5;
inline constexpr int kLabelTitleStrip = 6;
inline constexpr int kLabelClose = 8;
// Every label, in ascending order of index.
inline constexpr std::array<int, 8> kLabels{kLabelTitle,  kLabelSubtitle, kLabelOk,         kLabelExit,
                                            kLabelHidden, kLabelVersion,  kLabelTitleStrip, kLabelClose};

inline constexpr int kCheckAutoStart = 0;
inline constexpr int kCheckNormal = 1;
inline constexpr int kCheckBusy = 2;
inline constexpr int kCheckBoxes = 3;  // indexes 0 up to this

// Which control a row describes; label and check box rows also carry their index.
enum class Id {
    TitleStrip, Icon, Title, Close, Version, Subtitle, ListView, Banner,
    Frame4, Preview, Frame1, CheckNormal, CheckBusy, Frame2, TickLeft, TickRight, Track, Knob,
    Min, Max, Frame3, CheckAutoStart, Frame5, Ok, Exit,
};

// A control as the keyboard and a screen reader reach it: its place in the tab order
// (1 first; 0 for no tab stop), its role, and the name read out for it when that is not
// its text (a screen reader says "Close", not "X").
struct Access {
    int tab = 0;
    Role role = Role::None;
    std::string_view name = {};
};

struct Control {
    Id id;
    Kind kind;
    int index;  // label or check box index, -1 otherwise
    Container container;
    int left, top, width, height;  // twips
    std::string_view text;
    std::uint32_t foreColor;
    std::uint32_t backColor;  // kTransparent: the container's colour shows through
    float points;             // font size
    bool bold;
    Align align;
    Pointer pointer;
    Access access = {};  // none for a control that does nothing when used
};

// Drawing order: later rows lie in front (the title strip behind the icon, title and
// close label; the knob in front of the track and end ticks).
inline constexpr std::array<Control, 25> kControls{{
    {Id::TitleStrip, Kind::Label, kLabelTitleStrip, Container::Window, 0, 0, 8295, 360, "", kBlack, kLightOrange, 9.75f, false, Align::Left, Pointer::Default},
    {Id::Icon, Kind::Image, -1, Container::Window, 60, 60, 480, 480, "", kBlack, kTransparent, 0, false, Align::Left, Pointer::Default},
    {Id::Title, Kind::Label, kLabelTitle, Container::Window, 555, 90, 1935, 465, "Tarnwick!", kBlack, kTransparent, 18, true, Align::Centre, Pointer::Default},
    {Id::Close, Kind::Label, kLabelClose, Container::Window, 8280, 0, 375, 360, "X", kBlack, kLightOrange, 13.5f, true, Align::Centre, Pointer::Hand, {0, Role::Button, "Close"}},
    {Id::Version, Kind::Label, kLabelVersion, Container::Window, 585, 480, 1335, 240, "Version " TARN_VERSION_TEXT, kBlack, kTransparent, 9.75f, true, Align::Left, Pointer::Default},
    {Id::Subtitle, Kind::Label, kLabelSubtitle, Container::Window, 1920, 480, 4935, 240, "Rotates your mouse cursor to the direction you move !", kBlack, kTransparent, 9.75f, false, Align::Left, Pointer::Default},
    {Id::ListView, Kind::ListView, -1, Container::Window, 120, 840, 6015, 4215, "", kBlack, kPeach, 8.25f, false, Align::Left, Pointer::Default, {1, Role::List}},
    {Id::Banner, Kind::Image, -1, Container::Window, 120, 5160, 4050, 1125, "", kBlack, kTransparent, 0, false, Align::Left, Pointer::Hand, {8, Role::Button, "More cursor sets? Create your own!"}},
    {Id::Frame4, Kind::Frame, -1, Container::Window, 6240, 720, 2295, 975, "Current Cursor:", kWindowText, kPeach, 9.75f, false, Align::Left, Pointer::Default},
    {Id::Preview, Kind::PictureBox, -1, Container::Frame4, 840, 330, 510, 510, "", kBlack, kPeach, 0, false, Align::Left, Pointer::Default},
    {Id::Frame1, Kind::Frame, -1, Container::Window, 6240, 1800, 2295, 1095, "Cursors to rotate:", kWindowText, kPeach, 9.75f, false, Align::Left, Pointer::Default},
    {Id::CheckNormal, Kind::CheckBox, kCheckNormal, Container::Frame1, 120, 360, 1875, 240, "Normal Cursor", kWindowText, kPeach, 9.75f, false, Align::Left, Pointer::Arrow, {2, Role::CheckBox}},
    {Id::CheckBusy, Kind::CheckBox, kCheckBusy, Container::Frame1, 120, 690, 1995, 240, "HourGlass Cursor", kWindowText, kPeach, 9.75f, false, Align::Left, Pointer::ArrowHourglass, {3, Role::CheckBox}},
    {Id::Frame2, Kind::Frame, -1, Container::Window, 6240, 3000, 2295, 975, "Rotating Sensitivity:", kWindowText, kPeach, 9.75f, false, Align::Left, Pointer::Default},
    {Id::TickLeft, Kind::PictureBox, -1, Container::Frame2, 90, 390, 15, 230, "", kBlack, kDarkOrange, 0, false, Align::Left, Pointer::Default},
    {Id::TickRight, Kind::PictureBox, -1, Container::Frame2, 2170, 390, 15, 230, "", kBlack, kDarkOrange, 0, false, Align::Left, Pointer::Default},
    {Id::Track, Kind::PictureBox, -1, Container::Frame2, 135, 480, 2005, 30, "", kBlack, kDarkOrange, 0, false, Align::Left, Pointer::Default},
    {Id::Knob, Kind::PictureBox, -1, Container::Frame2, 1680, 345, 105, 315, "", kBlack, kOrange, 0, false, Align::Left, Pointer::Default, {4, Role::Slider, "Rotating Sensitivity"}},
    {Id::Min, Kind::Label, -1, Container::Frame2, 120, 630, 375, 255, "min", kButtonText, kTransparent, 9.75f, false, Align::Centre, Pointer::Default},
    {Id::Max, Kind::Label, -1, Container::Frame2, 1645, 630, 375, 255, "max", kButtonText, kTransparent, 9.75f, false, Align::Centre, Pointer::Default},
    {Id::Frame3, Kind::Frame, -1, Container::Window, 6240, 4080, 2295, 975, "Options:", kWindowText, kPeach, 9.75f, false, Align::Left, Pointer::Default},
    {Id::CheckAutoStart, Kind::CheckBox, kCheckAutoStart, Container::Frame3, 120, 480, 1275, 195, "Auto Start", kWindowText, kPeach, 9.75f, false, Align::Left, Pointer::Default, {5, Role::CheckBox}},
    {Id::Frame5, Kind::Frame, -1, Container::Window, 6240, 5100, 2295, 735, "", kWindowText, kPeach, 9.75f, false, Align::Left, Pointer::Default},
    {Id::Ok, Kind::Label, kLabelOk, Container::Frame5, 360, 225, 720, 435, "OK", kOrange, kTransparent, 18, true, Align::Centre, Pointer::Hand, {6, Role::Button}},
    {Id::Exit, Kind::Label, kLabelExit, Container::Frame5, 1230, 225, 705, 435, "Exit", kOrange, kTransparent, 18, true, Align::Centre, Pointer::Hand, {7, Role::Button}},
}};

constexpr const Control& control(Id id) {
    for (const Control& c : kControls)
        if (c.id == id) return c;
    throw "no such control";  // unreachable for every Id; a compile error in constant evaluation
}

// Each index names one control: a check box row for every index below kCheckBoxes
// (the backend keeps them in an array), a label row at most once for each label, and
// no index on any other row.
constexpr bool eachIndexNamesOneControl() {
    for (std::size_t i = 1; i < kLabels.size(); ++i)
        if (kLabels[i] <= kLabels[i - 1]) return false;
    for (const Control& c : kControls) {
        int rows = 0;
        for (const Control& other : kControls) rows += other.kind == c.kind && other.index == c.index;
        const bool label = c.kind == Kind::Label && c.index >= 0;
        if (label && (rows != 1 || std::count(kLabels.begin(), kLabels.end(), c.index) != 1)) return false;
        if (c.kind == Kind::CheckBox && (rows != 1 || c.index < 0 || c.index >= kCheckBoxes)) return false;
        if (c.kind != Kind::Label && c.kind != Kind::CheckBox && c.index != -1) return false;
    }
    const auto isCheckBox = [](const Control& c) { return c.kind == Kind::CheckBox; };
    return std::count_if(kControls.begin(), kControls.end(), isCheckBox) == kCheckBoxes;
}
static_assert(eachIndexNamesOneControl(), "a label or check box index is missing, repeated or out of range");

// The name a screen reader reads out for a control.
constexpr std::string_view accessibleName(const Control& c) { return c.access.name.empty() ? c.text : c.access.name; }

// Tab and Shift+Tab go round the stops in order; every stop is a control that acts.
inline constexpr int kTabStops = 8;
constexpr bool tabStopsGoRound() {
    for (int tab = 1; tab <= kTabStops; ++tab) {
        int rows = 0;
        for (const Control& c : kControls) rows += c.access.tab == tab && c.access.role != Role::None;
        if (rows != 1) return false;
    }
    return std::none_of(kControls.begin(), kControls.end(),
                        [](const Control& c) { return c.access.tab < 0 || c.access.tab > kTabStops; });
}
static_assert(tabStopsGoRound(), "a tab stop is missing, repeated or out of order");

// The frame a container names, for converting frame-relative positions.
constexpr const Control& frameOf(Container c) {
    switch (c) {
        case Container::Frame1: return control(Id::Frame1);
        case Container::Frame2: return control(Id::Frame2);
        case Container::Frame3: return control(Id::Frame3);
        case Container::Frame4: return control(Id::Frame4);
        default: return control(Id::Frame5);
    }
}

// The banner opens the page on cursor sets and twcmake that ships beside the program;
// the hidden label (kLabelHidden) names it.
inline constexpr std::string_view kSetsPage = "Tarnwick.html";
inline constexpr std::string_view kHiddenLabelText =
    "More Tarnwick Cursors?  Create your own?  Go to Tarnwick.html !";

inline constexpr std::string_view kFontFace = "MS Sans Serif";
// Its TrueType successor, with the same metrics, for the scalings its bitmaps miss.
inline constexpr std::string_view kTrueTypeFace = "Microsoft Sans Serif";
inline constexpr std::string_view kWindowTitle = "Tarnwick";

}  // namespace tarn::layout
