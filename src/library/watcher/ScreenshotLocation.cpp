#include "library/watcher/ScreenshotLocation.h"

#include <QCoreApplication>
#include <QDir>
#include <QMutex>
#include <QPointer>
#include <QStandardPaths>

#include "platform/DebugLog.h"
#include "platform/FolderThreads.h"
#include "platform/ScreenshotPreferences.h"
#include "preferences/Settings.h"

namespace framlet {
namespace {

QString expandTilde(const QString& path) {
    if (path == u"~") {
        return QDir::homePath();
    }
    return path.startsWith(u"~/") ? QDir::homePath() + path.mid(1) : path;
}

QUrl folderUrl(const QString& path) {
    return QUrl::fromLocalFile(QDir::cleanPath(path));
}

// The location is looked up at every opening of the shelf: only a new answer is worth a line.
void logOnce(const QString& line) {
    static QMutex mutex;
    static QString last;
    const QMutexLocker lock(&mutex);
    if (line != last) {
        last = line;
        DebugLog::log(line);
    }
}

QList<QUrl> resolved(const QStringList& configured) {
    if (configured.isEmpty()) {
        return {ScreenshotLocation::current()};
    }
    QList<QUrl> folders;
    for (const QString& path : configured) {
        folders.append(folderUrl(expandTilde(path)));
    }
    return folders;
}

// Not a path, so no folder shares its thread: looking the location up may wait on a folder that
// does not answer, and then one thread waits, however often the shelf is opened meanwhile.
const QString kLocationLookups = QStringLiteral("screenshot location");

}  // namespace

QList<QUrl> ScreenshotLocation::resolvedFolders(Settings& settings) {
    return resolved(settings.watchedFolders());
}

void ScreenshotLocation::resolveFoldersInBackground(Settings& settings, QObject* context,
                                                    std::function<void(const QList<QUrl>&)> done) {
    const QPointer<QObject> receiver(context);
    FolderThreads::run(kLocationLookups,
                       [configured = settings.watchedFolders(), receiver, done = std::move(done)] {
                           const QList<QUrl> folders = resolved(configured);
                           QCoreApplication* application = QCoreApplication::instance();
                           if (!application) {
                               return;  // the program is ending
                           }
                           QMetaObject::invokeMethod(
                               application,
                               [receiver, done, folders] {
                                   if (receiver) {
                                       done(folders);
                                   }
                               },
                               Qt::QueuedConnection);
                       });
}

QUrl ScreenshotLocation::current() {
    const std::optional<ScreenshotPreferences::Choice> choice = ScreenshotPreferences().choice();
    const QString folder =
        choice ? choice->folder : QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    logOnce(choice ? QStringLiteral("watcher: screenshot tool %1, %2 → %3")
                         .arg(choice->tool, choice->setting, folder)
                   : QStringLiteral("watcher: no screenshot tool found → %1").arg(folder));
    return folderUrl(folder);
}

}  // namespace framlet
