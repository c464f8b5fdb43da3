// Mouse messages become the form's events: which handler, with which index and button,
// and which control keeps a press until it ends.
#include "shell/mouse_routing.h"

#include <gtest/gtest.h>

#include <vector>

#include "rows.h"

namespace tarn::layout {
namespace {

using K = FormEvent::Kind;

Target on(Id id) { return Target{control(id).container, rowOf(id)}; }
Target background(Container c) { return Target{c, std::nullopt}; }

TEST(MouseRouting, MovesReachTheHandlerOfTheSurfaceUnderThePointer) {
    struct Case {
        Target target;
        FormEvent event;
    };
    const std::vector<Case> cases = {
        {background(Container::Window), {K::FormMouseMove}},
        {background(Container::Frame5), {}},  // frames do not reset the hover colours
        {background(Container::Frame2), {}},
        {on(Id::Title), {K::LabelMouseMove, kLabelTitle, 1}},
        {on(Id::TitleStrip), {K::LabelMouseMove, kLabelTitleStrip, 1}},
        {on(Id::Close), {K::LabelMouseMove, kLabelClose, 1}},
        {on(Id::Ok), {K::LabelMouseMove, kLabelOk, 1}},
        {on(Id::Exit), {K::LabelMouseMove, kLabelExit, 1}},
        {on(Id::Preview), {K::PreviewMouseMove}},
        {on(Id::Min), {}},  // "min" and "max" are not in the label set
        {on(Id::Max), {}},
        {on(Id::Banner), {}},
        {on(Id::Icon), {}},
        {on(Id::Track), {}},
        {on(Id::TickRight), {}},
    };
    for (const Case& c : cases) {
        const FormEvent e = moveEvent(c.target, 1);
        EXPECT_EQ(e.kind, c.event.kind) << "row " << (c.target.row ? static_cast<int>(*c.target.row) : -1);
        EXPECT_EQ(e.index, c.event.index);
        if (e.kind == K::LabelMouseMove) {
            EXPECT_EQ(e.button, 1);
        }
    }
    EXPECT_EQ(moveEvent(on(Id::Title), 3).button, 3);  // the whole button state travels
}

TEST(MouseRouting, PressesAndClicksReachLabelsAndTheBanner) {
    EXPECT_EQ(downEvent(on(Id::TitleStrip), 2), (FormEvent{K::LabelMouseDown, kLabelTitleStrip, 2}));
    EXPECT_EQ(downEvent(on(Id::Subtitle), 1), (FormEvent{K::LabelMouseDown, kLabelSubtitle, 1}));
    EXPECT_EQ(downEvent(on(Id::Banner), 1), FormEvent{});
    EXPECT_EQ(downEvent(background(Container::Window), 1), FormEvent{});

    EXPECT_EQ(clickEvent(on(Id::Ok)), (FormEvent{K::LabelClick, kLabelOk}));
    EXPECT_EQ(clickEvent(on(Id::Exit)), (FormEvent{K::LabelClick, kLabelExit}));
    EXPECT_EQ(clickEvent(on(Id::Close)), (FormEvent{K::LabelClick, kLabelClose}));
    EXPECT_EQ(clickEvent(on(Id::Banner)), (FormEvent{K::BannerClick}));
    EXPECT_EQ(clickEvent(on(Id::Min)), FormEvent{});
    EXPECT_EQ(clickEvent(on(Id::Preview)), FormEvent{});
    EXPECT_EQ(clickEvent(background(Container::Frame5)), FormEvent{});
}

TEST(MouseRouting, PointerShapesFollowTheDesign) {
    EXPECT_EQ(pointerAt(on(Id::Ok)), Pointer::Hand);
    EXPECT_EQ(pointerAt(on(Id::Exit)), Pointer::Hand);
    EXPECT_EQ(pointerAt(on(Id::Close)), Pointer::Hand);
    EXPECT_EQ(pointerAt(on(Id::Banner)), Pointer::Hand);
    EXPECT_EQ(pointerAt(on(Id::Title)), Pointer::Default);
    EXPECT_EQ(pointerAt(background(Container::Window)), Pointer::Default);
    // Over the close label, in front of the title strip, the hand shows.
    EXPECT_EQ(pointerAt(targetAt(Container::Window, 560, 5, 15, 15)), Pointer::Hand);
    EXPECT_EQ(pointerAt(targetAt(Container::Window, 540, 5, 15, 15)), Pointer::Default);
}

constexpr std::uintptr_t kForm = 1;
constexpr std::uintptr_t kFrame5 = 2;

TEST(PressTracker, ThePressedControlKeepsTheMovesUntilTheLastButtonIsUp) {
    PressTracker press;
    EXPECT_EQ(press.move(on(Id::Subtitle)), on(Id::Subtitle));  // no press: whatever is under the pointer

    const auto down = press.down(kForm, on(Id::TitleStrip));
    EXPECT_TRUE(down.capture);
    EXPECT_EQ(down.target, on(Id::TitleStrip));
    EXPECT_EQ(press.move(background(Container::Window)), on(Id::TitleStrip));  // dragged off the strip

    const auto second = press.down(kForm, on(Id::Subtitle));  // right button joins
    EXPECT_FALSE(second.capture);
    EXPECT_EQ(second.target, on(Id::TitleStrip));

    const auto leftUp = press.up(kForm, on(Id::Subtitle), 1, 2);
    EXPECT_FALSE(leftUp.releaseCapture);  // the right button is still down
    EXPECT_FALSE(leftUp.click);
    EXPECT_TRUE(press.active());

    const auto rightUp = press.up(kForm, on(Id::Subtitle), 2, 0);
    EXPECT_TRUE(rightUp.releaseCapture);
    EXPECT_FALSE(press.active());
    EXPECT_EQ(press.move(on(Id::Subtitle)), on(Id::Subtitle));
}

TEST(PressTracker, AClickNeedsTheLeftButtonReleasedOverThePressedControl) {
    struct Case {
        const char* what;
        std::uintptr_t downSurface;
        Target pressed;
        std::uintptr_t upSurface;
        Target released;
        int button;
        bool click;
    };
    const std::vector<Case> cases = {
        {"left on OK", kFrame5, on(Id::Ok), kFrame5, on(Id::Ok), 1, true},
        {"released over Exit", kFrame5, on(Id::Ok), kFrame5, on(Id::Exit), 1, false},
        {"released over the frame", kFrame5, on(Id::Ok), kFrame5, background(Container::Frame5), 1, false},
        {"right button", kFrame5, on(Id::Ok), kFrame5, on(Id::Ok), 2, false},
        {"middle button", kFrame5, on(Id::Ok), kFrame5, on(Id::Ok), 4, false},
        {"left on the banner", kForm, on(Id::Banner), kForm, on(Id::Banner), 1, true},
        {"another surface", kForm, on(Id::Banner), kFrame5, on(Id::Banner), 1, false},
    };
    for (const Case& c : cases) {
        PressTracker press;
        press.down(c.downSurface, c.pressed);
        const auto up = press.up(c.upSurface, c.released, c.button, 0);
        EXPECT_EQ(up.click.has_value(), c.click) << c.what;
        if (c.click) {
            EXPECT_EQ(*up.click, c.pressed) << c.what;
        }
        EXPECT_TRUE(up.releaseCapture) << c.what;
    }
}

TEST(PressTracker, ALostCaptureEndsThePressWithoutAClick) {
    PressTracker press;
    press.down(kFrame5, on(Id::Ok));
    press.lost();
    const auto up = press.up(kFrame5, on(Id::Ok), 1, 0);
    EXPECT_FALSE(up.click);
    EXPECT_FALSE(up.releaseCapture);
    // An up with no press (the press began outside the program) does nothing either.
    EXPECT_FALSE(PressTracker{}.up(kForm, on(Id::Ok), 1, 0).click);
}

}  // namespace
}  // namespace tarn::layout
