#pragma once

#include <signal.h>
#include <sys/mount.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>

namespace framlet::test {

// A FUSE mount that stops answering, as a stale network share does (the server is
// support/StallingMount.cpp). Mounted for one test and always taken down again: the server ends
// and the mount is detached when this goes, and the server ends by itself when the test process
// does or when it has stalled for long, so nothing that waits on the mount outlives the test.
class StallingMount {
public:
    enum class Stalled { atOnce, later };

    StallingMount(const QString& mountPoint, Stalled stalled) : m_mountPoint(mountPoint) {
        QDir().mkpath(mountPoint);
        QStringList arguments{mountPoint};
        if (stalled == Stalled::atOnce) {
            arguments.append(QStringLiteral("--stalled"));
        }
        m_server.start(QStringLiteral(FRAMLET_STALLING_MOUNT), arguments);
        m_server.waitForReadyRead(10000);
        m_answer = QString::fromLocal8Bit(m_server.readLine()).trimmed();
    }
    ~StallingMount() {
        m_server.terminate();
        if (!m_server.waitForFinished(5000)) {
            m_server.kill();
            m_server.waitForFinished();
        }
        ::umount2(QFile::encodeName(m_mountPoint).constData(), MNT_DETACH);
    }
    StallingMount(const StallingMount&) = delete;
    StallingMount& operator=(const StallingMount&) = delete;

    bool isMounted() const { return m_answer == u"ready"; }
    // Why mounting failed: starts with "unavailable" when this system allows no FUSE mount (no
    // /dev/fuse, or mounting not permitted), which is the one reason to skip a test.
    QString failure() const {
        return m_answer.isEmpty() ? QStringLiteral("no answer from ") + FRAMLET_STALLING_MOUNT
                                  : m_answer;
    }
    bool isUnavailable() const { return m_answer.startsWith(u"unavailable"); }

    void stall() { signal(SIGUSR1); }
    void resume() { signal(SIGUSR2); }
    // False once the server gave up stalling (or died): then something waited on the mount for
    // far longer than any test step takes.
    bool stillStalling() {
        return m_server.state() == QProcess::Running && !m_server.waitForFinished(0);
    }

private:
    void signal(int number) {
        const pid_t server = pid_t(m_server.processId());
        if (server > 0) {  // 0 would signal this whole process group
            ::kill(server, number);
        }
    }

    QString m_mountPoint;
    QProcess m_server;
    QString m_answer;
};

}  // namespace framlet::test

// Skips the test when this system allows no FUSE mount, and fails it for any other reason the
// mount could not be made.
#define FRAMLET_REQUIRE_MOUNT(mount)                                         \
    do {                                                                     \
        if ((mount).isUnavailable()) {                                       \
            GTEST_SKIP() << (mount).failure().toStdString();                 \
        }                                                                    \
        ASSERT_TRUE((mount).isMounted()) << (mount).failure().toStdString(); \
    } while (false)
