#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include "FileBytes.h"
#include "platform/MotionPreference.h"

using namespace framlet;

namespace {

QString configFile(const QString& name) {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    QDir().mkpath(folder);
    return folder + QLatin1Char('/') + name;
}

void writeKdeglobals(const QByteArray& text) {
    // Replaced as KConfig does: a new file renamed over the old one.
    const QString path = configFile("kdeglobals");
    ASSERT_TRUE(test::put(path + ".new", text));
    QFile::remove(path);
    ASSERT_TRUE(QFile::rename(path + ".new", path));
}

bool setGnomeAnimations(bool enabled) {
    return QProcess::execute("gsettings", {"set", "org.gnome.desktop.interface",
                                           "enable-animations", enabled ? "true" : "false"}) == 0;
}

class MotionPreferenceTest : public ::testing::Test {
protected:
    // GNOME's settings from a file in the test's own config folder rather than the user's dconf.
    void SetUp() override { qputenv("GSETTINGS_BACKEND", "keyfile"); }
    void TearDown() override {
        qunsetenv("GSETTINGS_BACKEND");
        QFile::remove(configFile("kdeglobals"));
        QDir(configFile("glib-2.0")).removeRecursively();
    }
};

TEST_F(MotionPreferenceTest, KdeAnimationSpeedOfZeroTurnsMotionOffAndBackWithoutRestart) {
    writeKdeglobals("[General]\nAnimationDurationFactor=0\n[KDE]\nAnimationDurationFactor=0.5\n");
    MotionPreference motion;
    QSignalSpy changes(&motion, &MotionPreference::reducedChanged);
    EXPECT_FALSE(motion.reduced());  // only the [KDE] group counts, and 0.5 is slower, not off

    writeKdeglobals("[KDE]\nAnimationDurationFactor=0\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return motion.reduced(); }, 5000));
    writeKdeglobals("[KDE]\nSingleClick=false\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !motion.reduced(); }, 5000));
    EXPECT_EQ(changes.count(), 2);
}

TEST_F(MotionPreferenceTest, GnomeAnimationsTurnedOffAreReadAtStartAndFollowed) {
    ASSERT_TRUE(setGnomeAnimations(false));
    MotionPreference motion;
    ASSERT_TRUE(QTest::qWaitFor([&] { return motion.reduced(); }, 5000));

    ASSERT_TRUE(setGnomeAnimations(true));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !motion.reduced(); }, 5000));
    ASSERT_TRUE(setGnomeAnimations(false));
    EXPECT_TRUE(QTest::qWaitFor([&] { return motion.reduced(); }, 5000));
}

}  // namespace
