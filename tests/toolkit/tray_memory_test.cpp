// The icon the program wants in the tray is what a restarted task bar gets back.
#include "toolkit/tray_memory.h"

#include <gtest/gtest.h>

namespace tarn::toolkit {
namespace {

NotifyIconRecord icon(std::uint32_t id = 1) {
    NotifyIconRecord r;
    r.owner = WindowHandle{0x42};
    r.id = id;
    r.flags = kNifMessage | kNifIcon | kNifTip;
    r.callbackMessage = 0x200;
    r.icon = IconHandle{0x99};
    r.tip = "Tarnwick!\nVersion 1.2 ";
    return r;
}

TEST(TrayMemory, RemembersTheAddedIconUntilItIsDeleted) {
    TrayMemory tray;
    EXPECT_FALSE(tray.wanted());
    tray.sent(NotifyIconMessage::Add, icon());
    ASSERT_TRUE(tray.wanted());
    EXPECT_EQ(tray.wanted()->tip, "Tarnwick!\nVersion 1.2 ");

    NotifyIconRecord removal;  // the core refills only size, owner and id for a delete
    removal.owner = WindowHandle{0x42};
    removal.id = 1;
    tray.sent(NotifyIconMessage::Delete, removal);
    EXPECT_FALSE(tray.wanted());
}

TEST(TrayMemory, ADeleteOfAnotherIconKeepsOurs) {
    TrayMemory tray;
    tray.sent(NotifyIconMessage::Add, icon(1));
    tray.sent(NotifyIconMessage::Delete, icon(2));
    NotifyIconRecord otherOwner = icon(1);
    otherOwner.owner = WindowHandle{0x43};
    tray.sent(NotifyIconMessage::Delete, otherOwner);
    EXPECT_TRUE(tray.wanted());
}

TEST(TrayMemory, AModifyChangesOnlyTheFlaggedParts) {
    TrayMemory tray;
    tray.sent(NotifyIconMessage::Add, icon());
    NotifyIconRecord change = icon();
    change.flags = kNifTip;
    change.tip = "new";
    change.icon = IconHandle{0x77};
    change.callbackMessage = 0x400;
    tray.sent(NotifyIconMessage::Modify, change);
    EXPECT_EQ(tray.wanted()->tip, "new");
    EXPECT_EQ(tray.wanted()->icon, IconHandle{0x99});
    EXPECT_EQ(tray.callbackMessage(), 0x200u);
}

TEST(TrayMemory, TheCallbackMessageFollowsTheLastAddThatNamesOne) {
    TrayMemory tray;
    EXPECT_EQ(tray.callbackMessage(), 0x200u);
    NotifyIconRecord r = icon();
    r.callbackMessage = 0x8001;
    tray.sent(NotifyIconMessage::Add, r);
    EXPECT_EQ(tray.callbackMessage(), 0x8001u);
    r.flags = kNifIcon;  // no message flag: the callback stays
    r.callbackMessage = 0x200;
    tray.sent(NotifyIconMessage::Add, r);
    EXPECT_EQ(tray.callbackMessage(), 0x8001u);
}

}  // namespace
}  // namespace tarn::toolkit
