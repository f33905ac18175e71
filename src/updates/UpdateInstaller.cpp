#include "updates/UpdateInstaller.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <filesystem>
#include <system_error>

#include "platform/AtomicFile.h"
#include "platform/DebugLog.h"
#include "platform/FileManager.h"
#include "updates/UpdateSignature.h"
#include "updates/UpdateTransfer.h"
#include "updates/Version.h"

namespace framlet {
namespace {

using Kind = UpdatePayload::Kind;

constexpr qint64 kCopyChunk = 1024 * 1024;

struct Refusal {
    QString reason;   // for the log
    QString message;  // for the user
};

// An entry of any kind under this name, a link that leads nowhere included.
bool isTaken(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

QString uniquePath(const QDir& folder, const QString& name) {
    const QFileInfo info(name);
    const QString base = info.completeBaseName();
    const QString suffix = info.suffix().isEmpty() ? QString() : u'.' + info.suffix();
    QString path = folder.filePath(name);
    for (int n = 2; isTaken(path); ++n) {
        path = folder.filePath(QStringLiteral("%1 (%2)%3").arg(base).arg(n).arg(suffix));
    }
    return path;
}

// Copies into a file that did not exist: NewOnly creates it exclusively, so a link put in its
// place is never written through.
bool copyToNewFile(QFile& from, const QString& path, QString& problem) {
    QFile to(path);
    if (!from.open(QIODevice::ReadOnly) || !to.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        problem = from.isOpen() ? to.errorString() : from.errorString();
        from.close();
        return false;
    }
    bool copied = true;
    while (copied && !from.atEnd()) {
        const QByteArray chunk = from.read(kCopyChunk);
        copied = !chunk.isEmpty() && to.write(chunk) == chunk.size();
    }
    copied = copied && to.flush();
    from.close();
    if (!copied) {
        problem = to.errorString();
        to.remove();
    }
    return copied;
}

// The program's executable bits for whoever may already read it: running it must stay possible,
// and nobody gains access they did not have.
unsigned executableBitsFor(const QString& program) {
    const QFileDevice::Permissions permissions = QFileInfo(program).permissions();
    return 0100u | (permissions.testFlag(QFileDevice::ReadGroup) ? 0010u : 0u) |
           (permissions.testFlag(QFileDevice::ReadOther) ? 0001u : 0u);
}

QString describe(Kind kind) {
    switch (kind) {
        case Kind::appImage:
            return QStringLiteral("an AppImage");
        case Kind::debianPackage:
            return QStringLiteral("a Debian package");
        case Kind::other:
            break;
    }
    return QStringLiteral("neither an AppImage nor a Debian package");
}

// Why a verified download must still not be used: the signature proves who made the bytes, not
// which release they are, so the kind and version come from the bytes and must match the feed.
std::optional<Refusal> refusalFor(const QString& path, Kind kind, const AppcastItem& item,
                                  const QString& runningVersion) {
    const Kind named = UpdatePayload::kindNamed(UpdateInstaller::fileNameFor(item.url));
    if (kind != named) {
        return Refusal{QStringLiteral("the file is %1, the feed named it as %2")
                           .arg(describe(kind), describe(named)),
                       QStringLiteral("The download is not the kind of file the update feed "
                                      "announced and has been deleted.")};
    }
    if (kind == Kind::other) {
        return std::nullopt;  // saved for the user as it is
    }
    const auto carried = UpdatePayload::versionOf(path, kind);
    const auto version = carried ? Version::parse(*carried) : std::nullopt;
    if (!version) {
        return Refusal{QStringLiteral("the file does not say which version it is"),
                       QStringLiteral("The download does not say which version of Framlet it is "
                                      "and has been deleted.")};
    }
    if (Version::parse(item.version) != *version) {
        return Refusal{
            QStringLiteral("the file is version %1, the feed announced %2")
                .arg(*carried, item.version),
            QStringLiteral("The download is Framlet %1, not %2 as announced, and has been deleted.")
                .arg(*carried, item.displayVersion)};
    }
    const auto running = Version::parse(runningVersion);
    if (!running || *version <= *running) {
        return Refusal{
            QStringLiteral("version %1 is not newer than the running %2")
                .arg(*carried, runningVersion),
            QStringLiteral("The download is Framlet %1, which is not newer than the version you "
                           "have (%2), and has been deleted.")
                .arg(*carried, runningVersion)};
    }
    return std::nullopt;
}

}  // namespace

UpdateInstaller::UpdateInstaller(QNetworkAccessManager& network, TimerSource& timers, Trust trust,
                                 Places places, FileManager& fileManager,
                                 std::chrono::milliseconds timeout, QObject* parent)
    : QObject(parent)
    , m_network(network)
    , m_timers(timers)
    , m_trust(std::move(trust))
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
    m_file.reset();
    if (item.length > maxDownloadBytes) {
        refuse(QStringLiteral("the feed announces %1 bytes, more than an update may have")
                   .arg(item.length),
               QStringLiteral("The update is larger than any Framlet release and was not "
                              "downloaded."));
        return;
    }
    if (!openStaging()) {
        Q_EMIT failed(QStringLiteral("The update could not be saved: ") + m_file->errorString());
        return;
    }
    m_transfer = std::make_unique<UpdateTransfer>(
        m_network, m_timers, item.url,
        UpdateTransfer::Limits{std::min(item.length, maxDownloadBytes), m_timeout,
                               downloadDeadline},
        m_file.get());
    connect(m_transfer.get(), &UpdateTransfer::progressed, this,
            [this](qint64 received, qint64) { Q_EMIT progressed(received, m_item.length); });
    connect(m_transfer.get(), &UpdateTransfer::finished, this, &UpdateInstaller::downloaded);
    connect(m_transfer.get(), &UpdateTransfer::failed, this, [this](const QString& description) {
        refuse(description, QStringLiteral("The update could not be downloaded."));
    });
    m_transfer->start();
}

bool UpdateInstaller::openStaging() {
    QDir().mkpath(m_places.staging);
    m_file = std::make_unique<QFile>(QDir(m_places.staging).filePath(fileNameFor(m_item.url)) +
                                     QStringLiteral(".part"));
    // What a stopped download left is ours to remove (a link itself, never what it points at).
    // The new file is then created exclusively: O_EXCL never opens an existing file or a link.
    QFile::remove(m_file->fileName());
    return m_file->open(QIODevice::WriteOnly | QIODevice::NewOnly);
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
    if (!UpdateSignature::verifiesFile(m_file->fileName(), m_item.edSignature, m_trust.publicKey)) {
        refuse(QStringLiteral("the signature does not match"),
               QStringLiteral("The download is not signed by Framlet's developers and has been "
                              "deleted."));
        return;
    }
    const Kind kind = UpdatePayload::kindOf(m_file->fileName());
    if (const auto refusal = refusalFor(m_file->fileName(), kind, m_item, m_trust.runningVersion)) {
        refuse(refusal->reason, refusal->message);
        return;
    }
    place(kind);
}

void UpdateInstaller::refuse(const QString& reason, const QString& message) {
    if (m_transfer) {
        finishTransfer();
    }
    if (m_file) {
        m_file->remove();
    }
    DebugLog::log(QStringLiteral("updater: refused update ") + m_item.displayVersion +
                  QStringLiteral(" — ") + reason);
    Q_EMIT failed(message);
}

void UpdateInstaller::place(Kind kind) {
    DebugLog::log(QStringLiteral("updater: verified update ") + m_item.displayVersion);
    QString problem;
    if (kind == Kind::appImage && !m_places.appImage.isEmpty()) {
        const auto replaceProblem = replaceAppImage();
        if (!replaceProblem) {
            Q_EMIT installed(Outcome::replacedAppImage, m_places.appImage, {});
            return;
        }
        // A full disk, or a folder the user may not write to: the program stays as it was, and
        // the verified file is still of use in Downloads.
        DebugLog::log(QStringLiteral("updater: could not replace ") + m_places.appImage +
                      QStringLiteral(" — ") + *replaceProblem);
        problem = *replaceProblem;
    }
    saveToDownloads(kind, problem);
}

void UpdateInstaller::saveToDownloads(Kind kind, const QString& replaceProblem) {
    QString problem;
    const QString saved = moveToDownloads(problem);
    if (saved.isEmpty()) {
        m_file->remove();
        DebugLog::log(QStringLiteral("updater: could not install update ") + m_item.displayVersion +
                      QStringLiteral(" — ") + problem);
        Q_EMIT failed(QStringLiteral("The update could not be installed: ") +
                      (replaceProblem.isEmpty() ? problem : replaceProblem));
        return;
    }
    const QUrl url = QUrl::fromLocalFile(saved);
    if (kind == Kind::debianPackage && m_fileManager.open(url)) {
        Q_EMIT installed(Outcome::handedToPackageInstaller, saved, {});
        return;
    }
    m_fileManager.reveal({url});
    if (!replaceProblem.isEmpty()) {
        Q_EMIT installed(Outcome::savedToDownloadsInstead, saved, replaceProblem);
    } else {
        Q_EMIT installed(Outcome::savedToDownloads, saved, {});
    }
}

std::optional<QString> UpdateInstaller::replaceAppImage() {
    if (!m_file->open(QIODevice::ReadOnly)) {
        return m_file->errorString();
    }
    // The running program is renamed over, never rewritten in place: its other names keep the
    // old bytes, and the program is either wholly the old one or wholly the new one.
    AtomicFile::Options options;
    options.newFileMode = 0755;
    options.addedMode = executableBitsFor(m_places.appImage);
    options.hardLinks = AtomicFile::HardLinks::split;
    const auto problem = AtomicFile::replace(m_places.appImage, *m_file, options);
    m_file->close();
    if (!problem) {
        m_file->remove();
    }
    return problem;
}

QString UpdateInstaller::moveToDownloads(QString& problem) {
    const QDir downloads(m_places.downloads);
    QDir().mkpath(downloads.path());
    const QString path = uniquePath(downloads, fileNameFor(m_item.url));
    // A hard link never replaces an entry, a dangling link included; another file system takes
    // a copy into a file created exclusively.
    std::error_code error;
    std::filesystem::create_hard_link(QFile::encodeName(m_file->fileName()).toStdString(),
                                      QFile::encodeName(path).toStdString(), error);
    if (error && !copyToNewFile(*m_file, path, problem)) {
        return {};
    }
    m_file->remove();
    return path;
}

}  // namespace framlet
