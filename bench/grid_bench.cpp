// The shelf with 200 screenshots while their thumbnails stream in, against a grid of one widget
// per cell (the shape the shelf avoids), on the same thumbnails in the same run.
//
//   grid_bench [COUNT]      (default 200)
//
// "populate" is putting COUNT screenshots on the shelf and drawing it once; "per thumbnail" is one
// thumbnail arriving and what changed being repainted, averaged over all arrivals.
#include <QApplication>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QThreadPool>
#include <cstdio>

#include "ManualTimers.h"
#include "library/decoding/DecodeBudget.h"
#include "library/store/Screenshot.h"
#include "library/store/ScreenshotStore.h"
#include "platform/Clipboard.h"
#include "platform/ColorScheme.h"
#include "platform/FileManager.h"
#include "platform/Trash.h"
#include "platform/UserDefaults.h"
#include "preferences/Settings.h"
#include "settings/ThemePalette.h"
#include "shelf/ImagePreviewController.h"
#include "shelf/PanelView.h"
#include "shelf/SelectionModel.h"
#include "shelf/ShelfActions.h"
#include "shelf/ShelfServices.h"

namespace {

using namespace framlet;

QImage thumbnail(int i) {
    QImage image(320, 180, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor::fromHsv((i * 37) % 360, 90, 235));
    QPainter painter(&image);
    painter.drawText(image.rect(), Qt::AlignCenter, QStringLiteral("Screenshot %1").arg(i));
    return image;
}

struct Timing {
    double populateMs = 0;
    double perThumbnailMs = 0;
};

double elapsedMs(const QElapsedTimer& timer) {
    return timer.nsecsElapsed() / 1e6;
}

Timing measureShelf(int count, const QList<QImage>& thumbnails) {
    QTemporaryDir dir;
    UserDefaults defaults(dir.filePath(QStringLiteral("defaults.json")));
    Settings settings(defaults);
    settings.setHistoryLimit(count);
    // The clock never moves: the thumbnails arrive only when the benchmark hands them over.
    test::ManualTimers frozen;
    DecodeBudget budget(DecodeBudget::processCapacity);
    ScreenshotStore store([](const OCRService::Job&, OCRService::Completion) {}, budget, frozen,
                          *QThreadPool::globalInstance());
    store.setHistoryLimit(settings.historyLimit());
    SelectionModel selection;
    ThemePalette theme(settings, ColorScheme::shared());
    ImagePreviewController preview(theme, budget);
    ShelfActions actions(Trash::shared(), FileManager::shared(), Clipboard::shared(), budget,
                         &ShelfActions::showAlert);
    PanelView view(store, selection, settings, {actions, preview, theme});
    view.show();

    Timing timing;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < count; ++i) {
        store.add(QUrl::fromLocalFile(dir.filePath(QStringLiteral("missing %1.png").arg(i))),
                  QDateTime::currentDateTime());
    }
    QCoreApplication::processEvents();
    (void)view.grab();
    timing.populateMs = elapsedMs(timer);

    timer.restart();
    for (int i = 0; i < count; ++i) {
        store.at(i)->setThumbnail(thumbnails[i]);
        QCoreApplication::processEvents();  // repaints what changed, as on screen
    }
    timing.perThumbnailMs = elapsedMs(timer) / count;
    return timing;
}

// The shape the shelf avoids: a label per screenshot in a scrolled grid layout.
Timing measureWidgetGrid(int count, const QList<QImage>& thumbnails) {
    QScrollArea view;
    view.resize(380, 420);
    auto* content = new QWidget;
    auto* grid = new QGridLayout(content);
    view.setWidget(content);
    view.setWidgetResizable(true);
    view.show();

    Timing timing;
    QElapsedTimer timer;
    timer.start();
    QList<QLabel*> cells;
    for (int i = 0; i < count; ++i) {
        auto* cell = new QLabel(QStringLiteral("…"));
        cell->setFixedHeight(90);
        cell->setAlignment(Qt::AlignCenter);
        grid->addWidget(cell, i / 3, i % 3);
        cells.append(cell);
    }
    QCoreApplication::processEvents();
    (void)view.grab();
    timing.populateMs = elapsedMs(timer);

    timer.restart();
    for (int i = 0; i < count; ++i) {
        cells[i]->setPixmap(QPixmap::fromImage(thumbnails[i])
                                .scaled(110, 90, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        QCoreApplication::processEvents();
        (void)view.grab();
    }
    timing.perThumbnailMs = elapsedMs(timer) / count;
    return timing;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int count = argc > 1 ? std::max(1, atoi(argv[1])) : 200;
    QList<QImage> thumbnails;
    for (int i = 0; i < count; ++i) {
        thumbnails.append(thumbnail(i));
    }
    const Timing shelf = measureShelf(count, thumbnails);
    const Timing widgets = measureWidgetGrid(count, thumbnails);
    std::printf("screenshots=%d\n", count);
    std::printf("%-24s %14s %20s\n", "", "populate ms", "per thumbnail ms");
    std::printf("%-24s %14.1f %20.2f\n", "shelf (model/view)", shelf.populateMs,
                shelf.perThumbnailMs);
    std::printf("%-24s %14.1f %20.2f\n", "widget per cell", widgets.populateMs,
                widgets.perThumbnailMs);
    std::printf("%-24s %14.2f %20.2f\n", "ratio", shelf.populateMs / widgets.populateMs,
                shelf.perThumbnailMs / widgets.perThumbnailMs);
    return 0;
}
