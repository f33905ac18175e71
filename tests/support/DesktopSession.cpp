#include "DesktopSession.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QProcess>

namespace framlet::test {
namespace {

const QString kScripts = QStringLiteral(FRAMLET_DESKTOP_SCRIPTS);
constexpr int kStartTimeoutMs = 180000;

// What a script run for `home` inherits: nothing of this process's own session.
QProcessEnvironment scriptEnvironment(const QString& home) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name :
         {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR",
          "DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "XAUTHORITY", "QT_QPA_PLATFORM",
          "XDG_SESSION_TYPE", "XDG_CURRENT_DESKTOP"}) {
        environment.remove(QString::fromLatin1(name));
    }
    environment.insert(QStringLiteral("HOME"), home);
    return environment;
}

bool runScript(const QString& name, const QString& home, int timeoutMs,
               const QStringList& options) {
    QProcess script;
    QProcessEnvironment environment = scriptEnvironment(home);
    for (const QString& option : options) {
        environment.insert(option.section(u'=', 0, 0), option.section(u'=', 1));
    }
    script.setProcessEnvironment(environment);
    // A file, not a pipe: the daemons the script leaves behind would hold a pipe open.
    script.setStandardOutputFile(home + QStringLiteral("/desktop-") + name +
                                 QStringLiteral(".log"));
    script.setProcessChannelMode(QProcess::MergedChannels);
    script.start(QStringLiteral("bash"), {kScripts + u'/' + name + QStringLiteral(".sh")});
    return script.waitForFinished(timeoutMs) && script.exitStatus() == QProcess::NormalExit &&
           script.exitCode() == 0;
}

}  // namespace

std::unique_ptr<DesktopSession> DesktopSession::start(const QString& desktop, const QString& home,
                                                      QString& whyNot, const QStringList& options) {
    std::unique_ptr<DesktopSession> session(new DesktopSession(home));  // ends what did start
    const bool started = runScript(desktop, home, kStartTimeoutMs, options) &&
                         QFile::exists(home + QStringLiteral("/session.env"));
    const QProcessEnvironment environment =
        started ? session->environment() : QProcessEnvironment();
    const QString wayland = environment.value(QStringLiteral("WAYLAND_DISPLAY"));
    if (started &&
        (wayland.isEmpty() ||
         QFile::exists(environment.value(QStringLiteral("XDG_RUNTIME_DIR")) + u'/' + wayland))) {
        return session;
    }
    QFile log(home + QStringLiteral("/desktop-") + desktop + QStringLiteral(".log"));
    whyNot = desktop + QStringLiteral(" did not start: ") +
             (log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll().right(2000))
                                            : QStringLiteral("no script log"));
    return nullptr;
}

QProcessEnvironment DesktopSession::environment() const {
    // The file holds shell-quoted exports: a shell reads them back exactly.
    QProcess shell;
    shell.setProcessEnvironment(QProcessEnvironment());
    shell.start(QStringLiteral("/bin/bash"),
                {QStringLiteral("-c"), QStringLiteral(". \"$1\" && env -0"), QStringLiteral("bash"),
                 m_home + QStringLiteral("/session.env")});
    shell.waitForFinished(10000);
    QProcessEnvironment environment = scriptEnvironment(m_home);
    for (const QByteArray& line : shell.readAllStandardOutput().split('\0')) {
        const qsizetype equals = line.indexOf('=');
        const QString name = QString::fromUtf8(line.left(equals));
        if (equals > 0 && name != u"PWD" && name != u"SHLVL" && name != u"_") {
            environment.insert(name, QString::fromUtf8(line.mid(equals + 1)));
        }
    }
    return environment;
}

DesktopSession::~DesktopSession() {
    // Services the bus started (the portals) are no children of any listed id: they are ended
    // by theirs, found on this session's own bus.
    const QString address = environment().value(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    QFile pids(m_home + QStringLiteral("/pids"));
    if (!address.isEmpty() && pids.open(QIODevice::Append)) {
        const QString name = QStringLiteral("desktop-session-") + m_home;
        {
            QDBusConnection bus = QDBusConnection::connectToBus(address, name);
            const QStringList names = bus.isConnected()
                                          ? bus.interface()->registeredServiceNames().value()
                                          : QStringList();
            for (const QString& service : names) {
                const uint pid = bus.interface()->servicePid(service).value();
                if (service.startsWith(u':') && pid != 0 &&
                    pid != uint(QCoreApplication::applicationPid())) {
                    pids.write(QByteArray::number(pid) + '\n');
                }
            }
        }
        QDBusConnection::disconnectFromBus(name);
        pids.close();
    }
    runScript(QStringLiteral("stop"), m_home, 60000, {});
}

}  // namespace framlet::test
