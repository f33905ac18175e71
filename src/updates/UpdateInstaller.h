#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <chrono>
#include <memory>

#include "updates/Appcast.h"

class QFile;
class QNetworkAccessManager;

namespace framlet {

class FileManager;
class UpdateTransfer;

// Downloads an update, verifies it, and only then puts it to use: it replaces the AppImage the
// program runs from (atomically), hands a Debian package to the desktop's package installer, or
// saves anything else (and an AppImage it cannot replace) to the Downloads folder and shows it. A
// download of the wrong length or without a valid signature is refused and deleted; nothing of it
// is ever opened or run.
class UpdateInstaller : public QObject {
    Q_OBJECT

public:
    struct Places {
        QString staging;    // where downloads wait for their verification
        QString downloads;  // the user's Downloads folder
        QString appImage;   // the AppImage the program runs from; empty when it does not
    };
    enum class Outcome { replacedAppImage, handedToPackageInstaller, savedToDownloads };
    Q_ENUM(Outcome)

    UpdateInstaller(QNetworkAccessManager& network, QByteArray publicKey, Places places,
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
    // `path` is the file now in place: the AppImage, or the saved download.
    void installed(framlet::UpdateInstaller::Outcome outcome, const QString& path);
    void failed(const QString& message);

private:
    void downloaded();
    void refuse(const QString& reason, const QString& message);
    void place();
    bool replaceAppImage(QString& problem);
    QString moveToDownloads(QString& problem);
    void finishTransfer();

    QNetworkAccessManager& m_network;
    QByteArray m_publicKey;
    Places m_places;
    FileManager& m_fileManager;
    std::chrono::milliseconds m_timeout;
    AppcastItem m_item;
    std::unique_ptr<QFile> m_file;
    std::unique_ptr<UpdateTransfer> m_transfer;
};

}  // namespace framlet
