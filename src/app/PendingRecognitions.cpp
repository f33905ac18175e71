#include "app/PendingRecognitions.h"

#include <utility>

namespace framlet {

ScreenshotStore::TextRecognizer PendingRecognitions::counting(
    ScreenshotStore::TextRecognizer recognizer) const {
    return [count = m_count, recognizer = std::move(recognizer)](
               OCRService::Job job, OCRService::Completion completion) {
        ++*count;
        // A job ends once: with its completion, or the first time it is found unwanted.
        const auto settle = [count, settled = std::make_shared<bool>(false)] {
            if (!std::exchange(*settled, true)) {
                --*count;
            }
        };
        job.wanted = [settle, wanted = std::move(job.wanted)] {
            const bool still = !wanted || wanted();
            if (!still) {
                settle();
            }
            return still;
        };
        recognizer(std::move(job),
                   [settle, completion = std::move(completion)](const QString& text) {
                       settle();
                       completion(text);
                   });
    };
}

}  // namespace framlet
