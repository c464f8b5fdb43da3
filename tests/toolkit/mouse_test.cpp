// Mouse messages name their button, and the events carry the buttons held as bits.
#include "toolkit/mouse.h"

#include <gtest/gtest.h>

namespace tarn::toolkit {
namespace {

TEST(ButtonState, MapsMouseKeyBitsToTheEventsBits) {
    struct Case {
        std::uintptr_t keys;
        int state;
    };
    const Case cases[] = {
        {0x0, 0}, {0x1, 1}, {0x2, 2}, {0x10, 4}, {0x3, 3}, {0x13, 7},
        {0x4, 0}, {0x8, 0},  // shift and control are not buttons
        {0x20, 0}, {0x40, 0},  // neither are the extra buttons
        {0x1 | 0x4 | 0x8, 1},  // a left press with shift and control held is still exactly "left"
    };
    for (const Case& c : cases) EXPECT_EQ(buttonState(c.keys), c.state) << "keys " << c.keys;
}

TEST(ButtonOfMessage, NamesTheButtonOfEachPressAndRelease) {
    struct Case {
        std::uint32_t message;
        int button;
    };
    const Case cases[] = {
        {kLeftButtonDown, kLeftButton},     {kLeftButtonUp, kLeftButton},
        {kRightButtonDown, kRightButton},   {kRightButtonUp, kRightButton},
        {kMiddleButtonDown, kMiddleButton}, {kMiddleButtonUp, kMiddleButton},
        {kMouseMove, 0},                    {kLeftButtonDoubleClick, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(buttonOfMessage(c.message), c.button) << c.message;
}

}  // namespace
}  // namespace tarn::toolkit
