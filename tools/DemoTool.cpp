// framlet-demo-tool screenshots DIR COUNT [--first N]   writes COUNT screenshot-like images
// framlet-demo-tool grab FILE [X Y W H ZOOM]            saves a picture of the screen or a region
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMap>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <cstdio>

#include "ScreenshotCorpus.h"

namespace {

// A word of at least seven letters that occurs in exactly one of the texts, for a search that
// finds one screenshot.
QString uniqueWord(const QList<framlet::bench::CorpusImage>& corpus) {
    QMap<QString, int> images;
    for (const auto& image : corpus) {
        for (const QString& word : framlet::bench::wordsOf(image.knownText)) {
            images[word] += 1;
        }
    }
    for (auto it = images.cbegin(); it != images.cend(); ++it) {
        if (it.value() == 1 && it.key().size() >= 7 && !it.key().front().isDigit()) {
            return it.key();
        }
    }
    return {};
}

int writeScreenshots(const QString& folder, int count, int first) {
    QTemporaryDir scratch;
    const auto corpus =
        framlet::bench::CorpusGenerator::generateScreens(scratch.path(), count, 1, 5000 + first);
    if (corpus.size() != count || !QDir().mkpath(folder)) {
        return 1;
    }
    // Named the way screenshot tools name them, a minute apart, oldest first.
    const QDateTime start = QDateTime::currentDateTime().addSecs(-60 * (first + count));
    for (int i = 0; i < count; ++i) {
        const QString source = corpus.at(i).imagePath;
        const QString stamp =
            start.addSecs(60 * (first + i)).toString(QStringLiteral("yyyy-MM-dd hh-mm-ss"));
        const QString name =
            QStringLiteral("Screenshot from %1.%2").arg(stamp, QFileInfo(source).suffix());
        if (!QFile::copy(source, QDir(folder).filePath(name))) {
            return 1;
        }
    }
    std::printf("unique-word: %s\n", qPrintable(uniqueWord(corpus)));
    return 0;
}

// The whole screen, or a region of it enlarged (the tray icon is 16 pixels wide).
int grab(const QString& file, const QStringList& region) {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) {
        return 1;
    }
    if (region.size() != 5) {
        return screen->grabWindow(0).save(file) ? 0 : 1;
    }
    const QPixmap part = screen->grabWindow(0, region[0].toInt(), region[1].toInt(),
                                            region[2].toInt(), region[3].toInt());
    const int zoom = std::max(1, region[4].toInt());
    return part.scaled(part.size() * zoom, Qt::KeepAspectRatio, Qt::FastTransformation).save(file)
               ? 0
               : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const bool grabbing = argc >= 2 && QByteArray(argv[1]) == "grab";
    if (!grabbing) {
        qputenv("QT_QPA_PLATFORM", "offscreen");  // drawing files needs no display
    }
    QGuiApplication application(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    if (grabbing && args.size() >= 3) {
        return grab(args[2], args.mid(3));
    }
    if (args.size() >= 4 && args[1] == u"screenshots") {
        const int first = args.size() == 6 && args[4] == u"--first" ? args[5].toInt() : 0;
        return writeScreenshots(args[2], args[3].toInt(), first);
    }
    std::fprintf(
        stderr,
        "usage: framlet-demo-tool screenshots DIR COUNT [--first N] | grab FILE [X Y W H ZOOM]\n");
    return 2;
}
