#pragma once

#include <QString>
#include <functional>

class QFormLayout;

namespace framlet {

class FolderChooser;
class HotKeyStatus;
class LoginItem;
class RecognisedText;
class Settings;
class TaskbarPresence;
class ThemePalette;

// Where screenshots come from now: the folder the screenshot tool saves to and that tool's name
// (as ScreenshotPreferences names it; empty when none was found).
struct ScreenshotSource {
    QString location;
    QString tool;
};

// What the settings window needs beyond the settings, built once where the application starts.
struct SettingsServices {
    Settings& settings;
    ThemePalette& theme;
    TaskbarPresence& taskbar;
    const LoginItem& loginItem;
    HotKeyStatus& hotKeyStatus;
    FolderChooser& folderChooser;
    // May run a program (gsettings): called off the main thread.
    std::function<ScreenshotSource()> screenshotSource;
    QString version;
    // Adds the updater's rows to the Updates section, below the version; they belong to the
    // updater, a layer above this window.
    std::function<void(QFormLayout& form)> addUpdateRows;
    // Without it the Folders tab offers nothing about recognised text.
    RecognisedText* recognisedText = nullptr;
};

}  // namespace framlet
