#pragma once

#include <gtest/gtest.h>

#include <QNetworkAccessManager>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "ManualTimers.h"
#include "app/AppDelegate.h"
#include "app/AppServices.h"
#include "library/decoding/DecodeBudget.h"
#include "library/ocr/OCRService.h"
#include "library/store/SharedThumbnails.h"
#include "library/textcache/SqliteTextCache.h"
#include "library/watcher/ScreenshotSources.h"
#include "platform/Clipboard.h"
#include "platform/ColorScheme.h"
#include "platform/FileManager.h"
#include "platform/MotionPreference.h"
#include "platform/PowerSource.h"
#include "platform/Trash.h"
#include "platform/UserDefaults.h"
#include "platform/X11KeyGrabber.h"
#include "preferences/Settings.h"
#include "shelf/PanelController.h"
#include "shelf/ShelfActions.h"
#include "shortcut/HotKeyStatus.h"
#include "updates/Updater.h"

namespace framlet::test {

// What a test hands the whole application delegate: settings over a defaults file of its own, a
// manual clock, an updater without a signing key (updates off), and the desktop's real parts.
class DelegateServices {
public:
    DelegateServices()
        : defaults(config.filePath(QStringLiteral("defaults.json"))), settings(defaults) {}

    AppServices services(KeyGrabber& keyGrabber = X11KeyGrabber::shared()) {
        return {settings,     colorScheme,  keyGrabber,       timers,
                shelfActions, hotKeyStatus, updater,          FileManager::shared(),
                ocr,          decodeBudget, sharedThumbnails, textCache,
                power,        motion};
    }

    QTemporaryDir config;
    UserDefaults defaults;
    Settings settings;
    ColorScheme colorScheme;
    ManualTimers timers;
    HotKeyStatus hotKeyStatus;
    DecodeBudget decodeBudget{DecodeBudget::processCapacity};
    SqliteTextCache textCache{config.filePath(QStringLiteral("texts.sqlite"))};
    OCRService ocr{timers, decodeBudget, &textCache};
    const SharedThumbnails sharedThumbnails = SharedThumbnails::forThisUser();  // the test's home
    PowerSource power{QDBusConnection::systemBus()};
    MotionPreference motion;
    ShelfActions shelfActions{Trash::shared(), FileManager::shared(), Clipboard::shared(),
                              decodeBudget, &ShelfActions::showAlert};
    QNetworkAccessManager network;
    Updater updater{UpdaterSetup{}, settings, network, timers};
};

// The whole delegate over a screenshot folder of its own, launched when the test says so.
class LaunchedDelegate : public DelegateServices {
public:
    LaunchedDelegate() { settings.setWatchedFolders({shots.path()}); }

    // Launches it and waits until the files already in the folder are on the shelf.
    void launch(KeyGrabber& keyGrabber = X11KeyGrabber::shared()) {
        delegate = std::make_unique<AppDelegate>(services(keyGrabber));
        delegate->applicationDidFinishLaunching();
        ASSERT_TRUE(QTest::qWaitFor([&] { return delegate->sources().hasSeeded(); }, 10000));
    }
    bool shelfShown() const { return delegate->panelController()->isShown(); }

    QTemporaryDir shots;
    std::unique_ptr<AppDelegate> delegate;
};

}  // namespace framlet::test
