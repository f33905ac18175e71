#pragma once

#include <QImage>
#include <QString>
#include <QStringList>
#include <memory>

namespace tesseract {
class TessBaseAPI;
}

namespace framlet {

// One initialised Tesseract instance. Initialising costs tens of milliseconds, so each worker
// thread keeps its own (forThisThread) and reuses it for every image; an instance is never shared
// between threads.
class TesseractEngine {
public:
    struct Options {
        QString dataPath;   // folder holding the .traineddata files
        QString languages;  // Tesseract's form: "eng", "deu+eng"
        // Automatic page segmentation. Sparse-text mode (11) was faster on interface screenshots
        // but lost words of chat messages and numbers of code listings (bench/ocr_bench).
        int pageSegmentationMode = 3;
        // Images whose longest side is at most this many pixels are enlarged twice first. Off:
        // on 1920x1080 screens it found about 1% more words for a fifth more time.
        int upscaleUpToSide = 0;
        // Tesseract parallelises inside one image with OpenMP; we already run one image per
        // core, and both together oversubscribe the machine several times over.
        bool singleThreadedOpenMP = true;

        bool operator==(const Options&) const = default;
        static Options defaults();
    };

    struct Result {
        QStringList lines;
        QString error;  // set when the engine could not run; lines are empty then
        bool ok() const { return error.isEmpty(); }
    };

    explicit TesseractEngine(const Options& options);
    ~TesseractEngine();
    TesseractEngine(const TesseractEngine&) = delete;
    TesseractEngine& operator=(const TesseractEngine&) = delete;

    // The lines of text found in the image, in the order the recogniser returns them.
    Result recognize(const QImage& image);

    // The calling thread's engine, created (or recreated for other options) on first use.
    static TesseractEngine& forThisThread(const Options& options);

    const Options& options() const { return m_options; }

private:
    Options m_options;
    std::unique_ptr<tesseract::TessBaseAPI> m_api;
    QString m_initError;
};

}  // namespace framlet
