#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

#include "ChildProcess.h"
#include "ProgramHome.h"
#include "ScreenPixels.h"
#include "TemporaryHome.h"
#include "platform/UserDefaults.h"

using namespace framlet;

namespace {

// Runs the real executable with a temporary home and no display at all.
class MaintenanceFlagsTest : public ::testing::Test {
protected:
    test::ChildResult framlet(const QStringList& arguments) const {
        QProcessEnvironment environment;
        environment.insert(QStringLiteral("HOME"), m_home.path());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.configHome());
        environment.insert(QStringLiteral("PATH"), qEnvironmentVariable("PATH"));
        return test::runChild(QStringLiteral(FRAMLET_EXECUTABLE), arguments, environment);
    }
    QString autostartEntry() const {
        return m_home.configHome() + QStringLiteral("/autostart/framlet.desktop");
    }
    UserDefaults defaults() const {
        return UserDefaults(m_home.configHome() + QStringLiteral("/Framlet/defaults.json"));
    }

    test::TemporaryHome m_home;
};

TEST_F(MaintenanceFlagsTest, LoginItemFlagsPrintTheirStatus) {
    auto result = framlet({QStringLiteral("--login-status")});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out,
              "Framlet: login item status=0 (1=enabled, 0=notRegistered, "
              "2=requiresApproval, 3=notFound)\n");

    result = framlet({QStringLiteral("--register-login")});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "Framlet: registered login item (status=1)\n");
    QFile entry(autostartEntry());
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    EXPECT_TRUE(entry.readAll().contains("Exec=\"" FRAMLET_EXECUTABLE "\"\n"));

    // Registering again succeeds and still reports enabled.
    EXPECT_EQ(framlet({QStringLiteral("--register-login")}).out,
              "Framlet: registered login item (status=1)\n");

    result = framlet({QStringLiteral("--unregister-login")});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "Framlet: unregistered login item (status=0)\n");
    EXPECT_FALSE(QFile::exists(autostartEntry()));
}

TEST_F(MaintenanceFlagsTest, ARegisterFailureGoesToStandardErrorWithExitCode1) {
    QFile blocker(m_home.configHome() + QStringLiteral("/autostart"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));  // a file where the folder should be
    const auto result = framlet({QStringLiteral("--register-login")});
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
    auto result = framlet({QStringLiteral("--reset-tour")});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out,
              "Framlet: feature tour reset — it will show the next time the shelf opens\n");
    EXPECT_TRUE(defaults().contains(QStringLiteral("hasCompletedOnboarding")));
    EXPECT_FALSE(defaults().contains(QStringLiteral("hasCompletedFeatureTour")));

    defaults().set(QStringLiteral("hasCompletedFeatureTour"), true);
    result = framlet({QStringLiteral("--reset-onboarding")});
    EXPECT_EQ(result.out,
              "Framlet: onboarding + tour reset — they will show again on next launch\n");
    EXPECT_FALSE(defaults().contains(QStringLiteral("hasCompletedOnboarding")));
    EXPECT_FALSE(defaults().contains(QStringLiteral("hasCompletedFeatureTour")));
    EXPECT_EQ(defaults().integer(QStringLiteral("columns")), 4);
}

TEST_F(MaintenanceFlagsTest, TheTableOrderDecidesNotTheCommandLineOrder) {
    auto result = framlet({QStringLiteral("--login-status"), QStringLiteral("--update-check")});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(result.out.startsWith("Framlet: login item status=0"));

    result = framlet({QStringLiteral("--update-check"), QStringLiteral("--reset-tour"),
                      QStringLiteral("--register-login")});
    EXPECT_EQ(result.out, "Framlet: registered login item (status=1)\n");
}

TEST_F(MaintenanceFlagsTest, NearMissesStartTheApplicationWhichNeedsADisplay) {
    for (const QString& argument :
         {QStringLiteral("--login-status=1"), QStringLiteral("-login-status"),
          QStringLiteral("--LOGIN-STATUS"), QStringLiteral("--update-check")}) {
        const auto result = framlet({argument});
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
    const QProcessEnvironment environment = test::programEnvironment(m_home.path());
    QProcess app;
    app.setProcessEnvironment(environment);
    app.start(QStringLiteral(FRAMLET_EXECUTABLE), {});
    const auto logged = [&](const QByteArray& line) {
        return QTest::qWaitFor([&] { return test::programLog(m_home.path()).contains(line); },
                               15000);
    };
    ASSERT_TRUE(logged("instance: serving")) << test::programLog(m_home.path()).constData();
    const auto framletBeside = [&](const QString& flag) {
        return test::runChild(QStringLiteral(FRAMLET_EXECUTABLE), {flag}, environment);
    };

    auto result = framletBeside(QStringLiteral("--update-check"));
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "Framlet: asked the running Framlet to check for updates\n");
    EXPECT_TRUE(logged("updater: --update-check → background check"));
    EXPECT_FALSE(test::shelfVisible());  // the check was asked for, not the shelf

    result = framletBeside(QStringLiteral("--reset-tour"));
    EXPECT_EQ(result.out,
              "Framlet: feature tour reset — it will show the next time the shelf opens\n");
    EXPECT_FALSE(defaults().contains(QStringLiteral("hasCompletedFeatureTour")));
    EXPECT_EQ(framletBeside(QStringLiteral("--show")).exitCode, 0);
    EXPECT_TRUE(logged("tour: step 1 of 3"));

    result = framletBeside(QStringLiteral("--reset-onboarding"));
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out,
              "Framlet: onboarding + tour reset — the running Framlet shows onboarding now\n");
    EXPECT_FALSE(defaults().contains(QStringLiteral("hasCompletedOnboarding")));
    EXPECT_TRUE(QTest::qWaitFor(
        [] { return test::windowGeometry(QStringLiteral("^Welcome to Framlet$")).isValid(); },
        10000));

    app.terminate();
    app.waitForFinished(5000);
}

}  // namespace
