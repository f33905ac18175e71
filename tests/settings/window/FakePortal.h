#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QMap>
#include <QObject>
#include <QStringList>
#include <QVariantMap>
#include <functional>

namespace framlet::test {

// A stand-in for xdg-desktop-portal's file chooser on the private session bus, over a connection
// of its own: it answers every OpenFile with a request handle and then, from the event loop, the
// Response that a user's choice (or a cancel) would give.
class FakePortal : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.FileChooser")

public:
    FakePortal();
    ~FakePortal() override;

    bool isRegistered() const { return m_registered; }

    // What the next request answers: a folder, or none for a cancel.
    QString answerFolder;
    // Keeps the answers back until release(), as a user who takes their time choosing.
    bool holdAnswers = false;
    void release();
    // What the requests asked.
    QList<QVariantMap> requests;

public Q_SLOTS:
    QDBusObjectPath OpenFile(const QString& parentWindow, const QString& title,
                             const QVariantMap& options);

Q_SIGNALS:
    // A request came in; its answer is held or on its way.
    void requested();

private:
    QDBusConnection m_connection;
    bool m_registered = false;
    QList<std::function<void()>> m_held;
};

}  // namespace framlet::test

namespace framlet::test {

// Records the KConfig change notices ("org.kde.kconfig.notify" ConfigChanged) of one settings
// file, as a KDE program that watches the file receives them, over a connection of its own.
class KConfigNotices : public QObject {
    Q_OBJECT

public:
    explicit KConfigNotices(const QString& file);
    ~KConfigNotices() override;

    // Each notice: the changed groups (nested names joined by 0x1d) with their changed keys.
    QList<QMap<QString, QStringList>> notices;

private Q_SLOTS:
    void configChanged(const QDBusMessage& message);

private:
    QDBusConnection m_connection;
};

}  // namespace framlet::test
