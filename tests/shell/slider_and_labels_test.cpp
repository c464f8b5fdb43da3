// The window's own behaviour: dragging by the title, hover colours and the slider.
#include "story.h"

#include "platform/units.h"
#include "shell/layout.h"

namespace tarn::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using layout::kLabelClose, layout::kLabelExit, layout::kLabelHidden, layout::kLabelOk, layout::kLabelSubtitle,
    layout::kLabelTitle, layout::kLabelTitleStrip, layout::kLabelVersion;

class WindowTest : public Story {};

TEST_F(WindowTest, TheTitleAndTitleStripDragTheWindowOnlyWithTheLeftButtonAlone) {
    struct Case {
        int label, button;
        bool moves;
    };
    const Case cases[] = {{kLabelTitle, kLeftButton, true},        {kLabelTitleStrip, kLeftButton, true},
                          {kLabelTitleStrip, kRightButton, false}, {kLabelTitle, kLeftButton | kRightButton, false},
                          {kLabelTitleStrip, 0, false},            {kLabelTitleStrip, kMiddleButton, false},
                          {kLabelVersion, kLeftButton, false},     {kLabelSubtitle, kLeftButton, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "label " << c.label << " button " << c.button);
        fake.formRect = {1500, 1500, 8670, 6360};  // at (100, 100), 578 x 424 pixels
        fake.pointer = {400, 300};
        frm.lbl_MouseDown(c.label, c.button);
        fake.pointer = {450, 320};
        fake.clearLog();
        frm.lbl_MouseMove(c.label, c.button);
        if (c.moves)
            EXPECT_THAT(fake.log({"MoveWindow"}), ElementsAre("MoveWindow(form,150,120,578,424,1)"));
        else
            EXPECT_THAT(fake.log({"MoveWindow"}), IsEmpty());
        EXPECT_EQ(fake.count("SetLabelForeColor"), 7);  // the colours are reset either way
    }
}

TEST_F(WindowTest, DraggingPartlyOffTheScreenKeepsTheSize) {
    fake.pointer = {110, 105};
    frm.lbl_MouseDown(kLabelTitleStrip, kRightButton);  // any button records the offset
    fake.pointer = {-200, -50};
    frm.lbl_MouseMove(kLabelTitleStrip, kLeftButton);
    EXPECT_THAT(fake.log({"MoveWindow"}), ElementsAre("MoveWindow(form,-210,-55,578,424,1)"));
}

TEST_F(WindowTest, HoverColours) {
    const auto colour = [&](int i) { return fake.labelColors.count(i) ? fake.labelColors[i] : 0xDEADu; };
    // Over "OK": red; "Exit" orange; "X" black.
    frm.lbl_MouseMove(kLabelOk, 0);
    EXPECT_EQ(colour(kLabelOk), layout::kRed);
    EXPECT_EQ(colour(kLabelExit), layout::kOrange);
    EXPECT_EQ(colour(kLabelClose), layout::kBlack);
    // Onto the frame around it: no handler resets anything, so "OK" stays red.
    EXPECT_EQ(colour(kLabelOk), 255u);
    // Over "X", then the subtitle.
    frm.lbl_MouseMove(kLabelClose, 0);
    EXPECT_EQ(colour(kLabelOk), 33023u);
    EXPECT_EQ(colour(kLabelClose), 255u);
    frm.lbl_MouseMove(kLabelSubtitle, 0);
    EXPECT_EQ(colour(kLabelClose), 0u);
    EXPECT_EQ(colour(kLabelSubtitle), 0u);

    // Every resetting surface puts the buttons back.
    for (auto reset : {&TarnFrm::Form_MouseMove, &TarnFrm::listv_MouseMove, &TarnFrm::Picture2_MouseMove}) {
        frm.lbl_MouseMove(kLabelExit, 0);
        EXPECT_EQ(colour(kLabelExit), 255u);
        (frm.*reset)();
        EXPECT_EQ(colour(kLabelExit), 33023u);
        EXPECT_EQ(colour(kLabelOk), 33023u);
    }
    // The title never changes colour, and there is no label 7.
    EXPECT_EQ(fake.labelColors.count(kLabelTitle), 0u);
    EXPECT_EQ(fake.labelColors.count(7), 0u);
    EXPECT_THAT(fake.log({"SetLabelForeColor"}), ::testing::Contains("SetLabelForeColor(4,0)"));
}

TEST_F(WindowTest, AHighContrastThemeKeepsWhatEachLabelsColourMeans) {
    const auto shown = [&](std::initializer_list<std::pair<int, std::uint32_t>> expected) {
        for (const auto& [label, colour] : expected) EXPECT_EQ(fake.shownLabelColor(label), colour) << label;
    };
    frm.lbl_MouseMove(kLabelOk, 0);
    fake.highContrast = true;
    fake.clearLog();
    frm.Form_SettingChange(kSpiSetHighContrast);
    // Nothing for the form to do but look at the pointer size: the window is drawn afresh.
    EXPECT_THAT(fake.log(), ::testing::ElementsAre(::testing::StartsWith("LoadCursor(32513)"), ::testing::StartsWith("GetIconInfo")));
    // "OK" is still the one under the pointer.
    shown({{kLabelOk, layout::kHotLight}, {kLabelExit, layout::kHighlight}, {kLabelClose, layout::kWindowText},
           {kLabelTitle, layout::kWindowText}});
    frm.lbl_MouseMove(kLabelClose, 0);
    shown({{kLabelOk, layout::kHighlight}, {kLabelClose, layout::kHotLight}});

    fake.highContrast = false;
    frm.Form_SettingChange(kSpiSetHighContrast);
    shown({{kLabelClose, layout::kRed}, {kLabelOk, layout::kOrange}, {kLabelTitle, layout::kBlack}});
}

TEST_F(WindowTest, ClicksOnOtherLabelsDoNothing) {
    frm.Form_Load();
    fake.clearLog();
    for (int label : {kLabelTitle, kLabelSubtitle, kLabelHidden, kLabelVersion, kLabelTitleStrip})
        frm.lbl_Click(label);
    EXPECT_THAT(fake.log(), IsEmpty());
}

// Presses the knob with the pointer 3 pixels into it, then slides it so its left edge
// would land at `left` pixels within its frame.
class SliderTest : public Story {
protected:
    void press() {
        fake.pointer = {ToPixels(fake.knobRect.left, fake.tppX) + 3 + 600, 500};
        frm.picSlider_MouseDown(kLeftButton);
    }
    void slideTo(std::int32_t left, int button = kLeftButton) {
        fake.pointer.x = left + 3 + 600;
        frm.picSlider_MouseMove(button);
    }
    std::int32_t knobLeft() const { return ToPixels(fake.knobRect.left, fake.tppX); }
};

TEST_F(SliderTest, PositionsAndIntervals) {
    struct Case {
        std::int32_t left, position, interval;
    };
    const Case cases[] = {{9, 1, 26},    {12, 4, 26},   {13, 5, 25},   {17, 9, 25},  {18, 10, 24},  {72, 64, 14},
                          {108, 100, 6}, {112, 104, 6}, {128, 120, 2}, {132, 124, 2}, {133, 125, 1}, {136, 128, 1}};
    press();
    for (const Case& c : cases) {
        slideTo(c.left);
        EXPECT_EQ(knobLeft(), c.left);
        EXPECT_EQ(state().settings.sliderPosition, c.position) << c.left;
        EXPECT_EQ(state().settings.interval, c.interval) << c.left;
    }
    EXPECT_THAT(fake.log({"MoveWindow"}).back(), "MoveWindow(knob,136,23,7,21,1)");
}

TEST_F(SliderTest, AScreenReaderIsToldTheIntervalOnlyWhenItChanges) {
    press();
    slideTo(13);  // 25 ms
    fake.clearLog();
    slideTo(17);  // still 25 ms
    EXPECT_EQ(fake.count("SetHwndPropStr"), 0);
    slideTo(18);  // 24 ms
    EXPECT_EQ(fake.count("SetHwndPropStr"), 1);
    EXPECT_EQ(fake.accessibleValues[RecordingPlatform::kKnob.value()], "24 ms");
}

TEST_F(SliderTest, MovesOutsideTheTrackAreIgnoredNotClamped) {
    press();
    slideTo(130);
    for (std::int32_t outside : {137, 140, 400, 8, 0, -50}) {
        fake.clearLog();
        slideTo(outside);
        EXPECT_THAT(fake.log({"MoveWindow", "SetTimerInterval"}), IsEmpty()) << outside;
        EXPECT_EQ(knobLeft(), 130);
        EXPECT_EQ(state().settings.interval, 2);
        EXPECT_EQ(state().settings.sliderPosition, 122);
    }
}

TEST_F(SliderTest, OnlyTheLeftButtonAloneSlides) {
    press();
    for (int button : {0, kRightButton, kMiddleButton, kLeftButton | kRightButton}) {
        slideTo(40, button);
        EXPECT_EQ(knobLeft(), 112) << button;
    }
}

TEST_F(SliderTest, BeforeRotationStartsTheIntervalWaitsForTheStart) {
    writeIni("0\r\n1\r\n0\r\n5\r\n100\r\narrows.TWC\r\n");
    writeFile(folder / "arrows.TWC", cursorSet(1));
    frm.Form_Load();
    press();
    slideTo(72);
    EXPECT_EQ(fake.timers[Timer::Timer1].interval, 0);  // no tick before the user's pointers are saved
    EXPECT_EQ(fake.count("SetSystemCursor"), 0);
    frm.lbl_Click(kLabelOk);
    EXPECT_EQ(fake.timers[Timer::Timer1].interval, 14);
    slideTo(108);  // 6 ms
    fake.clearLog();
    slideTo(112);  // still 6 ms: the count is not restarted, so a drag does not hold ticks off
    EXPECT_EQ(fake.count("SetTimerInterval"), 0);
    slideTo(133);
    EXPECT_EQ(fake.timers[Timer::Timer1].interval, 1);  // once started, at once
}

TEST_F(SliderTest, TheTrackKeepsItsRangeAtOtherScreenSettings) {
    // 144 DPI: 10 twips per pixel. The layout draws the track 1.5 times as wide, and
    // the knob's range grows with it: design left 9..136 is 13..204 screen pixels.
    fake.tppX = fake.tppY = 10;
    press();
    struct Case {
        std::int32_t screenLeft;
        bool accepted;
        std::int32_t position;
    };
    const Case cases[] = {{12, false, 0}, {13, true, 1}, {204, true, 128}, {206, false, 0}, {168, true, 104}};
    for (const Case& c : cases) {
        const std::int32_t before = state().settings.sliderPosition;
        slideTo(c.screenLeft);
        EXPECT_EQ(state().settings.sliderPosition, c.accepted ? c.position : before) << c.screenLeft;
    }
}

TEST_F(SliderTest, AMonitorOfAnotherScalingKeepsTheKnobOnItsPlace) {
    // Every place the settings can give (positions 1 to 255; above 128 beyond the track),
    // carried to every other scaling and back, lands where a fresh placement there puts
    // it, and a press there reads the same position.
    const unsigned dpis[] = {96, 120, 144, 168, 192};
    for (unsigned from : dpis) for (unsigned to : dpis) for (std::int32_t position = 1; position <= 255; ++position) {
        const double place = (position + 8) * kDesignTwipsPerPixel;
        fake.changeDpi(from);
        fake.SetKnobLeftTwips(place);
        for (unsigned dpi : {to, from}) {
            fake.changeDpi(dpi);
            const std::int32_t carried = knobLeft();
            fake.SetKnobLeftTwips(place);
            ASSERT_EQ(carried, knobLeft()) << position << " from " << from << " to " << dpi;
            if (position > 128) continue;
            press();
            slideTo(carried);
            ASSERT_EQ(state().settings.sliderPosition, position) << " from " << from << " to " << dpi;
        }
    }
}

// At every display scaling, with a knob and a window that land on whole pixels as real
// windows do: a stored place reads back exactly, the smallest drag moves one step, the
// accepted range is the drawn track's, and dragging the window keeps its size.
class ScaledTest : public SliderTest, public ::testing::WithParamInterface<double> {
protected:
    ScaledTest() {
        fake.tppX = fake.tppY = GetParam();
        writeIni("0\r\n1\r\n0\r\n20\r\n100\r\narrows.TWC\r\n");
        writeSet("arrows.TWC", 1);
        frm.Form_Load();
    }
    std::int32_t px(double twips) const { return ToPixels(twips, GetParam()); }
};

TEST_P(ScaledTest, AStoredSliderPositionReadsBackAndTheSmallestDragIsOneStep) {
    ASSERT_EQ(knobLeft(), px(108 * 15));
    press();
    slideTo(knobLeft());  // pressed and let go where it was
    EXPECT_EQ(state().settings.sliderPosition, 100);
    EXPECT_EQ(knobLeft(), px(108 * 15));
    slideTo(knobLeft() + 1);
    EXPECT_EQ(state().settings.sliderPosition, 101);
    EXPECT_EQ(knobLeft(), px(109 * 15));
    const layout::Control& design = layout::control(layout::Id::Knob);  // a slide keeps the knob's size
    EXPECT_EQ(px(fake.knobRect.width), px(design.width));
    EXPECT_EQ(px(fake.knobRect.height), px(design.height));
    frm.lbl_Click(kLabelExit);
    EXPECT_EQ(readText(folder / "Tarnwick.ini"), "0\r\n1\r\n0\r\n6\r\n101\r\narrows.TWC\r\n");
}

TEST_P(ScaledTest, TheAcceptedRangeIsTheDrawnTrack) {
    press();
    const std::int32_t leftEnd = px(9 * 15);  // where the knob's first place is drawn
    const std::int32_t rightEnd = px(136 * 15);
    struct Case {
        std::int32_t screenLeft;
        std::int32_t position;  // 0: ignored
    };
    const Case cases[] = {{px(8 * 15), 0}, {px(8 * 15) + 1, 1}, {rightEnd, 128}, {rightEnd + 1, 0}};
    for (const Case& c : cases) {
        slideTo(px(72 * 15));
        slideTo(c.screenLeft);
        EXPECT_EQ(state().settings.sliderPosition, c.position ? c.position : 64) << c.screenLeft;
    }
    slideTo(px(8 * 15) + 1);
    EXPECT_EQ(knobLeft(), leftEnd);
}

TEST_P(ScaledTest, DraggingTheWindowKeepsItsSize) {
    const std::int32_t width = px(layout::kClientWidth) + 2;
    const std::int32_t height = px(layout::kClientHeight) + 2;
    ASSERT_TRUE(fake.MoveWindow(RecordingPlatform::kForm, 101, 77, width, height, true));
    fake.pointer = {131, 80};
    frm.lbl_MouseDown(kLabelTitleStrip, kLeftButton);
    fake.pointer = {400, 300};
    fake.clearLog();
    frm.lbl_MouseMove(kLabelTitleStrip, kLeftButton);
    EXPECT_THAT(fake.log({"MoveWindow"}), ElementsAre("MoveWindow(form,370,297," + std::to_string(width) + "," +
                                                      std::to_string(height) + ",1)"));
}

INSTANTIATE_TEST_SUITE_P(Scalings, ScaledTest, ::testing::Values(15.0, 12.0, 10.0, 1440.0 / 168, 7.5));

}  // namespace
}  // namespace tarn::testing
