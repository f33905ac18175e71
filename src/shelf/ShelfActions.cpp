#include "shelf/ShelfActions.h"

#include <QApplication>
#include <QFutureWatcher>
#include <QMessageBox>
#include <QPointer>
#include <QtConcurrent>

#include "library/decoding/ImageDecoder.h"
#include "platform/Clipboard.h"
#include "platform/DebugLog.h"
#include "platform/FileManager.h"
#include "platform/Trash.h"

namespace framlet {

ShelfActions::ShelfActions(Trash& trash, FileManager& fileManager, Clipboard& clipboard,
                           DecodeBudget& budget, Alert alert, QObject* parent)
    : QObject(parent)
    , m_trash(trash)
    , m_fileManager(fileManager)
    , m_clipboard(clipboard)
    , m_decoder(budget)
    , m_alert(std::move(alert)) {
}

ShelfActions::~ShelfActions() {
    // A move still running uses the Trash given to us; it is short, so it is waited for.
    for (auto* watcher : findChildren<QFutureWatcherBase*>()) {
        watcher->waitForFinished();
    }
}

void ShelfActions::open(const QList<QUrl>& urls) {
    for (const QUrl& url : urls) {
        m_fileManager.open(url);
    }
}

void ShelfActions::reveal(const QList<QUrl>& urls) {
    m_fileManager.reveal(urls);
}

void ShelfActions::copyImages(const QList<QUrl>& urls) {
    QList<QImage> images;
    QList<QUrl> files;
    for (const QUrl& url : urls) {
        ImageDecoder::Result decoded = m_decoder.decode(url.toLocalFile());
        if (decoded.ok()) {
            images.append(std::move(decoded.image));
            files.append(url);
        }
    }
    m_clipboard.setImages(images, files);
}

void ShelfActions::copyPaths(const QList<QUrl>& urls) {
    QStringList paths;
    for (const QUrl& url : urls) {
        paths.append(url.toLocalFile());
    }
    const QString text = paths.join(QLatin1Char('\n'));
    if (!text.isEmpty()) {
        m_clipboard.setText(text);
    }
}

void ShelfActions::moveToTrash(const QList<QUrl>& urls, QObject* context, TrashCompletion onMoved) {
    if (urls.isEmpty()) {
        return;
    }
    auto* watcher = new QFutureWatcher<Trash::Result>(this);
    connect(watcher, &QFutureWatcherBase::finished, this,
            [this, watcher, receiver = QPointer<QObject>(context), onMoved = std::move(onMoved)] {
                watcher->deleteLater();
                const Trash::Result result = watcher->result();
                // The shelf lets go of what was moved before a failure is shown modally.
                if (receiver && onMoved) {
                    onMoved(result.moved);
                }
                reportFailures(result.failures);
            });
    const Trash& trash = m_trash;
    watcher->setFuture(QtConcurrent::run([&trash, urls] { return trash.moveToTrash(urls); }));
}

void ShelfActions::showAlert(const QString& message) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Framlet"), message, QMessageBox::Ok);
    box.exec();
}

void ShelfActions::reportFailures(const QList<Trash::Failure>& failures) {
    if (failures.isEmpty()) {
        return;
    }
    QStringList messages;
    for (const Trash::Failure& failure : failures) {
        DebugLog::log(QStringLiteral("trash: failed — ") + failure.message);
        messages.append(failure.message);
    }
    if (m_alert) {
        m_alert(messages.join(QLatin1Char('\n')));
    }
}

}  // namespace framlet
