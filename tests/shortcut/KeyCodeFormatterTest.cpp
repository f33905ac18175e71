#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include "KeyCodeFormatter.h"
#include "VirtualKeyMap.h"

namespace framlet {
namespace {

TEST(KeyCodeFormatter, NamesTheLabelledKeysAndNumbersTheRest) {
    EXPECT_EQ(KeyCodeFormatter::names().size(), 59);
    const std::pair<std::uint32_t, const char*> samples[] = {
        {0, "A"},           {6, "Z"},       {19, "2"},      {22, "6"},      {23, "5"},
        {29, "0"},          {36, "Return"}, {48, "Tab"},    {49, "Space"},  {50, "`"},
        {43, ","},          {44, "/"},      {47, "."},      {122, "F1"},    {120, "F2"},
        {99, "F3"},         {111, "F12"},   {123, "Left"},  {124, "Right"}, {125, "Down"},
        {126, "Up"},        {27, "Key 27"}, {24, "Key 24"}, {53, "Key 53"}, {105, "Key 105"},
        {4000, "Key 4000"},
    };
    for (const auto& [code, label] : samples) {
        EXPECT_EQ(KeyCodeFormatter::key(code), QString::fromUtf8(label)) << code;
    }
}

TEST(KeyCodeFormatter, ShortcutsReadAsWordsInTheFixedOrderAndOtherBitsAreIgnored) {
    using KeyCodeFormatter::text;
    EXPECT_EQ(KeyCodeFormatter::modifiers(0), QStringList());
    EXPECT_EQ(text({19, 768}), QStringLiteral("Super+Shift+2"));
    EXPECT_EQ(text({40, 0x100 | 0x200 | 0x800 | 0x1000}), QStringLiteral("Super+Ctrl+Alt+Shift+K"));
    EXPECT_EQ(text({49, 0x1000 | 0x800 | 0x400 | 0x1 | 0x10000}), QStringLiteral("Ctrl+Alt+Space"));
    EXPECT_EQ(text({36, 256}), QStringLiteral("Super+Return"));
    EXPECT_EQ(text({27, 256}), QStringLiteral("Super+Key 27"));
    EXPECT_EQ(text({96, 0}), QStringLiteral("F5"));
}

TEST(KeyCodeFormatter, MapsQtModifierFlagsToTheCarbonMask) {
    using KeyCodeFormatter::carbonModifiers;
    EXPECT_EQ(carbonModifiers(Qt::MetaModifier), 0x100u);
    EXPECT_EQ(carbonModifiers(Qt::ShiftModifier), 0x200u);
    EXPECT_EQ(carbonModifiers(Qt::AltModifier), 0x800u);
    EXPECT_EQ(carbonModifiers(Qt::ControlModifier), 0x1000u);
    EXPECT_EQ(carbonModifiers(Qt::MetaModifier | Qt::ShiftModifier | Qt::KeypadModifier |
                              Qt::GroupSwitchModifier),
              768u);
    EXPECT_EQ(carbonModifiers(Qt::KeypadModifier), 0u);
}

TEST(VirtualKeyMap, EveryKeyMapsToOneKeysymAndBack) {
    int keys = 0;
    for (std::uint32_t code = 0; code < 128; ++code) {
        if (const auto symbol = VirtualKeyMap::keysym(code)) {
            ++keys;
            EXPECT_EQ(VirtualKeyMap::virtualKeyCodeForKeysym(*symbol), code) << code;
        }
    }
    // Every key of the ANSI keyboard except the modifier keys and Fn.
    EXPECT_EQ(keys, 103);
    for (const std::uint32_t code : KeyCodeFormatter::names().keys()) {
        EXPECT_TRUE(VirtualKeyMap::keysym(code)) << code;
    }
    EXPECT_EQ(VirtualKeyMap::keysym(27), XK_minus);
    EXPECT_EQ(VirtualKeyMap::keysym(24), XK_equal);
    EXPECT_EQ(VirtualKeyMap::keysym(19), XK_2);
    EXPECT_FALSE(VirtualKeyMap::keysym(56));  // Shift is a modifier, not a key of its own
    EXPECT_EQ(VirtualKeyMap::virtualKeyCodeForKeysym(XK_A), 0u);
    EXPECT_FALSE(VirtualKeyMap::virtualKeyCodeForKeysym(XK_at));
}

TEST(VirtualKeyMap, QtKeysStandInWhereThereIsNoX11Keycode) {
    EXPECT_EQ(VirtualKeyMap::virtualKeyCodeForQtKey(Qt::Key_A), 0u);
    EXPECT_EQ(VirtualKeyMap::virtualKeyCodeForQtKey(Qt::Key_2), 19u);
    EXPECT_EQ(VirtualKeyMap::virtualKeyCodeForQtKey(Qt::Key_Minus), 27u);
    EXPECT_EQ(VirtualKeyMap::virtualKeyCodeForQtKey(Qt::Key_Return), 36u);
    EXPECT_EQ(VirtualKeyMap::virtualKeyCodeForQtKey(Qt::Key_F1), 122u);
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
