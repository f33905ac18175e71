#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

#include "ChildProcess.h"
#include "FileBytes.h"
#include "ProgramHome.h"
#include "ScreenPixels.h"
#include "platform/UserDefaults.h"

using namespace framlet;

namespace {

// The real executable in a temporary home, run with no display at all unless a test starts it.
class MaintenanceFlagsTest : public test::ProgramRun {
protected:
    test::ChildResult offline(const QStringList& arguments) const {
        QProcessEnvironment environment;
        environment.insert(QStringLiteral("HOME"), home.path());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome());
        environment.insert(QStringLiteral("PATH"), qEnvironmentVariable("PATH"));
        return test::runChild(QStringLiteral(FRAMLET_EXECUTABLE), arguments, environment);
    }
    QString configHome() const { return home.filePath(QStringLiteral(".config")); }
    QString autostartEntry() const {
        return configHome() + QStringLiteral("/autostart/framlet.desktop");
    }
    UserDefaults defaults() const {
        return UserDefaults(configHome() + QStringLiteral("/Framlet/defaults.json"));
    }
};

// The first flag of the table decides, whatever the command line's order.
TEST_F(MaintenanceFlagsTest, LoginItemFlagsPrintTheirStatusAndTheTableOrderDecides) {
    const QByteArray notRegistered =
        "Framlet: login item status=0 (1=enabled, 0=notRegistered, "
        "2=requiresApproval, 3=notFound)\n";
    const QByteArray registered = "Framlet: registered login item (status=1)\n";
    const QList<std::pair<QStringList, QByteArray>> steps{
        {{"--login-status"}, notRegistered},
        {{"--login-status", "--update-check"}, notRegistered},
        {{"--update-check", "--reset-tour", "--register-login"}, registered},
        {{"--register-login"}, registered},  // again: still enabled
        {{"--unregister-login"}, "Framlet: unregistered login item (status=0)\n"},
    };
    for (const auto& [arguments, out] : steps) {
        SCOPED_TRACE(arguments.join(u' ').toStdString());
        const auto result = offline(arguments);
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(result.out, out);
        EXPECT_EQ(test::contents(autostartEntry()).contains("Exec=\"" FRAMLET_EXECUTABLE "\"\n"),
                  out == registered);
    }
}

TEST_F(MaintenanceFlagsTest, ARegisterFailureGoesToStandardErrorWithExitCode1) {
    // A file where the folder should be.
    ASSERT_TRUE(test::put(configHome() + QStringLiteral("/autostart"), "blocks"));
    const auto result = offline({QStringLiteral("--register-login")});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.out.isEmpty());
    EXPECT_TRUE(result.err.startsWith("Framlet: register failed: ")) << result.err.constData();
    EXPECT_TRUE(result.err.endsWith("\n"));
}

TEST_F(MaintenanceFlagsTest, ResetFlagsRemoveTheirKeysOnly) {
    {
        UserDefaults stored = defaults();
        stored.set(QStringLiteral("hasCompletedOnboarding"), true);
        stored.set(QStringLiteral("hasCompletedFeatureTour"), true);
        stored.set(QStringLiteral("columns"), qint64{4});
    }
    auto result = offline({QStringLiteral("--reset-tour")});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out,
              "Framlet: feature tour reset — it will show the next time the shelf opens\n");
    EXPECT_TRUE(defaults().contains(QStringLiteral("hasCompletedOnboarding")));
    EXPECT_FALSE(defaults().contains(QStringLiteral("hasCompletedFeatureTour")));

    defaults().set(QStringLiteral("hasCompletedFeatureTour"), true);
    result = offline({QStringLiteral("--reset-onboarding")});
    EXPECT_EQ(result.out,
              "Framlet: onboarding + tour reset — they will show again on next launch\n");
    EXPECT_FALSE(defaults().contains(QStringLiteral("hasCompletedOnboarding")));
    EXPECT_FALSE(defaults().contains(QStringLiteral("hasCompletedFeatureTour")));
    EXPECT_EQ(defaults().integer(QStringLiteral("columns")), 4);
}

TEST_F(MaintenanceFlagsTest, NearMissesStartTheApplicationWhichNeedsADisplay) {
    for (const QString& argument :
         {QStringLiteral("--login-status=1"), QStringLiteral("-login-status"),
          QStringLiteral("--LOGIN-STATUS"), QStringLiteral("--update-check")}) {
        const auto result = offline({argument});
        EXPECT_FALSE(result.crashed) << argument.toStdString();
        EXPECT_EQ(result.exitCode, 1) << argument.toStdString();
        EXPECT_TRUE(result.out.isEmpty());
        EXPECT_TRUE(result.err.startsWith("Framlet: no display")) << result.err.constData();
    }
}

// With Framlet running on the session bus, the flags are its business: it resets through the
// settings it holds (a file written behind its back would be forgotten or overwritten) and shows
// what was reset, and the update check is not lost in a plain second launch.
TEST_F(MaintenanceFlagsTest, WithFramletRunningTheResetsAndTheUpdateCheckAreDoneByIt) {
    defaults().set(QStringLiteral("hasCompletedOnboarding"), true);
    defaults().set(QStringLiteral("hasCompletedFeatureTour"), true);
    launch();
    ASSERT_TRUE(logged("instance: serving")) << log().constData();

    auto result = framlet({QStringLiteral("--update-check")});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "Framlet: asked the running Framlet to check for updates\n");
    EXPECT_TRUE(logged("updater: --update-check → background check"));
    EXPECT_FALSE(test::shelfVisible());  // the check was asked for, not the shelf

    result = framlet({QStringLiteral("--reset-tour")});
    EXPECT_EQ(result.out,
              "Framlet: feature tour reset — it will show the next time the shelf opens\n");
    EXPECT_FALSE(defaults().contains(QStringLiteral("hasCompletedFeatureTour")));
    EXPECT_EQ(framlet({QStringLiteral("--show")}).exitCode, 0);
    EXPECT_TRUE(logged("tour: step 1 of 3"));

    result = framlet({QStringLiteral("--reset-onboarding")});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out,
              "Framlet: onboarding + tour reset — the running Framlet shows onboarding now\n");
    EXPECT_FALSE(defaults().contains(QStringLiteral("hasCompletedOnboarding")));
    EXPECT_TRUE(QTest::qWaitFor(
        [] { return test::windowGeometry(QStringLiteral("^Welcome to Framlet$")).isValid(); },
        10000));
}

}  // namespace
