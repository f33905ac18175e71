#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QTest>
#include <memory>
#include <optional>

#include "OtherKeyboardClient.h"
#include "platform/X11.h"
#include "platform/X11KeyGrabber.h"
#include "shortcut/HotKey.h"
#include "shortcut/KeyCodeFormatter.h"

namespace framlet {
namespace {

constexpr HotKey::Binding kSuperShift2{19, 768};
constexpr HotKey::Binding kSuperShift3{20, 768};
// Registered beside the hot key under test: presses arrive in order, so once its action has run,
// every press before it has been handled.
constexpr HotKey::Binding kSentinel{21, 768};  // Super+Shift+4
constexpr std::uint16_t kSuperShift = XCB_MOD_MASK_4 | XCB_MOD_MASK_SHIFT;

struct Presses {
    int count = 0;
    std::function<void()> action() {
        return [this] { ++count; };
    }
};

bool pressUntilCounted(const QString& keys, const Presses& presses, int expected) {
    return test::pressKeys(keys) && QTest::qWaitFor([&] { return presses.count == expected; });
}

std::optional<HotKey::RegistrationError> registrationError(
    HotKey::Binding binding, X11KeyGrabber& grabber = X11KeyGrabber::shared()) {
    try {
        HotKey hotKey(
            binding, [] {}, grabber);
    } catch (const HotKey::RegistrationError& error) {
        return error;
    }
    return std::nullopt;
}

TEST(HotKey, EachPressCallsTheActionOnceWhateverTheLockKeys) {
    Presses presses;
    Presses sentinelPresses;
    HotKey hotKey(kSuperShift2, presses.action(), X11KeyGrabber::shared());
    HotKey sentinel(kSentinel, sentinelPresses.action(), X11KeyGrabber::shared());

    ASSERT_TRUE(pressUntilCounted(QStringLiteral("super+shift+2"), presses, 1));
    ASSERT_TRUE(pressUntilCounted(QStringLiteral("super+shift+4"), sentinelPresses, 1));
    EXPECT_EQ(presses.count, 1);
    {
        test::LockKey numLock(QStringLiteral("Num_Lock"), XCB_MOD_MASK_2);
        ASSERT_TRUE(numLock.isOn());
        EXPECT_TRUE(pressUntilCounted(QStringLiteral("super+shift+2"), presses, 2));
        test::LockKey capsLock(QStringLiteral("Caps_Lock"), XCB_MOD_MASK_LOCK);
        ASSERT_TRUE(capsLock.isOn());
        EXPECT_TRUE(pressUntilCounted(QStringLiteral("super+shift+2"), presses, 3));
    }
    test::LockKey capsLock(QStringLiteral("Caps_Lock"), XCB_MOD_MASK_LOCK);
    EXPECT_TRUE(pressUntilCounted(QStringLiteral("super+shift+2"), presses, 4));
    ASSERT_TRUE(pressUntilCounted(QStringLiteral("super+shift+4"), sentinelPresses, 2));
    EXPECT_EQ(presses.count, 4);
}

// Auto-repeat sends further presses of the held key without releases in between. The server
// repeats on its own clock, so the presses are handed to the filter here.
TEST(HotKey, HoldingTheKeysDownCallsTheActionOnce) {
    Presses presses;
    HotKey hotKey(kSuperShift2, presses.action(), X11KeyGrabber::shared());
    xcb_key_press_event_t press{};
    press.response_type = XCB_KEY_PRESS;
    press.detail = test::OtherKeyboardClient().keycode(XK_2);
    press.root = press.event = X11::firstRoot(X11::connection());
    press.state = kSuperShift;
    xcb_key_release_event_t release = press;
    release.response_type = XCB_KEY_RELEASE;
    X11KeyGrabber& grabber = X11KeyGrabber::shared();

    const QByteArray type("xcb_generic_event_t");
    EXPECT_TRUE(grabber.nativeEventFilter(type, &press, nullptr));
    EXPECT_TRUE(grabber.nativeEventFilter(type, &press, nullptr));
    EXPECT_TRUE(grabber.nativeEventFilter(type, &press, nullptr));
    ASSERT_TRUE(QTest::qWaitFor([&] { return presses.count == 1; }));
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(presses.count, 1);

    grabber.nativeEventFilter(type, &release, nullptr);
    EXPECT_TRUE(grabber.nativeEventFilter(type, &press, nullptr));
    EXPECT_TRUE(QTest::qWaitFor([&] { return presses.count == 2; }));
}

TEST(HotKey, ACombinationHeldElsewhereIsAlreadyInUseAndNothingOfItStaysGrabbed) {
    test::OtherKeyboardClient other;
    // Only the last lock variant is taken, so the ones grabbed before it must be given back.
    const std::uint16_t lastVariant = kSuperShift | XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2;
    ASSERT_TRUE(other.grab(XK_2, lastVariant));

    const auto error = registrationError(kSuperShift2);
    ASSERT_TRUE(error);
    EXPECT_EQ(*error, HotKey::RegistrationError::alreadyInUse());
    EXPECT_EQ(
        error->userMessage(),
        QStringLiteral("That shortcut is already in use by another app. Pick a different one."));

    test::OtherKeyboardClient third;
    for (const std::uint16_t variant : {0u, 0u + XCB_MOD_MASK_LOCK, 0u + XCB_MOD_MASK_2}) {
        EXPECT_TRUE(third.grab(XK_2, kSuperShift | variant)) << variant;
        third.ungrab(XK_2, kSuperShift | variant);
    }

    other.ungrab(XK_2, lastVariant);
    Presses presses;
    HotKey hotKey(kSuperShift2, presses.action(), X11KeyGrabber::shared());
    // The same combination twice in this program is in use too, and the refused twin takes
    // nothing away from the registered one.
    EXPECT_EQ(registrationError(kSuperShift2), HotKey::RegistrationError::alreadyInUse());
    EXPECT_TRUE(pressUntilCounted(QStringLiteral("super+shift+2"), presses, 1));
}

TEST(HotKey, ChangingTheShortcutBackAndForthLeavesOnlyTheNewestWorking) {
    Presses first;
    Presses second;
    Presses third;
    auto hotKey = std::make_unique<HotKey>(kSuperShift2, first.action(), X11KeyGrabber::shared());

    hotKey.reset();  // released before the new one is made, as the owner does
    hotKey = std::make_unique<HotKey>(kSuperShift3, second.action(), X11KeyGrabber::shared());
    test::pressKeys(QStringLiteral("super+shift+2"));
    ASSERT_TRUE(pressUntilCounted(QStringLiteral("super+shift+3"), second, 1));

    hotKey.reset();
    hotKey = std::make_unique<HotKey>(kSuperShift2, third.action(), X11KeyGrabber::shared());
    test::pressKeys(QStringLiteral("super+shift+3"));
    ASSERT_TRUE(pressUntilCounted(QStringLiteral("super+shift+2"), third, 1));

    EXPECT_EQ(first.count, 0);
    EXPECT_EQ(second.count, 1);
}

TEST(HotKey, EveryLabelledKeyCanBeRegistered) {
    const std::uint32_t allModifiers = 0x100 | 0x200 | 0x800 | 0x1000;
    for (const std::uint32_t keyCode : KeyCodeFormatter::names().keys()) {
        EXPECT_FALSE(registrationError({keyCode, allModifiers}))
            << KeyCodeFormatter::key(keyCode).toStdString();
    }
}

TEST(HotKey, WhereItCannotWorkRegistrationFailsWithAStatusOfItsOwn) {
    X11KeyGrabber withoutX11(X11KeyGrabber::Backend::unavailable);
    const auto noDisplay = registrationError(kSuperShift2, withoutX11);
    ASSERT_TRUE(noDisplay);
    EXPECT_EQ(*noDisplay, HotKey::RegistrationError::failed(X11KeyGrabber::noX11Connection));
    // Neither an X11 grab nor the portal: the user is told to bind the command instead.
    EXPECT_EQ(noDisplay->userMessage(),
              QStringLiteral("This desktop doesn't let apps register shortcuts, so bind the "
                             "command \"framlet --toggle\" to one in your desktop's keyboard "
                             "settings."));
    // A portal that fails (GNOME 43's answers through another desktop's backend) or a desktop
    // that runs commands asks for the command too; the desktop's own dialog blames nobody.
    for (const std::int32_t status : {KeyGrabber::portalFailed, KeyGrabber::commandNotBound}) {
        EXPECT_EQ(HotKey::RegistrationError::failed(status).userMessage(),
                  noDisplay->userMessage());
    }
    EXPECT_FALSE(HotKey::RegistrationError::failed(KeyGrabber::portalDeclined)
                     .userMessage()
                     .contains(QStringLiteral("Pick a different one")));
    EXPECT_EQ(
        HotKey::RegistrationError::failed(-50).userMessage(),
        QStringLiteral(
            "The desktop wouldn't register that shortcut (error -50). Pick a different one."));

    // 10 is the key beside Shift on ISO keyboards only.
    EXPECT_EQ(registrationError({10, 768}),
              HotKey::RegistrationError::failed(X11KeyGrabber::unknownKeyCode));
}

}  // namespace
}  // namespace framlet
