#include "AppDelegate.h"

#include "DebugLog.h"

namespace framlet {

AppDelegate::AppDelegate(QObject* parent) : QObject(parent) {
}

void AppDelegate::applicationDidFinishLaunching() {
    DebugLog::system(QStringLiteral("Framlet: launched, setting up status item"));
}

}  // namespace framlet
