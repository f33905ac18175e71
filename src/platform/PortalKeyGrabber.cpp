#include "platform/PortalKeyGrabber.h"

#include <xkbcommon/xkbcommon.h>

#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <algorithm>
#include <utility>

#include "platform/DebugLog.h"
#include "platform/VirtualKeyMap.h"

namespace framlet {
namespace {

const QString kPortal = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kShortcuts = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");
constexpr int kProbeTimeoutMs = 1000;  // start-up must not hang on a portal that does not answer
constexpr uint kCancelledByUser = 1;

// The sender part of the portal's request and session paths: ":1.42" becomes "1_42".
QString senderPart(const QDBusConnection& bus) {
    return bus.baseService().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
}

}  // namespace

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut) {
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut) {
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

bool PortalKeyGrabber::offered(const QDBusConnection& bus) {
    if (!bus.isConnected()) {
        return false;
    }
    QDBusMessage get = QDBusMessage::createMethodCall(
        kPortal, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << kShortcuts << QStringLiteral("version");
    return bus.call(get, QDBus::Block, kProbeTimeoutMs).type() == QDBusMessage::ReplyMessage;
}

QString PortalKeyGrabber::trigger(std::uint32_t virtualKeyCode, std::uint32_t carbonModifiers) {
    const std::optional<std::uint32_t> keysym = VirtualKeyMap::keysym(virtualKeyCode);
    if (!keysym) {
        return {};
    }
    char name[64] = {};
    if (xkb_keysym_get_name(*keysym, name, sizeof name) <= 0) {
        return {};
    }
    // The portal's order and names of the modifiers.
    QStringList parts;
    const std::pair<std::uint32_t, const char*> modifiers[] = {{VirtualKeyMap::controlKey, "CTRL"},
                                                               {VirtualKeyMap::optionKey, "ALT"},
                                                               {VirtualKeyMap::shiftKey, "SHIFT"},
                                                               {VirtualKeyMap::commandKey, "LOGO"}};
    for (const auto& [bit, word] : modifiers) {
        if (carbonModifiers & bit) {
            parts.append(QLatin1String(word));
        }
    }
    parts.append(QString::fromLatin1(name));
    return parts.join(QLatin1Char('+'));
}

PortalKeyGrabber::PortalKeyGrabber(QDBusConnection bus, QString applicationId, QObject* parent)
    : KeyGrabber(parent), m_bus(std::move(bus)), m_applicationId(std::move(applicationId)) {
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
    m_bus.connect(kPortal, kPath, kShortcuts, QStringLiteral("Activated"), this,
                  SLOT(onActivated(QDBusMessage)));
    m_bus.connect(kPortal, kPath, kShortcuts, QStringLiteral("ShortcutsChanged"), this,
                  SLOT(onShortcutsChanged(QDBusMessage)));
}

PortalKeyGrabber::~PortalKeyGrabber() {
    while (!m_grabs.empty()) {
        ungrab(m_grabs.begin()->first);
    }
}

KeyGrabber::Result PortalKeyGrabber::grab(std::uint32_t virtualKeyCode,
                                          std::uint32_t carbonModifiers,
                                          std::function<void()> onPress) {
    const QString preferred = trigger(virtualKeyCode, carbonModifiers);
    if (preferred.isEmpty()) {
        return {unknownKeyCode};
    }
    registerApplication();
    const Handle handle = m_nextHandle++;
    Grab& grab = m_grabs[handle];
    grab.trigger = preferred;
    grab.onPress = std::move(onPress);
    const QString token = QStringLiteral("framlet%1").arg(m_nextToken++);
    // KDE 5.27 registers a session's shortcuts from CreateSession's options, and only those: its
    // BindShortcuts just opens System Settings. Other portals ignore the option.
    grab.requestPath =
        request(QStringLiteral("CreateSession"), {},
                {{QStringLiteral("handle_token"), token},
                 {QStringLiteral("session_handle_token"), token},
                 {QStringLiteral("shortcuts"), QVariant::fromValue(shortcuts(grab))}});
    return {grabbed, handle};
}

void PortalKeyGrabber::ungrab(Handle handle) {
    const auto found = m_grabs.find(handle);
    if (found == m_grabs.end()) {
        return;
    }
    closeSession(found->second.sessionPath);
    m_grabs.erase(found);
}

void PortalKeyGrabber::registerApplication() {
    if (std::exchange(m_registered, true)) {
        return;
    }
    // A program outside a sandbox names itself to the portal; older portals lack the call.
    QDBusMessage message = QDBusMessage::createMethodCall(
        kPortal, kPath, QStringLiteral("org.freedesktop.host.portal.Registry"),
        QStringLiteral("Register"));
    message << m_applicationId << QVariantMap();
    m_bus.asyncCall(message);
}

QString PortalKeyGrabber::request(const QString& method, QVariantList arguments,
                                  QVariantMap options) {
    const QString token = options.value(QStringLiteral("handle_token")).toString();
    const QString path =
        kPath + QStringLiteral("/request/") + senderPart(m_bus) + QLatin1Char('/') + token;
    // Listening before asking, so that a quick answer is not missed.
    m_bus.connect(kPortal, path, kRequest, QStringLiteral("Response"), this,
                  SLOT(onResponse(uint, QVariantMap)));
    QDBusMessage message = QDBusMessage::createMethodCall(kPortal, kPath, kShortcuts, method);
    arguments.append(options);
    message.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, path](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                if (call->isError()) {
                    const auto found = grabAtRequest(path);
                    if (found != m_grabs.end()) {
                        refuse(found->first, portalFailed, call->error().message());
                    }
                }
            });
    return path;
}

void PortalKeyGrabber::onResponse(uint response, const QVariantMap& results) {
    const QString path = message().path();
    m_bus.disconnect(kPortal, path, kRequest, QStringLiteral("Response"), this,
                     SLOT(onResponse(uint, QVariantMap)));
    const auto found = grabAtRequest(path);
    if (found == m_grabs.end()) {
        return;  // ungrabbed meanwhile
    }
    const Handle handle = found->first;
    Grab& grab = found->second;
    if (response != 0) {
        refuse(handle, response == kCancelledByUser ? portalDeclined : portalFailed,
               QStringLiteral("response %1").arg(response));
        return;
    }
    if (grab.stage == Stage::creatingSession) {
        // A string by the portal's documentation; some portals send an object path.
        const QVariant session = results.value(QStringLiteral("session_handle"));
        grab.sessionPath = session.metaType() == QMetaType::fromType<QDBusObjectPath>()
                               ? session.value<QDBusObjectPath>().path()
                               : session.toString();
        // KDE binds the session's shortcuts as it creates it; its BindShortcuts would only open
        // System Settings, at every launch. Keys already bound need no asking.
        if (description(results).isEmpty()) {
            bindShortcut(grab);
        } else {
            takeBinding(handle, grab, results);
        }
        return;
    }
    takeBinding(handle, grab, results);
}

QString PortalKeyGrabber::description(const QVariantMap& results) {
    const QVariant shortcuts = results.value(QStringLiteral("shortcuts"));
    for (const PortalShortcut& shortcut : qdbus_cast<QList<PortalShortcut>>(shortcuts)) {
        if (shortcut.id == shortcutId) {
            return shortcut.properties.value(QStringLiteral("trigger_description")).toString();
        }
    }
    return {};
}

void PortalKeyGrabber::takeBinding(Handle handle, Grab& grab, const QVariantMap& results) {
    // An answer without our shortcut, or without keys for it, is no refusal: KDE answers so and
    // opens its settings for the user to pick the keys, which come later as ShortcutsChanged.
    const QString described = description(results);
    grab.stage = Stage::bound;
    DebugLog::log(described.isEmpty()
                      ? QStringLiteral("hotkey: portal session open, the desktop lets the user "
                                       "pick the keys")
                      : QStringLiteral("hotkey: portal bound the shortcut to ") + described);
    Q_EMIT bound(handle, described);
}

QList<PortalShortcut> PortalKeyGrabber::shortcuts(const Grab& grab) {
    return {{shortcutId,
             {{QStringLiteral("description"), QStringLiteral("Show or hide the Framlet shelf")},
              {QStringLiteral("preferred_trigger"), grab.trigger}}}};
}

void PortalKeyGrabber::bindShortcut(Grab& grab) {
    grab.stage = Stage::binding;
    const QString token = QStringLiteral("framlet%1").arg(m_nextToken++);
    grab.requestPath = request(QStringLiteral("BindShortcuts"),
                               {QVariant::fromValue(QDBusObjectPath(grab.sessionPath)),
                                QVariant::fromValue(shortcuts(grab)), QString()},
                               {{QStringLiteral("handle_token"), token}});
}

void PortalKeyGrabber::refuse(Handle handle, std::int32_t status, const QString& why) {
    DebugLog::log(QStringLiteral("hotkey: the GlobalShortcuts portal declined (") + why +
                  QLatin1Char(')'));
    ungrab(handle);
    Q_EMIT refused(handle, status);
}

void PortalKeyGrabber::closeSession(const QString& sessionPath) {
    if (sessionPath.isEmpty()) {
        return;
    }
    m_bus.asyncCall(QDBusMessage::createMethodCall(kPortal, sessionPath,
                                                   QStringLiteral("org.freedesktop.portal.Session"),
                                                   QStringLiteral("Close")));
}

std::map<PortalKeyGrabber::Handle, PortalKeyGrabber::Grab>::iterator
PortalKeyGrabber::grabAtRequest(const QString& path) {
    return std::find_if(m_grabs.begin(), m_grabs.end(),
                        [&](const auto& entry) { return entry.second.requestPath == path; });
}

void PortalKeyGrabber::onShortcutsChanged(const QDBusMessage& signal) {
    // ShortcutsChanged(o session_handle, a(sa{sv}) shortcuts)
    const QVariantList arguments = signal.arguments();
    if (arguments.size() < 2) {
        return;
    }
    const QString session = arguments.at(0).value<QDBusObjectPath>().path();
    for (auto& [handle, grab] : m_grabs) {
        if (grab.stage == Stage::bound && grab.sessionPath == session) {
            takeBinding(handle, grab, {{QStringLiteral("shortcuts"), arguments.at(1)}});
            return;
        }
    }
}

void PortalKeyGrabber::onActivated(const QDBusMessage& signal) {
    // Activated(o session_handle, s shortcut_id, t timestamp, a{sv} options)
    const QVariantList arguments = signal.arguments();
    if (arguments.size() < 2) {
        return;
    }
    const QString session = arguments.at(0).value<QDBusObjectPath>().path();
    const QString id = arguments.at(1).toString();
    for (const auto& [handle, grab] : m_grabs) {
        if (grab.stage == Stage::bound && grab.sessionPath == session && id == shortcutId) {
            const std::function<void()> onPress = grab.onPress;  // it may ungrab
            onPress();
            return;
        }
    }
}

}  // namespace framlet
