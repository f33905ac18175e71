#pragma once

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

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
    return QProcess::execute(QStringLiteral("xdotool"),
                             {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                              QStringLiteral("--name"), QStringLiteral("^Framlet Shelf$")}) == 0;
}

}  // namespace framlet::test
