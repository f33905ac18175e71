#include "app/StatusItem.h"

#include <QDBusConnection>
#include <QGuiApplication>
#include <QIcon>
#include <QPalette>
#include <QScreen>
#include <QTimer>

#include "app/LanternIcon.h"
#include "app/LanternThemeIcons.h"
#include "app/StatusItemDragView.h"
#include "platform/ApplicationId.h"
#include "platform/StatusNotifierItem.h"

namespace framlet {
namespace {

constexpr int kIconSizes[] = {16, 22, 24, 32, 48, 64};

bool isDark(const QColor& color) {
    return color.lightnessF() < 0.5;
}

}  // namespace

StatusItem::StatusItem(SystemTray::Kind kind, DecodeBudget& budget, FileURLProvider fileURLProvider,
                       QObject* parent)
    : QObject(parent)
    , m_kind(kind)
    , m_color(QGuiApplication::palette().color(QPalette::WindowText)) {
    if (kind == SystemTray::Kind::xembed) {
        setUpDockedView(budget, std::move(fileURLProvider));
    } else if (kind == SystemTray::Kind::statusNotifier) {
        setUpNotifierItem();
    }
}

StatusItem::~StatusItem() = default;

void StatusItem::setUpDockedView(DecodeBudget& budget, FileURLProvider fileURLProvider) {
    m_view = std::make_unique<StatusItemDragView>(budget, std::move(fileURLProvider));
    connect(m_view.get(), &StatusItemDragView::clicked, this, &StatusItem::clicked);
    if (!SystemTray::dock(m_view.get())) {
        m_view.reset();
        m_kind = SystemTray::Kind::none;  // the tray went away between detection and docking
        return;
    }
    if (const auto color = SystemTray::foregroundColor()) {
        m_color = *color;
    } else {
        // The tray did not say which colour it wants: look at its background once it shows us.
        connect(m_view.get(), &StatusItemDragView::cameOnScreen, this,
                [this] { QTimer::singleShot(100, this, &StatusItem::adoptPanelColour); });
    }
    setFill(m_fill);
}

void StatusItem::setUpNotifierItem() {
    m_notifierItem =
        std::make_unique<StatusNotifierItem>(QDBusConnection::sessionBus(), applicationId());
    setToolTip(QStringLiteral("Framlet"));
    connect(m_notifierItem.get(), &StatusNotifierItem::activated, this, [this](QPoint at) {
        m_activatedAt = at;
        Q_EMIT clicked();
    });
    // Panels that host StatusNotifierItems are dark far more often than light; hosts that take
    // the icon by name draw it in their own colour anyway.
    m_color = QColor(0xf2, 0xf2, 0xf2);
    m_themeIcons = LanternThemeIcons::install();
    setFill(m_fill);
}

void StatusItem::adoptPanelColour() {
    const auto geometry = iconGeometry();
    QScreen* where = screen();
    if (!geometry || !where || !m_view) {
        return;
    }
    // The grab shows the tray's background around our thin strokes: its average decides.
    const QImage grab = where
                            ->grabWindow(0, geometry->x() - where->geometry().x(),
                                         geometry->y() - where->geometry().y(), geometry->width(),
                                         geometry->height())
                            .toImage()
                            .scaled(1, 1, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (grab.isNull()) {
        return;
    }
    m_color = isDark(grab.pixelColor(0, 0)) ? QColor(0xf2, 0xf2, 0xf2) : QColor(0x20, 0x20, 0x20);
    m_view->setColor(m_color);
}

void StatusItem::setFill(double fill) {
    m_fill = fill;
    if (m_view) {
        m_view->setColor(m_color);
        m_view->setFill(fill);
    }
    if (m_notifierItem) {
        QList<QImage> pixmaps;
        for (const int size : kIconSizes) {
            pixmaps.append(LanternIcon::statusIcon(fill, size, m_color));
        }
        // At rest the lantern goes by name; animation frames can only be pixels.
        const bool resting = fill == 0.0 || fill == 1.0;
        m_notifierItem->setIcon(
            m_themeIcons && resting ? LanternThemeIcons::name(fill == 1.0) : QString(), pixmaps);
    }
}

void StatusItem::setToolTip(const QString& title, const QString& text) {
    if (m_notifierItem) {
        m_notifierItem->setToolTip(title, text);
    }
    if (m_view) {
        // The title already says the state; the text only repeats it, so one line is shown.
        m_view->setToolTip(title);
        m_view->setAccessibleName(title);
        m_view->setAccessibleDescription(text);
    }
}

std::optional<QRect> StatusItem::iconGeometry() const {
    if (m_view && m_view->isOnScreen()) {
        return QRect(m_view->mapToGlobal(QPoint(0, 0)), m_view->size());
    }
    if (m_notifierItem && m_activatedAt) {
        return QRect(*m_activatedAt, QSize(1, 1));
    }
    return std::nullopt;
}

QScreen* StatusItem::screen() const {
    if (const auto geometry = iconGeometry()) {
        if (QScreen* screen = QGuiApplication::screenAt(geometry->center())) {
            return screen;
        }
    }
    return QGuiApplication::primaryScreen();
}

}  // namespace framlet
