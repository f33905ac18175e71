#pragma once

#include <QDBusConnection>
#include <QImage>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QString>

class QDBusServiceWatcher;

namespace framlet {

class StatusNotifierItemAdaptor;

// The program's icon in a StatusNotifierItem host (Plasma's panel, GNOME with the AppIndicator
// extension), served over D-Bus by the program itself: the host sends the click's position with
// Activate(x, y), which is where the icon is, and the icon goes by name or by pixels.
//
// It takes a bus name of its own and registers with the host's watcher, again whenever a watcher
// appears (a panel restarting).
class StatusNotifierItem : public QObject {
    Q_OBJECT

public:
    // `id` is the item's Id, steady across runs, for hosts that remember items.
    StatusNotifierItem(QDBusConnection bus, const QString& id, QObject* parent = nullptr);
    ~StatusNotifierItem() override;

    // The bus name hosts reach the item at; empty when the bus refused one.
    QString serviceName() const { return m_serviceName; }
    // Whether the watcher accepted the item.
    bool isRegistered() const { return m_registered; }

    // A theme icon name, which hosts prefer, and the same icon as pixels for those that cannot
    // find the name (an empty name offers pixels alone).
    void setIcon(const QString& name, const QList<QImage>& pixmaps);
    // The title shows in hosts' lists of items and as the tooltip's heading.
    void setToolTip(const QString& title, const QString& text);

    QString iconName() const { return m_iconName; }
    QString title() const { return m_title; }
    QString toolTipText() const { return m_toolTipText; }

Q_SIGNALS:
    // The user clicked the icon; `at` is the click's position in global coordinates.
    void activated(QPoint at);
    void secondaryActivated(QPoint at);
    void contextMenuRequested(QPoint at);
    void registrationChanged(bool registered);

private:
    friend class StatusNotifierItemAdaptor;
    void registerWithWatcher();
    // Whether a call comes from GNOME Shell, whose tray needs its own answer to a click.
    bool isGnomeShell(const QString& caller) const;

    QDBusConnection m_bus;
    QString m_id;
    QString m_serviceName;
    bool m_registered = false;
    QString m_iconName;
    QList<QImage> m_pixmaps;
    QString m_title;
    QString m_toolTipText;
    StatusNotifierItemAdaptor* m_adaptor;
    QDBusServiceWatcher* m_watcherWatch;
};

}  // namespace framlet
