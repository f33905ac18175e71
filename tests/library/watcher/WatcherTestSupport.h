#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QUrl>
#include <ostream>

#include "library/watcher/ScreenshotWatcher.h"

// Readable values in failure messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QUrl& url, std::ostream* out) {
    *out << url.toString().toStdString();
}
QT_END_NAMESPACE

namespace framlet::test {

// Everything a watcher reported, in order.
struct Report {
    enum Kind { added, removed, changed } kind;
    QList<QUrl> urls;
    QDateTime createdAt;
    bool isSeed = false;
};

class Recorder {
public:
    // Records what the watcher reports from now on.
    void listenTo(ScreenshotWatcher& watcher) {
        QObject::connect(&watcher, &ScreenshotWatcher::fileFound,
                         [this](const QUrl& url, const QDateTime& createdAt, bool isSeed) {
                             reports.append({Report::added, {url}, createdAt, isSeed});
                         });
        QObject::connect(&watcher, &ScreenshotWatcher::filesRemoved,
                         [this](const QList<QUrl>& urls) {
                             reports.append({Report::removed, urls, {}, false});
                         });
        QObject::connect(&watcher, &ScreenshotWatcher::filesChanged,
                         [this](const QList<QUrl>& urls) {
                             reports.append({Report::changed, urls, {}, false});
                         });
    }

    // The file names reported as added (or removed), in order.
    QStringList names(Report::Kind kind) const;
    bool hasAdded(const QString& name) const { return names(Report::added).contains(name); }

    QList<Report> reports;
};

// A listing as FolderListing gives it, of a folder that could be read.
FolderListing::Result readable(const ScreenshotWatcher::Listing& files);

// Creates a file with some bytes (the watcher never reads them).
void writeFile(const QString& path, const QByteArray& bytes = QByteArray("x"));
// The same, with a name given as raw bytes (not necessarily UTF-8).
void writeRawName(const QByteArray& path);
QString fileName(const QUrl& url);

}  // namespace framlet::test
