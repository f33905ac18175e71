#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include "platform/VirtualKeyMap.h"
#include "shortcut/KeyCodeFormatter.h"

namespace framlet {
namespace {

TEST(KeyCodeFormatter, ShortcutsReadAsWordsInTheFixedOrderAndOtherBitsAreIgnored) {
    using KeyCodeFormatter::text;
    EXPECT_EQ(KeyCodeFormatter::modifiers(0), QStringList());
    EXPECT_EQ(text({49, 0x1000 | 0x800 | 0x400 | 0x1 | 0x10000}), QStringLiteral("Ctrl+Alt+Space"));
    EXPECT_EQ(text({96, 0}), QStringLiteral("F5"));
    // A key without a label is numbered.
    EXPECT_EQ(KeyCodeFormatter::key(4000), QStringLiteral("Key 4000"));
    // Only the four modifiers count: the keypad and group switch flags are no part of a shortcut.
    EXPECT_EQ(KeyCodeFormatter::carbonModifiers(Qt::MetaModifier | Qt::ShiftModifier |
                                                Qt::KeypadModifier | Qt::GroupSwitchModifier),
              768u);
}

TEST(VirtualKeyMap, EveryKeyMapsToOneKeysymAndBack) {
    for (std::uint32_t code = 0; code < 128; ++code) {
        if (const auto symbol = VirtualKeyMap::keysym(code)) {
            EXPECT_EQ(VirtualKeyMap::virtualKeyCodeForKeysym(*symbol), code) << code;
        }
    }
    EXPECT_FALSE(VirtualKeyMap::keysym(56));  // Shift is a modifier, not a key of its own
    EXPECT_EQ(VirtualKeyMap::virtualKeyCodeForKeysym(XK_A), 0u);  // either case of a letter
    EXPECT_FALSE(VirtualKeyMap::virtualKeyCodeForKeysym(XK_at));
    // Where the event has no X11 keycode, the Qt key stands in; keys without one never match.
    EXPECT_EQ(VirtualKeyMap::virtualKeyCodeForQtKey(Qt::Key_Enter), 76u);
    EXPECT_FALSE(VirtualKeyMap::virtualKeyCodeForQtKey(Qt::Key_At));
    EXPECT_FALSE(VirtualKeyMap::virtualKeyCodeForQtKey(0));
}

TEST(VirtualKeyMap, CommandIsSuperAndOptionIsAlt) {
    EXPECT_EQ(VirtualKeyMap::xModifiers(768), XCB_MOD_MASK_4 | XCB_MOD_MASK_SHIFT);
    EXPECT_EQ(VirtualKeyMap::xModifiers(0x800 | 0x1000), XCB_MOD_MASK_1 | XCB_MOD_MASK_CONTROL);
    EXPECT_EQ(VirtualKeyMap::xModifiers(0x400 | 0x1), 0);
}

}  // namespace
}  // namespace framlet
