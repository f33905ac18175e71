#include "app/LanternThemeIcons.h"

#include <QDir>
#include <QFile>
#include <QIconEngine>
#include <QPainter>
#include <QStandardPaths>

#include "app/LanternIcon.h"
#include "platform/AtomicFile.h"

namespace framlet::LanternThemeIcons {
namespace {

QString folder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/icons/hicolor/scalable/status");
}

bool write(const QString& name, const QByteArray& contents) {
    const QString path = folder() + QLatin1Char('/') + name + QStringLiteral(".svg");
    QFile existing(path);
    if (existing.open(QIODevice::ReadOnly) && existing.readAll() == contents) {
        return true;
    }
    return !AtomicFile::replace(path, contents).has_value();
}

}  // namespace

bool install() {
    // Symbolic icons are drawn in one dark grey that hosts replace with their panel's colour.
    const QColor symbolic(0x2e, 0x34, 0x36);
    return QDir().mkpath(folder()) && write(emptyName, LanternIcon::svg(0.0, symbolic)) &&
           write(litName, LanternIcon::svg(1.0, symbolic));
}

namespace {

// Draws like the drawn icon but answers to a theme name, whatever Qt's own theme lookup (cached
// from before the icons were installed) would find: the host looks the name up itself.
class NamedIconEngine final : public QIconEngine {
public:
    NamedIconEngine(QString name, QIcon drawn)
        : m_name(std::move(name)), m_drawn(std::move(drawn)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        m_drawn.paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return m_drawn.pixmap(size, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return m_drawn.actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
        return m_drawn.availableSizes(mode, state);
    }
    QString iconName() override { return m_name; }
    QIconEngine* clone() const override { return new NamedIconEngine(m_name, m_drawn); }

private:
    QString m_name;
    QIcon m_drawn;
};

}  // namespace

QIcon icon(bool lit, const QIcon& drawn) {
    return QIcon(new NamedIconEngine(lit ? litName : emptyName, drawn));
}

}  // namespace framlet::LanternThemeIcons
