#include "TesseractEngine.h"

#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#include <QPainter>
#include <algorithm>
#include <exception>
#include <string>
#include <vector>

#include "ImageDecoder.h"
#include "OpenMPThreads.h"
#include "TesseractLanguages.h"

namespace framlet {
namespace {

// Tesseract reads grey levels; handing it one channel spares it a conversion and a three-channel
// threshold search (a fifth less time, same words found). Transparent areas (window shadows)
// would turn black when the alpha is dropped; over white they look as they did on screen.
QImage greyPixels(const QImage& image) {
    if (!image.hasAlphaChannel()) {
        return image.convertToFormat(QImage::Format_Grayscale8);
    }
    QImage opaque(image.size(), QImage::Format_RGB32);
    opaque.fill(Qt::white);
    QPainter painter(&opaque);
    painter.drawImage(0, 0, image);
    return opaque.convertToFormat(QImage::Format_Grayscale8);
}

bool shouldUpscale(const QImage& image, int upToSide) {
    const qint64 side = std::max(image.width(), image.height());
    const qint64 enlargedPixels = 4LL * image.width() * image.height();
    return side <= upToSide && enlargedPixels <= ImageDecoder::maxPixels;
}

// The resolution the file states (Qt assumes 96 dpi when it states none), kept within the range
// Tesseract accepts; enlarging the pixels raises it alike.
int sourceResolution(const QImage& image, int enlargement) {
    const int dpi = qRound(image.dotsPerMeterX() * 0.0254) * enlargement;
    return std::clamp(dpi, 70, 2400);
}

QStringList textLines(tesseract::TessBaseAPI& api) {
    QStringList lines;
    std::unique_ptr<tesseract::ResultIterator> iterator(api.GetIterator());
    if (!iterator || iterator->Empty(tesseract::RIL_TEXTLINE)) {
        return lines;
    }
    do {
        const std::unique_ptr<char[]> text(iterator->GetUTF8Text(tesseract::RIL_TEXTLINE));
        const QString line = QString::fromUtf8(text.get()).trimmed();
        if (!line.isEmpty()) {
            lines.append(line);
        }
    } while (iterator->Next(tesseract::RIL_TEXTLINE));
    return lines;
}

}  // namespace

TesseractEngine::Options TesseractEngine::Options::defaults() {
    Options options;
    options.dataPath = TesseractLanguages::defaultDataPath();
    options.languages = TesseractLanguages::forLocale(TesseractLanguages::localeFromEnvironment(),
                                                      options.dataPath);
    return options;
}

TesseractEngine::TesseractEngine(const Options& options)
    : m_options(options), m_api(std::make_unique<tesseract::TessBaseAPI>()) {
    if (m_options.singleThreadedOpenMP) {
        OpenMPThreads::limitThisThreadToOne();  // before the engine's first parallel region
    }
    // Tesseract's diagnostics ("Estimating resolution as ...") would flood standard error.
    std::vector<std::string> names{"debug_file"};
    std::vector<std::string> values{"/dev/null"};
    const QByteArray dataPath = m_options.dataPath.toLocal8Bit();
    const QByteArray languages = m_options.languages.toUtf8();
    const int status = m_api->Init(dataPath.constData(), languages.constData(),
                                   tesseract::OEM_DEFAULT, nullptr, 0, &names, &values, false);
    if (status != 0) {
        m_initError = QStringLiteral("cannot load the language data \"%1\" from %2")
                          .arg(m_options.languages, m_options.dataPath);
        return;
    }
    m_api->SetPageSegMode(static_cast<tesseract::PageSegMode>(m_options.pageSegmentationMode));
}

TesseractEngine::~TesseractEngine() {
    m_api->End();
}

TesseractEngine::Result TesseractEngine::recognize(const QImage& image) {
    if (!m_initError.isEmpty()) {
        return {{}, m_initError};
    }
    if (image.isNull()) {
        return {};
    }
    try {
        QImage pixels = greyPixels(image);
        const int enlargement = shouldUpscale(pixels, m_options.upscaleUpToSide) ? 2 : 1;
        if (enlargement > 1) {
            pixels = pixels.scaled(pixels.size() * enlargement, Qt::IgnoreAspectRatio,
                                   Qt::SmoothTransformation);
        }
        m_api->SetImage(pixels.constBits(), pixels.width(), pixels.height(), 1,
                        static_cast<int>(pixels.bytesPerLine()));
        m_api->SetSourceResolution(sourceResolution(image, enlargement));
        const int status = m_api->Recognize(nullptr);
        Result result;
        if (status != 0) {
            result.error = QStringLiteral("recognition failed (status %1)").arg(status);
        } else {
            result.lines = textLines(*m_api);
        }
        m_api->Clear();  // releases the engine's copy of the pixels until the next image
        return result;
    } catch (const std::exception& error) {
        m_api->Clear();
        return {{}, QString::fromLocal8Bit(error.what())};
    }
}

TesseractEngine& TesseractEngine::forThisThread(const Options& options) {
    // Destroyed when its thread ends (an idle pool thread expires after a while).
    thread_local std::unique_ptr<TesseractEngine> engine;
    if (!engine || engine->options() != options) {
        engine.reset();
        engine = std::make_unique<TesseractEngine>(options);
    }
    return *engine;
}

}  // namespace framlet
