#include "updates/UpdateInstaller.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

#include "platform/DebugLog.h"
#include "platform/FileManager.h"
#include "updates/UpdateSignature.h"
#include "updates/UpdateTransfer.h"

namespace framlet {
namespace {

constexpr qint64 kCopyChunk = 1024 * 1024;
constexpr QFileDevice::Permissions kExecutable =
    QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther;

bool copyInto(QFile& from, QFileDevice& to) {
    while (!from.atEnd()) {
        const QByteArray chunk = from.read(kCopyChunk);
        if (chunk.isEmpty() || to.write(chunk) != chunk.size()) {
            return false;
        }
    }
    return true;
}

QString uniquePath(const QDir& folder, const QString& name) {
    const QFileInfo info(name);
    const QString base = info.completeBaseName();
    const QString suffix = info.suffix().isEmpty() ? QString() : u'.' + info.suffix();
    QString path = folder.filePath(name);
    for (int n = 2; QFileInfo::exists(path); ++n) {
        path = folder.filePath(QStringLiteral("%1 (%2)%3").arg(base).arg(n).arg(suffix));
    }
    return path;
}

}  // namespace

UpdateInstaller::UpdateInstaller(QNetworkAccessManager& network, QByteArray publicKey,
                                 Places places, FileManager& fileManager,
                                 std::chrono::milliseconds timeout, QObject* parent)
    : QObject(parent)
    , m_network(network)
    , m_publicKey(std::move(publicKey))
    , m_places(std::move(places))
    , m_fileManager(fileManager)
    , m_timeout(timeout) {
}

UpdateInstaller::~UpdateInstaller() {
    if (m_transfer) {
        m_transfer->cancel();
        m_file->remove();
    }
}

QString UpdateInstaller::fileNameFor(const QUrl& url) {
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9._+-]"));
    QString name = QFileInfo(url.path()).fileName().replace(unsafe, QStringLiteral("_"));
    while (name.startsWith(u'.')) {
        name.remove(0, 1);
    }
    return name.isEmpty() ? QStringLiteral("Framlet-update") : name;
}

void UpdateInstaller::install(const AppcastItem& item) {
    if (isRunning()) {
        return;
    }
    m_item = item;
    QDir().mkpath(m_places.staging);
    m_file = std::make_unique<QFile>(QDir(m_places.staging).filePath(fileNameFor(item.url)) +
                                     QStringLiteral(".part"));
    if (!m_file->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        Q_EMIT failed(QStringLiteral("The update could not be saved: ") + m_file->errorString());
        return;
    }
    m_transfer = std::make_unique<UpdateTransfer>(
        m_network, item.url, UpdateTransfer::Limits{item.length, m_timeout}, m_file.get());
    connect(m_transfer.get(), &UpdateTransfer::progressed, this,
            [this](qint64 received, qint64) { Q_EMIT progressed(received, m_item.length); });
    connect(m_transfer.get(), &UpdateTransfer::finished, this, &UpdateInstaller::downloaded);
    connect(m_transfer.get(), &UpdateTransfer::failed, this, [this](const QString& description) {
        refuse(description, QStringLiteral("The update could not be downloaded."));
    });
    m_transfer->start();
}

void UpdateInstaller::finishTransfer() {
    m_file->close();
    m_transfer.release()->deleteLater();  // still on the stack of its own signal
}

void UpdateInstaller::downloaded() {
    finishTransfer();
    const qint64 size = QFileInfo(m_file->fileName()).size();
    if (size != m_item.length) {
        refuse(
            QStringLiteral("%1 bytes arrived, the feed announced %2").arg(size).arg(m_item.length),
            QStringLiteral("The download was incomplete and has been deleted."));
        return;
    }
    if (!UpdateSignature::verifiesFile(m_file->fileName(), m_item.edSignature, m_publicKey)) {
        refuse(QStringLiteral("the signature does not match"),
               QStringLiteral("The download is not signed by Framlet's developers and has been "
                              "deleted."));
        return;
    }
    place();
}

void UpdateInstaller::refuse(const QString& reason, const QString& message) {
    if (m_transfer) {
        finishTransfer();
    }
    m_file->remove();
    DebugLog::log(QStringLiteral("updater: refused update ") + m_item.displayVersion +
                  QStringLiteral(" — ") + reason);
    Q_EMIT failed(message);
}

void UpdateInstaller::place() {
    QString problem;
    DebugLog::log(QStringLiteral("updater: verified update ") + m_item.displayVersion);
    const QString name = fileNameFor(m_item.url);
    if (!m_places.appImage.isEmpty() && name.endsWith(u".AppImage", Qt::CaseInsensitive)) {
        if (replaceAppImage(problem)) {
            Q_EMIT installed(Outcome::replacedAppImage, m_places.appImage);
            return;
        }
        // A folder the user may not write to: the verified file is still of use in Downloads.
        DebugLog::log(QStringLiteral("updater: could not replace ") + m_places.appImage +
                      QStringLiteral(" — ") + problem);
    }
    const QString saved = moveToDownloads(problem);
    if (saved.isEmpty()) {
        m_file->remove();
        DebugLog::log(QStringLiteral("updater: could not install update ") + m_item.displayVersion +
                      QStringLiteral(" — ") + problem);
        Q_EMIT failed(QStringLiteral("The update could not be installed: ") + problem);
        return;
    }
    const QUrl url = QUrl::fromLocalFile(saved);
    if (name.endsWith(u".deb", Qt::CaseInsensitive) && m_fileManager.open(url)) {
        Q_EMIT installed(Outcome::handedToPackageInstaller, saved);
    } else {
        m_fileManager.reveal({url});
        Q_EMIT installed(Outcome::savedToDownloads, saved);
    }
}

bool UpdateInstaller::replaceAppImage(QString& problem) {
    // Written beside the old file and renamed over it: the program is either the old one or the
    // new one, never half of each.
    QSaveFile target(m_places.appImage);
    const QFileDevice::Permissions permissions = QFileInfo(m_places.appImage).permissions() |
                                                 QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                 kExecutable;
    if (!m_file->open(QIODevice::ReadOnly) || !target.open(QIODevice::WriteOnly) ||
        !copyInto(*m_file, target) || !target.setPermissions(permissions) || !target.commit()) {
        problem = target.errorString();
        target.cancelWriting();
        m_file->close();
        return false;
    }
    m_file->close();
    m_file->remove();
    return true;
}

QString UpdateInstaller::moveToDownloads(QString& problem) {
    const QDir downloads(m_places.downloads);
    QDir().mkpath(downloads.path());
    const QString path = uniquePath(downloads, fileNameFor(m_item.url));
    if (!m_file->rename(path)) {
        problem = m_file->errorString();
        return {};
    }
    return path;
}

}  // namespace framlet
