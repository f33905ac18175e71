#include "WatcherTestSupport.h"

#include "FileBytes.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <stdexcept>

namespace framlet::test {

QStringList Recorder::names(Report::Kind kind) const {
    QStringList result;
    for (const Report& report : reports) {
        if (report.kind == kind) {
            for (const QUrl& url : report.urls) {
                result.append(fileName(url));
            }
        }
    }
    return result;
}

FolderListing::Result readable(const ScreenshotWatcher::Listing& files) {
    FolderListing::Result result;
    result.files = files;
    result.readable = true;
    return result;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    if (!put(path, bytes)) {
        throw std::runtime_error("cannot write " + path.toStdString());
    }
}

void writeRawName(const QByteArray& path) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        throw std::runtime_error("cannot create " + path.toStdString());
    }
    ::close(fd);
}

QString fileName(const QUrl& url) {
    return QFileInfo(url.toLocalFile()).fileName();
}

}  // namespace framlet::test
