#pragma once

#include <QList>
#include <QUrl>

#include "platform/FileManager.h"

namespace framlet::test {

// Records what would have been opened or shown, and opens nothing on the desktop.
class RecordingFileManager : public FileManager {
public:
    bool open(const QUrl& url) override {
        opened.append(url);
        return true;
    }
    void reveal(const QList<QUrl>& urls) override { revealed.append(urls); }
    QList<QUrl> opened;
    QList<QUrl> revealed;
};

}  // namespace framlet::test
