#include "app/LanternThemeIcons.h"

#include <QDir>
#include <QFile>
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

QString name(bool lit) {
    return lit ? litName : emptyName;
}

}  // namespace framlet::LanternThemeIcons
