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
// One last line per kind of answer.
void logOnce(const QString& line, const QString& kind = QString()) {
    static QMutex mutex;
    static QHash<QString, QString> last;
    const QMutexLocker lock(&mutex);
    if (line != last.value(kind)) {
        last.insert(kind, line);
        DebugLog::log(line);
    }
}

// Not a path, so no folder shares its thread: looking the location up may wait on a folder that
// does not answer, and then one thread waits, however often the shelf is opened meanwhile.
const QString kLocationLookups = QStringLiteral("screenshot location");

}  // namespace

ScreenshotLocation::Folders ScreenshotLocation::resolvedWithNames(const QStringList& configured) {
    Folders folders;
    for (const QString& path : configured) {
        folders.urls.append(folderUrl(expandTilde(path)));
    }
    if (!configured.isEmpty()) {
        return folders;
    }
    folders.urls.append(current());
    if (const auto second = ScreenshotPreferences().secondFolder()) {
        const QUrl url = folderUrl(second->folder);
        if (url != folders.urls.front()) {
            logOnce(QStringLiteral("watcher: also %1's own files in %2")
                        .arg(second->tool, second->folder),
                    second->tool);
            folders.urls.append(url);
            folders.namePatterns.insert(url, second->namePattern);
        }
    }
    return folders;
}

QList<QUrl> ScreenshotLocation::resolvedFolders(Settings& settings) {
    return resolvedWithNames(settings.watchedFolders()).urls;
}

void ScreenshotLocation::resolveFoldersInBackground(Settings& settings, QObject* context,
                                                    std::function<void(const Folders&)> done) {
    const QPointer<QObject> receiver(context);
    FolderThreads::run(kLocationLookups,
                       [configured = settings.watchedFolders(), receiver, done = std::move(done)] {
                           const Folders folders = resolvedWithNames(configured);
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
