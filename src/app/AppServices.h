#pragma once

namespace framlet {

class ColorScheme;
class DecodeBudget;
class FileManager;
class HotKeyStatus;
class KeyGrabber;
class MotionPreference;
class OCRService;
class PowerSource;
class Settings;
class SharedThumbnails;
class TextCache;
class ShelfActions;
class TimerSource;
class Updater;

// The long-lived services the running program is built from: made once in main, handed to the
// application delegate, and replaced by a test's own instances over its temporary home.
struct AppServices {
    Settings& settings;
    ColorScheme& colorScheme;
    KeyGrabber& keyGrabber;
    TimerSource& timers;
    ShelfActions& shelfActions;
    HotKeyStatus& hotKeyStatus;
    Updater& updater;
    FileManager& fileManager;
    OCRService& ocr;
    DecodeBudget& decodeBudget;
    const SharedThumbnails& sharedThumbnails;
    TextCache& textCache;
    PowerSource& power;
    MotionPreference& motion;
};

}  // namespace framlet
