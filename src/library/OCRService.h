#pragma once

#include <QString>
#include <functional>

namespace framlet {

// Recognises the text of image files on this machine (Tesseract). To be completed: see the
// text-recognition work. The interface below is what the store relies on.
class OCRService {
public:
    using Completion = std::function<void(const QString& lowerCasedText)>;

    static OCRService& shared();

    // Queues recognition and returns at once. The completion runs exactly once, later, on the
    // main thread, with the recognised lines joined by line feeds and lower-cased; empty when the
    // image has no text or cannot be read.
    void recognizeText(const QString& path, Completion completion);
};

}  // namespace framlet
