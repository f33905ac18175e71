#include <QApplication>
#include <QDBusConnection>
#include <QFile>
#include <QNetworkAccessManager>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <optional>
#include <variant>

#include "app/AppDelegate.h"
#include "app/InstanceCommand.h"
#include "app/MaintenanceFlags.h"
#include "library/decoding/DecodeBudget.h"
#include "library/ocr/OCRService.h"
#include "library/store/SharedThumbnails.h"
#include "library/textcache/SqliteTextCache.h"
#include "platform/ApplicationId.h"
#include "platform/Clipboard.h"
#include "platform/ColorScheme.h"
#include "platform/DebugLog.h"
#include "platform/DisplayConnection.h"
#include "platform/FileManager.h"
#include "platform/GnomeCustomShortcuts.h"
#include "platform/GnomeShortcutGrabber.h"
#include "platform/InstanceClient.h"
#include "platform/InstanceService.h"
#include "platform/LoginItem.h"
#include "platform/MemoryPolicy.h"
#include "platform/MotionPreference.h"
#include "platform/PortalKeyGrabber.h"
#include "platform/PowerSource.h"
#include "platform/ShortcutRoute.h"
#include "platform/TimerSource.h"
#include "platform/Trash.h"
#include "platform/X11.h"
#include "platform/X11KeyGrabber.h"
#include "preferences/Settings.h"
#include "shelf/ShelfActions.h"
#include "shelf/Symbols.h"
#include "shortcut/HotKeyStatus.h"
#include "updates/Updater.h"

namespace {

using framlet::InstanceCommand;

constexpr int kUsage = 64;  // EX_USAGE

QStringList argumentList(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    return arguments;
}

// --search only asks the running instance, so it needs neither a display nor widgets.
int searchOnly(int argc, char** argv, const InstanceCommand& command) {
    const QCoreApplication core(argc, argv);
    return command.forward(framlet::InstanceClient(QDBusConnection::sessionBus())).value_or(1);
}

// Without a display this process cannot be the instance, but one may run elsewhere on the bus.
int withoutDisplay(int argc, char** argv, const InstanceCommand& command, const QString& problem) {
    if (command.kind != InstanceCommand::Kind::launch || command.checkForUpdates) {
        const QCoreApplication core(argc, argv);
        if (const auto code =
                command.forward(framlet::InstanceClient(QDBusConnection::sessionBus()))) {
            return *code;
        }
    }
    std::fprintf(stderr, "Framlet: %s; start it from a desktop session.\n",
                 problem.toLocal8Bit().constData());
    return 1;
}

// The grabber of the session's shortcut route (platform/ShortcutRoute); the one it makes lives
// in `owned` for the whole run.
framlet::KeyGrabber& chooseKeyGrabber(std::unique_ptr<framlet::KeyGrabber>& owned) {
    using namespace framlet;
    const ShortcutSession session = ShortcutSession::current(X11::connection() != nullptr);
    GnomeCustomShortcuts gnome(GnomeShortcutGrabber::entryPath);
    switch (chooseShortcutRoute(
        session, [] { return PortalKeyGrabber::offered(QDBusConnection::sessionBus()); },
        [&] { return gnome.available(); })) {
        case ShortcutRoute::x11Grab:
            return X11KeyGrabber::shared();
        case ShortcutRoute::portal:
            DebugLog::log(
                QStringLiteral("hotkey: Wayland session — using the GlobalShortcuts portal"));
            owned =
                std::make_unique<PortalKeyGrabber>(QDBusConnection::sessionBus(), applicationId());
            return *owned;
        case ShortcutRoute::gnomeCommand: {
            DebugLog::log(QStringLiteral("hotkey: GNOME on Wayland — offering a custom shortcut"));
            auto grabber = std::make_unique<GnomeShortcutGrabber>(
                gnome, GnomeShortcutGrabber::toggleCommand(LoginItem::runningExecutable()));
            HotKeyStatus::shared().setGnomeShortcut(grabber.get());
            owned = std::move(grabber);
            return *owned;
        }
        case ShortcutRoute::none:
            break;
    }
    // An X11 grab here would hear the keys only in X11 windows: none is claimed.
    DebugLog::log(QStringLiteral("hotkey: no global shortcut route in this session"));
    owned = std::make_unique<X11KeyGrabber>(X11KeyGrabber::Backend::unavailable);
    return *owned;
}

// What this process, now the instance, does with its own command once it has started.
void runOwnCommand(framlet::AppDelegate& delegate, const InstanceCommand& command) {
    switch (command.kind) {
        case InstanceCommand::Kind::toggle:  // nothing was shown yet: toggling shows
        case InstanceCommand::Kind::show:
            QTimer::singleShot(0, &delegate, &framlet::AppDelegate::showShelf);
            break;
        case InstanceCommand::Kind::settings:
            QTimer::singleShot(0, &delegate, &framlet::AppDelegate::openSettings);
            break;
        case InstanceCommand::Kind::launch:
        case InstanceCommand::Kind::search:
            break;
    }
}

}  // namespace

int main(int argc, char** argv) {
    using namespace framlet;

    const QStringList arguments = argumentList(argc, argv);
    const LoginItem loginItem;
    // Made only for a flag that hands its job to the running instance and then ends the process,
    // so that no QApplication ever has to follow it.
    std::optional<QCoreApplication> core;
    const auto runningInstance = [&](const QString& method) {
        if (!core) {
            core.emplace(argc, argv);
        }
        return InstanceClient(QDBusConnection::sessionBus()).call(method);
    };
    if (const auto code =
            MaintenanceFlags(loginItem, Settings::shared(), runningInstance).run(arguments)) {
        return *code;
    }
    const auto parsed = InstanceCommand::parse(arguments);
    if (const auto* usage = std::get_if<QString>(&parsed)) {
        std::fprintf(stderr, "%s\n", usage->toLocal8Bit().constData());
        return kUsage;
    }
    const InstanceCommand command = std::get<InstanceCommand>(parsed);

    if (command.kind == InstanceCommand::Kind::search) {
        return searchOnly(argc, argv, command);
    }
    const QString platform = DisplayConnection::applyPlatformChoice();
    if (const QString problem = DisplayConnection::problem(); !problem.isEmpty()) {
        return withoutDisplay(argc, argv, command, problem);
    }

    MemoryPolicy::returnLargeBuffersToTheSystem();
    QApplication application(argc, argv);
    DisplayConnection::forgetPlatformChoice();
    QApplication::setApplicationName(QStringLiteral("Framlet"));
    QApplication::setApplicationVersion(QStringLiteral(FRAMLET_VERSION));
    QApplication::setDesktopFileName(applicationId());
    // A tray application: closing its last window does not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    if (!platform.isEmpty()) {
        DebugLog::log(QStringLiteral("display: Wayland session, windows through ") + platform);
    }
    const InstanceClient client(QDBusConnection::sessionBus());
    Symbols::useAdwaitaAsFallback();

    // The name is claimed before anything starts, so a second launch starts nothing.
    AppDelegate* running = nullptr;
    InstanceService service(QDBusConnection::sessionBus(), [&running](const QString& text) {
        InstanceService::Found found{{}, true};  // before the start-up nothing is read yet
        if (running) {
            for (const QString& path : running->search(text)) {
                found.paths.append(QFile::encodeName(path));
            }
            found.stillRecognising = running->stillRecognising();
        }
        return found;
    });
    // Given up as soon as the event loop ends: a successor (a relaunch after an update) need
    // not wait for the windows and workers to be torn down.
    QObject::connect(&application, &QCoreApplication::aboutToQuit, &service,
                     &InstanceService::release);
    switch (service.claim(command.replacing)) {
        case InstanceService::Claim::taken:
            if (const auto code = command.forward(client)) {
                return *code;
            }
            std::fprintf(stderr,
                         "Framlet: another instance holds the bus name but does not answer.\n");
            return 1;
        case InstanceService::Claim::noBus:
            DebugLog::log(QStringLiteral("instance: no session bus — running alone"));
            break;
        case InstanceService::Claim::owned:
            DebugLog::log(QStringLiteral("instance: serving ") + applicationId());
            break;
    }

    // Another process (a maintenance flag, a second session's Framlet) may change the preferences.
    Settings::shared().followFileChanges();

    std::unique_ptr<KeyGrabber> ownGrabber;
    // Before the delegate, so that it outlives the store that hands it work.
    DecodeBudget decodeBudget(DecodeBudget::processCapacity);
    SqliteTextCache textCache(SqliteTextCache::defaultFile());
    OCRService ocr(TimerSource::realTime(), decodeBudget, &textCache);
    const SharedThumbnails sharedThumbnails = SharedThumbnails::forThisUser();
    PowerSource power(QDBusConnection::systemBus());
    MotionPreference motion;
    ShelfActions shelfActions(Trash::shared(), FileManager::shared(), Clipboard::shared(),
                              decodeBudget, &ShelfActions::showAlert);
    QNetworkAccessManager network;
    Updater updater(UpdaterSetup::fromBuild(), Settings::shared(), network,
                    TimerSource::realTime());
    const AppServices services{Settings::shared(),
                               ColorScheme::shared(),
                               chooseKeyGrabber(ownGrabber),
                               TimerSource::realTime(),
                               shelfActions,
                               HotKeyStatus::shared(),
                               updater,
                               FileManager::shared(),
                               ocr,
                               decodeBudget,
                               sharedThumbnails,
                               textCache,
                               power,
                               motion};
    AppDelegate delegate(services);
    running = &delegate;
    delegate.serve(service);
    QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);
    runOwnCommand(delegate, command);
    return QApplication::exec();
}
