#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

#include "ChildProcess.h"
#include "FileBytes.h"
#include "ScreenPixels.h"

namespace framlet::test {

// The environment of the real program started in a home of its own, with its debug log on and at
// its default place, and no desktop named (tests name one when they need it).
inline QProcessEnvironment programEnvironment(const QString& home) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/.cache"));
    environment.insert(QStringLiteral("FRAMLET_DEBUG_LOG"), QString());
    environment.remove(QStringLiteral("XDG_STATE_HOME"));
    environment.remove(QStringLiteral("XDG_CURRENT_DESKTOP"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    return environment;
}

// What the program started with programEnvironment(home) has written to its debug log so far.
inline QByteArray programLog(const QString& home) {
    QFile file(home + QStringLiteral("/.local/state/Framlet/debug.log"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Whether the X server shows the shelf window now.
inline bool shelfVisible() {
    return windowGeometry(QStringLiteral("^Framlet Shelf$")).isValid();
}

// Writes the program's defaults file (JSON) in the home before the program starts.
inline bool writeDefaults(const QString& home, const QByteArray& json) {
    return put(home + QStringLiteral("/.config/Framlet/defaults.json"), json);
}

// The real program in a home of its own with a Desktop folder, observed through its debug log,
// and ended with the test.
class ProgramRun : public ::testing::Test {
protected:
    void SetUp() override {
        QDir().mkpath(desktop());
        app.setProcessEnvironment(environment());
    }
    void TearDown() override {
        app.terminate();
        if (!app.waitForFinished(5000)) {
            app.kill();
            app.waitForFinished();
        }
    }

    void launch(const QStringList& arguments = {}) {
        app.start(QStringLiteral(FRAMLET_EXECUTABLE), arguments);
        ASSERT_TRUE(app.waitForStarted());
    }
    QProcessEnvironment environment() const { return programEnvironment(home.path()); }
    QString desktop() const { return home.filePath(QStringLiteral("Desktop")); }
    QByteArray log() const { return programLog(home.path()); }
    bool logged(const QByteArray& line, int timeoutMs = 15000) const {
        return QTest::qWaitFor([&] { return log().contains(line); }, timeoutMs);
    }
    // A later launch of the program beside the one under test, run to its end.
    ChildResult framlet(const QStringList& arguments) const {
        return runChild(QStringLiteral(FRAMLET_EXECUTABLE), arguments, environment());
    }

    QTemporaryDir home;
    QProcess app;
};

}  // namespace framlet::test
