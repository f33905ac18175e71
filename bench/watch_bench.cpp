// Measures the folder watcher: how fast a folder of 10,000 images lists with its dates, against a
// naive QDir/QFileInfo listing sorted by birth time in the comparator; and how long a file renamed
// into a watched folder takes to be reported, against the kernel's own inotify notice.
//
// Run from a Release build: bench/watch_bench [files] [trials]

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "library/watcher/FolderListing.h"
#include "library/watcher/ScreenshotWatcher.h"
#include "platform/TimerSource.h"

using namespace framlet;

namespace {

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double millisecondsOf(const std::function<void()>& work) {
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e6;
}

void touch(const QString& path) {
    QFile file(path);
    file.open(QIODevice::WriteOnly);
}

void waitFor(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
}

void pause(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void benchListing(int count) {
    QTemporaryDir dir;
    for (int i = 0; i < count; ++i) {
        touch(dir.path() + QStringLiteral("/Screenshot %1.png").arg(i));
    }
    touch(dir.path() + QStringLiteral("/notes.txt"));
    const QUrl folder = QUrl::fromLocalFile(dir.path());

    std::vector<double> ours;
    std::vector<double> naive;
    qsizetype listed = 0;
    for (int run = 0; run < 15; ++run) {
        ours.push_back(millisecondsOf([&] {
            auto listing = ScreenshotWatcher::listImageFiles(folder);
            std::stable_sort(listing.begin(), listing.end(), [](const auto& a, const auto& b) {
                return a.createdAt > b.createdAt;
            });
            listed = listing.size();
        }));
        naive.push_back(millisecondsOf([&] {
            QFileInfoList infos =
                QDir(dir.path())
                    .entryInfoList(
                        {QStringLiteral("*.png"), QStringLiteral("*.jpg"), QStringLiteral("*.jpeg"),
                         QStringLiteral("*.gif"), QStringLiteral("*.tiff"),
                         QStringLiteral("*.heic"), QStringLiteral("*.bmp")},
                        QDir::Files | QDir::NoDotAndDotDot);
            std::stable_sort(infos.begin(), infos.end(),
                             [](const QFileInfo& a, const QFileInfo& b) {
                                 return QFileInfo(a.filePath()).birthTime() >
                                        QFileInfo(b.filePath()).birthTime();
                             });
        }));
    }
    std::printf("listing %lld files with dates, newest first (median of 15):\n",
                static_cast<long long>(listed));
    std::printf("  FolderListing          %8.2f ms  (target < 50 ms)\n", median(ours));
    std::printf("  QDir + QFileInfo sort  %8.2f ms\n", median(naive));
    std::printf("  ratio                  %8.3f\n", median(ours) / median(naive));
}

// The kernel's notice alone: a bare inotify descriptor, woken by poll.
std::vector<double> rawNotices(const QString& staging, const QString& target, int trials) {
    const int fd = ::inotify_init1(IN_CLOEXEC);
    ::inotify_add_watch(fd, QFile::encodeName(target).constData(), IN_MOVED_TO | IN_CREATE);
    std::vector<double> times;
    char buffer[4096];
    for (int i = 0; i < trials; ++i) {
        const QString name = QStringLiteral("/raw %1.png").arg(i);
        touch(staging + name);
        times.push_back(millisecondsOf([&] {
            QFile::rename(staging + name, target + name);
            pollfd descriptor{fd, POLLIN, 0};
            ::poll(&descriptor, 1, 5000);
            [[maybe_unused]] const ssize_t length = ::read(fd, buffer, sizeof buffer);
        }));
    }
    ::close(fd);
    return times;
}

void benchRename(int trials) {
    QTemporaryDir staging;
    QTemporaryDir watched;
    QTemporaryDir rawTarget;

    QElapsedTimer clock;
    clock.start();
    qint64 reportedAt = -1;
    ScreenshotWatcher watcher({QUrl::fromLocalFile(watched.path())}, TimerSource::realTime());
    QObject::connect(
        &watcher, &ScreenshotWatcher::fileFound,
        [&](const QUrl&, const QDateTime&, bool) { reportedAt = clock.nsecsElapsed(); });
    watcher.start(0);
    waitFor([&] { return watcher.hasSeeded(); }, 5000);

    std::vector<double> times;
    for (int i = 0; i < trials; ++i) {
        const QString name = QStringLiteral("/shot %1.png").arg(i);
        touch(staging.path() + name);
        // Screenshots come seconds apart: start each trial after the last one's merge window.
        pause(static_cast<int>(ScreenshotWatcher::latency.count()) + 50);
        reportedAt = -1;
        const qint64 renamedAt = clock.nsecsElapsed();
        QFile::rename(staging.path() + name, watched.path() + name);
        waitFor([&] { return reportedAt >= 0; }, 5000);
        times.push_back(reportedAt < 0 ? 5000.0 : (reportedAt - renamedAt) / 1e6);
    }
    const double raw = median(rawNotices(staging.path(), rawTarget.path(), trials));
    std::printf("rename into a watched folder until onNew (median of %d):\n", trials);
    std::printf("  ScreenshotWatcher      %8.3f ms  (target < 20 ms)\n", median(times));
    std::printf("  bare inotify + poll    %8.3f ms\n", raw);
    std::printf("  ratio                  %8.1f\n", median(times) / raw);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const int files = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int trials = argc > 2 ? std::atoi(argv[2]) : 200;
    benchListing(files);
    benchRename(trials);
    return 0;
}
