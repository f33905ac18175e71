#include "app/OlderScreenshots.h"

#include <QLocale>
#include <QSet>
#include <algorithm>

#include "library/ocr/OCRService.h"
#include "library/ocr/OlderScreenshotReader.h"
#include "library/store/ScreenshotStore.h"
#include "library/textcache/TextCache.h"
#include "library/watcher/ScreenshotSources.h"
#include "platform/PowerSource.h"
#include "preferences/Settings.h"

namespace framlet {

OlderScreenshots::OlderScreenshots(ScreenshotSources& sources, ScreenshotStore& shelf,
                                   TextCache& cache, OlderScreenshotReader& reader, OCRService& ocr,
                                   PowerSource& power, Settings& settings, QObject* parent)
    : RecognisedText(parent)
    , m_sources(sources)
    , m_shelf(shelf)
    , m_cache(cache)
    , m_reader(reader)
    , m_settings(settings) {
    connect(&sources, &ScreenshotSources::listed, this, &OlderScreenshots::listed);
    connect(&sources, &ScreenshotSources::removed, this, [this](const QList<QUrl>& urls) {
        QStringList paths;
        for (const QUrl& url : urls) {
            paths.append(url.toLocalFile());
        }
        m_cache.forget(paths);
    });
    connect(&ocr, &OCRService::readingLiveChanged, this, [this](bool reading) {
        m_reader.setPaused(OlderScreenshotReader::liveCapture, reading);
    });
    m_reader.setPaused(OlderScreenshotReader::liveCapture, ocr.readingLive());
    connect(&power, &PowerSource::onBatteryChanged, this, [this](bool onBattery) {
        m_reader.setPaused(OlderScreenshotReader::onBattery, onBattery);
    });
    m_reader.setPaused(OlderScreenshotReader::onBattery, power.onBattery());
    const auto followSetting = [this] {
        m_reader.setPaused(OlderScreenshotReader::turnedOff, !m_settings.searchOlderScreenshots());
        Q_EMIT progressTextChanged(progressText());
    };
    connect(&settings, &Settings::searchOlderScreenshotsChanged, this, followSetting);
    followSetting();
    connect(&reader, &OlderScreenshotReader::progressed, this,
            [this] { Q_EMIT progressTextChanged(progressText()); });
}

void OlderScreenshots::listed() {
    if (m_sources.listedAll()) {
        // Files that left the disk or the watched folders while nobody was looking.
        QSet<QString> present;
        const auto known = m_sources.knownFiles();
        for (auto file = known.cbegin(); file != known.cend(); ++file) {
            present.insert(file.key().toLocalFile());
        }
        m_cache.keepOnly(present);
    }
    offerFiles();
}

void OlderScreenshots::offerFiles() {
    QSet<QUrl> onShelf;
    for (const Screenshot* shot : m_shelf.items()) {
        onShelf.insert(shot->url());
    }
    QList<OlderScreenshotReader::File> older;
    const auto known = m_sources.knownFiles();
    for (auto file = known.cbegin(); file != known.cend(); ++file) {
        if (!onShelf.contains(file.key())) {
            older.append({file.key().toLocalFile(), file.value()});
        }
    }
    std::sort(older.begin(), older.end(),
              [](const auto& a, const auto& b) { return a.stamp.modifiedNs > b.stamp.modifiedNs; });
    m_reader.setFiles(older);
}

QList<QUrl> OlderScreenshots::search(const QString& query, int limit) const {
    QList<QUrl> found;
    if (!m_settings.searchOlderScreenshots() || query.isEmpty()) {
        return found;
    }
    const auto known = m_sources.knownFiles();
    // The shelf's own may be among the newest matches: ask for enough to fill the limit anyway.
    for (const QString& path : m_cache.search(query, limit + int(m_shelf.count()))) {
        const QUrl url = QUrl::fromLocalFile(path);
        if (known.contains(url) && !m_shelf.screenshot(url) && found.size() < limit) {
            found.append(url);
        }
    }
    return found;
}

void OlderScreenshots::forgetRecognisedText() {
    m_cache.forgetAll();
    m_reader.forgetRead();
    offerFiles();
}

QString OlderScreenshots::progressText() const {
    if (!m_settings.searchOlderScreenshots() || m_reader.done() >= m_reader.total()) {
        return {};
    }
    const QLocale grouped(QLocale::English, QLocale::UnitedStates);
    return QStringLiteral("Reading older screenshots: %1 of %2")
        .arg(grouped.toString(m_reader.done()), grouped.toString(m_reader.total()));
}

}  // namespace framlet
