#include <gtest/gtest.h>

#include <QProcessEnvironment>
#include <QTemporaryDir>

#include "ChildProcess.h"
#include "platform/GnomeCustomShortcuts.h"
#include "platform/GnomeShortcutGrabber.h"
#include "platform/ShortcutRoute.h"

using namespace framlet;

namespace {

constexpr std::uint32_t kKey2 = 19, kKey1 = 18, kShift = 512, kSuper = 256, kControl = 4096,
                        kAlt = 2048;

// GNOME's custom shortcuts on a private keyfile backend under a temporary config folder, so the
// real gsettings program edits them as it would the user's.
class GnomeShortcutTest : public ::testing::Test {
protected:
    GnomeShortcutTest() {
        environment.insert("GSETTINGS_BACKEND", "keyfile");
        environment.insert("XDG_CONFIG_HOME", config.path());
        environment.remove("DBUS_SESSION_BUS_ADDRESS");
    }
    QString gsettings(const QStringList& arguments) {
        const auto result = test::runChild("gsettings", arguments, environment, 10000);
        EXPECT_EQ(result.exitCode, 0) << result.err.constData();
        return QString::fromUtf8(result.out).trimmed();
    }
    QString list() {
        return gsettings({"get", GnomeCustomShortcuts::schema, "custom-keybindings"});
    }

    QTemporaryDir config;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
};

TEST_F(GnomeShortcutTest, OwnEntryIsAddedOnlyOnConsentFollowsTheKeysAndLeavesOthersAlone) {
    GnomeCustomShortcuts shortcuts(GnomeShortcutGrabber::entryPath, environment);
    ASSERT_TRUE(shortcuts.available());
    // Entries of other programs, some spelled oddly, in an order of their own.
    const QString foreign = QStringLiteral(
        R"(['/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/custom0/', )"
        R"("/it's/odd/", '/back\\slash/', '/ünï/', '/org/gnome/settings-daemon/plugins/)"
        R"(media-keys/custom-keybindings/framlet/x/'])");
    gsettings({"set", GnomeCustomShortcuts::schema, "custom-keybindings", foreign});
    const QString before = list();
    const QString custom0 =
        GnomeCustomShortcuts::schema + QStringLiteral(
                                           ".custom-keybinding:/org/gnome/settings-daemon/plugins/"
                                           "media-keys/custom-keybindings/custom0/");
    gsettings({"set", custom0, "binding", "'<Super>t'"});

    GnomeShortcutGrabber grabber(shortcuts, "framlet --toggle");
    EXPECT_EQ(grabber.grab(kKey2, kSuper | kShift, {}).status, KeyGrabber::commandNotBound);
    EXPECT_EQ(list(), before);  // nothing without consent
    EXPECT_FALSE(grabber.isAdded());

    int routeChanges = 0;
    QObject::connect(&grabber, &KeyGrabber::routeChanged, [&] { ++routeChanges; });
    ASSERT_TRUE(grabber.add());
    EXPECT_EQ(list(), before.chopped(1) + ", '" + GnomeShortcutGrabber::entryPath + "']");
    auto entry = shortcuts.entry();
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->binding, "<Super><Shift>2");
    EXPECT_EQ(entry->command, "framlet --toggle");
    EXPECT_EQ(entry->name, "Framlet shelf");

    // A changed binding rewrites the keys and nothing else.
    EXPECT_EQ(grabber.grab(kKey1, kControl | kAlt, {}).status, KeyGrabber::grabbed);
    EXPECT_EQ(shortcuts.entry()->binding, "<Control><Alt>1");
    ASSERT_TRUE(grabber.add());  // a second consent adds no second path
    EXPECT_EQ(list().count(GnomeShortcutGrabber::entryPath + u'\''), 1);

    ASSERT_TRUE(grabber.remove());
    EXPECT_EQ(list(), before);
    EXPECT_EQ(shortcuts.entry()->binding, QString());
    EXPECT_EQ(gsettings({"get", custom0, "binding"}), "'<Super>t'");
    EXPECT_EQ(routeChanges, 3);
    EXPECT_EQ(grabber.grab(kKey2, kSuper | kShift, {}).status, KeyGrabber::commandNotBound);
}

// An X11 grab in a Wayland session hears X11 windows only, so it is never the route there.
TEST(ShortcutRouteTest, EachSessionGetsTheRouteThatHearsEveryWindow) {
    const auto route = [](ShortcutSession session, bool portal, bool gnome) {
        return chooseShortcutRoute(
            session, [=] { return portal; }, [=] { return gnome; });
    };
    EXPECT_EQ(route({false, true, "KDE"}, true, false), ShortcutRoute::x11Grab);
    EXPECT_EQ(route({false, false, QString()}, true, true), ShortcutRoute::none);
    EXPECT_EQ(route({true, true, "XFCE"}, false, true), ShortcutRoute::none);
    EXPECT_EQ(route({true, true, "KDE"}, true, true), ShortcutRoute::portal);
    EXPECT_EQ(route({true, true, "ubuntu:GNOME"}, true, true), ShortcutRoute::gnomeCommand);
    EXPECT_EQ(route({true, false, "GNOME"}, true, false), ShortcutRoute::portal);
}

}  // namespace
