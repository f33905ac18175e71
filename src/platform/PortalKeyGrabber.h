#pragma once

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <cstdint>
#include <functional>
#include <map>

#include "platform/KeyGrabber.h"

namespace framlet {

// One entry of the portal's shortcut list, a(sa{sv}) on the bus.
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};
QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut);
const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut);

// Global shortcuts through the desktop's GlobalShortcuts portal, for Wayland sessions (KDE
// Plasma, recent GNOME). Each grab is one portal session with one shortcut, the stored
// combination offered as its preferred trigger; the desktop decides, often by asking the user,
// so the answer comes later: a refusal through refused, a binding through bound. KDE binds
// nothing at first and lets the user pick the keys in System Settings: the session stays open
// and the keys chosen there arrive through ShortcutsChanged.
class PortalKeyGrabber : public KeyGrabber, protected QDBusContext {
    Q_OBJECT

public:
    // The portal's id for the shelf's shortcut.
    static inline const QString shortcutId = QStringLiteral("toggle-shelf");

    // Whether the bus has a portal that offers global shortcuts.
    static bool offered(const QDBusConnection& bus);
    // The trigger in the portal's notation ("LOGO+SHIFT+2"), empty for an unknown key.
    static QString trigger(std::uint32_t virtualKeyCode, std::uint32_t carbonModifiers);

    PortalKeyGrabber(QDBusConnection bus, QString applicationId, QObject* parent = nullptr);
    ~PortalKeyGrabber() override;

    Result grab(std::uint32_t virtualKeyCode, std::uint32_t carbonModifiers,
                std::function<void()> onPress) override;
    void ungrab(Handle handle) override;

private Q_SLOTS:
    void onResponse(uint response, const QVariantMap& results);
    void onActivated(const QDBusMessage& signal);
    void onShortcutsChanged(const QDBusMessage& signal);

private:
    enum class Stage { creatingSession, binding, bound };
    struct Grab {
        QString trigger;
        std::function<void()> onPress;
        Stage stage = Stage::creatingSession;
        QString requestPath;
        QString sessionPath;
    };

    void registerApplication();
    // Sends a request whose answer comes as a Response signal on its own object path.
    QString request(const QString& method, QVariantList arguments, QVariantMap options);
    static QList<PortalShortcut> shortcuts(const Grab& grab);
    void bindShortcut(Grab& grab);
    // The keys an answer's list of shortcuts ("shortcuts") describes for ours; empty for none.
    static QString description(const QVariantMap& results);
    // Takes the desktop's list of shortcuts for the grab's session as its binding.
    void takeBinding(Handle handle, Grab& grab, const QVariantMap& results);
    void refuse(Handle handle, std::int32_t status, const QString& why);
    void closeSession(const QString& sessionPath);
    std::map<Handle, Grab>::iterator grabAtRequest(const QString& path);

    QDBusConnection m_bus;
    QString m_applicationId;
    std::map<Handle, Grab> m_grabs;
    Handle m_nextHandle = 1;
    std::uint32_t m_nextToken = 1;
    bool m_registered = false;
};

}  // namespace framlet

Q_DECLARE_METATYPE(framlet::PortalShortcut)
