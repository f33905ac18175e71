#pragma once

#include <memory>

#include "library/store/ScreenshotStore.h"

namespace framlet {

// Counts the text recognitions handed out and not yet settled, so that a search can tell a miss
// from a file not read yet. Main thread only, as the recogniser's callbacks are.
class PendingRecognitions {
public:
    // The recogniser, counting each job until its completion runs or it is dropped unwanted.
    ScreenshotStore::TextRecognizer counting(ScreenshotStore::TextRecognizer recognizer) const;
    bool any() const { return *m_count > 0; }

private:
    std::shared_ptr<int> m_count = std::make_shared<int>(0);
};

}  // namespace framlet
