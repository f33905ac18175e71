#pragma once

#include <QObject>

namespace framlet {

// Owns and connects every long-lived part of the running application. Created by main before
// the event loop starts and kept for the whole run.
class AppDelegate : public QObject {
    Q_OBJECT

public:
    explicit AppDelegate(QObject* parent = nullptr);

    // The start-up sequence, run once the event loop is up.
    void applicationDidFinishLaunching();
};

}  // namespace framlet
