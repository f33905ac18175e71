#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "platform/LoginItem.h"

using namespace framlet;

namespace {

class LoginItemTest : public ::testing::Test {
protected:
    QString entry() const { return m_dir.path() + QStringLiteral("/autostart/framlet.desktop"); }
    LoginItem item(const QString& executable = QStringLiteral("/bin/sh")) const {
        return LoginItem(entry(), executable);
    }
    void writeEntry(const QByteArray& contents) const {
        QFile file(entry());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }
    QTemporaryDir m_dir;
};

TEST_F(LoginItemTest, StatusFollowsTheAutostartEntry) {
    EXPECT_EQ(item().status(), LoginItem::Status::notRegistered);
    ASSERT_FALSE(item().registerItem().has_value());
    EXPECT_EQ(item().status(), LoginItem::Status::enabled);
    // Registering again simply rewrites the entry.
    ASSERT_FALSE(item().registerItem().has_value());
    EXPECT_EQ(item().status(), LoginItem::Status::enabled);

    writeEntry("[Desktop Entry]\nType=Application\nExec=x\nHidden=true\n");
    EXPECT_EQ(item().status(), LoginItem::Status::requiresApproval);
    writeEntry("[Desktop Entry]\nExec=x\nX-GNOME-Autostart-enabled=false\n");
    EXPECT_EQ(item().status(), LoginItem::Status::requiresApproval);
    // Keys of other groups do not count.
    writeEntry("[Desktop Entry]\nExec=x\n[Desktop Action a]\nHidden=true\n");
    EXPECT_EQ(item().status(), LoginItem::Status::enabled);

    EXPECT_FALSE(item().unregisterItem().has_value());
    EXPECT_EQ(item().status(), LoginItem::Status::notRegistered);
    EXPECT_FALSE(item().unregisterItem().has_value());  // nothing to remove is no failure

    EXPECT_EQ(item(QString()).status(), LoginItem::Status::notFound);
    EXPECT_EQ(item(m_dir.path() + QStringLiteral("/gone")).status(), LoginItem::Status::notFound);
}

TEST_F(LoginItemTest, ExecQuotesAwkwardPaths) {
    EXPECT_EQ(LoginItem::execArgument(QStringLiteral("/usr/bin/framlet")),
              QStringLiteral("\"/usr/bin/framlet\""));
    EXPECT_EQ(LoginItem::execArgument(QStringLiteral("/opt/My Apps/fram$let")),
              QStringLiteral("\"/opt/My Apps/fram\\\\$let\""));
    EXPECT_EQ(LoginItem::execArgument(QStringLiteral("/a\"b/c\\d/100%")),
              QStringLiteral("\"/a\\\\\"b/c\\\\\\\\d/100%%\""));
}

TEST_F(LoginItemTest, TheEntryPassesDesktopFileValidate) {
    const QString validator =
        QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    ASSERT_FALSE(validator.isEmpty()) << "desktop-file-validate comes with desktop-file-utils";
    for (const QString& executable : {QStringLiteral("/usr/bin/framlet"),
                                      QStringLiteral("/home/a b/$HOME/`x`/\"q\"/back\\slash")}) {
        QFile file(m_dir.path() + QStringLiteral("/framlet.desktop"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(LoginItem::desktopEntry(executable).toUtf8());
        file.close();
        QProcess validate;
        validate.start(validator, {file.fileName()});
        ASSERT_TRUE(validate.waitForFinished());
        EXPECT_EQ(validate.exitCode(), 0) << validate.readAll().constData();
        EXPECT_TRUE(LoginItem::desktopEntry(executable)
                        .contains(QStringLiteral("X-GNOME-Autostart-Delay=")));
    }
}

TEST_F(LoginItemTest, RegisterReportsAFolderItCannotCreate) {
    QFile blocker(m_dir.path() + QStringLiteral("/autostart"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));  // a file where the folder should be
    const auto error = item().registerItem();
    ASSERT_TRUE(error.has_value());
    EXPECT_TRUE(error->contains(QStringLiteral("autostart")));
    EXPECT_FALSE(item(QString()).registerItem() == std::nullopt);
}

}  // namespace
