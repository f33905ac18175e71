#include "ShelfFixture.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QImage>

#include "library/store/Screenshot.h"
#include "platform/TimerSource.h"

namespace framlet::test {

Trash::Result PickyTrash::moveToTrash(const QList<QUrl>& urls) const {
    Result result;
    for (const QUrl& url : urls) {
        if (refused.contains(url) || !QFile::remove(url.toLocalFile())) {
            result.failures.append({url, QStringLiteral("refused")});
        } else {
            result.moved.append(url);
        }
    }
    return result;
}

ShelfFixture::ShelfFixture()
    : store(std::make_unique<ScreenshotStore>(
          [this](const OCRService::Job& job, OCRService::Completion completion) {
              pendingText.insert(QFileInfo(job.path).fileName(), std::move(completion));
          },
          budget, TimerSource::realTime(), thumbnails))
    , actions(trash, fileManager, clipboard, budget,
              [this](const QString& message) { alerts.append(message); }) {
    store->setHistoryLimit(500);
    settings.setWatchedFolders({dir.path()});
}

ShelfFixture::~ShelfFixture() {
    store.reset();
}

QUuid ShelfFixture::addShot(const QString& name, const QString& folder) {
    const QString file = (folder.isEmpty() ? dir.path() : folder) + QLatin1Char('/') + name;
    QImage picture(160, 100, QImage::Format_RGB32);
    picture.fill(QColor::fromHsv(int(qHash(name) % 360), 160, 220));
    picture.save(file, "png");
    store->add(QUrl::fromLocalFile(file), QDateTime::currentDateTime());
    return idOf(name);
}

void ShelfFixture::recognize(const QString& name, const QString& text) {
    if (auto completion = pendingText.take(name)) {
        completion(text);
    }
}

QUuid ShelfFixture::idOf(const QString& name) const {
    for (const Screenshot* shot : store->items()) {
        if (shot->fileName() == name) {
            return shot->id();
        }
    }
    return {};
}

}  // namespace framlet::test
