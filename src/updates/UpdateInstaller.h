#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <chrono>
#include <memory>
#include <optional>

#include "updates/Appcast.h"
#include "updates/UpdatePayload.h"

class QFile;
class QNetworkAccessManager;

namespace framlet {

class FileManager;
class TimerSource;
class UpdateTransfer;

// Downloads an update, verifies it, and only then puts it to use: it replaces the AppImage the
// program runs from (atomically), hands a Debian package to the desktop's package installer, or
// saves anything else (and an AppImage it cannot replace) to the Downloads folder and shows it. A
// download of the wrong length or without a valid signature is refused and deleted, and so is one
// whose own bytes disagree with the feed: another kind of file than its name says, or another
// version than announced, or one not newer than the running version. Nothing of a refused download
// is ever opened or run.
class UpdateInstaller : public QObject {
    Q_OBJECT

public:
    struct Places {
        QString staging;    // where downloads wait for their verification
        QString downloads;  // the user's Downloads folder
        QString appImage;   // the AppImage the program runs from; empty when it does not
    };
    // What a download is checked against: the key that signs releases, the version running.
    struct Trust {
        QByteArray publicKey;
        QString runningVersion;
    };
    enum class Outcome {
        replacedAppImage,
        handedToPackageInstaller,
        savedToDownloads,
        savedToDownloadsInstead,  // the AppImage could not be replaced; it is as it was
    };
    Q_ENUM(Outcome)

    // No update is larger than this, whatever its feed announces.
    static constexpr qint64 maxDownloadBytes = qint64{512} * 1024 * 1024;
    // A download that takes longer than this in all is given up, however steadily it trickles.
    static constexpr std::chrono::minutes downloadDeadline{30};

    UpdateInstaller(QNetworkAccessManager& network, TimerSource& timers, Trust trust, Places places,
                    FileManager& fileManager, std::chrono::milliseconds timeout,
                    QObject* parent = nullptr);
    ~UpdateInstaller() override;

    void install(const AppcastItem& item);
    bool isRunning() const { return m_transfer != nullptr; }

    // The file name an update is saved under: the last part of its address, reduced to safe
    // characters; never empty, never hidden.
    static QString fileNameFor(const QUrl& url);

Q_SIGNALS:
    void progressed(qint64 received, qint64 total);
    // `path` is the file now in place: the AppImage, or the saved download; `detail` says why an
    // AppImage was saved instead of replaced, and is empty otherwise.
    void installed(framlet::UpdateInstaller::Outcome outcome, const QString& path,
                   const QString& detail);
    void failed(const QString& message);

private:
    bool openStaging();
    void downloaded();
    void refuse(const QString& reason, const QString& message);
    void place(UpdatePayload::Kind kind);
    void saveToDownloads(UpdatePayload::Kind kind, const QString& replaceProblem);
    std::optional<QString> replaceAppImage();
    QString moveToDownloads(QString& problem);
    void finishTransfer();

    QNetworkAccessManager& m_network;
    TimerSource& m_timers;
    Trust m_trust;
    Places m_places;
    FileManager& m_fileManager;
    std::chrono::milliseconds m_timeout;
    AppcastItem m_item;
    std::unique_ptr<QFile> m_file;
    std::unique_ptr<UpdateTransfer> m_transfer;
};

}  // namespace framlet
