#include <QApplication>
#include <QTimer>
#include <cstdio>

#include "app/AppDelegate.h"
#include "app/MaintenanceFlags.h"
#include "library/OCRService.h"
#include "library/TimerSource.h"
#include "platform/ColorScheme.h"
#include "platform/DisplayConnection.h"
#include "platform/LoginItem.h"
#include "platform/MemoryPolicy.h"
#include "platform/X11KeyGrabber.h"
#include "settings/Settings.h"
#include "shelf/Symbols.h"

namespace {

QStringList argumentList(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    return arguments;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace framlet;

    const LoginItem loginItem;
    if (const auto code =
            MaintenanceFlags(loginItem, Settings::shared()).run(argumentList(argc, argv))) {
        return *code;
    }

    if (const QString problem = DisplayConnection::problem(); !problem.isEmpty()) {
        std::fprintf(stderr, "Framlet: %s; start it from a desktop session.\n",
                     problem.toLocal8Bit().constData());
        return 1;
    }

    MemoryPolicy::returnLargeBuffersToTheSystem();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Framlet"));
    QApplication::setApplicationVersion(QStringLiteral(FRAMLET_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("framlet"));
    // A tray application: closing its last window does not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    Symbols::useAdwaitaAsFallback();

    // Before the delegate, so that it outlives the store that hands it work.
    OCRService ocr(TimerSource::realTime());
    AppDelegate delegate(Settings::shared(), ColorScheme::shared(), X11KeyGrabber::shared(),
                         TimerSource::realTime(), ocr);
    QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);
    return QApplication::exec();
}
