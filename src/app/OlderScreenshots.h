#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include "settings/RecognisedText.h"

namespace framlet {

class OCRService;
class OlderScreenshotReader;
class PowerSource;
class ScreenshotSources;
class ScreenshotStore;
class Settings;
class TextCache;

// Every screenshot of the watched folders, not just the shelf's: keeps the text cache to the
// files that are there, has the ones beyond the shelf read in the background when the setting
// allows, the machine is plugged in and no capture is being read, and finds them by a word.
class OlderScreenshots : public RecognisedText {
    Q_OBJECT

public:
    OlderScreenshots(ScreenshotSources& sources, ScreenshotStore& shelf, TextCache& cache,
                     OlderScreenshotReader& reader, OCRService& ocr, PowerSource& power,
                     Settings& settings, QObject* parent = nullptr);

    // The files beyond the shelf whose name or text holds the query, newest first; none while
    // the setting is off.
    QList<QUrl> search(const QString& query, int limit) const;
    // Forgets every text kept, then reads the older screenshots again.
    void forgetRecognisedText() override;
    // Empty also while reading is off.
    QString progressText() const override;

private:
    void listed();
    void offerFiles();

    ScreenshotSources& m_sources;
    ScreenshotStore& m_shelf;
    TextCache& m_cache;
    OlderScreenshotReader& m_reader;
    Settings& m_settings;
};

}  // namespace framlet
