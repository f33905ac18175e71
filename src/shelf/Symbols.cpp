#include "shelf/Symbols.h"

#include <QApplication>
#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QPointer>
#include <QStyle>
#include <QWidget>

namespace framlet::Symbols {

namespace {

struct Entry {
    const char* themeName;
    QStyle::StandardPixmap fallback;
};

const QHash<QString, Entry>& table() {
    static const QHash<QString, Entry> entries{
        {QStringLiteral("magnifyingglass"), {"edit-find", QStyle::SP_FileDialogContentsView}},
        {QStringLiteral("xmark.circle.fill"), {"window-close", QStyle::SP_LineEditClearButton}},
        {QStringLiteral("sparkles"), {"starred", QStyle::SP_MessageBoxInformation}},
        {QStringLiteral("camera.viewfinder"), {"camera-photo", QStyle::SP_DesktopIcon}},
        {QStringLiteral("exclamationmark.triangle"),
         {"dialog-warning", QStyle::SP_MessageBoxWarning}},
        {QStringLiteral("arrow.down.circle"), {"software-update-available", QStyle::SP_ArrowDown}},
        {QStringLiteral("gearshape"), {"preferences-system", QStyle::SP_FileDialogDetailedView}},
        {QStringLiteral("power"), {"system-shutdown", QStyle::SP_TitleBarCloseButton}},
        // Onboarding and the feature tour.
        {QStringLiteral("photo.on.rectangle.angled"),
         {"image-x-generic", QStyle::SP_FileDialogContentsView}},
        {QStringLiteral("folder"), {"folder", QStyle::SP_DirIcon}},
        {QStringLiteral("folder.badge.questionmark"), {"folder-saved-search", QStyle::SP_DirIcon}},
        {QStringLiteral("questionmark.folder"), {"dialog-question", QStyle::SP_MessageBoxQuestion}},
        {QStringLiteral("lock.fill"), {"system-lock-screen", QStyle::SP_MessageBoxWarning}},
        {QStringLiteral("checkmark.circle.fill"), {"emblem-ok", QStyle::SP_DialogApplyButton}},
        {QStringLiteral("checkmark.shield.fill"), {"security-high", QStyle::SP_DialogApplyButton}},
        {QStringLiteral("hand.draw.fill"), {"insert-image", QStyle::SP_FileIcon}},
        {QStringLiteral("gearshape.fill"), {"emblem-system", QStyle::SP_FileDialogDetailedView}},
    };
    return entries;
}

// A symbolic icon is one colour on transparency, meant to be recoloured like text.
class TintedIconEngine : public QIconEngine {
public:
    TintedIconEngine(QIcon source, const QWidget* owner)
        : m_source(std::move(source)), m_owner(owner) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QPixmap image = pixmap(rect.size() * ratio, mode, state);
        image.setDevicePixelRatio(ratio);
        painter->drawPixmap(rect, image);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        QPixmap image = m_source.pixmap(size, QIcon::Normal, state);
        if (image.isNull()) {
            return image;
        }
        QPainter painter(&image);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(image.rect(), colour(mode));
        return image;
    }

    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return m_source.actualSize(size, mode, state);
    }
    QIconEngine* clone() const override { return new TintedIconEngine(m_source, m_owner); }
    QString key() const override { return QStringLiteral("framlet-tinted"); }
    QString iconName() override { return m_source.name(); }

private:
    QColor colour(QIcon::Mode mode) const {
        const QPalette palette = m_owner ? m_owner->palette() : QApplication::palette();
        return palette.color(mode == QIcon::Disabled ? QPalette::Disabled : QPalette::Active,
                             QPalette::WindowText);
    }

    QIcon m_source;
    QPointer<const QWidget> m_owner;
};

}  // namespace

void useAdwaitaAsFallback() {
    QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
}

bool desktopThemeInUse() {
    const QString theme = QIcon::themeName();
    return !theme.isEmpty() && theme != u"hicolor" && !theme.startsWith(u"Adwaita");
}

QIcon icon(const QString& name, const QWidget* owner) {
    // Qt remembers a name it did not find: the fallback must be in place before the first look.
    static const bool fallbackSet = (useAdwaitaAsFallback(), true);
    Q_UNUSED(fallbackSet);
    const auto found = table().constFind(name);
    if (found == table().cend()) {
        return {};
    }
    const QString themeName = QString::fromLatin1(found->themeName);
    if (desktopThemeInUse()) {
        if (QIcon themed = QIcon::fromTheme(themeName); !themed.isNull()) {
            return themed;
        }
    }
    if (QIcon symbolic = QIcon::fromTheme(themeName + QStringLiteral("-symbolic"));
        !symbolic.isNull()) {
        return QIcon(new TintedIconEngine(std::move(symbolic), owner));
    }
    const QIcon themed = QIcon::fromTheme(themeName);
    return themed.isNull() ? QApplication::style()->standardIcon(found->fallback) : themed;
}

}  // namespace framlet::Symbols
