// Time per image of ImageDecoder::decodeThumbnail(path, 320) against vipsthumbnail -s 320 on the
// same screenshot-like files, in the same run. Run from a Release build:
//   thumbnail_bench [images per group, default 12] [rounds, default 3]
// Each figure is the best of the rounds, which alternate between the contenders; vipsthumbnail gets
// all files of a group in one call and writes its thumbnails in its own cheap format (.v), so
// encoding costs it almost nothing.

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtConcurrent>
#include <algorithm>
#include <atomic>
#include <cstdio>

#include "library/decoding/DecodeBudget.h"
#include "library/decoding/ImageDecoder.h"

namespace {

using framlet::DecodeBudget;
using framlet::ImageDecoder;

// The benchmark's one budget, as the program has one.
const ImageDecoder& decoder() {
    static DecodeBudget budget(DecodeBudget::processCapacity);
    static const ImageDecoder decoder(budget);
    return decoder;
}

// A desktop with a few windows: title bars, sidebars, lines of text, buttons, an icon grid.
QImage drawDesktop(QSize size, quint32 seed) {
    QRandomGenerator random(seed);
    QImage image(size, QImage::Format_RGB32);
    QLinearGradient wallpaper(0, 0, size.width(), size.height());
    wallpaper.setColorAt(0, QColor(40, 70, 120));
    wallpaper.setColorAt(1, QColor(120, 60, 110));
    QPainter painter(&image);
    painter.fillRect(image.rect(), wallpaper);
    const int unit = size.height() / 54;
    QFont font = painter.font();
    font.setPixelSize(unit);
    painter.setFont(font);
    for (int w = 0; w < 3; ++w) {
        const QRect window(random.bounded(size.width() / 3), random.bounded(size.height() / 3),
                           size.width() / 2 + random.bounded(size.width() / 4),
                           size.height() / 2 + random.bounded(size.height() / 5));
        painter.fillRect(window, QColor(248, 248, 250));
        painter.fillRect(window.x(), window.y(), window.width(), unit * 2, QColor(60, 63, 70));
        const QRect sidebar(window.x(), window.y() + unit * 2, window.width() / 5,
                            window.height() - unit * 2);
        painter.fillRect(sidebar, QColor(232, 234, 238));
        painter.setPen(QColor(30, 30, 30));
        for (int y = window.y() + unit * 3; y < window.bottom() - unit; y += unit * 3 / 2) {
            const int words = 3 + random.bounded(9);
            QString line;
            for (int i = 0; i < words; ++i) {
                line += QStringLiteral("word%1 ").arg(random.bounded(1000));
            }
            painter.drawText(sidebar.right() + unit, y + unit, line);
            painter.drawText(sidebar.x() + unit / 2, y + unit, QStringLiteral("Item %1").arg(y));
        }
        painter.setBrush(QColor(30, 120, 220));
        painter.drawRoundedRect(window.right() - unit * 8, window.bottom() - unit * 3, unit * 6,
                                unit * 2, unit / 3, unit / 3);
    }
    return image;
}

struct Group {
    QString name;
    QStringList files;
};

double secondsFor(const std::function<void()>& work) {
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e9;
}

bool decodeAll(const QStringList& files) {
    bool ok = true;
    for (const QString& file : files) {
        ok = decoder().decodeThumbnail(file, 320).ok() && ok;
    }
    return ok;
}

// As the store does it: every thumbnail a task on the global pool, as many at once as it has
// threads.
bool decodeAllOnPool(const QStringList& files) {
    std::atomic<bool> ok = true;
    QtConcurrent::blockingMap(files, [&](const QString& file) {
        if (!decoder().decodeThumbnail(file, 320).ok()) {
            ok = false;
        }
    });
    return ok;
}

void decodeAllFull(const QStringList& files) {
    for (const QString& file : files) {
        (void)decoder().decode(file);
    }
}

bool vipsAll(const QStringList& files) {
    QProcess process;
    process.start(QStringLiteral("vipsthumbnail"),
                  QStringList{QStringLiteral("-s"), QStringLiteral("320"), QStringLiteral("-o"),
                              QStringLiteral("%s_vips.v")} +
                      files);
    return process.waitForFinished(600000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication application(argc, argv);
    const int perGroup = argc > 1 ? std::max(1, atoi(argv[1])) : 12;
    const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 3;
    QTextStream out(stdout);
    if (QStandardPaths::findExecutable(QStringLiteral("vipsthumbnail")).isEmpty()) {
        out << "vipsthumbnail not found (package libvips-tools)\n";
        return 1;
    }

    QTemporaryDir folder;
    QList<Group> groups;
    for (const QSize size : {QSize(1920, 1080), QSize(3840, 2160)}) {
        for (const char* format : {"png", "jpg"}) {
            Group group{QStringLiteral("%1 %2x%3")
                            .arg(QLatin1String(format))
                            .arg(size.width())
                            .arg(size.height()),
                        {}};
            for (int i = 0; i < perGroup; ++i) {
                const QString file = folder.filePath(
                    QStringLiteral("%1-%2-%3.%4").arg(size.width()).arg(i).arg(format).arg(format));
                drawDesktop(size, quint32(i)).save(file, format, format[0] == 'j' ? 90 : -1);
                group.files.append(file);
            }
            groups.append(group);
        }
    }

    out << "images per group " << perGroup << ", best of " << rounds << " rounds\n";
    // "full decode" is ImageDecoder::decode alone: how much of a thumbnail is the decode itself.
    // "pooled" decodes the group as the store does, on the global thread pool; vipsthumbnail
    // is given all files in one call and uses its own threads as it sees fit.
    out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7\n")
               .arg(QStringLiteral("group"), -16)
               .arg(QStringLiteral("framlet ms/img"), 16)
               .arg(QStringLiteral("vips ms/img"), 14)
               .arg(QStringLiteral("ratio"), 8)
               .arg(QStringLiteral("pooled ms/img"), 15)
               .arg(QStringLiteral("ratio"), 8)
               .arg(QStringLiteral("full decode ms/img"), 20);
    for (const Group& group : groups) {
        if (!decodeAll(group.files) || !vipsAll(group.files)) {  // also warms the page cache
            out << group.name << ": a decode failed\n";
            return 1;
        }
        // Interleaved rounds, so that both sides see the same load on a shared machine.
        double ours = 1e9, theirs = 1e9, full = 1e9, pooled = 1e9;
        for (int round = 0; round < rounds; ++round) {
            ours = std::min(ours, secondsFor([&] { decodeAll(group.files); }) / perGroup);
            pooled = std::min(pooled, secondsFor([&] { decodeAllOnPool(group.files); }) / perGroup);
            theirs = std::min(theirs, secondsFor([&] { vipsAll(group.files); }) / perGroup);
            full = std::min(full, secondsFor([&] { decodeAllFull(group.files); }) / perGroup);
        }
        out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7\n")
                   .arg(group.name, -16)
                   .arg(ours * 1000, 16, 'f', 2)
                   .arg(theirs * 1000, 14, 'f', 2)
                   .arg(ours / theirs, 8, 'f', 2)
                   .arg(pooled * 1000, 15, 'f', 2)
                   .arg(pooled / theirs, 8, 'f', 2)
                   .arg(full * 1000, 20, 'f', 2);
        out.flush();
    }
    return 0;
}
