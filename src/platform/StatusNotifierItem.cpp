#include "platform/StatusNotifierItem.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QtEndian>

#include "platform/DebugLog.h"

namespace framlet {
namespace {

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kItemPath = QStringLiteral("/StatusNotifierItem");
// GNOME Shell's AppIndicator extension passes single clicks on as Activate only until one call
// has succeeded; from then on it waits for double clicks, as if the item had a menu for single
// ones. An error other than UnknownMethod keeps it passing single clicks on (it logs one line).
const QString kKeepSendingClicks = QStringLiteral("org.freedesktop.DBus.Error.Failed");

// One picture of the icon as the protocol carries it: ARGB32 in network byte order.
struct ItemPixmap {
    int width = 0;
    int height = 0;
    QByteArray bytes;
};
using ItemPixmaps = QList<ItemPixmap>;

struct ItemToolTip {
    QString iconName;
    ItemPixmaps pixmaps;
    QString title;
    QString text;
};

}  // namespace
}  // namespace framlet

Q_DECLARE_METATYPE(framlet::ItemPixmap)
Q_DECLARE_METATYPE(framlet::ItemToolTip)

namespace framlet {
namespace {

QDBusArgument& operator<<(QDBusArgument& argument, const ItemPixmap& pixmap) {
    argument.beginStructure();
    argument << pixmap.width << pixmap.height << pixmap.bytes;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, ItemPixmap& pixmap) {
    argument.beginStructure();
    argument >> pixmap.width >> pixmap.height >> pixmap.bytes;
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const ItemToolTip& toolTip) {
    argument.beginStructure();
    argument << toolTip.iconName << toolTip.pixmaps << toolTip.title << toolTip.text;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, ItemToolTip& toolTip) {
    argument.beginStructure();
    argument >> toolTip.iconName >> toolTip.pixmaps >> toolTip.title >> toolTip.text;
    argument.endStructure();
    return argument;
}

ItemPixmap toItemPixmap(const QImage& image) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    ItemPixmap pixmap{argb.width(), argb.height(), {}};
    pixmap.bytes.resize(qsizetype(argb.width()) * argb.height() * 4);
    auto* out = reinterpret_cast<quint32*>(pixmap.bytes.data());
    for (int y = 0; y < argb.height(); ++y) {
        const auto* line = reinterpret_cast<const quint32*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            *out++ = qToBigEndian(line[x]);
        }
    }
    return pixmap;
}

void registerTypes() {
    static const bool registered = [] {
        qDBusRegisterMetaType<ItemPixmap>();
        qDBusRegisterMetaType<ItemPixmaps>();
        qDBusRegisterMetaType<ItemToolTip>();
        return true;
    }();
    Q_UNUSED(registered);
}

}  // namespace

// The org.kde.StatusNotifierItem interface as hosts read it; the item keeps the state.
class StatusNotifierItemAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_CLASSINFO("D-Bus Introspection",
                "<interface name=\"org.kde.StatusNotifierItem\">"
                "<property name=\"Category\" type=\"s\" access=\"read\"/>"
                "<property name=\"Id\" type=\"s\" access=\"read\"/>"
                "<property name=\"Title\" type=\"s\" access=\"read\"/>"
                "<property name=\"Status\" type=\"s\" access=\"read\"/>"
                "<property name=\"WindowId\" type=\"i\" access=\"read\"/>"
                "<property name=\"IconName\" type=\"s\" access=\"read\"/>"
                "<property name=\"IconPixmap\" type=\"a(iiay)\" access=\"read\"/>"
                "<property name=\"IconThemePath\" type=\"s\" access=\"read\"/>"
                "<property name=\"IconAccessibleDesc\" type=\"s\" access=\"read\"/>"
                "<property name=\"OverlayIconName\" type=\"s\" access=\"read\"/>"
                "<property name=\"OverlayIconPixmap\" type=\"a(iiay)\" access=\"read\"/>"
                "<property name=\"AttentionIconName\" type=\"s\" access=\"read\"/>"
                "<property name=\"AttentionIconPixmap\" type=\"a(iiay)\" access=\"read\"/>"
                "<property name=\"AttentionAccessibleDesc\" type=\"s\" access=\"read\"/>"
                "<property name=\"AttentionMovieName\" type=\"s\" access=\"read\"/>"
                "<property name=\"ToolTip\" type=\"(sa(iiay)ss)\" access=\"read\"/>"
                "<property name=\"ItemIsMenu\" type=\"b\" access=\"read\"/>"
                "<property name=\"Menu\" type=\"o\" access=\"read\"/>"
                "<method name=\"ContextMenu\"><arg name=\"x\" type=\"i\" direction=\"in\"/>"
                "<arg name=\"y\" type=\"i\" direction=\"in\"/></method>"
                "<method name=\"Activate\"><arg name=\"x\" type=\"i\" direction=\"in\"/>"
                "<arg name=\"y\" type=\"i\" direction=\"in\"/></method>"
                "<method name=\"SecondaryActivate\"><arg name=\"x\" type=\"i\" direction=\"in\"/>"
                "<arg name=\"y\" type=\"i\" direction=\"in\"/></method>"
                "<method name=\"Scroll\"><arg name=\"delta\" type=\"i\" direction=\"in\"/>"
                "<arg name=\"orientation\" type=\"s\" direction=\"in\"/></method>"
                "<signal name=\"NewTitle\"/><signal name=\"NewIcon\"/>"
                "<signal name=\"NewAttentionIcon\"/><signal name=\"NewOverlayIcon\"/>"
                "<signal name=\"NewToolTip\"/>"
                "<signal name=\"NewStatus\"><arg name=\"status\" type=\"s\"/></signal>"
                "</interface>")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(int WindowId READ windowId)
    Q_PROPERTY(QString IconName READ iconName)
    Q_PROPERTY(framlet::ItemPixmaps IconPixmap READ iconPixmap)
    // Hosts ask for every property the protocol names, and complain of each one missing.
    Q_PROPERTY(QString IconThemePath READ none)
    Q_PROPERTY(QString IconAccessibleDesc READ iconAccessibleDesc)
    Q_PROPERTY(QString OverlayIconName READ none)
    Q_PROPERTY(framlet::ItemPixmaps OverlayIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionIconName READ none)
    Q_PROPERTY(framlet::ItemPixmaps AttentionIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionAccessibleDesc READ none)
    Q_PROPERTY(QString AttentionMovieName READ none)
    Q_PROPERTY(framlet::ItemToolTip ToolTip READ toolTip)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)

public:
    explicit StatusNotifierItemAdaptor(StatusNotifierItem* item)
        : QDBusAbstractAdaptor(item), m_item(item) {
        setAutoRelaySignals(false);
    }

    QString category() const { return QStringLiteral("ApplicationStatus"); }
    QString id() const { return m_item->m_id; }
    QString title() const { return m_item->m_title; }
    QString status() const { return QStringLiteral("Active"); }
    int windowId() const { return 0; }
    QString iconName() const { return m_item->m_iconName; }
    ItemPixmaps iconPixmap() const {
        ItemPixmaps pixmaps;
        for (const QImage& image : m_item->m_pixmaps) {
            pixmaps.append(toItemPixmap(image));
        }
        return pixmaps;
    }
    QString none() const { return {}; }
    ItemPixmaps noPixmaps() const { return {}; }
    QString iconAccessibleDesc() const { return m_item->m_title; }
    ItemToolTip toolTip() const {
        return {m_item->m_iconName, {}, m_item->m_title, m_item->m_toolTipText};
    }
    bool itemIsMenu() const { return false; }
    // The protocol's path for an item without a menu of its own.
    QDBusObjectPath menu() const { return QDBusObjectPath(QStringLiteral("/NO_DBUSMENU")); }

public Q_SLOTS:
    void Activate(int x, int y, const QDBusMessage& call) {
        Q_EMIT m_item->activated(QPoint(x, y));
        if (m_item->isGnomeShell(call.service())) {
            call.setDelayedReply(true);
            m_item->m_bus.send(call.createErrorReply(
                kKeepSendingClicks, QStringLiteral("Activated; answered as an error so that the "
                                                   "next single click comes through too")));
        }
    }
    void SecondaryActivate(int x, int y) { Q_EMIT m_item->secondaryActivated(QPoint(x, y)); }
    void ContextMenu(int x, int y) { Q_EMIT m_item->contextMenuRequested(QPoint(x, y)); }
    void Scroll(int, const QString&) {}

Q_SIGNALS:
    void NewTitle();
    void NewIcon();
    void NewToolTip();
    void NewStatus(const QString& status);

private:
    StatusNotifierItem* m_item;
};

StatusNotifierItem::StatusNotifierItem(QDBusConnection bus, const QString& id, QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus))
    , m_id(id)
    , m_title(QCoreApplication::applicationName())
    , m_adaptor((registerTypes(), new StatusNotifierItemAdaptor(this)))
    , m_watcherWatch(new QDBusServiceWatcher(kWatcherService, m_bus,
                                             QDBusServiceWatcher::WatchForRegistration, this)) {
    static int count = 0;
    const QString name = QStringLiteral("org.kde.StatusNotifierItem-%1-%2")
                             .arg(QCoreApplication::applicationPid())
                             .arg(++count);
    if (!m_bus.registerObject(kItemPath, this, QDBusConnection::ExportAdaptors) ||
        !m_bus.registerService(name)) {
        DebugLog::log(QStringLiteral("tray: could not serve the status notifier item on the bus"));
        return;
    }
    m_serviceName = name;
    connect(m_watcherWatch, &QDBusServiceWatcher::serviceRegistered, this,
            &StatusNotifierItem::registerWithWatcher);
    registerWithWatcher();
}

StatusNotifierItem::~StatusNotifierItem() {
    if (!m_serviceName.isEmpty()) {
        m_bus.unregisterService(m_serviceName);
        m_bus.unregisterObject(kItemPath);
    }
}

void StatusNotifierItem::registerWithWatcher() {
    QDBusMessage call = QDBusMessage::createMethodCall(
        kWatcherService, QStringLiteral("/StatusNotifierWatcher"), kWatcherService,
        QStringLiteral("RegisterStatusNotifierItem"));
    call << m_serviceName;
    auto* pending = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const bool registered = !w->isError();
        if (!registered) {
            DebugLog::log(QStringLiteral("tray: the watcher refused the item: ") +
                          w->error().message());
        }
        if (registered != m_registered) {
            m_registered = registered;
            Q_EMIT registrationChanged(registered);
        }
    });
}

bool StatusNotifierItem::isGnomeShell(const QString& caller) const {
    const QDBusReply<QString> owner =
        m_bus.interface()->serviceOwner(QStringLiteral("org.gnome.Shell"));
    return owner.isValid() && owner.value() == caller;
}

void StatusNotifierItem::setIcon(const QString& name, const QList<QImage>& pixmaps) {
    m_iconName = name;
    m_pixmaps = pixmaps;
    Q_EMIT m_adaptor->NewIcon();
}

void StatusNotifierItem::setToolTip(const QString& title, const QString& text) {
    const bool newTitle = title != m_title;
    m_title = title;
    m_toolTipText = text;
    if (newTitle) {
        Q_EMIT m_adaptor->NewTitle();
    }
    Q_EMIT m_adaptor->NewToolTip();
}

}  // namespace framlet

#include "StatusNotifierItem.moc"
