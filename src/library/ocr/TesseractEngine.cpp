#include "library/ocr/TesseractEngine.h"

#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#include <QPainter>
#include <algorithm>
#include <array>
#include <exception>
#include <string>
#include <vector>

#include "library/decoding/ImageDecoder.h"
#include "library/ocr/OpenMPThreads.h"
#include "library/ocr/TesseractLanguages.h"
#include "library/ocr/TextPatchSheet.h"
#include "library/ocr/UncoveredInk.h"

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

// The commonest grey level is the page's background: a dark theme has a dark one.
bool hasDarkBackground(const QImage& grey) {
    std::array<qint64, 256> histogram{};
    for (int y = 0; y < grey.height(); ++y) {
        const uchar* row = grey.constScanLine(y);
        for (int x = 0; x < grey.width(); ++x) {
            ++histogram[row[x]];
        }
    }
    const auto commonest = std::max_element(histogram.begin(), histogram.end());
    return commonest - histogram.begin() < 128;
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

constexpr auto kSparseText = tesseract::PSM_SPARSE_TEXT;

UncoveredInk::Grey greyView(const QImage& pixels) {
    return {pixels.constBits(), pixels.width(), pixels.height(), int(pixels.bytesPerLine())};
}

// Where a reading put a confident word, and how many letters it read there.
struct CoveringWord {
    UncoveredInk::Box box;
    qsizetype letters = 0;
};

// The words that cover ink. A "word" taller than a few lines (a whole column of line numbers
// read as one letter) or far wider than its letters (a whole status bar read as one dash) is a
// layout mistake that covers nothing. Sizes are measured against the median word, so that thin
// punctuation is judged by the line it stands in.
std::vector<UncoveredInk::Box> plausibleWords(const std::vector<CoveringWord>& words) {
    if (words.empty()) {
        return {};
    }
    std::vector<int> heights;
    for (const CoveringWord& word : words) {
        heights.push_back(word.box.height);
    }
    std::nth_element(heights.begin(), heights.begin() + heights.size() / 2, heights.end());
    const int typical = heights[heights.size() / 2];
    std::vector<UncoveredInk::Box> plausible;
    for (const CoveringWord& word : words) {
        const int height = std::max(word.box.height, typical);
        if (word.box.height <= 3 * typical &&
            word.box.width <= 4 * height * std::max<qsizetype>(1, word.letters)) {
            plausible.push_back(word.box);
        }
    }
    return plausible;
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
    m_api->SetVariable("thresholding_method", std::to_string(m_options.thresholdingMethod).c_str());
    for (const QString& assignment : m_options.variables) {
        m_api->SetVariable(assignment.section(QLatin1Char('='), 0, 0).toUtf8().constData(),
                           assignment.section(QLatin1Char('='), 1).toUtf8().constData());
    }
}

TesseractEngine::~TesseractEngine() {
    m_api->End();
}

struct TesseractEngine::Reading {
    int status = 0;
    QStringList lines;
    std::vector<CoveringWord> words;
};

// One recognition of the pixels with the segmentation mode set. With minConfidence above 0 a
// line keeps only its words at least that sure; otherwise it is taken whole, as recognised.
TesseractEngine::Reading TesseractEngine::read(const QImage& pixels, int resolution,
                                               int minConfidence,
                                               const std::atomic<bool>* interrupt) {
    m_api->SetImage(pixels.constBits(), pixels.width(), pixels.height(), 1,
                    static_cast<int>(pixels.bytesPerLine()));
    m_api->SetSourceResolution(resolution);
    tesseract::ETEXT_DESC monitor;
    monitor.cancel = [](void* flag, int) {
        return flag && static_cast<const std::atomic<bool>*>(flag)->load();
    };
    monitor.cancel_this = const_cast<std::atomic<bool>*>(interrupt);
    Reading reading;
    reading.status = m_api->Recognize(&monitor);
    std::unique_ptr<tesseract::ResultIterator> it(m_api->GetIterator());
    if (reading.status != 0 || !it || it->Empty(tesseract::RIL_WORD)) {
        return reading;
    }
    QStringList kept;
    const auto endLine = [&] {
        const QString line = kept.join(QLatin1Char(' ')).trimmed();
        if (!line.isEmpty()) {
            reading.lines.append(line);
        }
        kept.clear();
    };
    do {
        if (it->IsAtBeginningOf(tesseract::RIL_TEXTLINE)) {
            endLine();
            if (minConfidence <= 0) {
                const std::unique_ptr<char[]> text(it->GetUTF8Text(tesseract::RIL_TEXTLINE));
                kept.append(QString::fromUtf8(text.get()));
            }
        }
        const float confidence = it->Confidence(tesseract::RIL_WORD);
        const std::unique_ptr<char[]> text(it->GetUTF8Text(tesseract::RIL_WORD));
        const QString word = QString::fromUtf8(text.get());
        int left = 0, top = 0, right = 0, bottom = 0;
        if (confidence >= m_options.coverConfidence &&
            it->BoundingBox(tesseract::RIL_WORD, &left, &top, &right, &bottom)) {
            reading.words.push_back({{left, top, right - left, bottom - top}, word.size()});
        }
        if (minConfidence > 0 && confidence >= minConfidence) {
            kept.append(word);
        }
    } while (it->Next(tesseract::RIL_WORD));
    endLine();
    return reading;
}

QStringList TesseractEngine::recoverUncovered(const QImage& pixels, const Reading& first,
                                              int resolution, const std::atomic<bool>* interrupt) {
    const std::vector<UncoveredInk::Box> patches =
        UncoveredInk::find(greyView(pixels), plausibleWords(first.words));
    const TextPatchSheet sheet(pixels, patches,
                               {m_options.normalisePatches, m_options.patchTargetHeight});
    if (sheet.isEmpty()) {
        return {};
    }
    m_api->SetPageSegMode(kSparseText);
    const Reading second = read(sheet.image(), resolution, m_options.patchMinConfidence, interrupt);
    m_api->SetPageSegMode(static_cast<tesseract::PageSegMode>(m_options.pageSegmentationMode));
    return second.lines;
}

TesseractEngine::Result TesseractEngine::recognize(const QImage& image,
                                                   const std::atomic<bool>* interrupt) {
    if (!m_initError.isEmpty()) {
        return {{}, m_initError};
    }
    if (image.isNull()) {
        return {};
    }
    try {
        QImage pixels = greyPixels(image);
        if (m_options.invertDarkImages && hasDarkBackground(pixels)) {
            pixels.invertPixels();
        }
        const int enlargement = shouldUpscale(pixels, m_options.upscaleUpToSide) ? 2 : 1;
        if (enlargement > 1) {
            pixels = pixels.scaled(pixels.size() * enlargement, Qt::IgnoreAspectRatio,
                                   Qt::SmoothTransformation);
        }
        const int resolution = sourceResolution(image, enlargement);
        Result result;
        const auto interrupted = [interrupt] { return interrupt && interrupt->load(); };
        const Reading first = read(pixels, resolution, 0, interrupt);
        if (!interrupted() && first.status != 0) {
            result.error = QStringLiteral("recognition failed (status %1)").arg(first.status);
        } else if (!interrupted()) {
            result.lines = first.lines;
            if (m_options.recoverUncoveredText) {
                result.lines += recoverUncovered(pixels, first, resolution, interrupt);
            }
        }
        if (interrupted()) {
            result = {{}, {}, true};
        }
        m_api->Clear();  // releases the engine's copy of the pixels until the next image
        return result;
    } catch (const std::exception& error) {
        m_api->SetPageSegMode(static_cast<tesseract::PageSegMode>(m_options.pageSegmentationMode));
        m_api->Clear();
        return {{}, QString::fromLocal8Bit(error.what())};
    }
}

QString TesseractEngine::recognizerVersion(const Options& options) {
    // Raised whenever a change to the reading changes the text it finds.
    constexpr int kPipelineVersion = 1;
    return QStringLiteral("tesseract %1; pipeline %2; %3 psm%4 up%5 %6%7 h%8 c%9/%10 t%11 %12")
        .arg(QString::fromLatin1(tesseract::TessBaseAPI::Version()))
        .arg(kPipelineVersion)
        .arg(options.languages)
        .arg(options.pageSegmentationMode)
        .arg(options.upscaleUpToSide)
        .arg(options.recoverUncoveredText ? 'r' : '-')
        .arg(options.normalisePatches ? 'n' : '-')
        .arg(options.patchTargetHeight)
        .arg(options.patchMinConfidence)
        .arg(options.coverConfidence)
        .arg(options.thresholdingMethod)
        .arg(options.variables.join(QLatin1Char(',')) + (options.invertDarkImages ? "i" : ""));
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
