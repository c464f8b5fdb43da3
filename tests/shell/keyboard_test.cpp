// The window with the keyboard and a screen reader: where Tab goes, which handler a key
// reaches and what it stores, which set the keyboard starts from, what is read out.
#include "rows.h"
#include "story.h"

#include "platform/units.h"
#include "shell/key_routing.h"

namespace tarn::testing {
namespace {

using layout::FormEvent;
using layout::Id;
using layout::kControls;
using layout::Role;
using K = FormEvent::Kind;

TEST(KeyRouting, TabGoesRoundTheStopsInOrderAndShiftTabBack) {
    const Id order[] = {Id::ListView, Id::CheckNormal, Id::CheckBusy, Id::Knob,
                        Id::CheckAutoStart, Id::Ok, Id::Exit, Id::Banner};
    std::optional<std::size_t> at;  // on no control: Tab starts at the first
    for (int i = 0; i < 9; ++i) EXPECT_EQ(kControls[*(at = layout::nextTabStop(at, false))].id, order[i % 8]);
    at = rowOf(Id::Close);  // no stop: Shift+Tab starts at the last
    for (int i = 0; i < 9; ++i) EXPECT_EQ(kControls[*(at = layout::nextTabStop(at, true))].id, order[7 - i % 8]);
}

TEST(KeyRouting, EveryControlThatActsHasTheNameReadOnItAndItsRole) {
    const struct {
        Id id;
        std::string_view name;
        Role role;
    } cases[] = {{Id::ListView, "", Role::List},
                 {Id::CheckNormal, "Normal Cursor", Role::CheckBox},
                 {Id::CheckBusy, "HourGlass Cursor", Role::CheckBox},
                 {Id::Knob, "Rotating Sensitivity", Role::Slider},
                 {Id::CheckAutoStart, "Auto Start", Role::CheckBox},
                 {Id::Ok, "OK", Role::Button},
                 {Id::Exit, "Exit", Role::Button},
                 {Id::Close, "Close", Role::Button},
                 {Id::Banner, "More cursor sets? Create your own!", Role::Button}};
    for (const auto& c : cases) {
        EXPECT_EQ(layout::accessibleName(layout::control(c.id)), c.name);
        EXPECT_EQ(layout::control(c.id).access.role, c.role);
    }
    // Nothing else acts, and whatever shows the hand is a button.
    std::size_t roles = 0;
    for (const layout::Control& c : kControls) {
        roles += c.access.role != Role::None;
        EXPECT_TRUE(c.pointer != layout::Pointer::Hand || c.access.role == Role::Button) << c.text;
    }
    EXPECT_EQ(roles, std::size(cases));
}

TEST(KeyRouting, EnterAndEscDoWhatAClickOrDoubleClickWould) {
    const struct {
        std::optional<Id> focused;
        int key;
        FormEvent event;
    } cases[] = {
        {Id::ListView, kKeyReturn, {K::ListDblClick}},   {Id::Ok, kKeyReturn, {K::LabelClick, layout::kLabelOk}},
        {Id::Exit, kKeyReturn, {K::LabelClick, layout::kLabelExit}},
        {Id::Close, kKeyReturn, {K::LabelClick, layout::kLabelClose}},
        {Id::Banner, kKeyReturn, {K::BannerClick}},     {Id::CheckNormal, kKeyReturn, {}},
        {Id::Title, kKeyReturn, {}},                    {Id::Ok, kKeyLeft, {}},
        {Id::ListView, kKeyLeft, {}},                   {Id::Knob, kKeyEnd, {K::SliderKeyDown, -1, 0, kKeyEnd}},
        {Id::Knob, kKeyReturn, {}},                     {std::nullopt, kKeyReturn, {}},
        {std::nullopt, kKeyEscape, {K::FormKeyDown, -1, 0, kKeyEscape}},
        {Id::Knob, kKeyEscape, {K::FormKeyDown, -1, 0, kKeyEscape}},
    };
    for (const auto& c : cases) {
        const std::optional<std::size_t> row = c.focused ? std::optional(rowOf(*c.focused)) : std::nullopt;
        EXPECT_EQ(layout::keyEvent(row, c.key), c.event) << (&c - cases);
    }
}

// A key acts only while the user may act; the rest of a keystroke goes where its key-down went.
TEST(KeyRouting, TheRestOfAKeystrokeGoesWhereItsKeyDownWent) {
    using P = layout::KeyMessage::Phase;
    const std::size_t list = rowOf(Id::ListView), check = rowOf(Id::CheckNormal);
    const struct { layout::KeyMessage key; bool userMayAct; layout::KeyOutcome out; } steps[] = {
        {{P::Down, kKeyReturn, true, false, list}, true, {}},  // its key-down answered a box
        {{P::Up, kKeyReturn, false, false, list}, true, {}},
        {{P::Down, kKeyReturn, false, false, list}, true, {false, {K::ListDblClick}}},
        {{P::Char, '\r', false, false, list}, true, {}},
        {{P::Down, kKeySpace, false, false, check}, true, {true}},  // the check box's own key
        {{P::Up, kKeySpace, false, false, check}, false, {true}},  // its click the form refuses
        {{P::Down, kKeyLeft, false, false, list}, false, {}},  // under a box, and held after it
        {{P::Down, kKeyLeft, true, false, list}, true, {}},
        {{P::Down, kKeyLeft, false, false, list}, true, {true}},
        {{P::Down, kKeyTab, false, true, list}, true, {false, {}, rowOf(Id::Banner)}},
    };
    layout::KeyRouter router;
    for (const auto& step : steps) EXPECT_EQ(router.route(step.key, step.userMayAct), step.out) << (&step - steps);
}

class KeyboardTest : public Story, public ::testing::WithParamInterface<double> {
protected:
    KeyboardTest() {
        fake.tppX = fake.tppY = GetParam();
        writeIni("0\r\n0\r\n0\r\n6\r\n100\r\ndots.TWC\r\n");
        writeSet("arrows.TWC", 1);
        writeSet("dots.TWC", 2);
        frm.Form_Load();
    }
    void press(Id focused, int key) { layout::deliver(frm, layout::keyEvent(rowOf(focused), key)); }
};

TEST_P(KeyboardTest, TheSliderKeysStoreWhatADragToTheNextIntervalOrAnEndWould) {
    const struct {
        int key;
        std::int32_t position, interval;
    } cases[] = {{kKeyLeft, 99, 7},  {kKeyRight, 100, 6}, {kKeyRight, 105, 5}, {kKeyLeft, 104, 6},
                 {kKeyHome, 1, 26},  {kKeyLeft, 1, 26},   {kKeyRight, 5, 25},  {kKeyEnd, 128, 1},
                 {kKeyRight, 128, 1}, {kKeyLeft, 124, 2}};
    EXPECT_EQ(fake.accessibleValues[RecordingPlatform::kKnob.value()], "6 ms");
    for (const auto& c : cases) {
        press(Id::Knob, c.key);
        EXPECT_EQ(state().settings.sliderPosition, c.position) << (&c - cases);
        EXPECT_EQ(state().settings.interval, c.interval) << (&c - cases);
        EXPECT_EQ(ToPixels(fake.knobRect.left, GetParam()), ToPixels((c.position + 8) * 15, GetParam()));
        EXPECT_EQ(fake.accessibleValues[RecordingPlatform::kKnob.value()], std::to_string(c.interval) + " ms");
    }
    EXPECT_EQ(fake.timers[Timer::Timer1].interval, 0);  // not started: the interval waits for the start
    press(Id::Exit, kKeyReturn);
    EXPECT_EQ(readText(folder / "Tarnwick.ini"), "0\r\n0\r\n0\r\n2\r\n124\r\ndots.TWC\r\n");
}

TEST_P(KeyboardTest, EnterOnTheRememberedSetStartsItAndEscHidesWithoutStarting) {
    EXPECT_EQ(fake.selectedKey, "dots");
    fake.clearLog();
    press(Id::ListView, kKeyEscape);
    EXPECT_THAT(fake.log(), ::testing::ElementsAre("HideForm()"));
    fake.selectedKey = "arrows";  // moved with the arrow keys, then the tray brings the window back
    frm.Picture1_MouseMove(kNinKeySelect);
    EXPECT_TRUE(fake.visible && fake.selectedKey == "dots");
    press(Id::ListView, kKeyReturn);
    EXPECT_EQ(state().okTag, "OK");
    EXPECT_EQ(fake.count("SetCursorPos"), 0);  // as a double-click: the pointer is not parked
    EXPECT_EQ(fake.timers[Timer::Timer1].interval, 6);
    EXPECT_TRUE(fake.visible);
}

INSTANTIATE_TEST_SUITE_P(Scalings, KeyboardTest, ::testing::Values(15.0, 12.0, 10.0, 1440.0 / 168, 7.5));

TEST_F(Story, TheKeyboardStartsFromTheRememberedSetOrElseTheFirst) {
    const struct {
        const char* remembered;
        const char* selected;
    } cases[] = {{"dots.TWC", "dots"}, {"DOTS.twc", "dots"}, {"gone.TWC", "Arrows"}, {"", "Arrows"}};
    for (const auto& c : cases) {
        RecordingPlatform p{folder.path()};
        writeSet("Arrows.TWC", 1);
        writeSet("dots.TWC", 2);
        writeIni(std::string("0\r\n0\r\n0\r\n6\r\n100\r\n") + c.remembered + "\r\n");
        TarnFrm f{p};
        f.Form_Load();
        EXPECT_EQ(p.selectedKey, c.selected) << c.remembered;
    }
}

}  // namespace
}  // namespace tarn::testing
