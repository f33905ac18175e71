#include "platform/Trash.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <optional>

namespace framlet {

namespace {

QString couldNotMove(const QString& path, const QString& reason) {
    return QStringLiteral("“%1” couldn’t be moved to the Trash: %2")
        .arg(QFileInfo(path).fileName(), reason);
}

// Without the home data folder Qt files the item under the current directory instead of failing,
// so the folder is made beforehand; a false result means no home Trash can exist.
bool makeHomeTrash() {
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return !dataHome.isEmpty() && QDir().mkpath(dataHome + QStringLiteral("/Trash"));
}

// Puts back a file that Qt moved somewhere relative to the current directory, with its info.
void undoStrayMove(const QString& original, const QString& strayPath) {
    const QFileInfo stray(strayPath);
    QFile::rename(stray.absoluteFilePath(), original);
    QFile::remove(stray.absoluteDir().absoluteFilePath(
        QStringLiteral("../info/%1.trashinfo").arg(stray.fileName())));
}

std::optional<QString> moveOne(const QUrl& url) {
    if (!url.isLocalFile()) {
        return QStringLiteral("“%1” is not a local file.").arg(url.toDisplayString());
    }
    const QString path = url.toLocalFile();
    QFile file(path);
    if (!file.exists()) {
        return couldNotMove(path, QStringLiteral("the file no longer exists."));
    }
    if (!file.moveToTrash()) {
        return couldNotMove(path, file.errorString());
    }
    if (QDir::isRelativePath(file.fileName())) {
        undoStrayMove(path, file.fileName());
        return couldNotMove(path, QStringLiteral("no Trash folder could be found."));
    }
    return std::nullopt;
}

}  // namespace

Trash& Trash::shared() {
    static Trash instance;
    return instance;
}

Trash::Result Trash::moveToTrash(const QList<QUrl>& urls) const {
    Result result;
    const bool homeTrash = makeHomeTrash();
    for (const QUrl& url : urls) {
        std::optional<QString> failure;
        if (!homeTrash) {
            failure = couldNotMove(url.toLocalFile(),
                                   QStringLiteral("the Trash folder cannot be created."));
        } else {
            failure = moveOne(url);
        }
        if (failure) {
            result.failures.append({url, *failure});
        } else {
            result.moved.append(url);
        }
    }
    return result;
}

}  // namespace framlet
