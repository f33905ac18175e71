// framlet-demo-tool screenshots DIR COUNT [--first N]   writes COUNT screenshot-like images
// framlet-demo-tool grab FILE                           saves a picture of the whole screen
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <cstdio>

#include "ScreenshotCorpus.h"

namespace {

int writeScreenshots(const QString& folder, int count, int first) {
    QTemporaryDir scratch;
    const auto corpus = framlet::bench::CorpusGenerator::generate(scratch.path());
    if (corpus.isEmpty() || !QDir().mkpath(folder)) {
        return 1;
    }
    // Names the way screenshot tools write them, a minute apart, oldest first.
    const QDateTime start = QDateTime::currentDateTime().addSecs(-60 * (first + count));
    for (int i = 0; i < count; ++i) {
        const QString source = corpus.at((first + i) % corpus.size()).imagePath;
        const QString name =
            QStringLiteral("Screenshot from %1.%2")
                .arg(
                    start.addSecs(60 * (first + i)).toString(QStringLiteral("yyyy-MM-dd hh-mm-ss")),
                    QFileInfo(source).suffix());
        const QString target = QDir(folder).filePath(name);
        if (!QFile::copy(source, target)) {
            return 1;
        }
    }
    return 0;
}

int grab(const QString& file) {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen && screen->grabWindow(0).save(file) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const bool grabbing = argc >= 2 && QByteArray(argv[1]) == "grab";
    if (!grabbing) {
        qputenv("QT_QPA_PLATFORM", "offscreen");  // drawing files needs no display
    }
    QGuiApplication application(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    if (grabbing && args.size() == 3) {
        return grab(args[2]);
    }
    if (args.size() >= 4 && args[1] == u"screenshots") {
        const int first = args.size() == 6 && args[4] == u"--first" ? args[5].toInt() : 0;
        return writeScreenshots(args[2], args[3].toInt(), first);
    }
    std::fprintf(stderr,
                 "usage: framlet-demo-tool screenshots DIR COUNT [--first N] | grab FILE\n");
    return 2;
}
