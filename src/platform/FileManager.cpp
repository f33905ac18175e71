#include "platform/FileManager.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QFileInfo>
#include <QStringList>

#include "platform/DebugLog.h"

namespace framlet {

FileManager::FileManager(QObject* parent) : QObject(parent) {
}

FileManager& FileManager::shared() {
    static FileManager* instance = new FileManager(qApp);
    return *instance;
}

bool FileManager::open(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

void FileManager::reveal(const QList<QUrl>& urls) {
    if (urls.isEmpty()) {
        return;
    }
    QStringList uris;
    for (const QUrl& url : urls) {
        uris.append(QString::fromUtf8(url.toEncoded()));
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << uris << QString();
    auto* watcher =
        new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, urls, watcher] {
        watcher->deleteLater();
        if (watcher->isError()) {
            DebugLog::log(
                QStringLiteral("reveal: no file manager answered (%1), opening the folder")
                    .arg(watcher->error().message()));
            openFolders(urls);
        } else {
            Q_EMIT revealed(urls);
        }
    });
}

void FileManager::openFolders(const QList<QUrl>& urls) {
    QList<QUrl> folders;
    for (const QUrl& url : urls) {
        const QUrl folder = QUrl::fromLocalFile(QFileInfo(url.toLocalFile()).absolutePath());
        if (!folders.contains(folder)) {
            folders.append(folder);
        }
    }
    for (const QUrl& folder : folders) {
        open(folder);
    }
    Q_EMIT revealFellBack(folders);
}

}  // namespace framlet
