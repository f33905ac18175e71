#include "Symbols.h"

#include <QApplication>
#include <QHash>
#include <QStyle>

namespace framlet::Symbols {

namespace {

struct Entry {
    const char* themeName;
    QStyle::StandardPixmap fallback;
};

const QHash<QString, Entry>& table() {
    static const QHash<QString, Entry> entries{
        {QStringLiteral("magnifyingglass"), {"edit-find", QStyle::SP_FileDialogContentsView}},
        {QStringLiteral("xmark.circle.fill"), {"edit-clear", QStyle::SP_LineEditClearButton}},
        {QStringLiteral("sparkles"), {"starred", QStyle::SP_MessageBoxInformation}},
        {QStringLiteral("camera.viewfinder"), {"camera-photo", QStyle::SP_DesktopIcon}},
        {QStringLiteral("exclamationmark.triangle"),
         {"dialog-warning", QStyle::SP_MessageBoxWarning}},
        {QStringLiteral("arrow.down.circle"), {"software-update-available", QStyle::SP_ArrowDown}},
        {QStringLiteral("gearshape"), {"preferences-system", QStyle::SP_FileDialogDetailedView}},
        {QStringLiteral("power"), {"system-shutdown", QStyle::SP_TitleBarCloseButton}},
    };
    return entries;
}

}  // namespace

QIcon icon(const QString& name) {
    const auto found = table().constFind(name);
    if (found == table().cend()) {
        return {};
    }
    const QIcon themed = QIcon::fromTheme(QString::fromLatin1(found->themeName));
    return themed.isNull() ? QApplication::style()->standardIcon(found->fallback) : themed;
}

}  // namespace framlet::Symbols
