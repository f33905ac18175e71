#pragma once

#include <QImage>
#include <QString>
#include <QStringList>
#include <atomic>
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
        // A second, sparse-text reading (page segmentation 11) of the inked places the first
        // left without words, each patch turned dark-on-white and small text enlarged.
        bool recoverUncoveredText = true;
        // Patches whose ink is lower than this are enlarged towards it; 0 keeps their size.
        int patchTargetHeight = 48;
        bool normalisePatches = true;
        // Words of the second reading below this confidence are dropped: icons and frames
        // read as letters there.
        int patchMinConfidence = 60;
        // Words of the first reading less sure than this are read again as patches.
        int coverConfidence = 70;
        // Tesseract reads dark ink on a light page; on a dark one it reads every line twice,
        // the second time inverted. Inverting a dark theme's whole image first spares that.
        bool invertDarkImages = true;
        // Tesseract's binarisation: 0 global Otsu, 2 Sauvola.
        int thresholdingMethod = 0;
        // More of Tesseract's variables, as "name=value", to measure alternatives.
        QStringList variables;
        // Tesseract parallelises inside one image with OpenMP; we already run one image per
        // core, and both together oversubscribe the machine several times over.
        bool singleThreadedOpenMP = true;

        bool operator==(const Options&) const = default;
        static Options defaults();
    };

    struct Result {
        QStringList lines;
        QString error;             // set when the engine could not run; lines are empty then
        bool interrupted = false;  // stopped on request; lines are empty then
        bool ok() const { return error.isEmpty() && !interrupted; }
    };

    explicit TesseractEngine(const Options& options);
    ~TesseractEngine();
    TesseractEngine(const TesseractEngine&) = delete;
    TesseractEngine& operator=(const TesseractEngine&) = delete;

    // The lines of text found in the image, in the order the recogniser returns them. Setting
    // `interrupt` (from any thread) stops the recognition within a few words.
    Result recognize(const QImage& image, const std::atomic<bool>* interrupt = nullptr);

    // The calling thread's engine, created (or recreated for other options) on first use.
    static TesseractEngine& forThisThread(const Options& options);

    const Options& options() const { return m_options; }

    // What the text read with these options depends on: Tesseract's version, this reading's own
    // and the options. Text kept from another recogniser is read again.
    static QString recognizerVersion(const Options& options);

private:
    struct Reading;
    Reading read(const QImage& pixels, int resolution, int minConfidence,
                 const std::atomic<bool>* interrupt);
    QStringList recoverUncovered(const QImage& pixels, const Reading& first, int resolution,
                                 const std::atomic<bool>* interrupt);

    Options m_options;
    std::unique_ptr<tesseract::TessBaseAPI> m_api;
    QString m_initError;
};

}  // namespace framlet
