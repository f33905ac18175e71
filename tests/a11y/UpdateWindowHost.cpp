#include <QApplication>
#include <QNetworkAccessManager>
#include <QTemporaryDir>

#include "platform/FileManager.h"
#include "platform/TimerSource.h"
#include "updates/widgets/UpdateWindow.h"

// The update window as the running program shows it, for the accessibility check: a build
// without an update key never offers one, so this shows it over a made-up release.
int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Framlet"));
    QTemporaryDir dir;
    QNetworkAccessManager network;
    framlet::UpdateInstaller installer(
        network, framlet::TimerSource::realTime(), {QByteArray(32, 'k'), QStringLiteral("1.0")},
        {dir.filePath(QStringLiteral("staging")), dir.filePath(QStringLiteral("Downloads")), {}},
        framlet::FileManager::shared(), std::chrono::seconds(5));
    framlet::UpdateWindow window(installer, QStringLiteral("1.0"));
    framlet::AppcastItem item;
    item.version = item.displayVersion = QStringLiteral("2.0");
    item.releaseNotes = QStringLiteral("<p>Quicker <b>search</b> and a calmer lantern.</p>");
    window.present(item);
    window.show();
    window.activateWindow();
    return QApplication::exec();
}
